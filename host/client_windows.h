#pragma once
// What identifies the client's windows, and how handles are written as numbers.
#include <windows.h>

#include <cstdint>
#include <string>

#include "util/text.h"

namespace host {

constexpr const char* kWeChatTitle = "微信";
constexpr const char* kLoginWindowClass = "WeChatLoginWndForPC";
constexpr const char* kMainWindowClass = "WeChatMainWndForPC";
constexpr const char* kAlertWindowClass = "AlertDialog";
constexpr const char* kDefaultWeChatPath = "C:\\Program Files (x86)\\Tencent\\WeChat\\WeChat.exe";

// Handles are 32-bit values handled as signed integers; a search result counts as found
// when it is greater than 0.
inline std::int32_t HandleValue(HWND window) {
  return static_cast<std::int32_t>(reinterpret_cast<std::intptr_t>(window));
}
inline bool Found(HWND window) { return HandleValue(window) > 0; }
inline HWND HandleFromValue(long long value) {
  return reinterpret_cast<HWND>(static_cast<std::intptr_t>(static_cast<std::int32_t>(value)));
}
// Decimal text of a handle, as the liveness test writes it.
inline Text HandleText(HWND window) { return std::to_string(HandleValue(window)); }

}  // namespace host
