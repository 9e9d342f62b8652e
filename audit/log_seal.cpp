#include "log_seal.h"

#include <algorithm>
#include <cstring>
#include <ctime>
#include <memory>
#include <stdexcept>

#include "audit_files.h"
#include "parallel_parts.h"
#include "seal_crypto.h"

namespace lyrutil {

namespace {

// The seal file: a header, then one entry per record from `first` on, little-endian.
constexpr char kMagic[8] = {'L', 'Y', 'R', 'S', 'E', 'A', 'L', '1'};
constexpr UINT kHeaderBytes = 64;
constexpr UINT kEntryBytesOnDisk = 112;
// The key state: magic, start, interval, epoch, key.
constexpr char kKeyMagic[8] = {'L', 'Y', 'R', 'S', 'K', 'E', 'Y', '1'};
constexpr UINT kKeyStateBytes = 8 + 8 + 4 + 4 + 32;
// A log's seal file is its name with this after it.
constexpr char kSealSuffix[] = ".seal";

struct SealHeader {
  uint32_t interval = 0;
  int64_t start = 0;
  uint64_t first = 0;
};

// An entry's flags.
constexpr uint32_t kSealedLate = 1;  // the record was found unsealed by a later append

struct SealEntry {
  uint64_t index = 0;
  uint32_t epoch = 0;
  uint32_t flags = 0;
  SealDigest digest{}, chain{}, mac{};
};

void PutLe(unsigned char* at, uint64_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) at[i] = static_cast<unsigned char>(value >> (8 * i));
}

uint64_t GetLe(const unsigned char* at, int bytes) {
  uint64_t value = 0;
  for (int i = bytes - 1; i >= 0; --i) value = value << 8 | at[i];
  return value;
}

void EncodeHeader(const SealHeader& h, unsigned char* out) {
  std::memset(out, 0, kHeaderBytes);
  std::memcpy(out, kMagic, 8);
  PutLe(out + 8, h.interval, 4);
  PutLe(out + 16, static_cast<uint64_t>(h.start), 8);
  PutLe(out + 24, h.first, 8);
}

bool DecodeHeader(const unsigned char* in, SealHeader* h) {
  if (std::memcmp(in, kMagic, 8) != 0) return false;
  h->interval = static_cast<uint32_t>(GetLe(in + 8, 4));
  h->start = static_cast<int64_t>(GetLe(in + 16, 8));
  h->first = GetLe(in + 24, 8);
  return h->interval != 0;
}

void EncodeEntry(const SealEntry& e, unsigned char* out) {
  std::memset(out, 0, kEntryBytesOnDisk);
  PutLe(out, e.index, 8);
  PutLe(out + 8, e.epoch, 4);
  PutLe(out + 12, e.flags, 4);
  std::memcpy(out + 16, e.digest.data(), 32);
  std::memcpy(out + 48, e.chain.data(), 32);
  std::memcpy(out + 80, e.mac.data(), 32);
}

SealEntry DecodeEntry(const unsigned char* in) {
  SealEntry e;
  e.index = GetLe(in, 8);
  e.epoch = static_cast<uint32_t>(GetLe(in + 8, 4));
  e.flags = static_cast<uint32_t>(GetLe(in + 12, 4));
  std::memcpy(e.digest.data(), in + 16, 32);
  std::memcpy(e.chain.data(), in + 48, 32);
  std::memcpy(e.mac.data(), in + 80, 32);
  return e;
}

// Reads exactly `count` bytes at `offset`; false when the file is shorter.
bool ReadAt(CFile& file, ULONGLONG offset, void* into, UINT count) {
  file.Seek(static_cast<LONGLONG>(offset), CFile::begin);
  UINT done = 0;
  while (done < count) {
    const UINT n = file.Read(static_cast<unsigned char*>(into) + done, count - done);
    if (n == 0) return false;
    done += n;
  }
  return true;
}

// Opens a file of the suite by a path the library keeps (LyrOpenFile takes a writable name).
// Names longer than the library's paths fail as missing files do.
bool Open(CFile& file, const char* path, unsigned short flags) {
  char name[2 * MAX_PATH];
  const int length = std::snprintf(name, sizeof name, "%s", path);
  return length >= 0 && static_cast<size_t>(length) < sizeof name &&
         LyrOpenFile(&file, name, flags) == 0;
}

bool Open(CFile& file, const std::string& path, unsigned short flags) {
  return Open(file, path.c_str(), flags);
}

// One load of a file opened for it alone, as the library's readers read a log: a writer waits
// for one load at most, never for a whole verification.
void ReadLoad(const std::string& path, ULONGLONG offset, void* into, UINT count) {
  CFile file;
  if (!Open(file, path, kOpenRead))
    throw std::runtime_error(path +
                             " could not be read to its end (held elsewhere beyond the "
                             "retries, or removed)");
  bool whole = false;
  try {
    whole = ReadAt(file, offset, into, count);
    file.Close();
  } catch (CFileException* e) {
    e->Delete();
    file.Abort();
  }
  if (!whole) throw std::runtime_error(path + " became shorter while it was read");
}

bool SameDigest(const SealDigest& a, const SealDigest& b) {
  return a == b;
}

// Where the chain starts: bound to the header, so that moving `first` breaks it.
SealDigest ChainStart(const SealHeader& header) {
  unsigned char bytes[kHeaderBytes];
  EncodeHeader(header, bytes);
  return Sha256(bytes, 32);
}

SealDigest NextChain(const SealDigest& previous, uint64_t index, const SealDigest& digest) {
  unsigned char bytes[32 + 8 + 32];
  std::memcpy(bytes, previous.data(), 32);
  PutLe(bytes + 32, index, 8);
  std::memcpy(bytes + 40, digest.data(), 32);
  return Sha256(bytes, sizeof bytes);
}

SealDigest EntryMac(const KeyedMac& key, const SealEntry& e) {
  unsigned char bytes[32 + 8 + 4 + 4];
  std::memcpy(bytes, e.chain.data(), 32);
  PutLe(bytes + 32, e.index, 8);
  PutLe(bytes + 40, e.epoch, 4);
  PutLe(bytes + 44, e.flags, 4);
  return key.Of(bytes, sizeof bytes);
}

uint32_t EpochAt(int64_t start, uint32_t interval, int64_t time) {
  if (time <= start) return 0;
  return static_cast<uint32_t>(std::min<int64_t>((time - start) / interval, UINT32_MAX));
}

void EncodeKeyState(const SealKeyState& s, unsigned char* out) {
  std::memcpy(out, kKeyMagic, 8);
  PutLe(out + 8, static_cast<uint64_t>(s.start), 8);
  PutLe(out + 16, s.interval, 4);
  PutLe(out + 20, s.epoch, 4);
  std::memcpy(out + 24, s.key.data(), 32);
}

bool DecodeKeyState(const unsigned char* in, SealKeyState* s) {
  if (std::memcmp(in, kKeyMagic, 8) != 0) return false;
  s->start = static_cast<int64_t>(GetLe(in + 8, 8));
  s->interval = static_cast<uint32_t>(GetLe(in + 16, 4));
  s->epoch = static_cast<uint32_t>(GetLe(in + 20, 4));
  std::memcpy(s->key.data(), in + 24, 32);
  return s->interval != 0;
}

// Brings the key state in `file` to the epoch of `now`, overwriting the old key on disk before
// the new one is used.
void EvolveKey(CFile& file, SealKeyState* state, int64_t now) {
  const uint32_t epoch = EpochAt(state->start, state->interval, now);
  if (epoch <= state->epoch) return;
  while (state->epoch < epoch) {
    const SealDigest next = NextKey(state->key);
    state->key = next;
    ++state->epoch;
  }
  unsigned char bytes[kKeyStateBytes];
  EncodeKeyState(*state, bytes);
  file.Seek(0, CFile::begin);
  file.Write(bytes, kKeyStateBytes);
  file.Flush();
  std::memset(bytes, 0, sizeof bytes);
}

// Entries and records are read this many at a time (10 MB of records): enough for the digests
// to be spread over the cores, few enough that a writer waits for one load at most.
constexpr uint64_t kLoadItems = 8192;

// The seal file read in loads: entries by their number, forward with one entry of look-ahead.
class EntryReader {
 public:
  EntryReader(std::string path, uint64_t count) : path_(std::move(path)), count_(count) {}
  uint64_t Count() const { return count_; }
  const SealEntry& At(uint64_t j) {
    if (j < first_ || j >= first_ + entries_.size()) Load(j);
    return entries_[j - first_];
  }
  // The load that begins with entry `j`.
  const std::vector<SealEntry>& LoadFrom(uint64_t j) {
    if (j != first_ || entries_.empty()) Load(j);
    return entries_;
  }

 private:
  void Load(uint64_t j) {
    const uint64_t n = std::min<uint64_t>(kLoadItems, count_ - j);
    std::vector<unsigned char> bytes(static_cast<size_t>(n) * kEntryBytesOnDisk);
    ReadLoad(path_, kHeaderBytes + j * kEntryBytesOnDisk, bytes.data(),
             static_cast<UINT>(bytes.size()));
    entries_.clear();
    for (uint64_t k = 0; k < n; ++k)
      entries_.push_back(DecodeEntry(bytes.data() + k * kEntryBytesOnDisk));
    first_ = j;
  }
  std::string path_;
  uint64_t count_;
  uint64_t first_ = 0;
  std::vector<SealEntry> entries_;
};

// The log's records read in loads, by index, with their digests; each record shown to the
// visitor, if any, the first time it is read.
class RecordReader {
 public:
  RecordReader(std::string path, uint64_t count, const RecordVisitor& visit)
      : path_(std::move(path)), count_(count), visit_(visit) {}
  const LOG_ENTRY_STRUCT& At(uint64_t i) {
    if (i < first_ || i >= first_ + records_.size()) Load(i);
    return records_[i - first_];
  }
  const SealDigest& DigestAt(uint64_t i) {
    At(i);
    return digests_[i - first_];
  }
  // Reads what the visitor has not seen yet.
  void VisitTheRest() {
    while (visit_ && visited_ < count_) Load(visited_);
  }

 private:
  void Load(uint64_t i) {
    const uint64_t n = std::min<uint64_t>(kLoadItems, count_ - i);
    records_.resize(static_cast<size_t>(n));
    digests_.resize(static_cast<size_t>(n));
    ReadLoad(path_, i * kEntryBytes, records_.data(), static_cast<UINT>(n * kEntryBytes));
    first_ = i;
    if (visit_ && i <= visited_ && visited_ < i + n) {
      visit_(&records_[visited_ - i], static_cast<size_t>(i + n - visited_));
      visited_ = i + n;
    }
    InParallelParts(records_.size(), 64, [this](size_t from, size_t to) {
      for (size_t k = from; k < to; ++k) digests_[k] = Sha256(&records_[k], kEntryBytes);
    });
  }
  std::string path_;
  uint64_t count_;
  const RecordVisitor& visit_;
  uint64_t visited_ = 0;  // records before it were shown to the visitor
  uint64_t first_ = 0;
  std::vector<LOG_ENTRY_STRUCT> records_;
  std::vector<SealDigest> digests_;
};

std::string Range(uint64_t from, uint64_t to) {
  return from == to ? "record " + std::to_string(from)
                    : "records " + std::to_string(from) + "-" + std::to_string(to);
}

// Findings of one kind over consecutive records are told as one line.
class FindingList {
 public:
  explicit FindingList(std::vector<std::string>* lines) : lines_(lines) {}
  ~FindingList() { Flush(); }
  void Add(const std::string& kind, uint64_t record) {
    if (kind == kind_ && record == to_ + 1) {
      to_ = record;
      return;
    }
    Flush();
    kind_ = kind;
    from_ = to_ = record;
  }
  void Flush() {
    if (!kind_.empty()) lines_->push_back(Range(from_, to_) + ": " + kind_);
    kind_.clear();
  }

 private:
  std::vector<std::string>* lines_;
  std::string kind_;
  uint64_t from_ = 0, to_ = 0;
};

std::string HeadText(uint64_t count, const SealDigest& chain) {
  return std::to_string(count) + ":" + DigestHex(chain);
}

}  // namespace

const bool kSealingBuilt =
#if defined(LYRUTIL_SEALING)
    true;
#else
    false;
#endif

std::string SealKeyPath() {
  return SealKeyPath(GetWorkingDirectory());
}

std::string SealKeyPath(const std::string& workingDirectory) {
  return workingDirectory + "\\" + kSealKeyName;
}

bool SealingEnabled(const char* keyPath) {
  return kSealingBuilt && fExists(keyPath);
}

std::string SealFilePath(const char* logPath) {
  return std::string(logPath) + kSealSuffix;
}

bool StartSealing(uint32_t interval, int64_t now, SealVerificationKey* verificationKey,
                  std::string* error) {
  if (!CryptoReady()) {
    *error = "this build of the library does not seal";
    return false;
  }
  if (interval == 0) {
    *error = "an epoch of no length";
    return false;
  }
  const std::string path = SealKeyPath();
  if (fExists(path.c_str())) {
    *error = "the installation seals already (" + path + ")";
    return false;
  }
  SealKeyState state;
  state.start = now;
  state.interval = interval;
  state.key = RandomKey();
  CFile file;
  if (!Open(file, path, kOpenCreate)) {
    *error = path + ": cannot be made";
    return false;
  }
  unsigned char bytes[kKeyStateBytes];
  EncodeKeyState(state, bytes);
  try {
    if (file.GetLength() != 0) {  // another party made it since the test
      file.Close();
      *error = "the installation seals already (" + path + ")";
      return false;
    }
    file.Write(bytes, kKeyStateBytes);
    file.Flush();
    file.Close();
  } catch (CFileException* e) {
    e->Delete();
    file.Abort();
    *error = path + ": cannot be written";
    return false;
  }
  verificationKey->key = state.key;
  verificationKey->start = state.start;
  verificationKey->interval = state.interval;
  Erase(&state.key);
  std::memset(bytes, 0, sizeof bytes);
  return true;
}

bool ReadSealKeyState(SealKeyState* state) {
  const std::string path = SealKeyPath();
  if (!fExists(path.c_str())) return false;
  CFile file;
  if (!Open(file, path, kOpenRead)) return false;
  unsigned char bytes[kKeyStateBytes];
  bool ok = false;
  try {
    ok = ReadAt(file, 0, bytes, kKeyStateBytes) && DecodeKeyState(bytes, state);
    file.Close();
  } catch (CFileException* e) {
    e->Delete();
    file.Abort();
  }
  std::memset(bytes, 0, sizeof bytes);
  return ok;
}

void SealNewRecords(CFile& log, const char* logPath, uint64_t recordsBefore,
                    const LOG_ENTRY_STRUCT& appended, const char* keyPath) {
  if (!CryptoReady()) return;
  CFile keyFile;
  CFile seal;
  SealKeyState state;
  try {
    // Held for the whole sealing: appends to two logs evolve the one key in turn.
    if (!Open(keyFile, keyPath, kOpenReadWrite)) return;
    unsigned char bytes[kKeyStateBytes];
    const bool read = ReadAt(keyFile, 0, bytes, kKeyStateBytes) && DecodeKeyState(bytes, &state);
    std::memset(bytes, 0, sizeof bytes);
    if (!read) {
      keyFile.Close();
      return;
    }
    EvolveKey(keyFile, &state, static_cast<int64_t>(std::time(nullptr)));

    // Made when missing; kept as it is otherwise (no truncation).
    char sealPath[2 * MAX_PATH];
    const int named = std::snprintf(sealPath, sizeof sealPath, "%s%s", logPath, kSealSuffix);
    if (named < 0 || static_cast<size_t>(named) >= sizeof sealPath ||
        !Open(seal, sealPath, kOpenCreateReadWrite)) {
      keyFile.Close();
      return;
    }
    SealHeader header;
    ULONGLONG length = seal.GetLength();
    unsigned char head[kHeaderBytes];
    if (length < kHeaderBytes) {
      header.interval = state.interval;
      header.start = state.start;
      header.first = recordsBefore;
      EncodeHeader(header, head);
      seal.Seek(0, CFile::begin);
      seal.Write(head, kHeaderBytes);
      length = kHeaderBytes;
    } else if (!ReadAt(seal, 0, head, kHeaderBytes) || !DecodeHeader(head, &header)) {
      seal.Close();  // not a seal file of ours: left alone, and verify says so
      keyFile.Close();
      return;
    }
    // A torn entry (a crash while sealing) is not an entry.
    const uint64_t entries = (length - kHeaderBytes) / kEntryBytesOnDisk;
    SealDigest chain = ChainStart(header);
    if (entries != 0) {
      unsigned char last[kEntryBytesOnDisk];
      if (!ReadAt(seal, kHeaderBytes + (entries - 1) * kEntryBytesOnDisk, last, kEntryBytesOnDisk))
        AfxThrowFileException(CFileException::endOfFile, -1, nullptr);
      chain = DecodeEntry(last).chain;
    }
    const uint64_t records = log.GetLength() / kEntryBytes;
    seal.Seek(static_cast<LONGLONG>(kHeaderBytes + entries * kEntryBytesOnDisk), CFile::begin);
    // Written in batches from the stack: an append seals one record, a late sealing many.
    constexpr size_t kBatch = 16;
    unsigned char out[kBatch * kEntryBytesOnDisk];
    size_t batched = 0;
    LOG_ENTRY_STRUCT record;
    const KeyedMac mac(state.key);
    for (uint64_t index = header.first + entries; index < records; ++index) {
      if (index == recordsBefore)
        record = appended;
      else if (!ReadAt(log, index * kEntryBytes, &record, kEntryBytes))
        AfxThrowFileException(CFileException::endOfFile, -1, nullptr);
      SealEntry entry;
      entry.index = index;
      entry.epoch = state.epoch;
      // Before this append's first record: another writer's, left unsealed.
      entry.flags = index < recordsBefore ? kSealedLate : 0;
      entry.digest = Sha256(&record, kEntryBytes);
      entry.chain = NextChain(chain, index, entry.digest);
      entry.mac = EntryMac(mac, entry);
      chain = entry.chain;
      EncodeEntry(entry, out + batched++ * kEntryBytesOnDisk);
      // Not flushed to disk: the record is, and a seal entry lost in a crash is made again by
      // the next append, from the record, and reported as sealed late. A flush here would double
      // the append's cost.
      if (batched == kBatch || index + 1 == records) {
        seal.Write(out, static_cast<UINT>(batched * kEntryBytesOnDisk));
        batched = 0;
      }
    }
    seal.Close();
    keyFile.Close();
  } catch (CException* e) {
    e->Delete();
    seal.Abort();
    keyFile.Abort();
  }
  Erase(&state.key);
}

bool SealHead(const char* logPath, std::string* head) {
  const std::string path = SealFilePath(logPath);
  CFile seal;
  if (!fExists(path.c_str()) || !Open(seal, path, kOpenRead)) return false;
  bool ok = false;
  try {
    unsigned char bytes[kHeaderBytes];
    SealHeader header;
    const ULONGLONG length = seal.GetLength();
    if (length >= kHeaderBytes && ReadAt(seal, 0, bytes, kHeaderBytes) &&
        DecodeHeader(bytes, &header)) {
      const uint64_t entries = (length - kHeaderBytes) / kEntryBytesOnDisk;
      SealDigest chain = ChainStart(header);
      unsigned char last[kEntryBytesOnDisk];
      if (entries == 0 ||
          ReadAt(seal, kHeaderBytes + (entries - 1) * kEntryBytesOnDisk, last, kEntryBytesOnDisk)) {
        if (entries != 0) chain = DecodeEntry(last).chain;
        *head = HeadText(header.first + entries, chain);
        ok = true;
      }
    }
    seal.Close();
  } catch (CFileException* e) {
    e->Delete();
    seal.Abort();
  }
  return ok;
}

namespace {

// The seal file on its own: each entry where its number says, each chain value following from
// the one before, and with the key each MAC and a non-decreasing epoch, the epochs counted as
// `epochs` says. Each entry's checks stand alone (the chain value before it is in the file), so
// they are spread over the cores a load at a time; the keys are derived in order beforehand.
// Returns the last chain value.
SealDigest CheckSealEntries(EntryReader& entries, const SealHeader& header,
                            const SealVerificationKey* key, const SealHeader& epochs, int64_t now,
                            std::vector<std::string>* findings) {
  SealDigest chain = ChainStart(header);
  SealDigest epochKey{};
  uint32_t keyEpoch = 0;
  if (key) epochKey = key->key;
  std::vector<std::unique_ptr<KeyedMac>> macs;  // the epochs' keys this load needs
  uint64_t macsFailed = 0;
  uint32_t lastEpoch = 0;
  const uint32_t epochNow = EpochAt(epochs.start, epochs.interval, now);
  FindingList list(findings);
  for (uint64_t from = 0; from < entries.Count(); from += kLoadItems) {
    const std::vector<SealEntry>& load = entries.LoadFrom(from);
    const size_t n = load.size();
    std::vector<const KeyedMac*> macOf(n, nullptr);  // null: no MAC to check
    std::vector<char> wrongEpoch(n, 0);
    if (key) {
      if (macs.size() > 1) macs.erase(macs.begin(), macs.end() - 1);
      for (size_t k = 0; k < n; ++k) {
        const uint32_t epoch = load[k].epoch;
        if (epoch < lastEpoch || epoch > epochNow) {
          wrongEpoch[k] = 1;
          continue;
        }
        lastEpoch = epoch;
        if (macs.empty() || keyEpoch < epoch) {
          while (keyEpoch < epoch) {
            epochKey = NextKey(epochKey);
            ++keyEpoch;
          }
          macs.push_back(std::make_unique<KeyedMac>(epochKey));
        }
        macOf[k] = macs.back().get();
      }
    }
    std::vector<char> chainBreaks(n, 0), macFails(n, 0);
    const SealDigest before = chain;
    InParallelParts(n, 256, [&](size_t a, size_t b) {
      for (size_t k = a; k < b; ++k) {
        const SealEntry& e = load[k];
        const SealDigest& previous = k == 0 ? before : load[k - 1].chain;
        chainBreaks[k] = e.index != header.first + from + k ||
                         !SameDigest(NextChain(previous, e.index, e.digest), e.chain);
        macFails[k] = macOf[k] && !SameMac(EntryMac(*macOf[k], e), e.mac);
      }
    });
    chain = load.back().chain;
    for (size_t k = 0; k < n; ++k) {
      const uint64_t number = header.first + from + k;
      if (chainBreaks[k])
        list.Add("seal entry damaged or rewritten without the key (its chain breaks)", number);
      if (wrongEpoch[k]) {
        list.Add("seal from the wrong epoch", number);
      } else if (macFails[k]) {
        ++macsFailed;
        list.Add("seal does not verify with the key (forged, or sealed again with a later key)",
                 number);
      }
    }
  }
  list.Flush();
  Erase(&epochKey);
  if (key && macsFailed != 0 && macsFailed == entries.Count()) {
    // Not one seal opens: the key is not this installation's.
    findings->erase(std::remove_if(findings->begin(), findings->end(),
                                   [](const std::string& line) {
                                     return line.find("does not verify with the key") !=
                                            std::string::npos;
                                   }),
                    findings->end());
    findings->push_back("wrong key: no seal of this log verifies with it");
  }
  return chain;
}

}  // namespace

SealReport VerifySeals(const char* logPath, const SealVerificationKey* key,
                       const std::string& expectedHead, int64_t now, const RecordVisitor& visit) {
  SealReport report;
  if (!CryptoReady()) throw std::runtime_error("this build of the library does not seal");
  CFile log;
  if (!Open(log, logPath, kOpenRead)) throw std::runtime_error("the log cannot be opened");
  struct CloseLog {
    CFile& file;
    ~CloseLog() { file.Abort(); }
  } closeLog{log};
  report.records = log.GetLength() / kEntryBytes;
  const std::string sealPath = SealFilePath(logPath);
  CFile seal;
  if (!fExists(sealPath.c_str()) || !Open(seal, sealPath, kOpenRead)) {
    report.findings.push_back("seal file missing: " + sealPath);
    return report;
  }
  struct CloseSeal {
    CFile& file;
    ~CloseSeal() { file.Abort(); }
  } closeSeal{seal};
  const ULONGLONG length = seal.GetLength();
  unsigned char bytes[kHeaderBytes];
  SealHeader header;
  if (length < kHeaderBytes || !ReadAt(seal, 0, bytes, kHeaderBytes) ||
      !DecodeHeader(bytes, &header) ||
      header.first > report.records + (length / kEntryBytesOnDisk)) {
    report.findings.push_back("seal file damaged: no seal header");
    return report;
  }
  report.sealed = true;
  report.firstSealed = header.first;
  // With the key, epochs are counted as the key says; a header that differs was rewritten (or
  // the key is another installation's) and is not trusted to say how many keys to derive.
  SealHeader epochs = header;
  if (key) {
    epochs.start = key->start;
    epochs.interval = key->interval;
    if (header.start != key->start || header.interval != key->interval)
      report.findings.push_back(
          "seal header does not match the key (its start or interval was rewritten, or the key "
          "is another installation's)");
  }
  if ((length - kHeaderBytes) % kEntryBytesOnDisk != 0)
    report.findings.push_back("seal file damaged: a torn entry at its end");
  seal.Close();
  log.Close();
  EntryReader entries(sealPath, (length - kHeaderBytes) / kEntryBytesOnDisk);
  RecordReader records(logPath, report.records, visit);
  report.sealEntries = entries.Count();

  const SealDigest chain = CheckSealEntries(entries, header, key, epochs, now, &report.findings);
  // Records before the seal's first were written before sealing began, unless their times say
  // otherwise: then the seal file was removed or replaced since.
  if (header.first != 0) {
    FindingList list(&report.findings);
    for (uint64_t i = 0; i < std::min(header.first, report.records); ++i)
      if (records.At(i).Time >= epochs.start)
        list.Add(
            "written after sealing began, yet not sealed (the seal file was removed or "
            "replaced)",
            i);
  }

  // The log against its seals, record by record: a record that differs from its seal is told
  // apart from one missing, one inserted or repeated, and two swapped by looking one ahead.
  {
    FindingList list(&report.findings);
    uint64_t i = header.first;
    uint64_t j = 0;
    SealDigest previous{};
    bool havePrevious = false;
    while (i < report.records && j < entries.Count()) {
      const SealDigest d = records.DigestAt(i);
      const SealEntry& e = entries.At(j);
      if (SameDigest(d, e.digest)) {
        if (e.flags & kSealedLate)
          list.Add(
              "sealed late, by a later append (its writer stopped before sealing it, or a "
              "program that does not seal wrote it)",
              i);
        if (key) {
          const LOG_ENTRY_STRUCT& r = records.At(i);
          const uint32_t epochOfTime = EpochAt(epochs.start, epochs.interval, r.Time);
          if (e.epoch > epochOfTime + 1)
            list.Add(
                "sealed in a later epoch than its time (moved in from the backlog, or "
                "sealed again by someone who held a later key)",
                i);
        }
        previous = d;
        havePrevious = true;
        ++i;
        ++j;
        continue;
      }
      const bool nextSealMatches =
          j + 1 < entries.Count() && SameDigest(d, entries.At(j + 1).digest);
      const bool nextRecordMatches =
          i + 1 < report.records && SameDigest(records.DigestAt(i + 1), e.digest);
      if (nextSealMatches && nextRecordMatches) {
        list.Add("swapped with the record after it", i);
        list.Add("swapped with the record before it", i + 1);
        i += 2;
        j += 2;
      } else if (nextSealMatches) {
        list.Add("missing: the record sealed here is not in the log", header.first + j);
        ++j;
      } else if (nextRecordMatches) {
        list.Add(havePrevious && SameDigest(d, previous) ? "duplicated: a copy of the record before"
                                                         : "inserted: no seal was made for it",
                 i);
        ++i;
      } else {
        list.Add("changed since it was sealed", i);
        ++i;
        ++j;
      }
    }
    if (j < entries.Count())
      report.findings.push_back(
          "log cut short: " + Range(header.first + j, header.first + entries.Count() - 1) +
          " sealed, and no longer in the log");
    if (i < report.records) {
      list.Flush();
      report.findings.push_back(Range(i, report.records - 1) +
                                ": without a seal (written by a program that does not seal, or "
                                "added behind the seal's back)");
    }
  }
  records.VisitTheRest();
  report.visitedAll = visit != nullptr;
  report.head = HeadText(header.first + entries.Count(), chain);
  if (!expectedHead.empty() && expectedHead != report.head) {
    // A head written down earlier must still be in the chain: the seal of that record holds it.
    const size_t colon = expectedHead.find(':');
    SealDigest expected{};
    const bool readable =
        colon != std::string::npos && DigestFromHex(expectedHead.substr(colon + 1), &expected);
    uint64_t count = 0;
    try {
      count = readable ? std::stoull(expectedHead.substr(0, colon)) : 0;
    } catch (const std::exception&) {
      count = 0;
    }
    const bool inChain = readable && count > header.first &&
                         count <= header.first + entries.Count() &&
                         SameDigest(entries.At(count - header.first - 1).chain, expected);
    if (!inChain)
      report.findings.push_back("head " + expectedHead +
                                " is not in the chain: the log and its seal were cut back or "
                                "replaced since it was written down");
  }
  return report;
}

std::string DigestHex(const SealDigest& digest) {
  static const char kHex[] = "0123456789abcdef";
  std::string hex;
  for (unsigned char c : digest) {
    hex += kHex[c >> 4];
    hex += kHex[c & 15];
  }
  return hex;
}

bool DigestFromHex(const std::string& hex, SealDigest* digest) {
  if (hex.size() != 64) return false;
  for (size_t i = 0; i < 32; ++i) {
    unsigned value = 0;
    for (size_t k = 0; k < 2; ++k) {
      const char c = hex[2 * i + k];
      const int nibble = c >= '0' && c <= '9'   ? c - '0'
                         : c >= 'a' && c <= 'f' ? c - 'a' + 10
                         : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                                : -1;
      if (nibble < 0) return false;
      value = value << 4 | static_cast<unsigned>(nibble);
    }
    (*digest)[i] = static_cast<unsigned char>(value);
  }
  return true;
}

std::string VerificationKeyText(const SealVerificationKey& key) {
  return DigestHex(key.key) + "/" + std::to_string(key.start) + "-" + std::to_string(key.interval);
}

bool VerificationKeyFromText(const std::string& text, SealVerificationKey* key) {
  const size_t slash = text.find('/');
  const size_t dash = text.find('-', slash == std::string::npos ? 0 : slash);
  if (slash != 64 || dash == std::string::npos || !DigestFromHex(text.substr(0, 64), &key->key))
    return false;
  const auto decimal = [](const std::string& digits, uint64_t limit, uint64_t* value) {
    if (digits.empty() || digits.size() > 19) return false;
    *value = 0;
    for (char c : digits) {
      if (c < '0' || c > '9') return false;
      *value = *value * 10 + static_cast<uint64_t>(c - '0');
    }
    return *value <= limit;
  };
  uint64_t start = 0;
  uint64_t interval = 0;
  if (!decimal(text.substr(slash + 1, dash - slash - 1), INT64_MAX, &start) ||
      !decimal(text.substr(dash + 1), UINT32_MAX, &interval) || interval == 0)
    return false;
  key->start = static_cast<int64_t>(start);
  key->interval = static_cast<uint32_t>(interval);
  return true;
}

}  // namespace lyrutil
