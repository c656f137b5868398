#pragma once
// Owners of the CNG (BCrypt) handles that the hash and the signature check open.
#include <windows.h>
#include <bcrypt.h>

#include "util/unique_resource.h"

namespace util {

struct BcryptAlgorithmTraits {
  using Handle = BCRYPT_ALG_HANDLE;
  static Handle Empty() noexcept { return nullptr; }
  static bool IsEmpty(Handle h) noexcept { return h == nullptr; }
  static void Close(Handle h) noexcept { ::BCryptCloseAlgorithmProvider(h, 0); }
};
using UniqueAlgorithm = UniqueResource<BcryptAlgorithmTraits>;

struct BcryptKeyTraits {
  using Handle = BCRYPT_KEY_HANDLE;
  static Handle Empty() noexcept { return nullptr; }
  static bool IsEmpty(Handle h) noexcept { return h == nullptr; }
  static void Close(Handle h) noexcept { ::BCryptDestroyKey(h); }
};
using UniqueKey = UniqueResource<BcryptKeyTraits>;

struct BcryptHashTraits {
  using Handle = BCRYPT_HASH_HANDLE;
  static Handle Empty() noexcept { return nullptr; }
  static bool IsEmpty(Handle h) noexcept { return h == nullptr; }
  static void Close(Handle h) noexcept { ::BCryptDestroyHash(h); }
};
using UniqueHash = UniqueResource<BcryptHashTraits>;

}  // namespace util
