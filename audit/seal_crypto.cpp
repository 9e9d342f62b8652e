#include "seal_crypto.h"

#include <cstring>
#include <memory>

#if defined(LYRUTIL_SEALING)
#include <openssl/evp.h>
#include <sodium.h>
#endif

namespace lyrutil {

#if defined(LYRUTIL_SEALING)

namespace {

const EVP_MD* Sha256Method() {
  static EVP_MD* const sha256 = EVP_MD_fetch(nullptr, "SHA256", nullptr);
  return sha256;
}

// One context per thread, started again for every digest (no allocation after the first).
EVP_MD_CTX* ThreadContext() {
  thread_local const std::unique_ptr<EVP_MD_CTX, void (*)(EVP_MD_CTX*)> context(EVP_MD_CTX_new(),
                                                                                EVP_MD_CTX_free);
  return context.get();
}

}  // namespace

bool CryptoReady() {
  static const bool ready = sodium_init() >= 0;
  return ready;
}

SealDigest Sha256(const void* first, size_t firstSize, const void* second, size_t secondSize) {
  SealDigest out;
  unsigned int length = 0;
  EVP_MD_CTX* context = ThreadContext();
  if (Sha256Method() && context && EVP_DigestInit_ex2(context, Sha256Method(), nullptr) == 1 &&
      EVP_DigestUpdate(context, first, firstSize) == 1 &&
      EVP_DigestUpdate(context, second, secondSize) == 1 &&
      EVP_DigestFinal_ex(context, out.data(), &length) == 1 && length == out.size())
    return out;
  // libcrypto failed (no memory for its context): libsodium's portable code, same digest.
  crypto_hash_sha256_state state;
  crypto_hash_sha256_init(&state);
  crypto_hash_sha256_update(&state, static_cast<const unsigned char*>(first), firstSize);
  crypto_hash_sha256_update(&state, static_cast<const unsigned char*>(second), secondSize);
  crypto_hash_sha256_final(&state, out.data());
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

bool SameMac(const SealDigest& a, const SealDigest& b) {
  return sodium_memcmp(a.data(), b.data(), a.size()) == 0;
}

KeyedMac::~KeyedMac() {
  sodium_memzero(inner_, sizeof inner_);
  sodium_memzero(outer_, sizeof outer_);
}

#else

bool CryptoReady() {
  return false;
}
SealDigest Sha256(const void*, size_t, const void*, size_t) {
  return {};
}
SealDigest RandomKey() {
  return {};
}
void Erase(SealDigest* key) {
  volatile unsigned char* bytes = key->data();
  for (size_t i = 0; i < key->size(); ++i) bytes[i] = 0;
}
bool SameMac(const SealDigest& a, const SealDigest& b) {
  return a == b;
}
KeyedMac::~KeyedMac() {
  volatile unsigned char* bytes = inner_;
  for (size_t i = 0; i < sizeof inner_; ++i) bytes[i] = 0;
  bytes = outer_;
  for (size_t i = 0; i < sizeof outer_; ++i) bytes[i] = 0;
}

#endif

SealDigest Sha256(const void* bytes, size_t size) {
  return Sha256(bytes, size, nullptr, 0);
}

// HMAC as its definition has it (the key, shorter than a block, padded with zeros): SHA-256 of
// the outer pad and of the SHA-256 of the inner pad and the message. Two blocks more than
// keeping the pads' digest states, and no allocation: copying a libcrypto context allocates.
KeyedMac::KeyedMac(const SealDigest& key) {
  static_assert(sizeof(SealDigest) <= sizeof inner_, "an HMAC key longer than a block is hashed");
  std::memset(inner_, 0, sizeof inner_);
  std::memcpy(inner_, key.data(), key.size());
  std::memcpy(outer_, inner_, sizeof outer_);
  for (size_t i = 0; i < sizeof inner_; ++i) {
    inner_[i] ^= 0x36;
    outer_[i] ^= 0x5c;
  }
}

SealDigest KeyedMac::Of(const unsigned char* message, size_t size) const {
  const SealDigest inner = Sha256(inner_, sizeof inner_, message, size);
  return Sha256(outer_, sizeof outer_, inner.data(), inner.size());
}

SealDigest NextKey(const SealDigest& key) {
  static const unsigned char kLabel[] = "lyrutil audit seal: next epoch";
  return KeyedMac(key).Of(kLabel, sizeof kLabel - 1);
}

}  // namespace lyrutil
