// The skin is drawn by SkinH_EL.dll, attached once at start. Without it start-up cannot go on.
#include "app/skin_call.h"

#include <windows.h>

#include <cstdio>

#include "app/end_program.h"
#include "app/main_form.h"
#include "util/log.h"
#include "util/program_directory.h"

namespace app {
namespace {

constexpr char kLibrary[] = "SkinH_EL.dll";
constexpr char kExport[] = "SkinH_AttachEx";
using AttachFunction = int(__stdcall*)(const char* path, const char* password);

AttachFunction attach = nullptr;  // the library stays loaded for the life of the process

[[noreturn]] void FailMissingExport() {
  char detail[256];
  std::snprintf(detail, sizeof detail, "无法找到指定DLL库文件“%s”中的输出命令“%s”", kLibrary, kExport);
  const Text message = Text("运行时出错!\r\n\r\n") + detail;
  MessageBoxA(Form().mainWindow.Handle(), message.c_str(), "Tandrel", MB_OK | MB_ICONERROR);
  EndProgram(ExitReason::kSkinLibraryMissing);
}

}  // namespace

void ApplySkin(const Text& skinFilePath, const Text& password) {
  if (!attach) {
    // By its full path beside the executable: a bare name would also be looked for in the
    // current directory and along PATH, where anyone's copy could stand in for ours.
    const Text directory = util::ProgramDirectory();
    HMODULE module = nullptr;
    if (directory.empty()) {
      util::LogError("%s: the program's own folder is unknown", kLibrary);
    } else {
      const Text libraryPath = directory + "\\" + kLibrary;
      module = LoadLibraryA(libraryPath.c_str());
      if (!module) util::LogLastError("LoadLibraryA(SkinH_EL.dll)");
    }
    if (module) {
      attach = reinterpret_cast<AttachFunction>(
          reinterpret_cast<void*>(GetProcAddress(module, kExport)));
    }
    if (!attach) {
      util::LogError("%s: %s", kLibrary, module ? "the export SkinH_AttachEx is missing" : "cannot be loaded");
      FailMissingExport();
    }
  }
  attach(skinFilePath.c_str(), password.c_str());  // a skin that cannot be used changes nothing
}

}  // namespace app
