#pragma once
// Whole files by GBK path. A stored file is replaced whole or not at all.
#include <cstddef>
#include <cstdint>

#include "util/text.h"

namespace util {

// True when something (file or folder) exists at path.
bool FileExists(const Text& path);

// True when a file, not a folder, exists at path.
bool IsRegularFile(const Text& path);

// The size of the file at path, or -1 when it is missing, a folder or cannot be looked at.
std::int64_t FileSizeOf(const Text& path);

// The whole file into out. False, with out empty, when the file is missing, cannot be read or
// holds more than maxBytes; an empty file gives true and an empty out.
bool ReadWholeFile(const Text& path, Bytes& out, std::size_t maxBytes);

// Replaces path with bytes: they go to "<path>.new" beside it, are flushed to disk, and that
// file then takes the target's place (MoveFileEx, replace existing, write through). On any
// failure the temporary file is removed and the target is left as it was. Failures are logged.
bool WriteFileAtomically(const Text& path, const Bytes& bytes);

}  // namespace util
