// Sealed audit logs. The record format cannot change (the suite's other programs read and write
// the same files), so the seal lives beside each log, in "LOG.seal": one entry for each record,
// holding the record's digest, a chain value that binds it to its index and to every record
// before it, and a MAC of the chain value under the key of the epoch in which it was sealed.
//
// The installation keeps only the current epoch's key ("seal.key" in the working directory). At
// the first append of a new epoch the key is replaced by one derived from it, one way, and the old
// one is overwritten: whoever holds the machine today cannot compute an earlier epoch's key, so
// cannot seal again a record that was sealed in an earlier epoch. The verification key is the key
// of epoch 0, given once to the person who starts sealing and kept off the machine; every epoch's
// key follows from it.
//
// SHA-256 and HMAC-SHA-256 (seal_crypto.h), which the Windows build could compute with the
// system's own cryptography; that build does not seal yet (`kSealingBuilt`).
//
// This unit is shared by the library, which seals as it appends, and by the tool, which starts
// sealing and verifies.
#ifndef LYRUTIL_AUDIT_LOG_SEAL_H
#define LYRUTIL_AUDIT_LOG_SEAL_H

#include <LyrUtil.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "seal_crypto.h"

namespace lyrutil {

extern const bool kSealingBuilt;

// The installation's sealing key: epoch 0 began at `start` (seconds since 1970), each epoch
// lasts `interval` seconds, and `key` is the key of `epoch`.
struct SealKeyState {
  int64_t start = 0;
  uint32_t interval = 0;
  uint32_t epoch = 0;
  SealDigest key{};
};

// The key state's file name, in the working directory beside the backlog.
constexpr char kSealKeyName[] = "seal.key";
// kSealKeyName in the working directory (read from the installation's settings), or in the
// folder given.
std::string SealKeyPath();
std::string SealKeyPath(const std::string& workingDirectory);
// The seal file of a log: its name with ".seal" after it.
std::string SealFilePath(const char* logPath);

// Whether appends to the installation's logs are sealed: the library seals and the key state is
// at `keyPath`.
bool SealingEnabled(const char* keyPath);

// What a reviewer keeps off the machine: epoch 0's key, and when epoch 0 began and how long each
// epoch lasts. Verification takes the epochs from here rather than from the seal file, which a
// forger can rewrite: a header claiming one-second epochs since 1970 would otherwise have the
// verifier derive two billion keys before it could say anything.
struct SealVerificationKey {
  SealDigest key{};
  int64_t start = 0;
  uint32_t interval = 0;
};
// As text, "HEX/START-INTERVAL": the key's 64 hexadecimal digits, epoch 0's start in seconds
// since 1970 and the epoch's length in seconds.
std::string VerificationKeyText(const SealVerificationKey& key);
// False unless `text` is a verification key as VerificationKeyText writes it.
bool VerificationKeyFromText(const std::string& text, SealVerificationKey* key);
// Starts sealing the installation: a random key for epoch 0, written as the key state. False
// with `error` set when the installation already seals or the file cannot be written.
bool StartSealing(uint32_t interval, int64_t now, SealVerificationKey* verificationKey,
                  std::string* error);
// The installation's key state; false when it does not seal (or the file is damaged).
bool ReadSealKeyState(SealKeyState* state);

// Seals the records of the log that its seal file does not cover yet, with the installation's
// key (the key state at `keyPath`), after bringing the key to the current epoch. `log` is the log,
// open for reading and writing and held without sharing, so that writers of one log seal in the
// order its records are stored; `recordsBefore` is how many records the log held before this append
// (where a new seal file starts), and `appended` the record the append wrote there (its bytes are
// not read back); its file pointer is left where the sealing's reads leave it. Does nothing when
// the installation does not seal. Never throws: a record left unsealed by a failure is sealed,
// late, by the next append.
void SealNewRecords(CFile& log, const char* logPath, uint64_t recordsBefore,
                    const LOG_ENTRY_STRUCT& appended, const char* keyPath);

// The head of a log's chain: how many records the seal covers and the last chain value, as text
// ("COUNT:HEX"), for a reviewer to write down. False when the seal file cannot be read.
bool SealHead(const char* logPath, std::string* head);

// What verification found in one log and its seal file.
struct SealReport {
  bool sealed = false;       // a seal file was found and read
  uint64_t records = 0;      // in the log
  uint64_t firstSealed = 0;  // records before it were written before sealing began
  uint64_t sealEntries = 0;
  std::vector<std::string> findings;  // one line each, with record numbers
  std::string head;                   // as SealHead gives it
  bool visitedAll = false;            // each record went to the visitor (see VerifySeals)
};

// Called with the log's records in order, each once, a load at a time, as verification reads
// them: a caller's own checks of the records ride along instead of reading the log again.
using RecordVisitor = std::function<void(const LOG_ENTRY_STRUCT* records, size_t count)>;

// Checks every record of the log against its seal. With `key` (the verification key), each
// seal's MAC and epoch too, the epochs counted from the key's start and interval; without, the
// chain only, which finds accidental damage but not a forger who rewrote the seal file.
// `expectedHead`, when not empty, is a head written down earlier that the log must still hold.
// `visit`, when given, sees every record of the log (`visitedAll`) unless the seal file is
// missing or has no header. Throws std::runtime_error when a file cannot be read, and what
// `visit` throws.
SealReport VerifySeals(const char* logPath, const SealVerificationKey* key,
                       const std::string& expectedHead, int64_t now,
                       const RecordVisitor& visit = nullptr);

std::string DigestHex(const SealDigest& digest);
// False unless `hex` is 64 hexadecimal digits.
bool DigestFromHex(const std::string& hex, SealDigest* digest);

}  // namespace lyrutil

#endif  // LYRUTIL_AUDIT_LOG_SEAL_H
