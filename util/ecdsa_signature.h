#pragma once
// ECDSA over the NIST P-256 curve through the system's cryptography (BCrypt).
#include <array>
#include <cstdint>

#include "util/sha256.h"

namespace util {

// The public point: X then Y, 32 big-endian bytes each.
using EcP256Point = std::array<std::uint8_t, 64>;
// A signature: r then s, 32 big-endian bytes each.
using EcP256Signature = std::array<std::uint8_t, 64>;

enum class SignatureCheck {
  kValid,
  kInvalid,       // the signature does not belong to this digest and key
  kSystemError,   // the key could not be loaded or the system could not verify (logged)
};

SignatureCheck VerifyEcdsaP256(const EcP256Point& publicPoint, const Sha256Digest& digest,
                               const EcP256Signature& signature);

}  // namespace util
