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
#include "util/unique_resource.h"

namespace app {
namespace {

constexpr int kDesktopDirectory = 16;  // CSIDL_DESKTOPDIRECTORY
constexpr UINT kPathChars = 260;
constexpr UINT kQuestionFlags = 33;    // OK and Cancel, question icon
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

}  // namespace

Text DesktopDirectory() {
  wchar_t path[MAX_PATH] = {};
  if (!SHGetSpecialFolderPathW(nullptr, path, kDesktopDirectory, FALSE)) return Text();
  std::wstring directory = path;
  if (directory.empty()) return Text();
  if (directory.back() != L'\\') directory += L'\\';
  return util::Narrow(directory);
}

Text ReadShortcutTarget(const Text& path) {
  // Declared first, released last: the interfaces go before the apartment.
  util::ComApartment apartment;
  util::ComPtr<IPersistFile> file;
  if (CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IPersistFile,
                       file.put_void()) != S_OK || !file) {
    return Text();
  }
  util::ComPtr<IShellLinkW> link;
  if (file->QueryInterface(IID_IShellLinkW, link.put_void()) != S_OK || !link) return Text();
  if (file->Load(util::Widen(path).c_str(), STGM_READ) != S_OK) return Text();
  UniqueLocal buffer(LocalAlloc(LPTR, kPathChars * sizeof(wchar_t)));
  if (!buffer) return Text();
  auto* chars = static_cast<wchar_t*>(static_cast<void*>(buffer.get()));
  if (link->GetPath(chars, kPathChars, nullptr, 0) != S_OK) return Text();
  chars[kPathChars - 1] = L'\0';
  return util::Narrow(chars);
}

bool CreateDesktopShortcut(const Text& name, const Text& target, const Text& arguments,
                           const Text& iconLocation, int windowStyle, const Text& description,
                           const Text& hotkey) {
  const Text shortcutFile = ShortcutFilePath(DesktopDirectory(), ShortcutName(name));
  if (GetFileAttributesA(shortcutFile.c_str()) != INVALID_FILE_ATTRIBUTES) {
    DeleteFileA(shortcutFile.c_str());
  }
  Text workingDirectory;
  if (!ShortcutWorkingDirectory(target, workingDirectory)) return false;

  util::ComApartment apartment;
  CLSID shellClass;
  if (!ScriptShellClass(shellClass)) return false;
  util::ComPtr<IDispatch> shell;
  if (FAILED(CoCreateInstance(shellClass, nullptr, CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER,
                              IID_IDispatch, shell.put_void())) || !shell) {
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
  if (current == expected) return;
  if (MessageBoxA(Form().mainWindow.Handle(), kQuestion, kQuestionTitle, kQuestionFlags) == IDOK) {
    CreateDesktopShortcut(kShortcutName, expected);
  }
}

}  // namespace app
