#pragma once
// A file's FileVersion string, read from its version resource.
#include <cstdint>

#include "util/text.h"

namespace update {

// The FileVersion string of the file at path (empty on any failure). An empty path reads
// the running executable. error receives a message on the failures before the string
// query and is left alone otherwise.
Text ReadFileVersion(const Text& path, Text& error);
inline Text ReadFileVersion(const Text& path) {
  Text ignored;
  return ReadFileVersion(path, ignored);
}

// The same for a path the program built from its own folder, without the drive-letter rule
// (a program run from "\\server\share" has no drive letter): used for the update decision.
Text ReadFileVersionOfOwnFile(const Text& path);

// Whether path is absolute with a drive letter ("C:\x", "c:/x"; "\\server\share" is not).
bool IsFullPath(const Text& path);

// The 8 upper-case hex digits naming a string table: language * 65536 + code page.
Text TranslationKey(std::uint16_t language, std::uint16_t codePage);

}  // namespace update
