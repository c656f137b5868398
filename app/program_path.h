#pragma once
#include "util/text.h"

// The directory part of a GBK path, without the trailing backslash: everything before
// the last "\" that is a character of its own (0x5C is also a trail byte of some
// two-byte characters). Empty when the path has no backslash.
Text DirectoryOfPath(const Text& path);
