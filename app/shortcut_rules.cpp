#include "app/shortcut_rules.h"

namespace app {
namespace {

// Last position of `c` that starts a character: a GBK trail byte may equal "\" (0x5C).
std::size_t LastCharacter(const Text& text, char c, std::size_t from = 0) {
  std::size_t found = Text::npos;
  for (std::size_t i = from; i < text.size(); ++i) {
    if (text[i] == c) found = i;
    if (util::IsLeadByte(static_cast<unsigned char>(text[i])) && i + 1 < text.size()) ++i;
  }
  return found;
}

std::size_t FileNameStart(const Text& path) {
  std::size_t slash = LastCharacter(path, '\\');
  return slash == Text::npos ? 0 : slash + 1;
}

// Position of the extension's "." in the file name part, or npos. As the shell reads
// extensions, a space after the last "." means there is none ("a.b c").
std::size_t ExtensionStart(const Text& path) {
  std::size_t start = FileNameStart(path);
  std::size_t dot = LastCharacter(path, '.', start);
  if (dot == Text::npos) return Text::npos;
  std::size_t space = LastCharacter(path, ' ', dot);
  return space == Text::npos ? dot : Text::npos;
}

}  // namespace

Text ShortcutName(const Text& name) {
  if (LastCharacter(name, '\\') == Text::npos) return name;
  Text fileName = name.substr(FileNameStart(name));
  std::size_t dot = ExtensionStart(fileName);
  return dot == Text::npos ? fileName : fileName.substr(0, dot);
}

Text ShortcutFilePath(const Text& desktopDirectory, const Text& name) {
  bool hasLinkSuffix = util::FindTextNoCase(name, ".lnk") != Text::npos;
  return desktopDirectory + name + (hasLinkSuffix ? "" : ".lnk");
}

bool ShortcutWorkingDirectory(const Text& target, Text& workingDirectory) {
  std::size_t slash = LastCharacter(target, '\\');
  if (slash == Text::npos) return false;
  workingDirectory = target.substr(0, slash + 1);
  return true;
}

Text ShortcutIconLocation(const Text& target, const Text& iconLocation) {
  if (!iconLocation.empty()) return iconLocation;
  if (ExtensionStart(target) == Text::npos) return "SHELL32.dll,4";
  return target + ",0";
}

}  // namespace app
