#pragma once
// Which file names from the server may be written: only names that stay inside the
// program's directory. Anything else is never due and never downloaded.
#include <set>
#include <string>
#include <utility>

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

// The file a name leads to, as one text per file: the full path of directory + "\" + name,
// one kind of separator, case folded. Empty when it cannot be resolved.
std::wstring FileIdentity(const Text& directory, const Text& name);

// The names of one list that may be worked on side by side: each must lead to a file of its
// own, and none may be one of the updater's work files (a download or backup of another).
class DistinctFileNames {
 public:
  explicit DistinctFileNames(Text directory) : directory_(std::move(directory)) {}
  // True the first time a file is named; false (logged) for a later name of a file already
  // named, in any case or with either separator, for a work-file name, or for one that
  // cannot be resolved.
  bool Claim(const Text& name);

 private:
  Text directory_;
  std::set<std::wstring> claimed_;
};

}  // namespace update
