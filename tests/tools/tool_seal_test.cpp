// Sealed audit logs, from the shell: an installation starts sealing, its appends seal, and
// `audit verify --key` finds each kind of tampering in a copy of the log with its seal file.
#include "tool_test.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <sstream>
#include <functional>
#include <thread>

namespace {

constexpr size_t kRecord = sizeof(LOG_ENTRY_STRUCT);

class ToolSealTest : public ToolTest {
 protected:
  // Starts sealing and returns the verification key, the last line `seal init` prints.
  std::string StartSealing(const std::string& interval = "15min") {
    EXPECT_EQ(Tool("install").status, 0);
    ToolRun init = Tool("audit seal init --interval " + interval);
    EXPECT_EQ(init.status, 0) << init.err;
    const std::string key = LastLine(init.out);
    EXPECT_EQ(key.find('/'), 64u) << init.out;
    return key;
  }
  using ToolTest::Append;
  void Append(const std::string& log, int n, const std::string& options = "") {
    for (int i = 0; i < n; ++i)
      Append(log,
             "--user U" + std::to_string(i) + " --message m" + std::to_string(i) + " " + options);
  }
  // `verify --key` of a copy of the log and its seal made by `tamper`: the seal findings.
  std::vector<std::string> Findings(const std::string& key,
                                    const std::function<void(std::string&, std::string&)>& tamper,
                                    int* status = nullptr, nlohmann::json* whole = nullptr) {
    std::string log = ReadHostFile(Log());
    std::string seal = ReadHostFile(Log() + ".seal");
    tamper(log, seal);
    const std::string copy = DriveC() + "/copy.log";
    WriteHostFile(copy, log);
    if (!seal.empty()) WriteHostFile(copy + ".seal", seal);
    ToolRun r = Tool("audit verify " + copy + " -o json --key " + key);
    ::unlink(copy.c_str());
    ::unlink((copy + ".seal").c_str());
    if (status) *status = r.status;
    nlohmann::json report = nlohmann::json::parse(r.out)["logs"][0];
    if (whole) *whole = report;
    return report.contains("seal") ? report["seal"]["findings"].get<std::vector<std::string>>()
                                   : std::vector<std::string>{};
  }
  static std::string Record(const std::string& log, size_t i) {
    return log.substr(i * kRecord, kRecord);
  }
};

std::string Joined(const std::vector<std::string>& lines) {
  std::string all;
  for (const std::string& line : lines) all += line + "\n";
  return all;
}

TEST_F(ToolSealTest, EveryKindOfTamperingIsFoundWithItsRecordNumbers) {
  const std::string key = StartSealing();
  EXPECT_EQ(Tool("audit seal init").status, 2);  // once only
  EXPECT_CONTAINS(Tool("audit seal status " + Log()).out, "sealing: on");
  Append(Log(), 6);
  EXPECT_EQ(ReadHostFile(Log() + ".seal").size(), 64 + 6 * 112u);
  int status = -1;
  EXPECT_EQ(Findings(
                key, [](std::string&, std::string&) {}, &status),
            std::vector<std::string>{});
  EXPECT_EQ(status, 0);

  const std::pair<std::string, std::function<void(std::string&, std::string&)>> cases[] = {
      {"record 2: changed since it was sealed\n",
       [](std::string& log, std::string&) { log[2 * kRecord + 960] ^= 1; }},
      {"record 3: missing: the record sealed here is not in the log\n",
       [](std::string& log, std::string&) { log.erase(3 * kRecord, kRecord); }},
      {"record 2: duplicated: a copy of the record before\n",
       [](std::string& log, std::string&) { log.insert(2 * kRecord, Record(log, 1)); }},
      {"record 2: swapped with the record after it\nrecord 3: swapped with the record before it\n",
       [](std::string& log, std::string&) {
         const std::string two = Record(log, 2);
         log.replace(2 * kRecord, kRecord, Record(log, 3));
         log.replace(3 * kRecord, kRecord, two);
       }},
      {"log cut short: records 4-5 sealed, and no longer in the log\n",
       [](std::string& log, std::string&) { log.resize(4 * kRecord); }},
      {"record 6: without a seal (written by a program that does not seal, or added behind the "
       "seal's back)\n",
       [](std::string& log, std::string&) { log += Record(log, 0); }},
      {"seal file damaged: no seal header\n",
       [](std::string&, std::string& seal) { seal[0] = 'X'; }},
      {"record 4: seal entry damaged or rewritten without the key (its chain breaks)\n"
       "record 4: changed since it was sealed\n",
       [](std::string&, std::string& seal) { seal[64 + 4 * 112 + 20] ^= 1; }},
      // A header rewritten to one-second epochs since 1970 and a seal claiming epoch 2^30: the
      // key's own start and interval say that epoch has not come, with no key derived for it.
      {"seal header does not match the key (its start or interval was rewritten, or the key is "
       "another installation's)\n"
       "record 0: seal entry damaged or rewritten without the key (its chain breaks)\n"
       "record 5: seal from the wrong epoch\n"
       "record 5: sealed in a later epoch than its time (moved in from the backlog, or sealed "
       "again by someone who held a later key)\n",
       [](std::string&, std::string& seal) {
         seal.replace(8, 4, std::string("\1\0\0\0", 4));
         seal.replace(16, 8, std::string(8, '\0'));
         seal[64 + 5 * 112 + 11] = 0x40;
       }},
  };
  for (const auto& [expected, tamper] : cases) {
    SCOPED_TRACE(expected);
    EXPECT_EQ(Joined(Findings(key, tamper, &status)), expected);
    EXPECT_EQ(status, 1);
  }
  const std::string otherKey = std::string(64, '7') + key.substr(64);
  EXPECT_EQ(Joined(Findings(otherKey, [](std::string&, std::string&) {})),
            "wrong key: no seal of this log verifies with it\n");
  ToolRun missing = Tool("audit verify " + Log() + " --key " + key, "",
                         "mv " + Log() + ".seal " + Log() + ".moved;");
  EXPECT_EQ(missing.status, 1);
  EXPECT_CONTAINS(missing.out, "seal: seal file missing");
  EXPECT_EQ(Tool("audit verify " + Log() + " --key nothex").status, 2);
}

// Verification takes the records' digests a load of 8,192 at a time, shared among the
// processor's cores: a change is found in any share of a load, at a load's edge and at the end.
TEST_F(ToolSealTest, ChangesAreFoundWhereverTheyFallInALongLog) {
  const std::string key = StartSealing();
  Append(Log(), 1);
  // 8,999 more records, each its own, written behind the library's back and sealed late by
  // the append after them: more than one of verification's loads (8,192 records).
  std::string log = ReadHostFile(Log());
  for (int i = 1; i < 9000; ++i) {
    LOG_ENTRY_STRUCT entry;
    std::memcpy(&entry, log.data(), kRecord);
    std::snprintf(entry.SysMess, sizeof entry.SysMess, "written behind its back %d", i);
    log.append(reinterpret_cast<const char*>(&entry), kRecord);
  }
  WriteHostFile(Log(), log);
  Append(Log(), 1);
  const std::string late =
      ": sealed late, by a later append (its writer stopped before sealing it, or a program "
      "that does not seal wrote it)\n";
  EXPECT_EQ(Joined(Findings(key, [](std::string&, std::string&) {})), "records 1-8999" + late);
  // The records' own checks ride along with the seal's reading of the log, through every load.
  nlohmann::json report;
  const std::vector<std::string> changed = Findings(
      key,
      [](std::string& log, std::string&) {
        for (size_t i : {700, 8191, 8192, 9000}) log[i * kRecord + 960] ^= 1;
        LOG_ENTRY_STRUCT entry;
        std::memcpy(&entry, &log[8500 * kRecord], kRecord);
        entry.Time = 0;
        std::memcpy(&log[8500 * kRecord], &entry, kRecord);
        std::memcpy(&entry, &log[8600 * kRecord], kRecord);
        std::memset(entry.SysMess, 'x', sizeof entry.SysMess);
        std::memcpy(&log[8600 * kRecord], &entry, kRecord);
      },
      nullptr, &report);
  EXPECT_EQ(report["out_of_order"], 1);
  EXPECT_EQ(report["unterminated_records"], 1);
  EXPECT_EQ(report["unterminated_record_indexes"], nlohmann::json::array({8600}));
  EXPECT_EQ(Joined(changed),
            "records 1-699" + late + "record 700: changed since it was sealed\n" +
                "records 701-8190" + late + "records 8191-8192: changed since it was sealed\n" +
                "records 8193-8499" + late + "record 8500: changed since it was sealed\n" +
                "records 8501-8599" + late + "record 8600: changed since it was sealed\n" +
                "records 8601-8999" + late + "record 9000: changed since it was sealed\n");
  // The last seal of one load damaged: its own chain and MAC fail, and so does the chain of the
  // first seal of the next load, which follows from it.
  const std::vector<std::string> damaged =
      Findings(key, [](std::string&, std::string& seal) { seal[64 + 8191 * 112 + 48] ^= 1; });
  EXPECT_EQ(std::count_if(damaged.begin(), damaged.end(),
                          [](const std::string& line) {
                            return line.rfind("record 8191: seal", 0) == 0 ||
                                   line.rfind("record 8192: seal entry damaged", 0) == 0;
                          }),
            3)
      << Joined(damaged);
}

// A head written down fixes the log: more records keep it in the chain; cutting the log and its
// seal back together removes it, which only the head shows.
TEST_F(ToolSealTest, AWrittenDownHeadFindsBothFilesCutBack) {
  const std::string key = StartSealing();
  Append(Log(), 3);
  const std::string head = Tool("audit seal head " + Log()).out;
  ASSERT_EQ(head.substr(0, 2), "3:") << head;
  const std::string written = head.substr(0, head.size() - 1);
  const std::string log = ReadHostFile(Log());
  const std::string seal = ReadHostFile(Log() + ".seal");
  Append(Log(), 2);
  EXPECT_EQ(Tool("audit verify " + Log() + " --key " + key + " --head " + written).status, 0);
  WriteHostFile(Log(), log.substr(0, 2 * kRecord));
  WriteHostFile(Log() + ".seal", seal.substr(0, 64 + 2 * 112));
  EXPECT_EQ(Tool("audit verify " + Log() + " --key " + key).status, 0);  // no anchor: unseen
  ExpectOutput(1, "is not in the chain",
               "audit verify " + Log() + " --key " + key + " --head " + written);
}

// The seal is plain SHA-256 and HMAC-SHA-256 as the README lays them out, so that another
// program (the Windows build, with the system's cryptography) can verify a log: here coreutils'
// sha256sum recomputes a seal made two epochs after the key was given.
TEST_F(ToolSealTest, ASealIsWhatSha256sumComputesFromTheKey) {
  const std::string key = StartSealing("1s");
  std::this_thread::sleep_for(std::chrono::milliseconds(1100));
  Append(Log(), 2);
  const auto sha256 = [this](const std::string& bytes) {
    WriteHostFile(Prefix() + "/piece", bytes);
    ToolRun sum = Run("sha256sum '" + Prefix() + "/piece'");
    std::string digest;
    for (size_t i = 0; i + 1 < 64 && sum.out.size() >= 64; i += 2)
      digest += static_cast<char>(std::stoi(sum.out.substr(i, 2), nullptr, 16));
    return digest;
  };
  const auto hmac = [&sha256](const std::string& key, const std::string& message) {
    std::string inner(64, '\x36'), outer(64, '\x5c');
    for (size_t i = 0; i < key.size(); ++i) {
      inner[i] ^= key[i];
      outer[i] ^= key[i];
    }
    return sha256(outer + sha256(inner + message));
  };
  std::string epochKey;
  for (size_t i = 0; i < 64; i += 2)
    epochKey += static_cast<char>(std::stoi(key.substr(i, 2), nullptr, 16));

  const std::string log = ReadHostFile(Log()), seal = ReadHostFile(Log() + ".seal");
  ASSERT_EQ(seal.size(), 64u + 2 * 112);
  const std::string entry = seal.substr(64 + 112, 112);  // record 1's
  const std::string previousChain = seal.substr(64 + 48, 32);
  EXPECT_EQ(entry.substr(0, 8), std::string("\x01\0\0\0\0\0\0\0", 8));  // its index
  EXPECT_EQ(entry.substr(16, 32), sha256(Record(log, 1)));
  EXPECT_EQ(entry.substr(48, 32),
            sha256(previousChain + entry.substr(0, 8) + entry.substr(16, 32)));
  const int epoch = static_cast<unsigned char>(entry[8]);
  EXPECT_GE(epoch, 1);
  for (int e = 0; e < epoch; ++e) epochKey = hmac(epochKey, "lyrutil audit seal: next epoch");
  EXPECT_EQ(entry.substr(80, 32), hmac(epochKey, entry.substr(48, 32) + entry.substr(0, 16)));
}

// Whoever holds today's key, and the machine, cannot seal again a record of an earlier epoch
// unseen: rewriting the log and sealing it afresh leaves records sealed epochs after their time,
// and keeping the log but dropping its seal leaves records written after sealing began unsealed.
TEST_F(ToolSealTest, TodaysKeyCannotSealYesterdaysRecordsAgainUnseen) {
  const std::string key = StartSealing("1s");
  const std::string stamp = std::to_string(std::time(nullptr));
  // Each record stamped when it is appended: a slow machine (a sanitizer's build) may take more
  // than an epoch of one second over the three appends, and a record sealed two epochs after its
  // time is a finding.
  Append(Log(), 3);
  std::this_thread::sleep_for(std::chrono::milliseconds(3200));
  EXPECT_EQ(Tool("audit verify " + Log() + " --key " + key).status, 0);

  // The forger's own rewrite: the second message changed, the seal made again by the library.
  ::unlink((Log() + ".seal").c_str());
  ::unlink(Log().c_str());
  Append(Log(), 1, "--time @" + stamp);
  Append(Log(), "--user U1 --message forged --time @" + stamp);
  Append(Log(), 1, "--time @" + stamp);
  ExpectOutput(1, "records 0-2: sealed in a later epoch than its time",
               "audit verify " + Log() + " --key " + key);

  // The records kept, the seal dropped: the next append starts a seal behind them.
  ::unlink((Log() + ".seal").c_str());
  Append(Log(), 1);
  ExpectOutput(1, "records 0-2: written after sealing began, yet not sealed",
               "audit verify " + Log() + " --key " + key);
}

// A record another program appended without sealing (or whose writer stopped before sealing)
// is sealed by the next append and reported as sealed late, not as tampering. Writers in two
// processes at once seal in the order the records are stored.
TEST_F(ToolSealTest, UnsealedRecordsAreSealedLateAndConcurrentWritersKeepTheChain) {
  const std::string key = StartSealing();
  Append(Log(), 2);
  const std::string log = ReadHostFile(Log());
  WriteHostFile(Log(), log + Record(log, 0));  // appended behind the library's back
  Append(Log(), 1);
  ToolRun late = Tool("audit verify " + Log() + " --key " + key);
  EXPECT_EQ(late.status, 1);
  EXPECT_CONTAINS(late.out, "record 2: sealed late, by a later append");
  EXPECT_LACKS(late.out, "changed");

  const std::string other = DriveC() + "/shared.log";
  const std::string writer = "for i in 1 2 3 4 5 6 7 8 9 10; do $LYRUTIL_TOOL --prefix '" +
                             Prefix() + "' audit append " + other +
                             " --user W --message m 2>/dev/null || exit 1; done";
  ToolRun both = Run("(" + writer + ") & (" + writer + ") & wait");
  EXPECT_EQ(both.status, 0) << both.err;
  ExpectOutput(0, "20 records, 20 sealed", "audit verify " + other + " --key " + key);
}

// On a terminal the key comes as a QR code too: a square of half-block lines, with the key still
// the last line; through a pipe, the key alone after the sentences.
TEST_F(ToolSealTest, OnATerminalTheKeyComesAsAQrCodeToo) {
  ASSERT_EQ(Tool("install").status, 0);
  ToolRun shown =
      Run("script -qec \"$LYRUTIL_TOOL --prefix '" + Prefix() + "' audit seal init\" /dev/null");
  ASSERT_EQ(shown.status, 0) << shown.err;
  std::vector<std::string> code;
  std::string last;
  std::istringstream lines(shown.out);
  for (std::string line; std::getline(lines, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.find("\u2588") != std::string::npos || line.find("\u2580") != std::string::npos)
      code.push_back(line);
    if (!line.empty()) last = line;
  }
  ASSERT_GE(code.size(), 12u) << shown.out;  // a version-3 code and its border: 33 modules
  auto characters = [](const std::string& utf8) {
    return std::count_if(utf8.begin(), utf8.end(), [](char c) { return (c & 0xC0) != 0x80; });
  };
  for (const std::string& line : code) EXPECT_EQ(characters(line), characters(code[0]));
  EXPECT_EQ(static_cast<size_t>(characters(code[0]) + 1) / 2, code.size());  // square
  EXPECT_EQ(last.find('/'), 64u) << shown.out;
  EXPECT_EQ(last.find_first_not_of("0123456789abcdef/-"), std::string::npos) << last;
}

}  // namespace
