#pragma once
// Where the running executable lives, and the files kept beside it.
#include "util/text.h"

namespace util {

// The directory part of a GBK path, without the trailing backslash: everything before the
// last "\" that is a character of its own (0x5C is also the trail byte of some two-byte
// characters). Empty when the path has no backslash.
Text DirectoryOfPath(const Text& path);

// The full path of the running executable; empty when it cannot be read. Paths longer
// than MAX_PATH are read whole.
Text ProgramFilePath();

// The directory of the running executable, without a trailing backslash; empty when the
// module path cannot be read.
Text ProgramDirectory();

// ProgramDirectory() + "\" + fileName.
Text PathBesideProgram(const Text& fileName);

}  // namespace util
