// lyrutil with a log on a Samba share: appends from the tool, review and verification through
// the UNC name, the errors it names, and an append while the server is away parked until a flush.
#include "tool_test.h"

#include "lab_share_test.h"

#include <sys/stat.h>

#include <string>

namespace {

class ToolShareTest : public LabShareTest<ToolTest> {
 protected:
  void SetUp() override {
    LabShareTest::SetUp();
    ASSERT_EQ(::mkdir((server_->Folder() + "/lab/Audit").c_str(), 0755), 0);
    ASSERT_EQ(Tool("install").status, 0);
  }
};

TEST_F(ToolShareTest, ALogOnAShareIsAppendedReviewedAndVerifiedByItsNetworkName) {
  const std::string log = "'\\\\127.0.0.1\\lab\\Audit\\LC-1.log'";
  Append(log, "--user ana --message 'column changed'");
  ASSERT_EQ(
      Tool("audit append //127.0.0.1/lab/Audit/LC-1.log --user ben --message 'run 12'").status, 0);
  ToolRun show = Tool("audit show " + log);
  EXPECT_EQ(show.status, 0) << show.err;
  EXPECT_CONTAINS(show.out, "ana @   -- column changed");
  EXPECT_CONTAINS(show.out, "ben @   -- run 12");
  EXPECT_EQ(ReadHostFile(server_->Folder() + "/lab/Audit/LC-1.log").size(), 2 * 1216u);
  ToolRun verify = Tool("audit verify " + log);
  EXPECT_EQ(verify.status, 0) << verify.out << verify.err;

  ExpectError(2, "the server has no such share", "audit show '\\\\127.0.0.1\\nolab\\LC-1.log'");

  // The server goes away: the entry is parked, said so, and moved in by a flush once it is back.
  server_->Stop();
  ExpectError(3, "the entry is safe in the backlog",
              "audit append " + log + " --user cy --message 'while away'");
  ExpectError(2, "the server cannot be reached", "audit show " + log);
  ASSERT_TRUE(server_->Start());
  EXPECT_EQ(Tool("audit backlog --flush").status, 0);
  show = Tool("audit show " + log);
  EXPECT_CONTAINS(show.out, "cy @   -- while away");
  EXPECT_EQ(Tool("audit backlog").out, "the backlog is empty\n");
}

TEST_F(ToolShareTest, AnInstallationKeepsItsSettingsAndWorkingDirectoryOnTheShare) {
  ToolRun install = Tool(
      "install --suite-dir '\\\\127.0.0.1\\lab\\Tessera' --working-dir '\\\\127.0.0.1\\lab\\Work'");
  ASSERT_EQ(install.status, 0) << install.out << install.err;
  EXPECT_CONTAINS(ReadHostFile(server_->Folder() + "/lab/Tessera/sylwin.ini"),
                  "WorkingDirectory=\\\\127.0.0.1\\lab\\Work");
  // An entry whose log is held past the retries waits in the backlog on the share.
  const std::string log = "'\\\\127.0.0.1\\lab\\Audit\\LC-4.log'";
  HelperProcess holder(HelperPath("hold_file"), {"\\\\127.0.0.1\\lab\\Audit\\LC-4.log",
                                                 std::to_string(GENERIC_READ), "0", "7"});
  ASSERT_EQ(holder.FirstLine(), "ready");
  EXPECT_EQ(Tool("audit append " + log + " --user ana --message held").status, 3);
  EXPECT_EQ(holder.Wait(), 0);
  EXPECT_EQ(ReadHostFile(server_->Folder() + "/lab/Work/error.blg").size(), 1476u);
  ToolRun flush = Tool("audit backlog --flush");
  EXPECT_EQ(flush.status, 0) << flush.out << flush.err;
  // the flush records itself, then the parked entry follows
  EXPECT_EQ(ReadHostFile(server_->Folder() + "/lab/Audit/LC-4.log").size(), 2 * 1216u);
  EXPECT_EQ(Tool("audit backlog").out, "the backlog is empty\n");
  // The module table in the working directory on the share is the one the library reads.
  EXPECT_EQ(Tool("module lookup tcd --value 1").status, 2);
  WriteHostFile(server_->Folder() + "/lab/Work/module.csv",
                "MODULES;2\rheader\rTCD;1;0;FIX;;;;;;;;;\r");
  ExpectOutput(0, "module: TCD\n", "module lookup tcd --value 1");
}

TEST_F(ToolShareTest, ALogOnAShareIsSealedBesideItAndVerifiedWithTheKey) {
  ToolRun init = Tool("audit seal init");
  ASSERT_EQ(init.status, 0) << init.err;
  const std::string key = LastLine(init.out);
  const std::string log = "'\\\\127.0.0.1\\lab\\Audit\\LC-3.log'";
  for (const char* user : {"ana", "ben"})
    Append(log, std::string("--user ") + user + " --message sealed");
  EXPECT_EQ(ReadHostFile(server_->Folder() + "/lab/Audit/LC-3.log.seal").empty(), false);
  ToolRun verify = Tool("audit verify " + log + " --key " + key);
  EXPECT_EQ(verify.status, 0) << verify.out << verify.err;
  EXPECT_CONTAINS(verify.out, "2 records, 2 sealed");
  // A record changed on the server's disk is found through the share.
  std::string bytes = ReadHostFile(server_->Folder() + "/lab/Audit/LC-3.log");
  bytes[1216 + 20] ^= 1;
  WriteHostFile(server_->Folder() + "/lab/Audit/LC-3.log", bytes);
  EXPECT_EQ(Tool("audit verify " + log + " --key " + key).status, 1);
}

TEST_F(ToolShareTest, AShareForAUserIsReachedWithTheLoginTheInstallationKeeps) {
  ASSERT_TRUE(server_->PasswordSet());
  const std::string log = "'\\\\127.0.0.1\\private\\LC-2.log'";
  ExpectError(2, "access denied", "audit append " + log + " --user ana --message 'as guest'");

  // The password comes on standard input, never on the command line.
  ToolRun login = Tool("install --network-login '\\\\127.0.0.1' --user " + SmbServer::User(),
                       std::string(SmbServer::kPassword) + "\n");
  ASSERT_EQ(login.status, 0) << login.err;
  EXPECT_LACKS(login.out, SmbServer::kPassword);
  const std::string file = Prefix() + "/network-logins/127.0.0.1";
  struct stat st;
  ASSERT_EQ(::stat(file.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
  EXPECT_EQ(ReadHostFile(file),
            "username=" + SmbServer::User() + "\npassword=" + SmbServer::kPassword + "\n");
  ToolRun append = Tool("audit append " + log + " --user ana --message 'logged in'");
  EXPECT_EQ(append.status, 0) << append.err;
  EXPECT_EQ(ReadHostFile(server_->Folder() + "/private-share/LC-2.log").size(), 1216u);

  // A login file that others may read is not used.
  ASSERT_EQ(::chmod(file.c_str(), 0644), 0);
  ExpectError(2, "refused the login", "audit show " + log);
}

}  // namespace
