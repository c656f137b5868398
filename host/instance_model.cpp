#include "host/instance_model.h"

#include <utility>

namespace host {
namespace {
bool ValidPane(int k) { return k >= 1 && k <= kMaxInstances; }
}  // namespace

HostSnapshot InstanceModel::Snapshot() const {
  HostSnapshot s;
  std::lock_guard<std::mutex> guard(lock_);
  s.tabs.reserve(tabs_.size());
  for (std::size_t i = 0; i < tabs_.size(); ++i) {
    const int position = static_cast<int>(i) + 1;
    s.tabs.push_back(TabView{tabs_[i], TabTag(position), TabTop(position)});
  }
  s.hostedWindows = hostedWindows_;
  s.hostedCount = hostedCount_;
  s.loginWindow = loginWindow_;
  s.currentWindow = currentWindow_;
  s.adoptingWindow = adoptingWindow_;
  s.paneVisible = paneVisible_;
  s.hintVisible = hintVisible_;
  s.adoptionSerial = adoptionSerial_;
  return s;
}

bool InstanceModel::AppendTab() {
  std::lock_guard<std::mutex> guard(lock_);
  if (static_cast<int>(tabs_.size()) >= kMaxInstances) return false;
  TabState tab;
  tab.id = nextTabId_++;
  tabs_.push_back(tab);
  return true;
}

void InstanceModel::SetAllTabsEnabled(bool enabled) {
  std::lock_guard<std::mutex> guard(lock_);
  for (TabState& tab : tabs_) tab.enabled = enabled;
}

void InstanceModel::SelectOnlyTab(int position) {
  std::lock_guard<std::mutex> guard(lock_);
  for (std::size_t i = 0; i < tabs_.size(); ++i) tabs_[i].selected = static_cast<int>(i) + 1 == position;
}

void InstanceModel::SetTabSelected(int position, bool selected) {
  std::lock_guard<std::mutex> guard(lock_);
  if (position >= 1 && position <= static_cast<int>(tabs_.size())) tabs_[position - 1].selected = selected;
}

void InstanceModel::SetLastTabAvatar(Bytes avatar) {
  std::lock_guard<std::mutex> guard(lock_);
  if (tabs_.empty()) return;
  TabState& tab = tabs_.back();
  if (avatar.empty()) {
    tab.picture = TabPicture::kNone;
    tab.avatar.reset();
  } else {
    tab.picture = TabPicture::kAvatar;
    tab.avatar = std::make_shared<const Bytes>(std::move(avatar));
  }
}

void InstanceModel::SetLoginWindow(HWND window) {
  std::lock_guard<std::mutex> guard(lock_);
  loginWindow_ = window;
}

void InstanceModel::SetCurrentWindow(HWND window) {
  std::lock_guard<std::mutex> guard(lock_);
  currentWindow_ = window;
}

void InstanceModel::SetHintVisible(bool visible) {
  std::lock_guard<std::mutex> guard(lock_);
  hintVisible_ = visible;
}

void InstanceModel::SetPaneVisible(int k, bool visible) {
  if (!ValidPane(k)) return;
  std::lock_guard<std::mutex> guard(lock_);
  paneVisible_[static_cast<std::size_t>(k - 1)] = visible;
}

void InstanceModel::ShowOnlyPane(int k) {
  std::lock_guard<std::mutex> guard(lock_);
  for (int j = 1; j <= kMaxInstances; ++j) paneVisible_[static_cast<std::size_t>(j - 1)] = j == k;
}

int InstanceModel::RaiseHostedCount() {
  std::lock_guard<std::mutex> guard(lock_);
  return ++hostedCount_;
}

void InstanceModel::SetAdoptingWindow(HWND window) {
  std::lock_guard<std::mutex> guard(lock_);
  adoptingWindow_ = window;
}

void InstanceModel::AppendHostedWindow(HWND window) {
  std::lock_guard<std::mutex> guard(lock_);
  if (adoptingWindow_ == window) adoptingWindow_ = nullptr;
  hostedWindows_.push_back(window);
  currentWindow_ = window;
  ++adoptionSerial_;
}

int InstanceModel::TakeOutInstance(int position) {
  std::lock_guard<std::mutex> guard(lock_);
  const int tabsBefore = static_cast<int>(tabs_.size());
  --hostedCount_;
  const auto index = static_cast<std::ptrdiff_t>(position - 1);
  if (position >= 1 && position <= tabsBefore) tabs_.erase(tabs_.begin() + index);
  if (position >= 1 && position <= static_cast<int>(hostedWindows_.size())) {
    hostedWindows_.erase(hostedWindows_.begin() + index);
  }
  return tabsBefore;
}

void InstanceModel::Forget() {
  std::lock_guard<std::mutex> guard(lock_);
  std::vector<TabState>().swap(tabs_);
  std::vector<HWND>().swap(hostedWindows_);
  adoptingWindow_ = nullptr;
}

}  // namespace host
