#pragma once
// SHA-256 through the system's cryptography (BCrypt).
#include <array>
#include <cstddef>
#include <cstdint>

#include "util/text.h"

namespace util {

using Sha256Digest = std::array<std::uint8_t, 32>;

// False (logged) when the system could not hash.
bool Sha256(const std::uint8_t* data, std::size_t size, Sha256Digest& digest);
// The file read in pieces, so a large download is never held whole; false (logged) when the
// file cannot be read.
bool Sha256OfFile(const Text& path, Sha256Digest& digest);

// 64 lower-case hex digits, or empty on failure.
Text Sha256Hex(const Bytes& bytes);
Text Sha256HexOfFile(const Text& path);
Text LowerHex(const std::uint8_t* data, std::size_t size);

// Whether text is 64 hex digits (either case): the form a digest takes in our texts.
bool IsSha256Hex(const Text& text);

}  // namespace util
