#pragma once
// Which file names from the server may be written: only names that stay inside the
// program's directory. Anything else is never due and never downloaded.
#include "util/text.h"

namespace update {

// The rules that need no file system: a relative path of non-empty components separated by
// "\" or "/", none of them "." or "..", no drive, no leading separator (so no UNC path), no
// control or reserved characters (< > : " | ? *), no component ending in a dot or a space,
// no device name (CON, PRN, AUX, NUL, COM1-9, LPT1-9, CONIN$, CONOUT$, with any extension).
bool IsSafeRelativeName(const Text& name);

// IsSafeRelativeName, and the full path that GetFullPathName makes of directory + "\" + name
// lies inside directory.
bool IsSafeFileName(const Text& directory, const Text& name);

}  // namespace update
