#pragma once
// The form's side of the instance host: draws the host's snapshots onto the tab strip, the
// panes and the empty-state hint, and answers what the host asks of the form.
#include <memory>
#include <mutex>
#include <vector>

#include "host/host_view.h"
#include "host/instance_host.h"
#include "ui/units.h"

struct MainForm;

namespace app {

class FormHostView final : public host::HostView {
 public:
  explicit FormHostView(MainForm& form) : form_(form) {}

  void Render(host::HostSnapshot snapshot) override;
  HWND MainWindow() override;
  HWND Pane(int k) override;
  host::PaneSize PaneSizeOf() override;
  void LoadPanes() override;
  void HideMainWindow() override;
  void ShowMainWindow() override;
  void FirstUseNoticeAndEnd() override;
  bool PostToUiThread(std::function<void()> task) override;

  // User-interface thread: the position (1-based) of a tab control as last drawn, or 0.
  int PositionOf(const ui::PictureBox& tab) const;

  // User-interface thread: draws the snapshot (tab copies of the template made and destroyed
  // as the model's tab list changes; only what changed is set on a control).
  void RenderNow(const host::HostSnapshot& snapshot);

 private:
  void RenderLatest();
  void PlacePane(int k);

  MainForm& form_;

  struct DrawnTab {
    std::uint64_t id = 0;
    std::unique_ptr<ui::PictureBox> control;
    host::TabView shown;  // what the control shows now
  };
  std::vector<DrawnTab> tabs_;  // user-interface thread only, in position order

  std::mutex latestLock_;
  host::HostSnapshot latest_;
  bool renderPosted_ = false;
};

// The program's view and host, created before the start-up places that need them; both
// live for the process. ProgramHost is null before CreateProgramHost.
FormHostView& ProgramHostView();
host::InstanceHost& CreateProgramHost();
host::InstanceHost* ProgramHost();

// A tab's left-button press.
void OnTabControlClicked(ui::PictureBox& tab);

}  // namespace app
