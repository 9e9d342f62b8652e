// The test fixture: each test runs in a fresh installation (prefix) in a temporary folder, with a
// scripted user interface and the host string table of tests/support/host_strings.txt.
#ifndef LYRUTIL_TESTS_LYR_TEST_H
#define LYRUTIL_TESTS_LYR_TEST_H

#include <LyrUtil.h>
#include <lyrhost.h>

#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <string>
#include <vector>

// Records every message, beep and foreground change and answers from a script.
class ScriptedUi : public LyrHostUi {
 public:
  struct Message {
    std::string text;
    UINT type;
    UINT helpId;
  };

  int ShowMessage(const char* text, UINT type, UINT helpId) override;
  void Beep(UINT type) override { beeps.push_back(type); }
  HWND ForegroundWindow() override { return foreground; }
  BOOL SetForeground(HWND window) override;
  int RunDialog(LyrDialog& dialog) override;
  int ChoosePrinter(LyrPrintChoice& choice) override;

  std::vector<Message> messages;
  std::vector<UINT> beeps;
  std::vector<HWND> foregroundChanges;
  std::deque<int> answers;  // answers to messages in order; IDOK once empty
  HWND foreground = nullptr;
  std::function<int(LyrDialog&)> dialogScript;
  std::vector<LyrPrintChoice> printDialogs;           // each print dialog as it was shown
  std::function<int(LyrPrintChoice&)> printerScript;  // none: the default printer, IDOK
};

class LyrTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // The host folder of the prefix, and of drive C:.
  std::string Prefix() const { return prefix_; }
  std::string DriveC() const { return prefix_ + "/drive_c"; }
  // A host file's contents; empty when it cannot be read.
  static std::string ReadHostFile(const std::string& hostPath);
  static void WriteHostFile(const std::string& hostPath, const std::string& contents);
  static bool HostFileExists(const std::string& hostPath);
  // Sets the installation key's "Path" and makes the folder.
  void InstallSuite(const std::string& dosFolder);
  // Installs the suite in C:\Tessera with C:\Work as its working directory (both made).
  void InstallSuiteWorkingIn(const char* section = "WORKING PATH");

  ScriptedUi ui_;

 private:
  std::string prefix_;
  std::string savedCwd_;
};

// A helper program of tests/support, started with the test's prefix; killed when destroyed.
class HelperProcess {
 public:
  // Starts `program` with `args` and waits for its first line of output ("ready" or an error).
  HelperProcess(const std::string& program, const std::vector<std::string>& args);
  ~HelperProcess();
  HelperProcess(const HelperProcess&) = delete;
  HelperProcess& operator=(const HelperProcess&) = delete;

  const std::string& FirstLine() const { return firstLine_; }
  // Everything the program wrote after its first line, up to its end (or its death).
  std::string RestOfOutput();
  int Wait();  // the exit status
  void Kill();

 private:
  int pid_ = -1;
  int out_ = -1;
  std::string firstLine_;
};

std::string HelperPath(const std::string& name);

// What a shell command writes to standard output (empty when it cannot be started).
std::string CommandOutput(const std::string& command);

#endif  // LYRUTIL_TESTS_LYR_TEST_H
