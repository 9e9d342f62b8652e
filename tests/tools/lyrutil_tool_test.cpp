// The lyrutil tool as a user runs it: a fresh installation per test, every command through the
// built binary, outputs parsed back, bad input refused with exit status 2.
#include "cups_server.h"
#include "tool_test.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

TEST_F(ToolTest, InstallShowsWhatTheLibraryFinds) {
  ToolRun r = Tool("install --suite-dir 'C:\\Suite' --working-dir 'C:\\Suite\\Data'");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_CONTAINS(r.out, "suite folder (registry): C:\\Suite\n");
  EXPECT_CONTAINS(r.out, "working directory: C:\\Suite\\Data\n");
  EXPECT_CONTAINS(r.out, "\"._cv\" association: Compare");
  EXPECT_TRUE(HostFileExists(DriveC() + "/Suite/sylwin.ini"));
  EXPECT_EQ(Tool("info").out, r.out);
}

TEST_F(ToolTest, ShowFiltersAndEveryFormatParsesBack) {
  AppendThree();
  nlohmann::json all = JsonOf("audit show " + Log() + " -o json");
  ASSERT_EQ(all.size(), 3u);
  EXPECT_EQ(all[1]["user"], "bob");
  EXPECT_EQ(all[1]["user_message"], "a, \"b\"");
  EXPECT_EQ(all[0]["system"], "LC-1");

  nlohmann::json bob = JsonOf("audit show " + Log() + " --user BOB -o json");
  ASSERT_EQ(bob.size(), 1u);
  EXPECT_EQ(bob[0]["system"], "LC-2");

  ToolRun since = Tool("audit show " + Log() + " --since '2026-12-05 09:00' -o jsonl");
  EXPECT_EQ(LineCount(since.out), 2);
  EXPECT_EQ(nlohmann::json::parse(since.out.substr(0, since.out.find('\n')))["user"], "bob");
  // The tool's own ISO time reads back, in another zone too; clock times are today's, and
  // "N ago" counts back from now (the records are of 2026-12-05).
  const std::string bobTime = bob[0]["time"];
  EXPECT_EQ(LinesShown("--since '" + bobTime + "'"), 2) << bobTime;
  EXPECT_EQ(LinesShown("--since '" + bobTime + "'", "TZ=Asia/Tokyo"), 2);
  EXPECT_EQ(LinesShown("--until '" + bobTime + "'"), 2);
  EXPECT_EQ(LinesShown("--since 00:00"), 0);
  EXPECT_EQ(LinesShown("--until 23:59:59"), 3);
  EXPECT_EQ(LinesShown("--since '1000 days ago'"), 3);
  EXPECT_EQ(LinesShown("--since '1 h ago'"), 0);

  // --grep searches every text (extended expressions; -i ignores case), with -n and follow too.
  auto users = [&](const std::string& options) {
    std::string found;
    std::istringstream lines(Tool("audit show -o jsonl " + Log() + " " + options).out);
    for (std::string line; std::getline(lines, line);)
      found += nlohmann::json::parse(line)["user"].get<std::string>() + " ";
    return found;
  };
  EXPECT_EQ(users("--grep 'fir|thi'"), "ALICE CAROL ");
  EXPECT_EQ(users("--grep LC-2"), "bob ");  // the system is a text too
  EXPECT_EQ(users("--grep CAROL"), "CAROL ");
  EXPECT_EQ(users("--grep carol"), "");
  EXPECT_EQ(users("--grep carol -i"), "CAROL ");
  EXPECT_EQ(users("--grep 'LC-1' -n 1"), "CAROL ");
  EXPECT_EQ(Tool("audit show " + Log() + " --grep '('").status, 2);

  ToolRun last = Tool("audit show " + Log() + " -n 2 -r");
  EXPECT_LT(last.out.find("CAROL"), last.out.find("bob"));
  EXPECT_LACKS(last.out, "ALICE");

  ToolRun csv = Tool("audit show " + Log() + " -o csv");
  EXPECT_EQ(csv.out.substr(0, csv.out.find("\r\n")),
            "time,user,author,system,project,sample_id,sample,ar,channel,method,type,"
            "system_message,user_message");
  EXPECT_CONTAINS(csv.out, ",\"a, \"\"b\"\"\"\r\n");

  nlohmann::json stats = JsonOf("audit stats " + Log() + " -o json");
  EXPECT_EQ(stats["records"], 3);
  EXPECT_EQ(stats["systems"]["LC-1"], 2);
}

TEST_F(ToolTest, ExportAndExtractWriteWholeFiles) {
  AppendThree();
  ToolRun exported = Tool("audit export " + Log() + " --to " + DriveC() + "/out.txt --user carol");
  ASSERT_EQ(exported.status, 0) << exported.err;
  std::string text = ReadHostFile(DriveC() + "/out.txt");
  EXPECT_CONTAINS(text, " | CAROL | CAROL | LC-1 | ");
  EXPECT_EQ(LineCount(text), 1);
  ASSERT_EQ(Tool("audit extract " + Log() + " --to " + DriveC() + "/part.log --system lc-1").status,
            0);
  EXPECT_EQ(ReadHostFile(DriveC() + "/part.log").size(), 2 * sizeof(LOG_ENTRY_STRUCT));
  // A folder that does not exist: an error, and no file left behind.
  ToolRun refused = Tool("audit export " + Log() + " --to " + DriveC() + "/no/such/out.txt");
  EXPECT_EQ(refused.status, 2);
  EXPECT_FALSE(HostFileExists(DriveC() + "/no"));
  // Onto the log itself, under another spelling or through a link: refused, the log untouched.
  const std::string before = ReadHostFile(Log());
  ASSERT_EQ(::symlink(Log().c_str(), (DriveC() + "/link.log").c_str()), 0);
  for (const char* command : {"export", "extract"}) {
    for (const std::string& to : {DriveC() + "/./audit.log", DriveC() + "/link.log"}) {
      ToolRun self =
          Tool(std::string("audit ") + command + " " + Log() + " --to " + to + " --user carol");
      EXPECT_EQ(self.status, 2) << command << " " << to;
      EXPECT_CONTAINS(self.err, "is the log being read");
      ASSERT_TRUE(ReadHostFile(Log()) == before);
    }
  }
}

// The library drops an entry silently when it cannot make the log's folder: the tool says so
// first, and writes nothing.
TEST_F(ToolTest, AppendRefusesALogWhoseFolderIsMissing) {
  ASSERT_EQ(Tool("install").status, 0);
  ExpectError(2, "does not exist",
              "audit append " + DriveC() + "/no/such/audit.log --user u --message m");
  EXPECT_FALSE(HostFileExists(DriveC() + "/no"));
  EXPECT_FALSE(HostFileExists(DriveC() + "/Work/error.blg"));
}

// `show -f` follows the log as journalctl -f does: an entry that another process appends shows
// while the follower runs; a log that shrinks is said to be truncated, and following goes on from
// its new end without a crash.
TEST_F(ToolTest, FollowShowsWhatAnotherProcessAppendsAndSurvivesATruncation) {
  AppendThree();
  const std::string three = ReadHostFile(Log());
  const std::string errFile = Prefix() + "/follow.err";
  int out = -1;
  const pid_t follower = StartTool({"audit", "show", Log(), "-f", "-o", "jsonl"}, errFile, &out);
  ASSERT_GT(follower, 0);
  std::string seen;
  auto readUntil = [&](const std::string& wanted) { return ReadUntil(out, &seen, wanted); };
  // Whether the follower said `words` on standard error within 20 seconds.
  auto said = [&](const std::string& words) {
    for (int i = 0; i < 400 && ReadHostFile(errFile).find(words) == std::string::npos; ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    return ReadHostFile(errFile).find(words) != std::string::npos;
  };
  EXPECT_TRUE(readUntil("CAROL"));  // what was there
  Append(Log(), "--user DAVE --message late");
  EXPECT_TRUE(readUntil("DAVE")) << seen;
  const size_t line = seen.rfind('\n', seen.size() - 2);
  EXPECT_EQ(nlohmann::json::parse(seen.substr(line + 1))["user_message"], "late");

  WriteHostFile(Log(), three.substr(0, sizeof(LOG_ENTRY_STRUCT)));
  EXPECT_TRUE(said(Log() + ": truncated; following from its new end"));
  Append(Log(), "--user ERIN --message after");
  EXPECT_TRUE(readUntil("ERIN")) << seen;

  // A log replaced by another file (renamed over it) is followed from the new file's start.
  const std::string replacement = Log() + ".new";
  WriteHostFile(replacement, three.substr(sizeof(LOG_ENTRY_STRUCT), sizeof(LOG_ENTRY_STRUCT)));
  ASSERT_EQ(std::rename(replacement.c_str(), Log().c_str()), 0);
  EXPECT_TRUE(said(Log() + ": replaced; following the new file from its start"));
  Append(Log(), "--user FRANK --message replaced");
  EXPECT_TRUE(readUntil("FRANK")) << seen;
  const size_t bobAgain = seen.rfind("\"user\":\"bob\"");
  EXPECT_GT(bobAgain, seen.find("ERIN"));  // the new file's own record, shown from its start
  ::kill(follower, SIGTERM);
  int status = 0;
  ::waitpid(follower, &status, 0);
  EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM) << "no crash before the signal";
  ::close(out);
}

// A terminal gets show's records through a pager (`script` gives the run one); a pipe, --no-pager
// and a pager named "cat" do not.
TEST_F(ToolTest, OnATerminalShowGoesThroughAPagerUnlessToldNot) {
  AppendThree();
  const std::string show = "$LYRUTIL_TOOL --prefix '" + Prefix() + "' audit show " + Log();
  auto shown = [&](const std::string& pager, const std::string& options, bool terminal) {
    const std::string command = show + options;
    return Run("LYRUTIL_PAGER='" + pager + "' " +
               (terminal ? "script -qec \"" + command + "\" /dev/null" : command))
        .out;
  };
  const std::string marked = "sed s/^/paged:/";
  const std::string paged = shown(marked, "", true);
  size_t lines = 0;
  for (size_t at = paged.find("paged:"); at != std::string::npos; at = paged.find("paged:", at + 1))
    ++lines;
  EXPECT_EQ(lines, 3u) << paged;
  EXPECT_CONTAINS(paged, "paged:2026-12-05 08:00:00  ALICE");
  EXPECT_LACKS(shown(marked, " --no-pager", true), "paged:");
  EXPECT_LACKS(shown(marked, "", false), "paged:");
  EXPECT_CONTAINS(shown("cat", "", true), "ALICE");
}

TEST_F(ToolTest, VerifyFindsTornTailsAndGarbledRecords) {
  AppendThree();
  EXPECT_EQ(Tool("audit verify " + Log()).status, 0);
  std::string bytes = ReadHostFile(Log());
  WriteHostFile(Log(), bytes + "torn");
  EXPECT_EQ(JsonOf("audit verify " + Log() + " -o json", 1)["logs"][0]["torn_tail_bytes"], 4);
  std::string garbled = bytes;
  for (size_t i = 4; i < 4 + 16; ++i) garbled[sizeof(LOG_ENTRY_STRUCT) + i] = 'X';  // UsrId
  WriteHostFile(Log(), garbled);
  nlohmann::json report = JsonOf("audit verify " + Log() + " -o json", 1)["logs"][0];
  EXPECT_EQ(report["unterminated_records"], 1);
  EXPECT_EQ(report["unterminated_record_indexes"][0], 1);
  // show still shows it, as the library reads it, and says that it is not as the suite writes.
  ToolRun shown = Tool("audit show " + Log());
  EXPECT_EQ(shown.status, 0);
  EXPECT_CONTAINS(shown.out, "  XXXXXXXXXXXXXXX (for bob)");
  EXPECT_EQ(shown.err,
            "lyrutil: warning: 1 record shown with a text not ended inside its field: not written "
            "by the suite, or damaged (lyrutil audit verify)\n");
  EXPECT_EQ(Tool("audit show " + Log() + " --user bob").err, "");
}

// Also inputs that are not regular files, or far larger than what they claim to be: refused at
// once instead of read until memory runs out or blocking forever.
TEST_F(ToolTest, BadInputGetsOneLineAndStatusTwo) {
  ASSERT_EQ(Tool("install").status, 0);
  WriteHostFile(DriveC() + "/odd.log", std::string(1000, 'x'));
  const std::string fifo = DriveC() + "/fifo";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  for (const std::string& args :
       {"audit show " + DriveC() + "/odd.log", "audit show " + DriveC() + "/missing.log",
        "audit show " + DriveC() + "/odd.log --since 2026-13-45",
        std::string("audit show --nope x"), std::string("frame decode -"),
        std::string("audit verify /dev/zero"), "audit verify " + fifo,
        std::string("frame decode /dev/zero"), "frame decode " + fifo,
        std::string("module lookup tcd --table /dev/zero"), "print " + DriveC(),
        "audit show " + fifo, "audit export " + fifo + " --to " + DriveC() + "/x.txt",
        std::string("frame decode - < /dev/zero")}) {
    SCOPED_TRACE(args);
    ToolRun r = Tool(args, args == "frame decode -" ? "not;a;frame" : "", "timeout 20");
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(LineCount(r.err), 1) << r.err;
    EXPECT_EQ(r.err.rfind("lyrutil: ", 0), 0u) << r.err;
  }
  EXPECT_CONTAINS(Tool("frame decode - < /dev/zero").err, "too large");
  EXPECT_FALSE(HostFileExists(DriveC() + "/x.txt"));
}

// Only install and demo make installations. A mistyped --prefix is refused, not made; a command
// that only reads the files it is given runs without an installation and leaves no ~/.lyrutil
// behind; one that would keep something (an audit entry) needs an installation.
TEST_F(ToolTest, OnlyInstallMakesInstallationsAndMistypesAreNamed) {
  AppendThree();
  const std::string home = Prefix() + "/home", scratch = Prefix() + "/tmp";
  ASSERT_EQ(::mkdir(home.c_str(), 0700), 0);
  ASSERT_EQ(::mkdir(scratch.c_str(), 0700), 0);
  const std::string user = "env -u LYRUTIL_PREFIX -u XDG_RUNTIME_DIR HOME='" + home + "' TMPDIR='" +
                           scratch + "' \"$LYRUTIL_TOOL\" ";

  ToolRun typo = Run("\"$LYRUTIL_TOOL\" --prefix '" + Prefix() + "/typo' info");
  EXPECT_EQ(typo.status, 2);
  EXPECT_CONTAINS(typo.err, "typo: no installation here");
  EXPECT_FALSE(HostFileExists(Prefix() + "/typo"));

  ToolRun shown = Run(user + "audit show -o jsonl '" + Log() + "'");
  EXPECT_EQ(shown.status, 0) << shown.err;
  EXPECT_EQ(LineCount(shown.out), 3);
  ToolRun appended = Run(user + "audit append '" + Log() + "' --user DAN --message x");
  EXPECT_EQ(appended.status, 2);
  EXPECT_CONTAINS(appended.err, "install makes one");
  EXPECT_EQ(HostFolderNames(home), std::vector<std::string>());

  for (const char* mistyped : {"audit shwo", "aduit show"}) {
    ToolRun r = Tool(mistyped);
    EXPECT_EQ(r.status, 2);
    const std::string word =
        std::string(mistyped).find("shwo") != std::string::npos ? "shwo" : "aduit";
    EXPECT_CONTAINS(r.err, "unknown command '" + word + "'");
  }
}

// Text output is one line a record whatever the texts hold; options that cannot mean anything
// (a filter longer than its field, an empty time, a negative count, following into a JSON array
// or newest first) are refused with the reason instead of showing nothing.
TEST_F(ToolTest, TextLinesEscapeControlsAndMeaninglessOptionsAreRefused) {
  ASSERT_EQ(Tool("install").status, 0);
  Append(Log(), "--user bob --message \"$(printf 'one\\ntwo \\033[31m')\"");
  Append(Log(), "--user bob --message plain");
  ToolRun text = Tool("audit show " + Log());
  ASSERT_EQ(text.status, 0) << text.err;
  EXPECT_EQ(LineCount(text.out), 2) << text.out;
  EXPECT_CONTAINS(text.out, "one\\ntwo \\x1b[31m");
  EXPECT_EQ(text.out.find('\x1b'), std::string::npos);
  // The euro sign is code page 1252's 0x80; JSON escapes what it must and the text line its
  // controls alone.
  Append(Log(), "--user bob --message \"$(printf 'euro \\342\\202\\254 \\033 \\\\ \"')\"");
  EXPECT_CONTAINS(Tool("audit show " + Log() + " -n 1").out, "euro \xe2\x82\xac \\x1b \\ \"\n");
  EXPECT_EQ(JsonOf("audit show " + Log() + " -n 1 -o jsonl")["user_message"],
            "euro \xe2\x82\xac \x1b \\ \"");

  const std::pair<const char*, const char*> refused[] = {
      {"--user 1234567890123456", "at most 15"},
      {"--type 123456789012345678901234567890123", "at most 31"},
      {"--since ''", "empty time"},
      {"--user ''", "empty value"},
      {"-n -3", "0 or more"},
      {"-f -o json", "jsonl"},
      {"-r -f", "cannot go together"}};
  for (const auto& [options, reason] : refused) {
    SCOPED_TRACE(options);
    ExpectError(2, reason, "audit show " + Log() + " " + options, "", "timeout 20");
  }
  // An overlong NUL (C0 80) is no character: the filter is not cut short to "bo".
  Append(Log(), "--user bo --message short");
  ToolRun smuggled = Tool("audit show " + Log() + " --user \"$(printf 'bo\\300\\200x')\"");
  EXPECT_EQ(smuggled.status, 0);
  EXPECT_EQ(smuggled.out, "");
}

// When summer time ends, one wall-clock hour comes twice: -o short-iso tells them apart by their
// offsets (2026-10-25 in Berlin: 00:30 and 01:30 UTC are both 02:30 local). Times typed for a
// window never leave a record inside it out: a repeated time starts at its earlier instant and
// ends at its later, a skipped one (02:30 on 2026-03-29) at the moment the clocks jumped.
TEST_F(ToolTest, SummerTimeNeitherHidesNorMergesRecords) {
  ASSERT_EQ(Tool("install").status, 0);
  for (const char* when : {"@1774745000", "@1774746000", "@1774747200", "@1792887000",
                           "@1792888200", "@1792890000", "@1792891800", "@1792893000"})
    Append(Log(), std::string("--user u --message m --time ") + when);
  const std::string berlin = "TZ=Europe/Berlin";
  const std::string text = Tool("audit show " + Log(), "", berlin).out;
  EXPECT_EQ(LineCount(text), 8);
  EXPECT_NE(text.find("2026-10-25 02:30:00"), text.rfind("2026-10-25 02:30:00")) << text;
  const std::string iso = Tool("audit show -o short-iso " + Log(), "", berlin).out;
  EXPECT_CONTAINS(iso, "\n2026-10-25T02:30:00+02:00");
  EXPECT_CONTAINS(iso, "\n2026-10-25T02:30:00+01:00");

  auto count = [&](const std::string& window) { return LinesShown(window, berlin); };
  EXPECT_EQ(count("--since '2026-10-25 02:30'"), 4);  // both 02:30s and what follows
  EXPECT_EQ(count("--since 2026-10-01 --until '2026-10-25 02:30'"), 4);
  EXPECT_EQ(count("--since '2026-03-29 02:30' --until 2026-03-30"), 2);  // 03:00 and 03:20
  EXPECT_EQ(count("--until '2026-03-29 02:30'"), 1);                     // 01:43 only
  ToolRun noted = Tool("audit show " + Log() + " --since '2026-10-25 02:30'", "", berlin);
  EXPECT_CONTAINS(noted.err, "happens twice here");
  // Amsterdam's clocks went from +00:19:32 to +01:19:32 at 23:40:28 UTC: records of one minute
  // on both sides of it each get their own offset, whichever comes first.
  const std::string early = DriveC() + "/1916.log";
  for (const char* when : {"@-1693700342", "@-1693700382", "@-1693700362"})
    Append(early, std::string("--user u --message m --time ") + when);
  EXPECT_EQ(Tool("audit show -o short-iso " + early, "", "TZ=Europe/Amsterdam").out,
            "1916-05-01T01:00:30+01:19  u @   -- m\n"
            "1916-04-30T23:59:50+00:19  u @   -- m\n"
            "1916-05-01T01:00:10+01:19  u @   -- m\n");
}

// What an append changes in what was typed is said; --strict refuses it and records nothing.
TEST_F(ToolTest, AppendSaysWhatItChangedAndStrictRefuses) {
  ASSERT_EQ(Tool("install").status, 0);
  ToolRun cut = Tool("audit append " + Log() +
                     " --user 12345678901234567 --message 'ok \xe2\x82\xac \xf0\x9f\x98\x80'");
  EXPECT_EQ(cut.status, 0) << cut.err;
  EXPECT_CONTAINS(cut.err, "--user: cut from 17 to 15");
  EXPECT_CONTAINS(cut.err, "--message: characters code page 1252 lacks");
  ToolRun strict = Tool("audit append " + Log() + " --user '' --message x --strict");
  EXPECT_EQ(strict.status, 2);
  EXPECT_CONTAINS(strict.err, "--user: empty");
  ToolRun fits = Tool("audit append " + Log() +
                      " --user b\xc3\xa9\x61 --message x --channel \xc3\xa9 --strict");
  EXPECT_EQ(fits.status, 0) << fits.err;  // é is one character of code page 1252
  ToolRun shown = Tool("audit show -o jsonl " + Log());
  ASSERT_EQ(LineCount(shown.out), 2) << shown.out;
  EXPECT_CONTAINS(shown.out, "\"user\":\"123456789012345\"");
  EXPECT_CONTAINS(shown.out, "\"user_message\":\"ok \xe2\x82\xac ?\"");
  EXPECT_CONTAINS(shown.out, "\"channel\":\"\xc3\xa9\"");
}

// `bmp decode` paints through the library; an independent decoder (netpbm) must agree.
TEST_F(ToolTest, BmpFilesAreDescribedAndDecodedAsTheLibraryPaintsThem) {
  ASSERT_EQ(Tool("install").status, 0);
  std::string ppm = "P6\n5 3\n255\n";
  for (int i = 0; i < 15; ++i)
    ppm += std::string{static_cast<char>(i * 17), static_cast<char>(255 - i),
                       static_cast<char>(i * 3)};
  WriteHostFile(DriveC() + "/in.ppm", ppm);
  ToolRun info = Tool("bmp info " + DriveC() + "/in.ppm");
  EXPECT_EQ(info.status, 2);  // not a BMP file
  EXPECT_CONTAINS(info.err, "not a BMP file");
  if (::access("/usr/bin/ppmtobmp", X_OK) != 0) GTEST_SKIP() << "netpbm is not installed";
  ASSERT_EQ(std::system(("/usr/bin/ppmtobmp -bpp 24 '" + DriveC() + "/in.ppm' > '" + DriveC() +
                         "/in.bmp' 2>/dev/null")
                            .c_str()),
            0);
  nlohmann::json described = JsonOf("bmp info " + DriveC() + "/in.bmp --json");
  EXPECT_EQ(described["width"], 5);
  EXPECT_EQ(described["height"], 3);
  EXPECT_EQ(described["colors"], 0);
  EXPECT_EQ(described["pixels_at"], 40);
  ASSERT_EQ(Tool("bmp decode " + DriveC() + "/in.bmp --to " + DriveC() + "/out.ppm").status, 0);
  EXPECT_TRUE(ReadHostFile(DriveC() + "/out.ppm") == ppm);
  // Through a pipe, whose length is known only at its end; a folder is not a file.
  ASSERT_EQ(Tool("bmp decode /dev/stdin --to " + DriveC() + "/piped.ppm", "",
                 "cat '" + DriveC() + "/in.bmp' |")
                .status,
            0);
  EXPECT_TRUE(ReadHostFile(DriveC() + "/piped.ppm") == ppm);
  EXPECT_CONTAINS(Tool("bmp info " + DriveC()).err, "not a file");
  // ImageMagick's own BMP (a 124-byte header, which the library reads as a core header) is
  // painted straight through GDI, which reads it.
  if (::access("/usr/bin/convert", X_OK) == 0) {
    std::system(
        ("/usr/bin/convert '" + DriveC() + "/in.ppm' BMP:'" + DriveC() + "/v5.bmp'").c_str());
    ASSERT_EQ(Tool("bmp decode " + DriveC() + "/v5.bmp --to " + DriveC() + "/v5.ppm").status, 0);
    EXPECT_TRUE(ReadHostFile(DriveC() + "/v5.ppm") == ppm);
  }
  // A top-down file (negative height): red on top, blue below.
  std::string topDown = "BM" + std::string(12, '\0');
  const int32_t header[10] = {40, 2, -2, 1 | 24 << 16, 0, 0, 0, 0, 0, 0};
  topDown.append(reinterpret_cast<const char*>(header), sizeof header);
  topDown += std::string("\0\0\xff\0\0\xff\0\0", 8) + std::string("\xff\0\0\xff\0\0\0\0", 8);
  WriteHostFile(DriveC() + "/top.bmp", topDown);
  nlohmann::json top = JsonOf("bmp info " + DriveC() + "/top.bmp -o json");
  EXPECT_EQ(top["height"], 2);
  EXPECT_EQ(top["top_down"], true);
  ASSERT_EQ(Tool("bmp decode " + DriveC() + "/top.bmp --to " + DriveC() + "/top.ppm").status, 0);
  EXPECT_EQ(ReadHostFile(DriveC() + "/top.ppm"),
            "P6\n2 2\n255\n" + std::string("\xff\0\0\xff\0\0\0\0\xff\0\0\xff", 12));
  // A 40-byte header with bit fields (compression 3): the rows follow the three masks, where
  // GDI finds them (the library's FindDIBBits points at the masks). Red, then blue.
  std::string fields = "BM" + std::string(12, '\0');
  const uint32_t fieldsHeader[15] = {40, 2, 1,        1 | 32 << 16, 3,    0,        0,   0,
                                     0,  0, 0xFF0000, 0xFF00,       0xFF, 0xFF0000, 0xFF};
  fields.append(reinterpret_cast<const char*>(fieldsHeader), sizeof fieldsHeader);
  WriteHostFile(DriveC() + "/fields.bmp", fields);
  ASSERT_EQ(Tool("bmp decode " + DriveC() + "/fields.bmp --to " + DriveC() + "/fields.ppm").status,
            0);
  EXPECT_EQ(ReadHostFile(DriveC() + "/fields.ppm"),
            "P6\n2 1\n255\n" + std::string("\xff\0\0\0\0\xff", 6));

  // The PNG (cairo) read back by netpbm: the same pixels, and at twice the size each pixel
  // twice in each direction, as COLORONCOLOR stretches.
  auto pngAsPpm = [&](const std::string& png) {
    std::system(("pngtopnm '" + png + "' > '" + png + ".ppm' 2>/dev/null").c_str());
    return ReadHostFile(png + ".ppm");
  };
  ASSERT_EQ(Tool("bmp png " + DriveC() + "/in.bmp --to " + DriveC() + "/out.png").status, 0);
  EXPECT_TRUE(pngAsPpm(DriveC() + "/out.png") == ppm);
  ASSERT_EQ(
      Tool("bmp png " + DriveC() + "/in.bmp --to " + DriveC() + "/big.png --size 10x6").status, 0);
  std::string doubled = "P6\n10 6\n255\n";
  for (int y = 0; y < 6; ++y)
    for (int x = 0; x < 10; ++x) doubled += ppm.substr(11 + 3 * ((y / 2) * 5 + x / 2), 3);
  EXPECT_TRUE(pngAsPpm(DriveC() + "/big.png") == doubled);
  EXPECT_EQ(Tool("bmp png " + DriveC() + "/in.bmp --to " + DriveC() + "/x.png --size 10x").status,
            2);
  EXPECT_FALSE(HostFileExists(DriveC() + "/x.png"));
}

// `print` puts a text file's lines on one page, 10 points apart, through the print dialog and
// the installation's PDF printer; a PDF reader finds them there.
TEST_F(ToolTest, PrintPutsTheLinesOnOnePageTenPointsApart) {
  ASSERT_EQ(Tool("install").status, 0);
  WriteHostFile(DriveC() + "/page.txt", "Batch 17\r\nSample\tA-3\nOperator \xC3\xA9mile\n");
  ToolRun run = Tool("print " + DriveC() + "/page.txt");
  ASSERT_EQ(run.status, 0) << run.err;
  const std::string pdf = Prefix() + "/printed/0001.pdf";
  EXPECT_EQ(run.out, pdf + "\n");
  // Each word's line, and its column (6 points a character; the tab reaches column 8).
  const std::vector<PdfWord> found = PdfWords(pdf);
  const std::string words[] = {"Batch", "17", "Sample", "A-3", "Operator", "\xC3\xA9mile"};
  const int lines[] = {0, 0, 1, 1, 2, 2};
  const int columns[] = {0, 6, 0, 8, 0, 9};
  for (size_t i = 0; i < 6; ++i) {
    SCOPED_TRACE(words[i]);
    auto word = std::find_if(found.begin(), found.end(),
                             [&](const PdfWord& w) { return w.text == words[i]; });
    ASSERT_NE(word, found.end());
    EXPECT_NEAR(word->xMin, 18 + 6 * columns[i], 1.0);
    EXPECT_NEAR(word->yMin, 18 + 10 * lines[i], 1.0);
  }

  ToolRun unknown = Tool("print " + DriveC() + "/page.txt --printer 'Office Laser'");
  EXPECT_EQ(unknown.status, 2);
  EXPECT_EQ(unknown.err, "lyrutil: no printer named \"Office Laser\" (printers: LyrUtil PDF)\n");
  std::string tall(100, 'w');  // one line continued on the next: 93 and 7 characters
  tall += "\n";
  for (int i = 1; i < 99; ++i) tall += "line " + std::to_string(i) + "\n";
  WriteHostFile(DriveC() + "/tall.txt", tall);
  ToolRun cut = Tool("print " + DriveC() + "/tall.txt");
  EXPECT_EQ(cut.status, 0);
  EXPECT_EQ(cut.out, Prefix() + "/printed/0002.pdf\n");
  EXPECT_CONTAINS(cut.err, "only the first 80 of 100 lines fit on the page");
  EXPECT_EQ(Tool("print " + DriveC() + "/missing.txt").status, 2);
}

// Each run names the file its document went to, even beside other runs and on a file system
// without hard links; a document that was not written fails the run.
TEST_F(ToolTest, PrintNamesTheDocumentItWroteAndFailsWhenNoneWasWritten) {
  ASSERT_EQ(Tool("install").status, 0);
  std::vector<std::thread> runs;
  std::vector<ToolRun> results(4);
  for (int i = 0; i < 4; ++i) {
    WriteHostFile(DriveC() + "/doc" + std::to_string(i) + ".txt",
                  "Document" + std::to_string(i) + std::string("\0after", 6) + "\n");
    runs.emplace_back(
        [&, i] { results[i] = Tool("print " + DriveC() + "/doc" + std::to_string(i) + ".txt"); });
  }
  for (std::thread& run : runs) run.join();
  for (int i = 0; i < 4; ++i) {
    ASSERT_EQ(results[i].status, 0) << i;
    const std::string pdf = results[i].out.substr(0, results[i].out.size() - 1);
    const std::string text = CommandOutput("pdftotext '" + pdf + "' - 2>&1");
    EXPECT_CONTAINS(text, "Document" + std::to_string(i) + " after");
  }

  const std::string preload = "LD_PRELOAD='" + std::string(LYRUTIL_TEST_HELPERS) +
                              "/no_hard_links.so' ASAN_OPTIONS=verify_asan_link_order=0";
  ToolRun linkless = Tool("print " + DriveC() + "/doc0.txt", "", preload);
  ASSERT_EQ(linkless.status, 0) << linkless.err;
  EXPECT_EQ(linkless.out, Prefix() + "/printed/0005.pdf\n");
  EXPECT_CONTAINS(CommandOutput("pdftotext '" + Prefix() + "/printed/0005.pdf' -"), "Document0");

  ToolRun full = Tool("print " + DriveC() + "/doc0.txt", "", "ulimit -f 2;");
  EXPECT_EQ(full.status, 2);
  // (LeakSanitizer may add its report of fontconfig's caches after the line.)
  EXPECT_EQ(full.err.rfind("lyrutil: the document was not printed: the disk is full\n", 0), 0u)
      << full.err;
  EXPECT_EQ(full.out, "");
  EXPECT_EQ(CommandOutput("ls -A '" + Prefix() + "/printed'"),
            "0001.pdf\n0002.pdf\n0003.pdf\n0004.pdf\n0005.pdf\n");  // no temporary left
  EXPECT_CONTAINS(Tool("print " + DriveC()).err, "not a file");
}

// `audit print`: the report over as many pages as it takes, each headed and numbered, messages
// wrapped at spaces in their column, and the seal heads and the signature block at its end only.
TEST_F(ToolTest, AuditPrintLaysTheReportOverNumberedPagesForSigning) {
  ASSERT_EQ(Tool("install").status, 0);
  std::string log;
  for (int i = 0; i < 60; ++i) {
    LOG_ENTRY_STRUCT r = {};
    r.Time = 1765180800 + 60 * i;
    std::snprintf(r.UsrId, sizeof r.UsrId, "%s", i % 2 ? "CAROL" : "BOB");
    std::snprintf(r.SysId, sizeof r.SysId, "LC-1");
    std::snprintf(r.SysMess, sizeof r.SysMess,
                  "Alarm %d: the column pressure rose above the\nlimit set in the method, so the "
                  "pump stopped",
                  i);
    log.append(reinterpret_cast<const char*>(&r), sizeof r);
  }
  WriteHostFile(Log(), log);
  const auto pagesOf = [&](const std::string& options) {
    const ToolRun printed = Tool("audit print " + Log() + " --printer 'LyrUtil PDF' " + options);
    EXPECT_EQ(printed.status, 0) << printed.err;
    std::vector<std::string> pages;
    std::istringstream text(CommandOutput("pdftotext -layout '" + LastLine(printed.out) + "' -"));
    for (std::string page; std::getline(text, page, '\f');) pages.push_back(page);
    return pages;
  };
  const std::vector<std::string> pages = pagesOf("");
  ASSERT_GE(pages.size(), 3u);
  size_t pressure = 0;
  for (size_t k = 0; k < pages.size(); ++k) {
    SCOPED_TRACE(k);
    EXPECT_EQ(pages[k].find("AUDIT TRAIL REPORT"), 0u);
    EXPECT_CONTAINS(pages[k],
                    "Page " + std::to_string(k + 1) + " of " + std::to_string(pages.size()));
    EXPECT_CONTAINS(pages[k], "Filters: none");
    EXPECT_EQ(pages[k].find("Reviewed by:") != std::string::npos, k + 1 == pages.size());
    for (size_t at = 0; (at = pages[k].find("pressure", at)) != std::string::npos; ++at) ++pressure;
  }
  EXPECT_EQ(pressure, 60u);  // no word cut at a line's end
  EXPECT_CONTAINS(pages.back(), "60 records. End of report.");
  EXPECT_CONTAINS(pages.back(), "not sealed");
  EXPECT_CONTAINS(pages[0], "2025-12-08 08:00:00 BOB");

  const std::vector<std::string> carol = pagesOf("--user carol");
  ASSERT_FALSE(carol.empty());
  EXPECT_CONTAINS(carol[0], "Filters: user carol");
  EXPECT_LACKS(carol[0], " BOB ");
  EXPECT_CONTAINS(carol.back(), "30 records. End of report.");
  // Forty users to filter on do not fit a heading: every page points to page 1, which has them.
  std::string many;
  for (int i = 0; i < 40; ++i) many += " --user reviewer" + std::to_string(i);
  const std::vector<std::string> listed = pagesOf(many + " --user carol");
  ASSERT_FALSE(listed.empty());
  for (const std::string& page : listed) EXPECT_CONTAINS(page, "Filters: in full on page 1");
  EXPECT_CONTAINS(listed[0], "Filters: user reviewer0 or reviewer1 or");
  EXPECT_CONTAINS(listed.back(), "30 records. End of report.");
  EXPECT_EQ(Tool("audit print " + DriveC() + "/missing.log --printer 'LyrUtil PDF'").status, 2);
}

// `printers` lists a real print server's queues beside the PDF printer; `print --printer` sends
// the page there as a job and names it; a queue that refuses or a server that is gone fails the
// run with one line.
TEST_F(ToolTest, PrintersListsTheServersQueuesAndPrintSendsAJobThere) {
  ASSERT_EQ(Tool("install").status, 0);
  EXPECT_EQ(Tool("printers").out,
            "* LyrUtil PDF  idle            PDF files (file://" + Prefix() + "/printed)\n");
  CupsServer server(Prefix() + "/cups",
                    "<DefaultPrinter lab1>\nDeviceURI file:///dev/null\nState Idle\nAccepting "
                    "Yes\n</DefaultPrinter>\n<Printer closed1>\nDeviceURI "
                    "file:///dev/null\nAccepting No\n</Printer>\n");
  ASSERT_TRUE(server.Running());
  const nlohmann::json printers = JsonOf("printers -o json");
  ASSERT_EQ(printers.size(), 3u);
  EXPECT_EQ(printers[0]["name"], "lab1");
  EXPECT_EQ(printers[0]["default"], true);
  EXPECT_EQ(printers[0]["server"], server.Address());
  EXPECT_EQ(printers[2]["name"], "closed1");
  EXPECT_EQ(printers[2]["state"], "rejecting jobs");

  WriteHostFile(DriveC() + "/page.txt", "Signed by the reviewer\n");
  const ToolRun printed = Tool("print " + DriveC() + "/page.txt --printer lab1");
  ASSERT_EQ(printed.status, 0) << printed.err;
  EXPECT_EQ(printed.out, "lab1-1\n");
  WriteHostFile(Prefix() + "/job.pdf", server.JobDocument(1));
  EXPECT_CONTAINS(CommandOutput("pdftotext '" + Prefix() + "/job.pdf' -"),
                  "Signed by the reviewer");
  Append(Log(), "--user ANNA --message reviewed");
  const ToolRun report = Tool("audit print " + Log() + " --printer lab1");
  ASSERT_EQ(report.status, 0) << report.err;
  EXPECT_EQ(report.out, "lab1-2\n");
  WriteHostFile(Prefix() + "/report.pdf", server.JobDocument(2));
  EXPECT_CONTAINS(CommandOutput("pdftotext '" + Prefix() + "/report.pdf' -"), "Page 1 of 1");
  const ToolRun refused = Tool("print " + DriveC() + "/page.txt --printer closed1");
  EXPECT_EQ(refused.status, 2);
  EXPECT_EQ(refused.err.rfind("lyrutil: the document was not printed: ", 0), 0u) << refused.err;
  server.Stop();
  ExpectError(2, "no printer named \"lab1\"", "print " + DriveC() + "/page.txt --printer lab1");
}

TEST_F(ToolTest, FrameNumbersAndAxis) {
  nlohmann::json j = JsonOf("frame decode - -o json", 0,
                            "1;2.5;3;4.5;5;6.5;7.5;8.5;9.5;10.5;0.5;12;13;14.5;15.5;16.5;17.5;18;"
                            "10;P1;5;20;T2;80;#Run7;");
  EXPECT_EQ(j["fields"]["2"], 2.5);
  EXPECT_EQ(j["name"], "Run7");
  EXPECT_EQ(Tool("axis 0 100").out, "0 50 100\n");
  // Ticks close together keep the digits that tell them apart.
  EXPECT_EQ(Tool("axis 123456.789 123457.012").out,
            "123456.8 123456.85 123456.9 123456.95 123457\n");
  EXPECT_EQ(Tool("number parse 12.5e1").out, "125\n");
  EXPECT_EQ(Tool("number parse 1234567890.1234567").status, 2);  // over 15 characters: refused
}

}  // namespace

// The README's main job: the demo runs in a fresh installation, and what it says it made is
// there and reads back as it says (about six seconds: the library waits for the held log).
TEST_F(ToolTest, TheDemoLeavesTheTrailItDescribes) {
  ToolRun demo = Tool("demo");
  ASSERT_EQ(demo.status, 0) << demo.err;
  EXPECT_CONTAINS(demo.out, "17 actions recorded; backlog now holds 0 entries.");
  const std::string audit = DriveC() + "/Tessera/Work/Audit";
  const std::string pdf = Prefix() + "/printed/0001.pdf";
  EXPECT_CONTAINS(demo.out, "   " + pdf + "\n");

  nlohmann::json day = nlohmann::json::parse(ReadHostFile(audit + "/day.json"));
  ASSERT_EQ(day.size(), 17u);
  const std::string csv = ReadHostFile(audit + "/day.csv");
  EXPECT_EQ(LineCount(csv), 18) << "a header and 17 rows";

  // The printed report holds the day's 17 records, as a PDF reader extracts them, and below them
  // the heads of both sealed logs, as `seal head` gives them, and the signature block.
  const std::string text = CommandOutput("pdftotext -layout '" + pdf + "' - 2>&1");
  EXPECT_CONTAINS(text, "17 records. End of report.");
  EXPECT_CONTAINS(text, "Sample injected (while the log was");
  const std::string head = Tool("audit seal head " + audit + "/LC-2.log").out;
  EXPECT_CONTAINS(text, "LC-2.log " + head.substr(0, 40)) << head << text;
  EXPECT_CONTAINS(text, "Reviewed by:");

  // As the demo says: both logs whole, one record out of time order in LC-2.log.
  ToolRun verify = Tool("audit verify " + audit + "/LC-1.log " + audit + "/LC-2.log -o json");
  EXPECT_EQ(verify.status, 1) << verify.out;
  // Sealed from the first record, with the key in the file the demo named; the copy it tampered
  // with is caught.
  const std::string key = LastLine(ReadHostFile(Prefix() + "/verification-key.txt"));
  nlohmann::json sealed =
      JsonOf("audit verify " + audit + "/LC-1.log -o json --key " + key)["logs"][0];
  EXPECT_EQ(sealed["seal"]["sealed_records"], 9);
  EXPECT_TRUE(sealed["seal"]["findings"].empty()) << sealed.dump();
  EXPECT_CONTAINS(demo.out,
                  "  seal: record 3: missing: the record sealed here is not in the log\n");
}

// On a terminal, export and extract show a bar on standard error while they read (after a second;
// at once here) and clear it before the result; in a pipe or a file there is none.
TEST_F(ToolTest, ExportShowsAProgressBarOnATerminalOnly) {
  AppendThree();
  std::string records = ReadHostFile(Log());
  std::string big;
  for (int i = 0; i < 7000; ++i) big += records;  // 21,000 records
  WriteHostFile(DriveC() + "/big.log", big);
  const std::string command = std::string(LYRUTIL_TOOL) + " --prefix '" + Prefix() +
                              "' audit export " + DriveC() + "/big.log --to " + DriveC() +
                              "/big.txt";
  FILE* pipe = ::popen(
      ("LYRUTIL_PROGRESS_DELAY_MS=0 script -qec \"" + command + "\" /dev/null").c_str(), "r");
  ASSERT_NE(pipe, nullptr);
  std::string terminal;
  char buffer[4096];
  size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) terminal.append(buffer, n);
  ASSERT_EQ(::pclose(pipe), 0) << terminal;
  const size_t bar = terminal.find("\rexporting [");
  ASSERT_NE(bar, std::string::npos) << terminal;
  const size_t cleared = terminal.find("\r\033[K21000 records written to ");
  EXPECT_NE(cleared, std::string::npos) << terminal;
  EXPECT_LT(bar, cleared);

  ToolRun plain = Tool("audit export " + DriveC() + "/big.log --to " + DriveC() + "/big2.txt");
  EXPECT_EQ(plain.status, 0);
  EXPECT_EQ(plain.err, "21000 records written to " + DriveC() + "/big2.txt\n");
  EXPECT_TRUE(ReadHostFile(DriveC() + "/big.txt") == ReadHostFile(DriveC() + "/big2.txt"));
}

// module lookup: the row GetRangeValue gives, from a table named on the command line or the
// installation's own; the first row that fits, else the catch-all.
TEST_F(ToolTest, ModuleLookupGivesTheRowTheLibraryFinds) {
  ASSERT_EQ(Tool("install").status, 0);
  const std::string table = DriveC() + "/table.csv";
  WriteHostFile(table,
                "MODULES;3\rname;value;v3;type;5;6;7;8;9;10;11;12;13\r"
                "TCD;1;2.5;FIX;5;6;7;8;9;10;;;13\rAUTRE;0;0;VAR;;;;;;;;;\r");
  nlohmann::json row = JsonOf("module lookup tcd --value 1 --type fix -o json --table " + table);
  EXPECT_EQ(row["module"], "TCD");
  EXPECT_EQ(row["value3"], 2.5);
  EXPECT_EQ(row["type"], "FIX");
  EXPECT_EQ(row["values"], nlohmann::json::parse("[5,6,7,8,9,10,60,60,13]"));  // 11, 12 empty
  // A value off by any amount, or another module, gets the catch-all row.
  for (const std::string args : {"tcd --value 1.0000001", "fid"}) {
    ExpectOutput(0, "module: AUTRE\n", "module lookup " + args + " --table " + table);
  }
  // Without a catch-all nothing may fit (exit 1); the installation's own table is used when
  // there, and its absence is an error.
  WriteHostFile(table, "MODULES;2\rheader\rTCD;1;0;FIX;;;;;;;;;\r");
  ToolRun none = Tool("module lookup fid --table " + table);
  EXPECT_EQ(none.status, 1);
  EXPECT_EQ(none.err, "lyrutil: no row of the table fits fid 0 FIX\n");
  EXPECT_EQ(Tool("module lookup tcd --value 1").status, 2);
  WriteHostFile(DriveC() + "/Tessera/Work/module.csv", ReadHostFile(table));
  EXPECT_EQ(Tool("module lookup tcd --value 1").status, 0);
  EXPECT_EQ(Tool("module lookup tcd --table " + DriveC() + "/missing.csv").status, 2);
  // A name typed in a UTF-8 shell finds its code page 1252 row, case ignored, and prints as UTF-8.
  WriteHostFile(table, "MODULES;2\rheader\rD\xe9tecteur;1;0;FIX;;;;;;;;;\r");
  ExpectOutput(0, "module: D\xc3\xa9tecteur\n",
               "module lookup 'D\xc3\x89TECTEUR' --value 1 --table " + table);
}

// Several logs merge by time while each keeps its stored order: a record stored behind a later
// one (as an entry from the backlog is) comes where it is stored. Newest first (-r, and -n, which
// reads from the end) walks each log back from its end. A time window finds the late-stored
// record although a later one stands before it; a filter given twice takes either value.
TEST_F(ToolTest, ShowMergesLogsByTimeAndKeepsEachLogsStoredOrder) {
  ASSERT_EQ(Tool("install").status, 0);
  const std::string a = DriveC() + "/a.log";
  const std::string b = DriveC() + "/b.log";
  auto append = [&](const std::string& log, const char* message, const char* time,
                    const char* action) {
    Append(log, std::string("--user U --message ") + message + " --time '" + time +
                    "' --system-message '" + action + "'");
  };
  append(a, "a9", "2026-12-05 09:00", "Logged on");
  append(a, "a11", "2026-12-05 11:00", "Sample injected");
  append(b, "b10", "2026-12-05 10:00", "Logged on");
  append(b, "b8", "2026-12-05 08:00", "Result approved");  // stored after a later record
  append(b, "b12", "2026-12-05 12:00", "Logged off");
  auto messages = [&](const std::string& args) {
    nlohmann::json all = JsonOf("audit show " + args + " -o json");
    std::string order;
    for (const auto& r : all) order += r["user_message"].get<std::string>() + " ";
    return order;
  };
  const std::string both = a + " " + b;
  EXPECT_EQ(messages(both), "a9 b10 b8 a11 b12 ");
  EXPECT_EQ(messages(both + " -r"), "b12 a11 a9 b8 b10 ");
  EXPECT_EQ(messages(both + " -n 2"), "a11 b12 ");
  EXPECT_EQ(messages(both + " -r -n 3"), "b12 a11 a9 ");
  EXPECT_EQ(messages(b + " -n 2"), "b8 b12 ");
  EXPECT_EQ(messages(both + " --since '2026-12-05 07:00' --until '2026-12-05 08:30'"), "b8 ");
  EXPECT_EQ(messages(both + " --since '2026-12-05 07:00' --until '2026-12-05 09:00' -r"), "a9 b8 ");
  EXPECT_EQ(messages(both + " --action 'logged ON'"), "a9 b10 ");
  EXPECT_EQ(messages(both + " --action 'Logged on' --action 'Logged off' -r"), "b12 b10 a9 ");
  EXPECT_EQ(Tool("audit show " + a + " --user nobody -o json").out, "[]\n");
  EXPECT_EQ(Tool("audit show " + a + " -n 0 -o jsonl").out, "");
  // The export goes through the library's one-value masks: several values are refused.
  ExpectError(2, "--user: the library's filter holds one value",
              "audit export " + a + " --user U --user V --to -");
}
