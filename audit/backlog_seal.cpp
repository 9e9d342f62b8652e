#include "backlog_seal.h"

#include <cstring>

namespace lyrutil {
namespace {

const char kSealMark[4] = {'L', 'Y', 'R', 'C'};
constexpr size_t kSealBytes = sizeof kSealMark + 4;

uint32_t Crc32(uint32_t crc, const unsigned char* data, size_t size) {
  static uint32_t table[256];
  static bool ready = [] {
    for (uint32_t n = 0; n < 256; ++n) {
      uint32_t c = n;
      for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
      table[n] = c;
    }
    return true;
  }();
  (void)ready;
  crc = ~crc;
  for (size_t i = 0; i < size; ++i) crc = table[(crc ^ data[i]) & 0xFF] ^ (crc >> 8);
  return ~crc;
}

uint32_t RecordCrc(const LOG_BACKLOG_STRUCT& record, size_t pathLength) {
  uint32_t crc = Crc32(0, reinterpret_cast<const unsigned char*>(record.LogFile), pathLength + 1);
  return Crc32(crc, reinterpret_cast<const unsigned char*>(&record.Entry), sizeof record.Entry);
}

}  // namespace

void SealBacklogRecord(LOG_BACKLOG_STRUCT* record) {
  size_t length = strnlen(record->LogFile, sizeof record->LogFile);
  if (length + 1 + kSealBytes > sizeof record->LogFile) return;  // no room: left unsealed
  char* seal = record->LogFile + length + 1;
  std::memcpy(seal, kSealMark, sizeof kSealMark);
  uint32_t crc = RecordCrc(*record, length);
  unsigned char bytes[4] = {static_cast<unsigned char>(crc), static_cast<unsigned char>(crc >> 8),
                            static_cast<unsigned char>(crc >> 16),
                            static_cast<unsigned char>(crc >> 24)};
  std::memcpy(seal + sizeof kSealMark, bytes, 4);
}

bool BacklogRecordIntact(const LOG_BACKLOG_STRUCT& record) {
  size_t length = strnlen(record.LogFile, sizeof record.LogFile);
  if (length == sizeof record.LogFile) return false;
  if (length + 1 + kSealBytes > sizeof record.LogFile) return true;
  const char* seal = record.LogFile + length + 1;
  if (std::memcmp(seal, kSealMark, sizeof kSealMark) != 0) return true;  // written unsealed
  const unsigned char* bytes = reinterpret_cast<const unsigned char*>(seal + sizeof kSealMark);
  uint32_t stored =
      bytes[0] | (bytes[1] << 8) | (bytes[2] << 16) | (static_cast<uint32_t>(bytes[3]) << 24);
  return stored == RecordCrc(record, length);
}

}  // namespace lyrutil
