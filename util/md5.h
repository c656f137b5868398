#pragma once
#include "util/text.h"

namespace util {
// 32 lower-case hex digits of the MD5 of the bytes (CryptoAPI), or empty on failure.
Text Md5Hex(const Bytes& bytes);
inline Text Md5Hex(const Text& text) { return Md5Hex(Bytes(text.begin(), text.end())); }
}  // namespace util
