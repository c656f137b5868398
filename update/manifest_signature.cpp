#include "update/manifest_signature.h"

#include <cstring>

#include "util/log.h"
#include "util/sha256.h"

namespace update {
namespace {

constexpr std::uint8_t kSequence = 0x30;
constexpr std::uint8_t kInteger = 0x02;
constexpr std::uint8_t kBitString = 0x03;
constexpr std::uint8_t kObjectId = 0x06;

// 1.2.840.10045.2.1 (id-ecPublicKey) and 1.2.840.10045.3.1.7 (prime256v1), content bytes.
const std::uint8_t kEcPublicKeyOid[] = {0x2A, 0x86, 0x48, 0xCE, 0x3D, 0x02, 0x01};
const std::uint8_t kPrime256v1Oid[] = {0x2A, 0x86, 0x48, 0xCE, 0x3D, 0x03, 0x01, 0x07};

// A read-only view of DER bytes; every read stays inside it.
struct DerReader {
  const std::uint8_t* at;
  const std::uint8_t* end;

  bool Empty() const { return at == end; }

  // One element with the given tag: its content becomes *content, the reader moves past it.
  // Definite lengths only, in at most two length bytes (nothing here is longer).
  bool Next(std::uint8_t tag, DerReader* content) {
    if (end - at < 2 || at[0] != tag) return false;
    std::size_t length = at[1];
    const std::uint8_t* body = at + 2;
    if (length & 0x80) {
      const std::size_t lengthBytes = length & 0x7F;
      if (lengthBytes == 0 || lengthBytes > 2 || static_cast<std::size_t>(end - body) < lengthBytes) return false;
      length = 0;
      for (std::size_t i = 0; i < lengthBytes; ++i) length = (length << 8) | body[i];
      body += lengthBytes;
      if (length < 0x80) return false;  // DER writes short lengths in the short form
    }
    if (static_cast<std::size_t>(end - body) < length) return false;
    *content = {body, body + length};
    at = body + length;
    return true;
  }

  bool Equals(const std::uint8_t* bytes, std::size_t size) const {
    return static_cast<std::size_t>(end - at) == size && std::memcmp(at, bytes, size) == 0;
  }
};

// A positive INTEGER's value into 32 big-endian bytes, left-padded with zeros.
bool ReadUnsigned32(DerReader& sequence, std::uint8_t* out) {
  DerReader value{};
  if (!sequence.Next(kInteger, &value) || value.Empty()) return false;
  if (value.at[0] & 0x80) return false;  // negative
  // One leading zero only when the next byte would read as negative.
  if (value.at[0] == 0 && value.end - value.at > 1) {
    if (!(value.at[1] & 0x80)) return false;
    ++value.at;
  }
  const std::size_t size = static_cast<std::size_t>(value.end - value.at);
  if (size > 32) return false;
  std::memset(out, 0, 32);
  std::memcpy(out + (32 - size), value.at, size);
  for (std::size_t i = 0; i < 32; ++i) {
    if (out[i] != 0) return true;
  }
  return false;  // zero is no valid r or s
}

int Base64Value(char c) {
  if (c >= 'A' && c <= 'Z') return c - 'A';
  if (c >= 'a' && c <= 'z') return c - 'a' + 26;
  if (c >= '0' && c <= '9') return c - '0' + 52;
  if (c == '+') return 62;
  if (c == '/') return 63;
  return -1;
}

}  // namespace

bool DecodePem(const Text& pem, const char* label, Bytes& der) {
  const Text begin = Text("-----BEGIN ") + label + "-----";
  const Text end = Text("-----END ") + label + "-----";
  const std::size_t first = pem.find(begin);
  if (first == Text::npos) return false;
  const std::size_t from = first + begin.size();
  const std::size_t to = pem.find(end, from);
  if (to == Text::npos) return false;
  der.clear();
  std::uint32_t bits = 0;
  int bitCount = 0;
  int padding = 0;
  for (std::size_t i = from; i < to; ++i) {
    const char c = pem[i];
    if (c == '\r' || c == '\n' || c == ' ' || c == '\t') continue;
    if (c == '=') {
      ++padding;
      continue;
    }
    const int value = Base64Value(c);
    if (value < 0 || padding > 0) return false;  // a stranger, or data after the padding
    bits = (bits << 6) | static_cast<std::uint32_t>(value);
    bitCount += 6;
    if (bitCount >= 8) {
      bitCount -= 8;
      der.push_back(static_cast<std::uint8_t>((bits >> bitCount) & 0xFF));
    }
  }
  // Whole groups of four characters only: 2 or 4 leftover bits need 2 or 1 "=".
  if (padding > 2 || (bitCount == 0 && padding != 0) || (bitCount == 4 && padding != 2) ||
      (bitCount == 2 && padding != 1) || bitCount == 6)
    return false;
  return !der.empty();
}

bool ParseEcP256PublicKey(const Bytes& subjectPublicKeyInfo, util::EcP256Point& point) {
  DerReader whole{subjectPublicKeyInfo.data(), subjectPublicKeyInfo.data() + subjectPublicKeyInfo.size()};
  DerReader info{}, algorithm{}, keyType{}, curve{}, key{};
  if (!whole.Next(kSequence, &info) || !whole.Empty()) return false;
  if (!info.Next(kSequence, &algorithm) || !info.Next(kBitString, &key) || !info.Empty()) return false;
  if (!algorithm.Next(kObjectId, &keyType) || !algorithm.Next(kObjectId, &curve) || !algorithm.Empty()) return false;
  if (!keyType.Equals(kEcPublicKeyOid, sizeof kEcPublicKeyOid)) return false;
  if (!curve.Equals(kPrime256v1Oid, sizeof kPrime256v1Oid)) return false;
  // No unused bits, then 0x04 (uncompressed) and X, Y.
  if (key.end - key.at != 2 + 64 || key.at[0] != 0 || key.at[1] != 0x04) return false;
  std::memcpy(point.data(), key.at + 2, 64);
  return true;
}

bool ParseEcP256PublicKeyPem(const Text& pem, util::EcP256Point& point) {
  Bytes der;
  return DecodePem(pem, "PUBLIC KEY", der) && ParseEcP256PublicKey(der, point);
}

bool ParseDerEcdsaSignature(const Bytes& der, util::EcP256Signature& signature) {
  DerReader whole{der.data(), der.data() + der.size()};
  DerReader sequence{};
  if (!whole.Next(kSequence, &sequence) || !whole.Empty()) return false;
  if (!ReadUnsigned32(sequence, signature.data()) || !ReadUnsigned32(sequence, signature.data() + 32)) return false;
  return sequence.Empty();
}

const char* ManifestSignatureName(ManifestSignature result) {
  switch (result) {
    case ManifestSignature::kValid: return "valid";
    case ManifestSignature::kMissing: return "missing";
    case ManifestSignature::kMalformed: return "not a DER ECDSA signature";
    case ManifestSignature::kUnusableKey: return "the built-in public key cannot be read";
    case ManifestSignature::kWrong: return "not made by the built-in key over these bytes";
  }
  return "unknown";
}

ManifestSignature CheckManifestSignature(const Bytes& manifest, const Bytes& signature, const Text& publicKeyPem) {
  util::EcP256Point point{};
  if (!ParseEcP256PublicKeyPem(publicKeyPem, point)) return ManifestSignature::kUnusableKey;
  if (signature.empty()) return ManifestSignature::kMissing;
  util::EcP256Signature rs{};
  if (!ParseDerEcdsaSignature(signature, rs)) return ManifestSignature::kMalformed;
  util::Sha256Digest digest{};
  if (!util::Sha256(manifest.data(), manifest.size(), digest)) return ManifestSignature::kWrong;
  switch (util::VerifyEcdsaP256(point, digest, rs)) {
    case util::SignatureCheck::kValid: return ManifestSignature::kValid;
    case util::SignatureCheck::kInvalid: return ManifestSignature::kWrong;
    case util::SignatureCheck::kSystemError: return ManifestSignature::kWrong;  // logged where it failed
  }
  return ManifestSignature::kWrong;
}

}  // namespace update
