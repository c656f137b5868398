#include "util/sha256.h"

#include <windows.h>
#include <bcrypt.h>

#include <vector>

#include "util/bcrypt_handles.h"
#include "util/log.h"

namespace util {
namespace {

bool Succeeded(NTSTATUS status, const char* call) {
  if (status >= 0) return true;
  LogFailure(call, static_cast<long>(status));
  return false;
}

// Hashes whatever feed hands to add, piece by piece.
template <typename Feed>
bool HashPieces(Sha256Digest& digest, Feed feed) {
  BCRYPT_ALG_HANDLE algorithmHandle = nullptr;
  if (!Succeeded(::BCryptOpenAlgorithmProvider(&algorithmHandle, BCRYPT_SHA256_ALGORITHM, nullptr, 0),
                 "BCryptOpenAlgorithmProvider(SHA256)"))
    return false;
  UniqueAlgorithm algorithm(algorithmHandle);
  BCRYPT_HASH_HANDLE hashHandle = nullptr;
  // With no object buffer the provider keeps the hash state itself (Windows 7 and later).
  if (!Succeeded(::BCryptCreateHash(algorithm.get(), &hashHandle, nullptr, 0, nullptr, 0, 0), "BCryptCreateHash"))
    return false;
  UniqueHash hash(hashHandle);
  auto add = [&hash](const std::uint8_t* data, std::size_t size) {
    // BCryptHashData takes a 32-bit count.
    while (size > 0) {
      const ULONG piece = size > 0x40000000u ? 0x40000000u : static_cast<ULONG>(size);
      if (!Succeeded(::BCryptHashData(hash.get(), const_cast<PUCHAR>(data), piece, 0), "BCryptHashData"))
        return false;
      data += piece;
      size -= piece;
    }
    return true;
  };
  if (!feed(add)) return false;
  return Succeeded(::BCryptFinishHash(hash.get(), digest.data(), static_cast<ULONG>(digest.size()), 0),
                   "BCryptFinishHash");
}

}  // namespace

bool Sha256(const std::uint8_t* data, std::size_t size, Sha256Digest& digest) {
  return HashPieces(digest, [data, size](auto& add) { return size == 0 || add(data, size); });
}

bool Sha256OfFile(const Text& path, Sha256Digest& digest) {
  UniqueHandle file(::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                  FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
  if (!file) {
    LogLastError("CreateFileA (hashing)");
    return false;
  }
  return HashPieces(digest, [&file](auto& add) {
    std::vector<std::uint8_t> buffer(64 * 1024);
    for (;;) {
      DWORD got = 0;
      if (!::ReadFile(file.get(), buffer.data(), static_cast<DWORD>(buffer.size()), &got, nullptr)) {
        LogLastError("ReadFile (hashing)");
        return false;
      }
      if (got == 0) return true;
      if (!add(buffer.data(), got)) return false;
    }
  });
}

Text LowerHex(const std::uint8_t* data, std::size_t size) {
  static const char kDigits[] = "0123456789abcdef";
  Text hex;
  hex.reserve(size * 2);
  for (std::size_t i = 0; i < size; ++i) {
    hex += kDigits[data[i] >> 4];
    hex += kDigits[data[i] & 0x0F];
  }
  return hex;
}

Text Sha256Hex(const Bytes& bytes) {
  Sha256Digest digest{};
  if (!Sha256(bytes.data(), bytes.size(), digest)) return {};
  return LowerHex(digest.data(), digest.size());
}

Text Sha256HexOfFile(const Text& path) {
  Sha256Digest digest{};
  if (!Sha256OfFile(path, digest)) return {};
  return LowerHex(digest.data(), digest.size());
}

bool IsSha256Hex(const Text& text) {
  if (text.size() != 64) return false;
  for (char c : text) {
    const bool hex = (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
    if (!hex) return false;
  }
  return true;
}

}  // namespace util
