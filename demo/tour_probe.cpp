// Looks at a running Tandrel from outside and prints what a tour needs to know as one line of
// JSON: where the main window, its tabs, panes and hosted windows are on the screen, whether a
// login window is held, whether the start-up question or a notice is shown, whether the side
// panel's link picture and customisation label are visible, where the taskbar and an open
// popup menu are. The tour itself clicks with real X input and takes screenshots of the X
// display (under Wine a screenshot is the reliable view of another process's pixels).
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

namespace {

constexpr char kMainClass[] = "TandrelWindow";
constexpr char kMainTitle[] = "Tandrel";
constexpr char kLoginClass[] = "WeChatLoginWndForPC";
constexpr char kCustomisationText[] = "点击个人功能定制";
constexpr int kTabSize = 80;
constexpr int kLinkPictureSize = 60;

std::string WindowText(HWND w) {
  char text[512] = {};
  GetWindowTextA(w, text, sizeof text);
  return text;
}

std::string ClassOf(HWND w) {
  char name[256] = {};
  GetClassNameA(w, name, sizeof name);
  return name;
}

DWORD ProcessOf(HWND w) {
  DWORD pid = 0;
  GetWindowThreadProcessId(w, &pid);
  return pid;
}

bool HasVisibleStyle(HWND w) { return (GetWindowLongPtrA(w, GWL_STYLE) & WS_VISIBLE) != 0; }

std::vector<HWND> ChildrenOf(HWND parent) {
  std::vector<HWND> children;
  for (HWND c = GetWindow(parent, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) children.push_back(c);
  return children;
}

BOOL CALLBACK CollectWindow(HWND w, LPARAM list) noexcept {
  reinterpret_cast<std::vector<HWND>*>(list)->push_back(w);
  return TRUE;
}

std::vector<HWND> DescendantsOf(HWND parent) {
  std::vector<HWND> found;
  EnumChildWindows(parent, CollectWindow, reinterpret_cast<LPARAM>(&found));
  return found;
}

std::vector<HWND> TopLevelWindows() {
  std::vector<HWND> found;
  EnumWindows(CollectWindow, reinterpret_cast<LPARAM>(&found));
  return found;
}

// Text as a JSON string: the GBK bytes widened and written as UTF-8, quotes escaped.
std::string Json(const std::string& gbk) {
  std::wstring wide;
  if (!gbk.empty()) {
    int n = MultiByteToWideChar(CP_ACP, 0, gbk.data(), static_cast<int>(gbk.size()), nullptr, 0);
    wide.resize(n > 0 ? n : 0);
    if (n > 0) MultiByteToWideChar(CP_ACP, 0, gbk.data(), static_cast<int>(gbk.size()), &wide[0], n);
  }
  std::string utf8;
  if (!wide.empty()) {
    int n = WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0, nullptr, nullptr);
    utf8.resize(n > 0 ? n : 0);
    if (n > 0) WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), &utf8[0], n, nullptr, nullptr);
  }
  std::string out = "\"";
  for (char c : utf8) {
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (static_cast<unsigned char>(c) < 0x20) {
      out += ' ';
    } else {
      out += c;
    }
  }
  return out + "\"";
}

std::string Rect(HWND w) {
  RECT r = {};
  GetWindowRect(w, &r);
  char text[96];
  std::snprintf(text, sizeof text, "[%ld,%ld,%ld,%ld]", r.left, r.top, r.right - r.left, r.bottom - r.top);
  return text;
}

std::string Number(unsigned long long value) { return std::to_string(value); }
std::string Bool(bool value) { return value ? "true" : "false"; }
std::string Handle(HWND w) { return Number(reinterpret_cast<UINT_PTR>(w)); }

// A tab is an 80 by 80 unit of the strip whose window text is its position 1..6.
int TabNumber(HWND w) {
  RECT r = {};
  GetWindowRect(w, &r);
  const std::string text = WindowText(w);
  if (r.right - r.left != kTabSize || r.bottom - r.top != kTabSize || !HasVisibleStyle(w)) return 0;
  if (text.size() != 1 || text[0] < '1' || text[0] > '6') return 0;
  return text[0] - '0';
}

// The message boxes of the process: their static texts and the screen centre of each button.
std::string DialogsOf(DWORD pid) {
  std::string out = "[";
  for (HWND w : TopLevelWindows()) {
    if (ProcessOf(w) != pid || ClassOf(w) != "#32770" || !IsWindowVisible(w)) continue;
    std::string text, buttons;
    for (HWND c : DescendantsOf(w)) {
      const std::string cls = ClassOf(c);
      if (cls == "Static" && !WindowText(c).empty()) text += WindowText(c);
      if (cls == "Button" && IsWindowVisible(c)) {
        RECT r = {};
        GetWindowRect(c, &r);
        if (!buttons.empty()) buttons += ",";
        buttons += "{\"id\":" + Number(static_cast<unsigned>(GetDlgCtrlID(c))) + ",\"centre\":[" +
                   Number((r.left + r.right) / 2) + "," + Number((r.top + r.bottom) / 2) + "]}";
      }
    }
    if (out.size() > 1) out += ",";
    out += "{\"title\":" + Json(WindowText(w)) + ",\"text\":" + Json(text) + ",\"buttons\":[" + buttons + "]}";
  }
  return out + "]";
}

std::string LoginWindow(HWND w, HWND main) {
  std::string button = "null";
  for (HWND c : ChildrenOf(w)) {
    if (ClassOf(c) == "Button") {
      RECT r = {};
      GetWindowRect(c, &r);
      button = "[" + Number((r.left + r.right) / 2) + "," + Number((r.top + r.bottom) / 2) + "]";
    }
  }
  return "{\"hwnd\":" + Handle(w) + ",\"held\":" + Bool(main && GetAncestor(w, GA_PARENT) == main) + ",\"visible\":" + Bool(IsWindowVisible(w) != 0) +
         ",\"rect\":" + Rect(w) + ",\"pid\":" + Number(ProcessOf(w)) + ",\"button\":" + button + "}";
}

std::string Report() {
  HWND main = FindWindowA(kMainClass, kMainTitle);
  std::string out = "{\"main\":";
  if (!main) {
    out += "null";
  } else {
    const DWORD pid = ProcessOf(main);
    out += "{\"pid\":" + Number(pid) + ",\"rect\":" + Rect(main) + ",\"visible\":" + Bool(IsWindowVisible(main) != 0) +
           ",\"iconic\":" + Bool(IsIconic(main) != 0) + ",\"dialogs\":" + DialogsOf(pid);

    // Host windows: children of the main window of its own class, made in the order 1 to 6,
    // each going to the top, so the z-order from the bottom is 1..6.
    std::vector<HWND> hosts;
    for (HWND c : ChildrenOf(main)) {
      if (ClassOf(c) == kMainClass) hosts.push_back(c);
    }
    std::reverse(hosts.begin(), hosts.end());
    out += ",\"hosts\":[";
    for (size_t k = 0; k < hosts.size(); ++k) {
      if (k) out += ",";
      out += "{\"k\":" + Number(k + 1) + ",\"hwnd\":" + Handle(hosts[k]) + ",\"visible\":" + Bool(HasVisibleStyle(hosts[k])) + ",\"rect\":" + Rect(hosts[k]) +
             ",\"hosted\":[";
      bool first = true;
      for (HWND c : ChildrenOf(hosts[k])) {
        if (!first) out += ",";
        first = false;
        out += "{\"hwnd\":" + Handle(c) + ",\"class\":" + Json(ClassOf(c)) + ",\"pid\":" + Number(ProcessOf(c)) + ",\"rect\":" + Rect(c) +
               ",\"visible\":" + Bool(IsWindowVisible(c) != 0) + ",\"enabled\":" + Bool(IsWindowEnabled(c) != 0) + "}";
      }
      out += "]}";
    }
    out += "]";

    std::map<int, HWND> tabs;
    bool linkPicture = false, customisationLabel = false;
    std::string login = "null";
    for (HWND d : DescendantsOf(main)) {
      if (int n = TabNumber(d)) tabs[n] = d;
      RECT r = {};
      GetWindowRect(d, &r);
      if (r.right - r.left == kLinkPictureSize && r.bottom - r.top == kLinkPictureSize && IsWindowVisible(d))
        linkPicture = true;
      if (WindowText(d) == kCustomisationText && IsWindowVisible(d)) customisationLabel = true;
      if (ClassOf(d) == kLoginClass) login = LoginWindow(d, main);
    }
    out += ",\"tabs\":[";
    bool first = true;
    for (const auto& tab : tabs) {
      RECT r = {};
      GetWindowRect(tab.second, &r);
      if (!first) out += ",";
      first = false;
      out += "{\"tag\":" + Number(tab.first) + ",\"centre\":[" + Number((r.left + r.right) / 2) + "," +
             Number((r.top + r.bottom) / 2) + "],\"enabled\":" + Bool(IsWindowEnabled(tab.second) != 0) + "}";
    }
    out += "],\"link_picture\":" + Bool(linkPicture) + ",\"customisation_label\":" + Bool(customisationLabel) +
           ",\"login\":" + login;

    std::string menu = "null";
    for (HWND w : TopLevelWindows()) {
      if (ProcessOf(w) == pid && ClassOf(w) == "#32768" && IsWindowVisible(w)) menu = Rect(w);
    }
    out += ",\"menu\":" + menu;
    std::string order;
    for (HWND c : ChildrenOf(main)) {
      if (!order.empty()) order += ",";
      order += "{\"hwnd\":" + Handle(c) + ",\"class\":" + Json(ClassOf(c)) + ",\"rect\":" + Rect(c) +
               ",\"visible\":" + Bool(HasVisibleStyle(c)) + "}";
    }
    out += ",\"children\":[" + order + "]}";
  }

  // A login window still on its own (not held yet).
  std::string login = "null";
  for (HWND w : TopLevelWindows()) {
    if (ClassOf(w) == kLoginClass && IsWindowVisible(w)) login = LoginWindow(w, nullptr);
  }
  out += ",\"free_login\":" + login;
  HWND tray = FindWindowA("Shell_TrayWnd", nullptr);
  out += ",\"taskbar\":" + (tray ? Rect(tray) : std::string("null"));
  out += ",\"screen\":[" + Number(GetSystemMetrics(SM_CXSCREEN)) + "," + Number(GetSystemMetrics(SM_CYSCREEN)) + "]}";
  return out;
}

}  // namespace

int main() {
  const std::string line = Report() + "\n";
  std::fwrite(line.data(), 1, line.size(), stdout);
  std::fflush(stdout);
  return 0;
}
