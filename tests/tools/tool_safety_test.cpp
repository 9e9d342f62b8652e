// What lyrutil refuses, and that it never calls a failed or partial run a success: output files
// that must not be replaced, names the suite cannot name, full disks and broken output, text that
// is not UTF-8.
#include "tool_test.h"

#include <nlohmann/json.hpp>

#include <cstring>
#include <sys/stat.h>
#include <sys/time.h>
#include <unistd.h>

namespace {

class ToolSafetyTest : public ToolTest {
 protected:
  std::string Mode(const std::string& path) {
    struct stat st;
    return ::lstat(path.c_str(), &st) == 0 ? std::to_string(st.st_mode) : "missing";
  }
};

// Neither command replaces what it must not: extract never an existing file, export never a
// file when nothing matched, nor anything that is not a regular file the user may write. A link
// is followed to its target and stays a link; "-" is standard output.
TEST_F(ToolSafetyTest, OutputsReplaceOnlyRegularWritableFiles) {
  AppendThree();
  const std::string other = DriveC() + "/other.log";
  WriteHostFile(other, std::string(2 * sizeof(LOG_ENTRY_STRUCT), 'o'));
  ExpectError(2, "exists", "audit extract " + Log() + " --to " + other);
  EXPECT_EQ(ReadHostFile(other), std::string(2 * sizeof(LOG_ENTRY_STRUCT), 'o'));

  const std::string kept = DriveC() + "/kept.txt";
  WriteHostFile(kept, "yesterday's export\n");
  ExpectError(0, "no record matched", "audit export " + Log() + " --to " + kept + " --user nobody");
  EXPECT_EQ(ReadHostFile(kept), "yesterday's export\n");
  EXPECT_EQ(Tool("audit export " + Log() + " --to " + DriveC() + "/new.txt --user nobody").status,
            0);
  EXPECT_FALSE(HostFileExists(DriveC() + "/new.txt"));

  const std::string fifo = DriveC() + "/fifo";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  const std::string readOnly = DriveC() + "/signed.txt";
  WriteHostFile(readOnly, "signed\n");
  ASSERT_EQ(::chmod(readOnly.c_str(), 0444), 0);
  for (const std::string& to : {fifo, readOnly, DriveC()}) {
    SCOPED_TRACE(to);
    const std::string before = Mode(to);
    ToolRun refused = Tool("audit export " + Log() + " --to " + to, "", "timeout 20");
    EXPECT_EQ(refused.status, 2) << refused.err;
    EXPECT_EQ(Mode(to), before);
  }
  EXPECT_EQ(ReadHostFile(readOnly), "signed\n");

  const std::string target = DriveC() + "/target.txt";
  WriteHostFile(target, "old\n");
  ASSERT_EQ(::chmod(target.c_str(), 0640), 0);
  ASSERT_EQ(::symlink(target.c_str(), (DriveC() + "/link.txt").c_str()), 0);
  ASSERT_EQ(Tool("audit export " + Log() + " --to " + DriveC() + "/link.txt").status, 0);
  struct stat st;
  ASSERT_EQ(::lstat((DriveC() + "/link.txt").c_str(), &st), 0);
  EXPECT_TRUE(S_ISLNK(st.st_mode));
  ASSERT_EQ(::stat(target.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0640u) << "the replaced file keeps its mode";
  const std::string text = ReadHostFile(target);
  EXPECT_CONTAINS(text, " | CAROL | ");
  ASSERT_EQ(::symlink((DriveC() + "/nowhere.txt").c_str(), (DriveC() + "/dangling").c_str()), 0);
  EXPECT_EQ(Tool("audit export " + Log() + " --to " + DriveC() + "/dangling").status, 2);
  EXPECT_FALSE(HostFileExists(DriveC() + "/nowhere.txt"));

  ToolRun out = Tool("audit export " + Log() + " --to -");
  EXPECT_EQ(out.status, 0) << out.err;
  EXPECT_EQ(out.out, text);
  EXPECT_FALSE(AnyPrivateFolderIn(DriveC()));
}

// The records counted, not the lines: a system message with line breaks is one record, and a
// line cut at 1023 characters takes its line end with it.
TEST_F(ToolSafetyTest, ExportCountsRecordsNotLines) {
  ASSERT_EQ(Tool("install").status, 0);
  Append(Log(), "--user U --message m --system-message \"$(printf 'one\\ntwo\\nthree')\"");
  Append(Log(), "--user U --message " + std::string(250, 'm') + " --system-message " +
                    std::string(250, 's') + " --method " + std::string(255, 'x') + " --ar " +
                    std::string(255, 'a'));
  ToolRun r = Tool("audit export " + Log() + " --to " + DriveC() + "/out.txt");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err, "2 records written to " + DriveC() + "/out.txt\n");
}

// A file that a run could not finish is never put in place, and the run says so: an extract cut
// by a full disk (a file size limit here), output that cannot be written.
TEST_F(ToolSafetyTest, FullDisksAndBrokenOutputFailTheRun) {
  AppendThree();
  const std::string part = DriveC() + "/part.log";
  ExpectError(2, "cannot be written", "audit extract " + Log() + " --to " + part, "",
              "ulimit -f 3;");
  EXPECT_FALSE(HostFileExists(part));
  ToolRun exportCut =
      Tool("audit export " + Log() + " --to " + DriveC() + "/e.txt --since " + "'2026-12-05 08:00'",
           "", "ulimit -f 0;");
  EXPECT_EQ(exportCut.status, 2) << exportCut.err;
  EXPECT_FALSE(HostFileExists(DriveC() + "/e.txt"));
  EXPECT_FALSE(AnyPrivateFolderIn(DriveC()));

  for (const std::string& command :
       {"audit show " + Log(), "audit show " + Log() + " -o json", "audit stats " + Log(),
        "audit verify " + Log(), "audit export " + Log() + " --to -"}) {
    SCOPED_TRACE(command);
    ExpectError(2, "standard output", command + " >/dev/full");
  }
}

// A path on the command line names the host file the user means; one that the suite's DOS layer
// would take for a device or split at a backslash is refused, and nothing is written anywhere.
TEST_F(ToolSafetyTest, NamesTheSuiteCannotNameAreRefused) {
  AppendThree();
  const std::string records = ReadHostFile(Log());
  WriteHostFile(DriveC() + "/nul.log", records);
  ASSERT_EQ(::mkdir((DriveC() + "/x").c_str(), 0755), 0);
  WriteHostFile(DriveC() + "/x/y.log", records);
  WriteHostFile(DriveC() + "/x\\y.log", records);
  for (const std::string& args :
       {"audit append " + DriveC() + "/con.log --user u --message m",
        "audit append " + DriveC() + "/COM1.txt.log --user u --message m",
        "audit append '" + DriveC() + "/x\\y.log' --user u --message m",
        "audit append '" + DriveC() + "/dot.log.' --user u --message m",
        "audit show " + DriveC() + "/nul.log", "audit show '" + DriveC() + "/x\\y.log'",
        "audit export " + DriveC() + "/nul.log --to " + DriveC() + "/out.txt"}) {
    SCOPED_TRACE(args);
    ToolRun r = Tool(args, "", "timeout 20");
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.out, "");
    EXPECT_CONTAINS(r.err, "the suite cannot name this file");
  }
  EXPECT_EQ(ReadHostFile(DriveC() + "/x/y.log"), records);
  EXPECT_FALSE(HostFileExists(DriveC() + "/con.log"));
  EXPECT_FALSE(HostFileExists(DriveC() + "/out.txt"));
  EXPECT_FALSE(HostFileExists(DriveC() + "/Tessera/Work/error.blg"));
}

// Code page 1252 text and file names that are not UTF-8 leave the tool as valid JSON.
TEST_F(ToolSafetyTest, JsonHoldsValidUtf8WhateverTheTextWas) {
  EXPECT_EQ(JsonOf("frame decode - -o json", 0,
                   "1;2.5;3;4.5;5;6.5;7.5;8.5;9.5;10.5;0.5;12;13;14.5;15.5;16.5;17.5;18;"
                   "10;P1;5;20;T2;80;#Caf\xe9;")["name"],
            "Caf\xc3\xa9");

  ASSERT_EQ(Tool("install").status, 0);
  const std::string table = DriveC() + "/table.csv";
  WriteHostFile(table, "MODULES;2\rheader\rD\xc9T;1;0;FIX;;;;;;;;;\r");
  EXPECT_EQ(JsonOf("module lookup d\xc3\xa9t --value 1 --json --table " + table)["module"],
            "D\xc3\x89T");

  AppendThree();
  const std::string odd = DriveC() + "/r\xe9sum\xe9.log";
  WriteHostFile(odd, ReadHostFile(Log()));
  const nlohmann::json report = JsonOf("audit verify '" + odd + "' -o json");
  EXPECT_EQ(report["logs"][0]["log"], DriveC() + "/r\xef\xbf\xbdsum\xef\xbf\xbd.log");
}

// The demo invents a working day: it runs in a new or empty folder, never in an installation.
TEST_F(ToolSafetyTest, TheDemoRefusesAnExistingInstallation) {
  AppendThree();
  const std::string before = ReadHostFile(Log());
  ExpectError(2, "holds an installation already", "demo");
  EXPECT_EQ(ReadHostFile(Log()), before);
  EXPECT_FALSE(HostFileExists(DriveC() + "/Tessera/Work/Audit/LC-1.log"));
}

// A private folder left by a run that was killed is swept by a later run once it is old; an
// interrupted run removes its own.
TEST_F(ToolSafetyTest, TemporaryFoldersOfKilledAndInterruptedRunsGo) {
  AppendThree();
  pid_t gone = ::fork();
  if (gone == 0) ::_exit(0);
  ::waitpid(gone, nullptr, 0);
  const std::string stale = DriveC() + "/.lyrutil-" + std::to_string(gone) + "-abcdefabcdef.tmp";
  ASSERT_EQ(::mkdir(stale.c_str(), 0700), 0);
  WriteHostFile(stale + "/output", "half an export");
  struct timeval old[2] = {{std::time(nullptr) - 3600, 0}, {std::time(nullptr) - 3600, 0}};
  ASSERT_EQ(::utimes(stale.c_str(), old), 0);
  const std::string fresh = DriveC() + "/.lyrutil-" + std::to_string(gone) + "-012345678901.tmp";
  ASSERT_EQ(::mkdir(fresh.c_str(), 0700), 0);  // too young to be taken for abandoned
  ASSERT_EQ(Tool("audit export " + Log() + " --to " + DriveC() + "/out.txt").status, 0);
  EXPECT_FALSE(HostFileExists(stale));
  EXPECT_TRUE(HostFileExists(fresh));
  ::rmdir(fresh.c_str());
}

// A log the user may not read is refused with the reason by every reading command, instead of
// reading as empty after the library's retries. Root reads anything: as root the tool runs
// without the capabilities that let it.
TEST_F(ToolSafetyTest, AnUnreadableLogIsAnError) {
  AppendThree();
  std::string shell;
  if (::geteuid() == 0) {
    shell = "setpriv --bounding-set=-dac_override,-dac_read_search";
    if (std::system((shell + " " + LYRUTIL_TOOL + " --version >/dev/null 2>&1").c_str()) != 0)
      GTEST_SKIP() << "setpriv cannot drop root's file capabilities here";
  }
  ASSERT_EQ(::chmod(Log().c_str(), 0), 0);
  for (const std::string& command :
       {"audit show " + Log(), "audit stats " + Log(), "audit verify " + Log(),
        "audit export " + Log() + " --to -", "audit extract " + Log() + " --to -"}) {
    SCOPED_TRACE(command);
    ToolRun r = Tool(command, "", shell);
    EXPECT_EQ(r.status, 2) << r.err;
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "lyrutil: " + Log() + ": Permission denied\n");
  }
}

}  // namespace
