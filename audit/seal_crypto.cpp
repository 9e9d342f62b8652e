#include "seal_crypto.h"

#include <cstring>

#if defined(LYRUTIL_SEALING)
// SHA-256's own functions rather than the EVP interface: EVP's dispatch and the reference counts
// it shares between threads cost three times the digest of a seal's 72 bytes, and copying an EVP
// context allocates. libcrypto 3 marks them deprecated, yet keeps them, with the same SHA code.
#define OPENSSL_SUPPRESS_DEPRECATED
#include <openssl/crypto.h>
#include <openssl/sha.h>
#include <sodium.h>
#endif

namespace lyrutil {

#if defined(LYRUTIL_SEALING)

static_assert(sizeof(SHA256_CTX) <= sizeof(KeyedMac) / 2 && alignof(SHA256_CTX) <= 8,
              "a SHA-256 state fits the room KeyedMac keeps for it");

namespace {

// A state the size of libcrypto's, in and out of the room KeyedMac keeps.
void Store(const SHA256_CTX& state, unsigned char* room) {
  std::memcpy(room, &state, sizeof state);
}

SHA256_CTX Restored(const unsigned char* room) {
  SHA256_CTX state;
  std::memcpy(&state, room, sizeof state);
  return state;
}

// The key, shorter than a block, padded with zeros and combined with `pad`'s byte.
SHA256_CTX PadState(const SealDigest& key, unsigned char pad) {
  unsigned char block[SHA256_CBLOCK];
  std::memset(block, pad, sizeof block);
  for (size_t i = 0; i < key.size(); ++i) block[i] ^= key[i];
  SHA256_CTX state;
  SHA256_Init(&state);
  SHA256_Update(&state, block, sizeof block);
  sodium_memzero(block, sizeof block);
  return state;
}

}  // namespace

bool CryptoReady() {
  static const bool ready = sodium_init() >= 0;
  return ready;
}

SealDigest Sha256(const void* first, size_t firstSize, const void* second, size_t secondSize) {
  SealDigest out;
  SHA256_CTX state;
  SHA256_Init(&state);
  SHA256_Update(&state, first, firstSize);
  SHA256_Update(&state, second, secondSize);
  SHA256_Final(out.data(), &state);
  return out;
}

// HMAC as its definition has it: SHA-256 of the outer pad and of the SHA-256 of the inner pad
// and the message, each pad's state computed once.
KeyedMac::KeyedMac(const SealDigest& key) {
  static_assert(sizeof(SealDigest) <= SHA256_CBLOCK, "an HMAC key longer than a block is hashed");
  Store(PadState(key, 0x36), innerState_);
  Store(PadState(key, 0x5c), outerState_);
}

KeyedMac::~KeyedMac() {
  sodium_memzero(innerState_, sizeof innerState_);
  sodium_memzero(outerState_, sizeof outerState_);
}

SealDigest KeyedMac::Of(const unsigned char* message, size_t size) const {
  SealDigest inner, out;
  SHA256_CTX state = Restored(innerState_);
  SHA256_Update(&state, message, size);
  SHA256_Final(inner.data(), &state);
  state = Restored(outerState_);
  SHA256_Update(&state, inner.data(), inner.size());
  SHA256_Final(out.data(), &state);
  sodium_memzero(&state, sizeof state);
  return out;
}

SealDigest RandomKey() {
  SealDigest key;
  randombytes_buf(key.data(), key.size());
  return key;
}

void Erase(SealDigest* key) {
  sodium_memzero(key->data(), key->size());
}

// libcrypto's constant-time comparison: a third of libsodium's time, which verification pays
// once a seal.
bool SameMac(const SealDigest& a, const SealDigest& b) {
  return CRYPTO_memcmp(a.data(), b.data(), a.size()) == 0;
}

#else

namespace {

void Clear(unsigned char* bytes, size_t size) {
  volatile unsigned char* cleared = bytes;
  for (size_t i = 0; i < size; ++i) cleared[i] = 0;
}

}  // namespace

bool CryptoReady() {
  return false;
}
SealDigest Sha256(const void*, size_t, const void*, size_t) {
  return {};
}
KeyedMac::KeyedMac(const SealDigest&) : innerState_(), outerState_() {}
KeyedMac::~KeyedMac() = default;
SealDigest KeyedMac::Of(const unsigned char*, size_t) const {
  return {};
}
SealDigest RandomKey() {
  return {};
}
void Erase(SealDigest* key) {
  Clear(key->data(), key->size());
}
bool SameMac(const SealDigest& a, const SealDigest& b) {
  return a == b;
}

#endif

SealDigest Sha256(const void* bytes, size_t size) {
  return Sha256(bytes, size, nullptr, 0);
}

SealDigest NextKey(const SealDigest& key) {
  static const unsigned char kLabel[] = "lyrutil audit seal: next epoch";
  return KeyedMac(key).Of(kLabel, sizeof kLabel - 1);
}

}  // namespace lyrutil
