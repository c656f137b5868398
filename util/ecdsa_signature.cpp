#include "util/ecdsa_signature.h"

#include <windows.h>
#include <bcrypt.h>

#include <cstring>

#include "util/bcrypt_handles.h"
#include "util/log.h"

namespace util {
namespace {

// Not every MinGW header set defines it.
constexpr NTSTATUS kStatusInvalidSignature = static_cast<NTSTATUS>(0xC000A000L);

}  // namespace

SignatureCheck VerifyEcdsaP256(const EcP256Point& publicPoint, const Sha256Digest& digest,
                               const EcP256Signature& signature) {
  BCRYPT_ALG_HANDLE algorithmHandle = nullptr;
  NTSTATUS status = ::BCryptOpenAlgorithmProvider(&algorithmHandle, BCRYPT_ECDSA_P256_ALGORITHM, nullptr, 0);
  if (status < 0) {
    LogFailure("BCryptOpenAlgorithmProvider(ECDSA_P256)", static_cast<long>(status));
    return SignatureCheck::kSystemError;
  }
  UniqueAlgorithm algorithm(algorithmHandle);

  // BCRYPT_ECCPUBLIC_BLOB: the header, then X and Y.
  std::uint8_t blob[sizeof(BCRYPT_ECCKEY_BLOB) + 64];
  const BCRYPT_ECCKEY_BLOB header{BCRYPT_ECDSA_PUBLIC_P256_MAGIC, 32};
  std::memcpy(blob, &header, sizeof header);
  std::memcpy(blob + sizeof header, publicPoint.data(), publicPoint.size());
  BCRYPT_KEY_HANDLE keyHandle = nullptr;
  status = ::BCryptImportKeyPair(algorithm.get(), nullptr, BCRYPT_ECCPUBLIC_BLOB, &keyHandle, blob, sizeof blob, 0);
  if (status < 0) {
    // A point that is not on the curve ends here too.
    LogFailure("BCryptImportKeyPair(ECCPUBLIC)", static_cast<long>(status));
    return SignatureCheck::kSystemError;
  }
  UniqueKey key(keyHandle);

  status = ::BCryptVerifySignature(key.get(), nullptr, const_cast<PUCHAR>(digest.data()),
                                   static_cast<ULONG>(digest.size()), const_cast<PUCHAR>(signature.data()),
                                   static_cast<ULONG>(signature.size()), 0);
  if (status >= 0) return SignatureCheck::kValid;
  if (status == kStatusInvalidSignature) return SignatureCheck::kInvalid;
  LogFailure("BCryptVerifySignature", static_cast<long>(status));
  return SignatureCheck::kSystemError;
}

}  // namespace util
