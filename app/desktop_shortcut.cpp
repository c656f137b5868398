// The desktop shortcut: read through the shell-link object, written through the script host.
#include "app/desktop_shortcut.h"

#include <windows.h>
#include <objbase.h>
#include <oleauto.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <string>

#include "app/main_form.h"
#include "app/program_state.h"
#include "app/shortcut_rules.h"
#include "util/com_dispatch.h"
#include "util/delay.h"
#include "util/log.h"
#include "util/unique_resource.h"

namespace app {
namespace {

constexpr UINT kPathChars = MAX_PATH;  // the reading side's buffer, in UTF-16 characters
constexpr UINT kQuestionFlags = MB_OKCANCEL | MB_ICONQUESTION;  // OK is the consent
constexpr DWORD kOldShortcutWaitMs = 2000;
constexpr DWORD kOldShortcutPollMs = 20;
constexpr char kShortcutName[] = "Tandrel";
constexpr char kQuestion[] = "你是否需要创建桌面Tandrel的快捷方式？";
constexpr char kQuestionTitle[] = "提示信息";

struct LocalMemoryTraits {
  using Handle = HLOCAL;
  static Handle Empty() noexcept { return nullptr; }
  static bool IsEmpty(Handle h) noexcept { return h == nullptr; }
  static void Close(Handle h) noexcept { ::LocalFree(h); }
};
using UniqueLocal = util::UniqueResource<LocalMemoryTraits>;

// The coclass "WshShell" of the script host's type library; its ProgID when the library
// cannot be read.
bool ScriptShellClass(CLSID& clsid) {
  util::ComPtr<ITypeLib> library;
  if (SUCCEEDED(LoadTypeLib(L"wshom.ocx", library.put()))) {
    UINT count = library->GetTypeInfoCount();
    for (UINT i = 0; i < count; ++i) {
      TYPEKIND kind;
      if (FAILED(library->GetTypeInfoType(i, &kind)) || kind != TKIND_COCLASS) continue;
      BSTR name = nullptr;
      if (FAILED(library->GetDocumentation(static_cast<INT>(i), &name, nullptr, nullptr, nullptr))) continue;
      bool match = name && lstrcmpiW(name, L"WshShell") == 0;
      SysFreeString(name);
      if (!match) continue;
      util::ComPtr<ITypeInfo> info;
      if (FAILED(library->GetTypeInfo(i, info.put()))) break;
      TYPEATTR* attributes = nullptr;
      if (FAILED(info->GetTypeAttr(&attributes)) || !attributes) break;
      clsid = attributes->guid;
      info->ReleaseTypeAttr(attributes);
      return true;
    }
  }
  return SUCCEEDED(CLSIDFromProgID(L"WScript.Shell", &clsid));
}

// The shell opens every new file on the desktop to draw its icon, and a scanner may too.
// While they hold it the old file cannot be deleted, or stays in place once deleted (where
// Windows then refuses even to read its attributes), and no new file of that name can be
// made; so the old one is waited for, briefly. The wait keeps this thread's messages
// flowing: the keyboard hook is already installed here, and the system holds every key
// press until it answers.
void RemoveOldShortcut(const Text& file) {
  const auto exists = [&file] {
    if (GetFileAttributesA(file.c_str()) != INVALID_FILE_ATTRIBUTES) return true;
    const DWORD error = GetLastError();
    return error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND;
  };
  if (!exists()) return;
  DWORD waited = 0;
  while (!DeleteFileA(file.c_str())) {
    const DWORD error = GetLastError();
    if (error != ERROR_SHARING_VIOLATION || waited >= kOldShortcutWaitMs) {
      SetLastError(error);
      util::LogLastError("DeleteFileA(old shortcut)");
      return;
    }
    util::Delay(static_cast<int>(kOldShortcutPollMs));
    waited += kOldShortcutPollMs;
  }
  while (exists()) {
    if (waited >= kOldShortcutWaitMs) {
      util::LogWarning("desktop shortcut: the old %s is still held open after %lu ms", file.c_str(),
                       static_cast<unsigned long>(waited));
      return;
    }
    util::Delay(static_cast<int>(kOldShortcutPollMs));
    waited += kOldShortcutPollMs;
  }
}

}  // namespace

Text DesktopDirectory() {
  wchar_t path[MAX_PATH] = {};
  if (!SHGetSpecialFolderPathW(nullptr, path, CSIDL_DESKTOPDIRECTORY, FALSE)) {
    util::LogLastError("SHGetSpecialFolderPathW(CSIDL_DESKTOPDIRECTORY)");
    return Text();
  }
  std::wstring directory = path;
  if (directory.empty()) return Text();
  if (directory.back() != L'\\') directory += L'\\';
  return util::Narrow(directory);
}

Text ReadShortcutTarget(const Text& path) {
  // Declared first, released last: the interfaces go before the apartment.
  util::ComApartment apartment;
  util::ComPtr<IPersistFile> file;
  HRESULT hr = CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IPersistFile, file.put_void());
  if (hr != S_OK || !file) {
    util::LogFailure("CoCreateInstance(CLSID_ShellLink)", hr);
    return Text();
  }
  util::ComPtr<IShellLinkW> link;
  hr = file->QueryInterface(IID_IShellLinkW, link.put_void());
  if (hr != S_OK || !link) {
    util::LogFailure("QueryInterface(IShellLinkW)", hr);
    return Text();
  }
  // A missing shortcut is the common case on a first start; it still counts as a failed read.
  hr = file->Load(util::Widen(path).c_str(), STGM_READ);
  if (hr != S_OK) {
    util::LogFailure("IPersistFile::Load(shortcut)", hr);
    return Text();
  }
  UniqueLocal buffer(LocalAlloc(LPTR, kPathChars * sizeof(wchar_t)));
  if (!buffer) {
    util::LogLastError("LocalAlloc");
    return Text();
  }
  auto* chars = static_cast<wchar_t*>(static_cast<void*>(buffer.get()));
  hr = link->GetPath(chars, kPathChars, nullptr, 0);
  if (hr != S_OK) {
    util::LogFailure("IShellLinkW::GetPath", hr);
    return Text();
  }
  chars[kPathChars - 1] = L'\0';
  return util::Narrow(chars);
}

bool CreateDesktopShortcut(const Text& name, const Text& target, const Text& arguments,
                           const Text& iconLocation, int windowStyle, const Text& description,
                           const Text& hotkey) {
  const Text shortcutFile = ShortcutFilePath(DesktopDirectory(), ShortcutName(name));
  RemoveOldShortcut(shortcutFile);
  Text workingDirectory;
  if (!ShortcutWorkingDirectory(target, workingDirectory)) {
    util::LogWarning("desktop shortcut: the target %s has no directory", target.c_str());
    return false;
  }

  util::ComApartment apartment;
  CLSID shellClass;
  if (!ScriptShellClass(shellClass)) {
    util::LogWarning("desktop shortcut: the script host's shell class cannot be found");
    return false;
  }
  util::ComPtr<IDispatch> shell;
  const HRESULT created = CoCreateInstance(shellClass, nullptr, CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER,
                                           IID_IDispatch, shell.put_void());
  if (FAILED(created) || !shell) {
    util::LogFailure("CoCreateInstance(WshShell)", created);
    return false;
  }

  util::Bstr file(shortcutFile);
  VARIANT argument;
  VariantInit(&argument);
  argument.vt = VT_BSTR;
  argument.bstrVal = file.get();
  VARIANT result;
  VariantInit(&result);
  HRESULT hr = util::InvokeByName(shell.get(), L"CreateShortcut", DISPATCH_METHOD, &argument, 1, &result);
  shell.reset();
  util::ComPtr<IDispatch> shortcut;
  if (SUCCEEDED(hr) && result.vt == VT_DISPATCH && result.pdispVal) {
    shortcut = util::ComPtr<IDispatch>(result.pdispVal);  // takes the result's reference
  } else {
    util::LogFailure("WshShell.CreateShortcut", hr);
    VariantClear(&result);
    return false;
  }

  // The property writes and the save are not checked beyond the target: a shell that
  // rejects one value (a window style of 0, say) still gets the others.
  if (SUCCEEDED(util::PutText(shortcut.get(), L"TargetPath", target))) {
    util::PutText(shortcut.get(), L"WorkingDirectory", workingDirectory);
    util::PutText(shortcut.get(), L"IconLocation", ShortcutIconLocation(target, iconLocation));
    util::PutInteger(shortcut.get(), L"WindowStyle", windowStyle);
    util::PutText(shortcut.get(), L"Description", description);
    util::PutText(shortcut.get(), L"Arguments", arguments);
    util::PutText(shortcut.get(), L"Hotkey", hotkey);
    util::InvokeByName(shortcut.get(), L"Save", DISPATCH_METHOD, nullptr, 0, nullptr);
  }
  return true;
}

void OfferDesktopShortcut() {
  // The shortcut looked at is the one this offer creates, on the current user's desktop.
  const Text desktop = DesktopDirectory();
  const Text current = desktop.empty() ? Text() : ReadShortcutTarget(desktop + "Tandrel.lnk");
  const Text expected = ProgramDirectory() + "\\tandrel.exe";
  if (current == expected) {
    util::LogInfo("desktop shortcut: present and pointing at us, not offered");
    return;
  }
  const int answer = MessageBoxA(Form().mainWindow.Handle(), kQuestion, kQuestionTitle, kQuestionFlags);
  if (answer == 0) {
    util::LogLastError("MessageBoxA(shortcut question)");
  } else if (answer != IDOK) {
    util::LogInfo("desktop shortcut: offered, the user declined");
  } else if (CreateDesktopShortcut(kShortcutName, expected)) {
    util::LogInfo("desktop shortcut: offered, accepted, created for %s", expected.c_str());
  } else {
    util::LogWarning("desktop shortcut: offered, accepted, but it could not be created");
  }
}

}  // namespace app
