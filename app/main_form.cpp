// The form: MainWindow with its units at their design geometry, and the host windows.
#include "app/main_form.h"

#include "app/resources.h"
#include "app/startup.h"
#include "app/tray.h"
#include "host/instance_host.h"
#include "host/registry.h"

namespace {

constexpr form::Colour kGrey = 8421504;         // RGB 128,128,128
constexpr form::Colour kLightGrey = 12632256;   // RGB 192,192,192
constexpr form::Colour kWhite = 16777215;
constexpr form::Colour kBlue = 16711680;        // RGB 0,0,255

void CreateMainWindowUnits(MainForm& f) {
  using form::DisplayMode;
  form::TopWindow& w = f.MainWindow;
  const Bytes plus = app::LoadResourceBytes(app::kPlusPictureId);

  f.外形框1 = std::make_unique<form::ShapeBox>(w, 0, -1, 82, 592, kGrey, kGrey);
  f.图片框3 = std::make_unique<form::PictureBox>(*f.外形框1, 1, 2, 80, 80, kGrey, DisplayMode::kCentred);
  f.图片框3->SetPicture(plus);
  f.图片框3->SetHandCursor(true);
  f.图片框3->SetVisible(false);
  f.图片框3->SetDisabled(true);
  f.图片框3->onLeftButtonDown = [](form::PictureBox& tab) { host::OnTabClick(tab); };

  f.外形框2 = std::make_unique<form::ShapeBox>(w, 947, -1, 151, 593, kLightGrey, kWhite);
  f.图片框4 = std::make_unique<form::PictureBox>(*f.外形框2, 49, 425, 60, 60, kWhite, DisplayMode::kOwnSizeTopLeft);
  f.图片框4->SetPicture(app::LoadResourceBytes(app::kTaoPictureId));
  f.图片框4->SetHandCursor(true);
  f.图片框4->SetVisible(false);
  f.图片框4->onLeftButtonDown = [](form::PictureBox&) { OnLinkPictureClick(); };
  f.透明标签7 = std::make_unique<form::TransparentLabel>(*f.外形框2, 4, 520, 141, 41, "点击个人功能定制", kBlue, 16);
  f.透明标签7->SetHandCursor(true);
  f.透明标签7->SetVisible(false);
  f.透明标签7->onLeftButtonDown = [] { OnCustomisationLabelClick(); };

  f.标签1 = std::make_unique<form::Label>(w, 0, 591, 1098, 20, "  声明：本软件作为分身工具使用，请勿做非法用途。", kWhite,
                                          kBlue, form::Align::kLeft);
  f.透明标签2 = std::make_unique<form::TransparentLabel>(w, 304, 200, 440, 80, "点击左侧  添加微信", kGrey, 48);
  f.图片框2 = std::make_unique<form::PictureBox>(w, 499, 216, 48, 48, kWhite, DisplayMode::kTiled);
  f.图片框2->SetPicture(plus);
  // The plus sits in the gap of the hint's text, so it lies above the label.
  form::RunOnUiThread([&f] {
    SetWindowPos(f.图片框2->Handle(), HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  });

  f.时钟1.onTick = [] { host::CreateTab(); };
  f.时钟2.onTick = [] { host::DestroyPendingTab(); };
  f.时钟3.onTick = [] { host::StartInstanceHost(); };

  std::vector<form::PopupMenu::Item> items(3);
  items[0].caption = "显示窗口";
  items[0].onClicked = [] { app::OnShowWindowCommand(); };
  items[1].caption = "-";
  items[2].caption = "退出程序";
  items[2].onClicked = [] { app::OnExitCommand(); };
  f.TrayMenu = std::make_unique<form::PopupMenu>("菜单", std::move(items));
}

}  // namespace

MainForm& Form() {
  // Never destroyed: the form's windows live until the process ends.
  static MainForm* form = new MainForm;
  return *form;
}

void LoadMainWindow() {
  MainForm& f = Form();
  f.MainWindow.onCreated = [] { OnMainWindowCreated(); };
  f.MainWindow.onCloseRequested = [] { return OnMainWindowCloseRequested(); };
  f.MainWindow.onMoved = [] { host::OnMainWindowMoved(); };
  f.MainWindow.onTrayEvent = [](int argument) { app::OnTrayEvent(argument); };

  form::TopWindow::Design design;
  design.x = 50;
  design.y = 50;
  design.width = 1104;
  design.height = 668;
  design.border = true;
  design.minimiseBox = true;
  design.maximiseBox = false;
  design.centreOnScreen = true;
  design.visible = true;
  design.escClose = true;
  f.MainWindow.Load(design, nullptr, [&f] { CreateMainWindowUnits(f); });
}

void LoadHostWindow(int k) {
  if (k < 1 || k > 6) return;
  form::TopWindow& window = Form().HostWindow[k - 1];
  window.onCreated = [k] { host::OnHostWindowCreated(k); };
  form::TopWindow::Design design;
  design.x = 50;
  design.y = 50;
  design.width = 863;
  design.height = 590;
  design.border = false;
  design.minimiseBox = false;
  design.visible = false;
  window.Load(design);
}
