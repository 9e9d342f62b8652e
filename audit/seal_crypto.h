// The cryptography of sealed audit logs: SHA-256 for records and the chain, HMAC-SHA-256 for the
// seals and the key's evolution, both on libcrypto's SHA-256, which uses the processor's SHA
// instructions where it has them (five times libsodium's portable code: verification takes the
// digest of every record and the MAC of every seal). libsodium supplies the keys' randomness
// and their erasing.
//
// Without LYRUTIL_SEALING (the Windows build) the functions exist and compute nothing:
// CryptoReady() says false and the callers stop there.
#ifndef LYRUTIL_AUDIT_SEAL_CRYPTO_H
#define LYRUTIL_AUDIT_SEAL_CRYPTO_H

#include <array>
#include <cstddef>

namespace lyrutil {

using SealDigest = std::array<unsigned char, 32>;

// Whether this build seals and its cryptography could be set up.
bool CryptoReady();

// SHA-256 of `size` bytes, and of two pieces one after the other. May be called from several
// threads.
SealDigest Sha256(const void* bytes, size_t size);
SealDigest Sha256(const void* first, size_t firstSize, const void* second, size_t secondSize);

// HMAC-SHA-256 under one key, its pads made once: a seal file is MACed entry after entry with
// one epoch's key. Of() may be called from several threads at once.
class KeyedMac {
 public:
  explicit KeyedMac(const SealDigest& key);
  ~KeyedMac();
  KeyedMac(const KeyedMac&) = delete;
  KeyedMac& operator=(const KeyedMac&) = delete;

  SealDigest Of(const unsigned char* message, size_t size) const;

 private:
  // SHA-256's states after the key's inner and outer pads, as libcrypto keeps them: the key
  // itself, in effect, so erased with it.
  alignas(8) unsigned char innerState_[128];
  alignas(8) unsigned char outerState_[128];
};

// A key from the system's random source (zero where the build does not seal).
SealDigest RandomKey();

// The next epoch's key: one way, so today's key tells nothing of yesterday's.
SealDigest NextKey(const SealDigest& key);

// Overwrites a key in a way the compiler does not remove.
void Erase(SealDigest* key);

// Compares two MACs in constant time.
bool SameMac(const SealDigest& a, const SealDigest& b);

}  // namespace lyrutil

#endif  // LYRUTIL_AUDIT_SEAL_CRYPTO_H
