// The form: MainWindow with its units at their design geometry, and the host windows.
#include "app/main_form.h"

#include "app/host_view.h"
#include "app/resources.h"
#include "app/startup.h"
#include "app/tray.h"

namespace {

constexpr ui::Colour kGrey = 8421504;         // RGB 128,128,128
constexpr ui::Colour kLightGrey = 12632256;   // RGB 192,192,192
constexpr ui::Colour kWhite = 16777215;
constexpr ui::Colour kBlue = 16711680;        // RGB 0,0,255

void CreateMainWindowUnits(MainForm& f) {
  using ui::DisplayMode;
  ui::TopWindow& w = f.mainWindow;
  const Bytes plus = app::LoadResourceBytes(app::kPlusPictureId);

  f.tabStrip = std::make_unique<ui::ShapeBox>(w, 0, -1, 82, 592, kGrey, kGrey);
  f.tabTemplate = std::make_unique<ui::PictureBox>(*f.tabStrip, 1, 2, 80, 80, kGrey, DisplayMode::kCentred);
  f.tabTemplate->SetPicture(plus);
  f.tabTemplate->SetHandCursor(true);
  f.tabTemplate->SetVisible(false);
  f.tabTemplate->SetDisabled(true);
  f.tabTemplate->onLeftButtonDown = [](ui::PictureBox& tab) { app::OnTabControlClicked(tab); };

  f.sidePanel = std::make_unique<ui::ShapeBox>(w, 947, -1, 151, 593, kLightGrey, kWhite);
  f.linkPicture = std::make_unique<ui::PictureBox>(*f.sidePanel, 49, 425, 60, 60, kWhite, DisplayMode::kOwnSizeTopLeft);
  f.linkPicture->SetPicture(app::LoadResourceBytes(app::kTaoPictureId));
  f.linkPicture->SetHandCursor(true);
  f.linkPicture->SetVisible(false);
  f.linkPicture->onLeftButtonDown = [](ui::PictureBox&) { OnLinkPictureClick(); };
  f.customisationLabel = std::make_unique<ui::TransparentLabel>(*f.sidePanel, 4, 520, 141, 41, "点击个人功能定制", kBlue, 16);
  f.customisationLabel->SetHandCursor(true);
  f.customisationLabel->SetVisible(false);
  f.customisationLabel->onLeftButtonDown = [] { OnCustomisationLabelClick(); };

  f.noticeBar = std::make_unique<ui::Label>(w, 0, 591, 1098, 20, "  声明：本软件作为分身工具使用，请勿做非法用途。", kWhite,
                                          kBlue, ui::Align::kLeft);
  f.emptyHintText = std::make_unique<ui::TransparentLabel>(w, 304, 200, 440, 80, "点击左侧  添加微信", kGrey, 48);
  f.emptyHintPicture = std::make_unique<ui::PictureBox>(w, 499, 216, 48, 48, kWhite, DisplayMode::kTiled);
  f.emptyHintPicture->SetPicture(plus);
  // The plus sits in the gap of the hint's text, so it lies above the label.
  ui::CallOnUiThread([&f] {
    SetWindowPos(f.emptyHintPicture->Handle(), HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  });

  f.hostStartTimer.onTick = [&f] {
    f.hostStartTimer.SetInterval(0);  // once
    if (host::InstanceHost* h = app::ProgramHost()) h->Start();
  };

  std::vector<ui::PopupMenu::Item> items(3);
  items[0].caption = "显示窗口";
  items[0].onClicked = [] { app::OnShowWindowCommand(); };
  items[1].caption = "-";
  items[2].caption = "退出程序";
  items[2].onClicked = [] { app::OnExitCommand(); };
  f.trayMenu = std::make_unique<ui::PopupMenu>("菜单", std::move(items));
}

}  // namespace

MainForm& Form() {
  // Never destroyed: the form's windows live until the process ends.
  static MainForm* form = new MainForm;
  return *form;
}

void LoadMainWindow() {
  MainForm& f = Form();
  f.mainWindow.onCreated = [] { OnMainWindowCreated(); };
  f.mainWindow.onCloseRequested = [] { return OnMainWindowCloseRequested(); };
  f.mainWindow.onMoved = [] {
    if (host::InstanceHost* h = app::ProgramHost()) h->OnMainWindowMoved();
  };
  f.mainWindow.onTrayEvent = [](ui::TrayEvent event) { app::OnTrayEvent(event); };
  f.mainWindow.onMessage = [](UINT message, WPARAM, LPARAM, LRESULT& result) {
    const UINT taskbarCreated = app::TaskbarCreatedMessage();
    if (taskbarCreated == 0 || message != taskbarCreated) return false;
    app::OnTaskbarCreated();
    result = 0;
    return true;
  };

  ui::TopWindow::Design design;
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
  f.mainWindow.Load(design, nullptr, [&f] { CreateMainWindowUnits(f); });
}
