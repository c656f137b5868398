#pragma once
// The manifest's signature (txgeng.sig): ECDSA P-256 over the SHA-256 of the exact bytes of
// txgeng.dat, DER-encoded as `openssl dgst -sha256 -sign` writes it, checked against the
// public key built into the program. A manifest whose signature does not check counts as empty.
#include "util/ecdsa_signature.h"
#include "util/text.h"

namespace update {

// The DER bytes between "-----BEGIN label-----" and "-----END label-----" (base64, any line
// breaks). False for anything else: no such block, a character outside base64, bad padding.
bool DecodePem(const Text& pem, const char* label, Bytes& der);

// A SubjectPublicKeyInfo for id-ecPublicKey on prime256v1 with an uncompressed point, and
// nothing after it. Any other key (another curve, RSA, a compressed point) is refused.
bool ParseEcP256PublicKey(const Bytes& subjectPublicKeyInfo, util::EcP256Point& point);
// The same from a PEM "PUBLIC KEY" text.
bool ParseEcP256PublicKeyPem(const Text& pem, util::EcP256Point& point);

// An ECDSA-Sig-Value (SEQUENCE of the INTEGERs r and s) as r || s, 32 bytes each. Refused:
// wrong tags or lengths, bytes after the sequence, negative or zero values, values wider
// than 32 bytes.
bool ParseDerEcdsaSignature(const Bytes& der, util::EcP256Signature& signature);

enum class ManifestSignature {
  kValid,
  kMissing,           // no signature came
  kMalformed,         // the signature is not a DER ECDSA-Sig-Value
  kUnusableKey,       // the built-in key cannot be read (a build fault)
  kWrong,             // a signature, but not by the built-in key over these bytes
};
const char* ManifestSignatureName(ManifestSignature result);

// Checks signature against manifest (the bytes exactly as served) and publicKeyPem.
ManifestSignature CheckManifestSignature(const Bytes& manifest, const Bytes& signature, const Text& publicKeyPem);

}  // namespace update
