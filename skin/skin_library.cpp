// SkinH_EL.dll: attaches a skin to the calling process's windows, once.
#include <windows.h>
#include <tlhelp32.h>

#include <string>
#include <vector>

#include "skin/skin_format.h"
#include "skin/skin_window.h"
#include "util/files.h"
#include "util/log.h"
#include "util/md5.h"

namespace {

constexpr std::size_t kMaxFileBytes = 64 * 1024;

HINSTANCE library = nullptr;
bool attached = false;
std::vector<HHOOK> hooks;  // live for the life of the process, like the skin

// Reads the whole file; false when it is missing, unreadable or too large for a skin.
bool ReadSkinFile(const char* path, std::string& text) {
  Bytes bytes;
  if (!util::ReadWholeFile(path, bytes, kMaxFileBytes)) return false;
  text.assign(bytes.begin(), bytes.end());
  return true;
}

// Windows created after the attach are restyled as they are created.
LRESULT CALLBACK CreationHook(int code, WPARAM wParam, LPARAM lParam) noexcept {
  if (code == HCBT_CREATEWND) skin::RestyleWindow(reinterpret_cast<HWND>(wParam), false);
  return CallNextHookEx(nullptr, code, wParam, lParam);
}

BOOL CALLBACK RestyleExisting(HWND window, LPARAM) noexcept {
  skin::RestyleWindow(window, true);
  return TRUE;
}

// Every thread of this process that exists now; windows are made on these.
std::vector<DWORD> ProcessThreads() {
  std::vector<DWORD> threads{GetCurrentThreadId()};
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
  if (snapshot == INVALID_HANDLE_VALUE) {
    util::LogLastError("CreateToolhelp32Snapshot");
    return threads;
  }
  THREADENTRY32 entry{};
  entry.dwSize = sizeof entry;
  for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry)) {
    if (entry.th32OwnerProcessID == GetCurrentProcessId() && entry.th32ThreadID != GetCurrentThreadId()) {
      threads.push_back(entry.th32ThreadID);
    }
  }
  CloseHandle(snapshot);
  return threads;
}

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) noexcept {
  if (reason == DLL_PROCESS_ATTACH) {
    library = instance;
    DisableThreadLibraryCalls(instance);
  }
  return TRUE;
}

// Returns 0 when attached; otherwise a skin::Status code and every window stays as it was.
extern "C" int __stdcall SkinH_AttachEx(const char* path, const char* password) noexcept {
  if (attached) return skin::kAlreadyAttached;
  std::string text;
  if (!path || !*path || !ReadSkinFile(path, text)) return skin::kFileUnreadable;
  skin::Skin parsed;
  std::string error;
  if (skin::ParseSkin(text, parsed, error) != skin::kAttached) return skin::kFileDamaged;
  if (!parsed.passwordMd5.empty() &&
      !skin::PasswordOpens(parsed, util::Md5Hex(Text(password ? password : "")))) {
    return skin::kWrongPassword;
  }

  skin::SetActiveSkin(parsed);
  HHOOK own = SetWindowsHookExA(WH_CBT, CreationHook, library, GetCurrentThreadId());
  if (!own) {
    util::LogLastError("SetWindowsHookExA (skin)");
    return skin::kAttachFailed;
  }
  hooks.push_back(own);
  for (DWORD thread : ProcessThreads()) {
    if (thread == GetCurrentThreadId()) continue;
    // A thread that ended meanwhile cannot be hooked: its windows are gone anyway.
    if (HHOOK hook = SetWindowsHookExA(WH_CBT, CreationHook, library, thread)) {
      hooks.push_back(hook);
    } else {
      util::LogLastError("SetWindowsHookExA (skin, another thread)");
    }
  }
  attached = true;
  EnumWindows(RestyleExisting, 0);  // RestyleWindow skips every window not of this process
  return skin::kAttached;
}
