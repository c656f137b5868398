// SkinH_EL.dll: attaches a skin to the calling process's windows, once.
#include <windows.h>
#include <tlhelp32.h>
#include <wincrypt.h>

#include <string>
#include <vector>

#include "skin/skin_format.h"
#include "skin/skin_window.h"

namespace {

constexpr DWORD kMaxFileBytes = 64 * 1024;

HINSTANCE library = nullptr;
bool attached = false;
std::vector<HHOOK> hooks;  // live for the life of the process, like the skin

// Reads the whole file; false when it is missing, unreadable or too large for a skin.
bool ReadSkinFile(const char* path, std::string& text) {
  HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  bool ok = false;
  LARGE_INTEGER size;
  if (GetFileSizeEx(file, &size) && size.QuadPart <= kMaxFileBytes) {
    text.resize(static_cast<std::size_t>(size.QuadPart));
    DWORD read = 0;
    ok = text.empty() || (ReadFile(file, &text[0], static_cast<DWORD>(text.size()), &read, nullptr) &&
                          read == text.size());
  }
  CloseHandle(file);
  return ok;
}

// Lower-case hex MD5 of the password's bytes, or empty. The library stands alone (it is
// shipped and updated as a file of its own), so it asks the CryptoAPI itself.
std::string PasswordDigest(const char* password) {
  const std::string bytes = password ? password : "";
  std::string hex;
  HCRYPTPROV provider = 0;
  if (!CryptAcquireContextA(&provider, nullptr, nullptr, PROV_RSA_FULL, CRYPT_VERIFYCONTEXT)) return hex;
  HCRYPTHASH hash = 0;
  if (CryptCreateHash(provider, CALG_MD5, 0, 0, &hash)) {
    BYTE digest[16];
    DWORD size = sizeof digest;
    if (CryptHashData(hash, reinterpret_cast<const BYTE*>(bytes.data()), static_cast<DWORD>(bytes.size()), 0) &&
        CryptGetHashParam(hash, HP_HASHVAL, digest, &size, 0) && size == sizeof digest) {
      static const char kDigits[] = "0123456789abcdef";
      for (BYTE b : digest) {
        hex += kDigits[b >> 4];
        hex += kDigits[b & 15];
      }
    }
    CryptDestroyHash(hash);
  }
  CryptReleaseContext(provider, 0);
  return hex;
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
  if (snapshot == INVALID_HANDLE_VALUE) return threads;
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
      !skin::PasswordOpens(parsed, PasswordDigest(password))) {
    return skin::kWrongPassword;
  }

  skin::SetActiveSkin(parsed);
  HHOOK own = SetWindowsHookExA(WH_CBT, CreationHook, library, GetCurrentThreadId());
  if (!own) return skin::kAttachFailed;
  hooks.push_back(own);
  for (DWORD thread : ProcessThreads()) {
    if (thread == GetCurrentThreadId()) continue;
    if (HHOOK hook = SetWindowsHookExA(WH_CBT, CreationHook, library, thread)) hooks.push_back(hook);
  }
  attached = true;
  EnumWindows(RestyleExisting, 0);  // RestyleWindow skips every window not of this process
  return skin::kAttached;
}
