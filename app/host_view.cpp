#include "app/host_view.h"

#include <windows.h>

#include <atomic>

#include "app/end_program.h"
#include "app/main_form.h"
#include "app/program_state.h"
#include "host/system_foreign_windows.h"
#include "util/log.h"
#include "util/program_directory.h"

namespace app {
namespace {

constexpr char kFirstUseNotice[] = "第一次使用，先打开微信登录窗口或微信，再启动多开软件！";
constexpr char kNoticeTitle[] = "提示信息";

std::atomic<host::InstanceHost*> programHost{nullptr};

void SetVisibleIfChanged(ui::Unit* unit, bool visible) {
  if (unit && unit->Exists() && unit->Visible() != visible) unit->SetVisible(visible);
}

}  // namespace

void FormHostView::Render(host::HostSnapshot snapshot) {
  {
    std::lock_guard<std::mutex> guard(latestLock_);
    latest_ = std::move(snapshot);
    if (renderPosted_) return;  // the posted render takes the latest snapshot
    renderPosted_ = true;
  }
  if (ui::OnUiThread()) {
    RenderLatest();
    return;
  }
  if (!ui::PostTask([this] { RenderLatest(); })) {
    std::lock_guard<std::mutex> guard(latestLock_);
    renderPosted_ = false;
  }
}

void FormHostView::RenderLatest() {
  host::HostSnapshot snapshot;
  {
    std::lock_guard<std::mutex> guard(latestLock_);
    snapshot = latest_;
    renderPosted_ = false;
  }
  RenderNow(snapshot);
}

void FormHostView::RenderNow(const host::HostSnapshot& snapshot) {
  MainForm& f = form_;
  std::vector<DrawnTab> drawn;
  drawn.reserve(snapshot.tabs.size());
  for (const host::TabView& view : snapshot.tabs) {
    DrawnTab tab;
    for (DrawnTab& old : tabs_) {
      if (old.id == view.state.id && old.control) {
        tab = std::move(old);
        break;
      }
    }
    if (!tab.control) {
      if (!f.tabTemplate || !f.tabStrip) continue;
      // The copy lands in the tab strip with the template's properties and click handler.
      tab.control = f.tabTemplate->CopyInto(*f.tabStrip);
      if (!tab.control) {
        util::LogError("host view: a tab could not be created");
        continue;
      }
      tab.id = view.state.id;
      tab.control->SetTag(view.tag);
      tab.control->SetTop(view.top);
      tab.control->SetVisible(true);
      tab.control->SetEnabled(view.state.enabled);
      tab.shown = view;
      tab.shown.state.selected = false;  // the template's colour
      tab.shown.state.picture = host::TabPicture::kPlus;
      tab.shown.state.avatar.reset();
    }
    ui::PictureBox& control = *tab.control;
    if (tab.shown.tag != view.tag) control.SetTag(view.tag);
    if (tab.shown.top != view.top) control.SetTop(view.top);
    if (tab.shown.state.enabled != view.state.enabled) control.SetEnabled(view.state.enabled);
    if (tab.shown.state.picture != view.state.picture || tab.shown.state.avatar != view.state.avatar) {
      // An avatar that cannot be decoded leaves no picture, as a failed capture does.
      if (view.state.picture == host::TabPicture::kAvatar && view.state.avatar) {
        if (!control.SetPicture(*view.state.avatar)) control.ClearPicture();
      } else if (view.state.picture != host::TabPicture::kPlus) {
        control.ClearPicture();
      }
    }
    if (tab.shown.state.selected != view.state.selected) {
      control.SetBackColour(view.state.selected ? host::kTabSelected : host::kTabUnselected);
    }
    tab.shown = view;
    drawn.push_back(std::move(tab));
  }
  // Tabs the model no longer has.
  for (DrawnTab& old : tabs_) {
    if (old.control) old.control->Destroy();
  }
  tabs_ = std::move(drawn);

  // Panes to show first, then those to hide, as a tab switch does it: showing a pane whose
  // client hangs may wait for that client (Wine), and the old pane stays until it is shown.
  for (bool visible : {true, false}) {
    for (int k = 1; k <= host::kMaxInstances; ++k) {
      if (snapshot.paneVisible[static_cast<size_t>(k - 1)] == visible) SetVisibleIfChanged(&f.panes[k - 1], visible);
    }
  }
  SetVisibleIfChanged(f.emptyHintText.get(), snapshot.hintVisible);
  SetVisibleIfChanged(f.emptyHintPicture.get(), snapshot.hintVisible);
}

int FormHostView::PositionOf(const ui::PictureBox& tab) const {
  for (std::size_t i = 0; i < tabs_.size(); ++i) {
    if (tabs_[i].control.get() == &tab) return static_cast<int>(i) + 1;
  }
  return 0;
}

HWND FormHostView::MainWindow() { return form_.mainWindow.Handle(); }

HWND FormHostView::Pane(int k) {
  if (k < 1 || k > host::kMaxInstances) return nullptr;
  return form_.panes[k - 1].Handle();
}

host::PaneSize FormHostView::PaneSizeOf() { return host::PaneSize{Program().paneWidth, Program().paneHeight}; }

void FormHostView::LoadPanes() {
  // Loaded in the order 1 to 6, each made a child of the main window as it is created, so a
  // higher-numbered pane lies above the lower-numbered ones.
  for (int k = 1; k <= host::kMaxInstances; ++k) {
    ui::TopWindow& pane = form_.panes[k - 1];
    if (pane.Exists()) continue;
    pane.onCreated = [this, k] { PlacePane(k); };
    ui::TopWindow::Design design;
    design.x = 50;
    design.y = 50;
    design.width = 863;
    design.height = 590;
    design.border = false;
    design.minimiseBox = false;
    design.visible = false;
    pane.Load(design);
  }
}

void FormHostView::PlacePane(int k) {
  HWND pane = Pane(k);
  if (!SetParent(pane, MainWindow())) util::LogLastError("SetParent(pane)");
  const host::PaneSize size = PaneSizeOf();
  if (!MoveWindow(pane, host::kPaneLeft, 0, size.width, size.height, TRUE)) util::LogLastError("MoveWindow(pane)");
}

void FormHostView::HideMainWindow() {
  CloseWindow(MainWindow());  // minimise
  form_.mainWindow.SetVisible(false);
}

void FormHostView::ShowMainWindow() {
  OpenIcon(MainWindow());  // restore
  form_.mainWindow.SetVisible(true);
}

void FormHostView::FirstUseNoticeAndEnd() {
  MessageBoxA(MainWindow(), kFirstUseNotice, kNoticeTitle, MB_ICONINFORMATION | MB_TASKMODAL);
  EndProgram(ExitReason::kClientNotFound);
}

bool FormHostView::PostToUiThread(std::function<void()> task) { return ui::PostTask(std::move(task)); }

FormHostView& ProgramHostView() {
  // Never destroyed: the form's windows and the host live until the process ends.
  static FormHostView* view = new FormHostView(Form());
  return *view;
}

host::InstanceHost& CreateProgramHost() {
  if (host::InstanceHost* existing = programHost.load()) return *existing;
  static host::SystemForeignWindows* windows = new host::SystemForeignWindows;
  host::HostSettings settings;
  settings.routeFilePath = util::PathBesideProgram("route.dat");
  auto* created = new host::InstanceHost(*windows, ProgramHostView(), settings);
  programHost.store(created);
  return *created;
}

host::InstanceHost* ProgramHost() { return programHost.load(); }

void OnTabControlClicked(ui::PictureBox& tab) {
  const int position = ProgramHostView().PositionOf(tab);
  host::InstanceHost* h = ProgramHost();
  if (position > 0 && h) h->OnTabClick(position);
}

}  // namespace app
