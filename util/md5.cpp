// MD5 through CryptoAPI, rendered as 32 lower-case hex digits.
#include "util/md5.h"

#include <windows.h>
#include <wincrypt.h>

#include "util/log.h"
#include "util/unique_resource.h"

namespace util {
namespace {

struct CryptProviderTraits {
  using Handle = HCRYPTPROV;
  static Handle Empty() noexcept { return 0; }
  static bool IsEmpty(Handle h) noexcept { return h == 0; }
  static void Close(Handle h) noexcept { ::CryptReleaseContext(h, 0); }
};
using UniqueCryptProvider = UniqueResource<CryptProviderTraits>;

struct CryptHashTraits {
  using Handle = HCRYPTHASH;
  static Handle Empty() noexcept { return 0; }
  static bool IsEmpty(Handle h) noexcept { return h == 0; }
  static void Close(Handle h) noexcept { ::CryptDestroyHash(h); }
};
using UniqueCryptHash = UniqueResource<CryptHashTraits>;

UniqueCryptProvider AcquireProvider() {
  HCRYPTPROV provider = 0;
  // No container and no provider name: the default provider of the type. A verify
  // context needs no key container; the plain one is the fallback.
  if (::CryptAcquireContextA(&provider, nullptr, nullptr, PROV_RSA_FULL, CRYPT_VERIFYCONTEXT) ||
      ::CryptAcquireContextA(&provider, nullptr, nullptr, PROV_RSA_FULL, 0)) {
    return UniqueCryptProvider(provider);
  }
  LogLastError("CryptAcquireContextA");
  return UniqueCryptProvider();
}

}  // namespace

Text Md5Hex(const Bytes& bytes) {
  // Declared before the hash, so the hash is destroyed before the context is released.
  UniqueCryptProvider provider = AcquireProvider();
  if (!provider) return {};
  HCRYPTHASH hashHandle = 0;
  if (!::CryptCreateHash(provider.get(), CALG_MD5, 0, 0, &hashHandle)) {
    LogLastError("CryptCreateHash");
    return {};
  }
  UniqueCryptHash hash(hashHandle);

  static const BYTE kNothing = 0;
  const BYTE* data = bytes.empty() ? &kNothing : bytes.data();
  if (!::CryptHashData(hash.get(), data, static_cast<DWORD>(bytes.size()), 0)) {
    LogLastError("CryptHashData");
    return {};
  }

  BYTE digest[16] = {};
  DWORD digestSize = sizeof digest;
  if (!::CryptGetHashParam(hash.get(), HP_HASHVAL, digest, &digestSize, 0) || digestSize != 16) {
    LogLastError("CryptGetHashParam");
    return {};
  }
  static const char kHexDigits[] = "0123456789abcdef";
  Text hex;
  hex.reserve(32);
  for (BYTE b : digest) {
    hex.push_back(kHexDigits[b >> 4]);
    hex.push_back(kHexDigits[b & 0x0F]);
  }
  return hex;
}

}  // namespace util
