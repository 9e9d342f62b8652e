// The test fixture: each test runs in a fresh installation with a scripted user interface and the
// host string table of tests/support/host_strings.txt. On Linux the installation is a new prefix
// of the stand-in in a temporary folder (lyr_test_linux.cpp); on Windows it is the machine, which
// the fixture gives back as it found it: what a test added to drive C:, the Windows directory and
// the registry goes (lyr_test_windows.cpp), and the string table is the test program's resource.
#ifndef LYRUTIL_TESTS_LYR_TEST_H
#define LYRUTIL_TESTS_LYR_TEST_H

#include <LyrUtil.h>
#ifndef _WIN32
#include <lyrhost.h>
#endif
#include <lyrui.h>

#include <gtest/gtest.h>

#include <ctime>
#include <deque>
#include <functional>
#include <string>
#include <vector>

// Whether `text` holds `part`; a failure shows both.
#define EXPECT_CONTAINS(text, part) EXPECT_PRED_FORMAT2(::testing::IsSubstring, part, text)
#define ASSERT_CONTAINS(text, part) ASSERT_PRED_FORMAT2(::testing::IsSubstring, part, text)
#define EXPECT_LACKS(text, part) EXPECT_PRED_FORMAT2(::testing::IsNotSubstring, part, text)
#define ASSERT_LACKS(text, part) ASSERT_PRED_FORMAT2(::testing::IsNotSubstring, part, text)

// `call` fails (gives FALSE, 0 or a null pointer) and sets the last error to `error`.
#define EXPECT_FAILS(call, error)                                  \
  do {                                                             \
    EXPECT_FALSE(call);                                            \
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(error)) << #call; \
  } while (0)

// `call` gives `result`, its failure value, and sets the last error to `error`.
#define EXPECT_FAILS_AS(call, result, error)                       \
  do {                                                             \
    EXPECT_EQ(call, result);                                       \
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(error)) << #call; \
  } while (0)

// How many line ends `text` holds.
inline long LineCount(const std::string& text) {
  long ends = 0;
  for (char c : text) ends += c == '\n';
  return ends;
}

// Beeps and foreground changes are Windows' own on Windows (MessageBeep, SetForegroundWindow);
// only the stand-in hands them to the host's interface, so only there can a test count them.
#ifdef _WIN32
constexpr bool kUiSeesBeepsAndForeground = false;
#else
constexpr bool kUiSeesBeepsAndForeground = true;
#endif

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

  // The host folder of drive C:, as the test program opens files there, and on Linux the host
  // folder of the prefix (Windows has none).
#ifndef _WIN32
  std::string Prefix() const {
    return prefix_;
  }
  std::string DriveC() const {
    return prefix_ + "/drive_c";
  }
#else
  std::string DriveC() const {
    return "C:";
  }
#endif
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
  std::string savedCwd_;
#ifdef _WIN32
  struct MachineState;
  MachineState* before_ = nullptr;  // what the machine held before the test
#else
  std::string prefix_;
#endif
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
#ifdef _WIN32
  void* process_ = nullptr;  // HANDLEs
  void* out_ = nullptr;
#else
  int pid_ = -1;
  int out_ = -1;
#endif
  std::string firstLine_;
};

std::string HelperPath(const std::string& name);

#ifndef _WIN32
// What a shell command writes to standard output (empty when it cannot be started).
std::string CommandOutput(const std::string& command);
#endif

// TZ set to `zone` (and the C runtime told) for as long as the object lives; the old TZ after.
class ScopedTimeZone {
 public:
  explicit ScopedTimeZone(const char* zone);
  ~ScopedTimeZone();
  ScopedTimeZone(const ScopedTimeZone&) = delete;
  ScopedTimeZone& operator=(const ScopedTimeZone&) = delete;

 private:
  std::string saved_;
  bool hadZone_;
};

// The names in a host folder, sorted, without "." and "..": empty when it cannot be read.
std::vector<std::string> HostFolderNames(const std::string& hostFolder);

// Links to a host file; FALSE when they cannot be made (symbolic links on Windows need a
// privilege a test program may not hold).
bool MakeHardLink(const std::string& target, const std::string& link);
bool MakeSymbolicLink(const std::string& target, const std::string& link);

// How many reads from files the process has made so far: the stand-in counts its ReadFile calls,
// Windows its read operations.
unsigned long long FileReadCount();

// Whether `action` throws an MFC exception of class E (MFC throws pointers, which the catcher
// deletes); `inspect` sees it first. Other exceptions pass on.
template <class E, class Action, class Inspect>
bool ThrowsMfc(Action&& action, Inspect&& inspect) {
  try {
    action();
  } catch (E* e) {
    inspect(*e);
    e->Delete();
    return true;
  }
  return false;
}
template <class E, class Action>
bool ThrowsMfc(Action&& action) {
  return ThrowsMfc<E>(action, [](E&) {});
}

// The cause of the CFileException that `action` throws; -1 when it throws none.
template <class Action>
int FileExceptionCause(Action&& action) {
  int cause = -1;
  ThrowsMfc<CFileException>(action, [&](CFileException& e) { cause = e.m_cause; });
  return cause;
}

// The local broken-down time of `moment`, as the C runtime gives it.
std::tm LocalTime(time_t moment);

// Tests are written once for Linux and Windows. Those that need POSIX itself (fork, signals,
// resource limits), the stand-in's own hooks and files (failing allocations, the prefix) or Linux
// tools stand inside `#if LYR_POSIX_TESTS`, which Windows builds leave out. A test that runs on
// both but whose expectation holds on one side only skips the rest of itself on the other with
// SKIP_ON_WINDOWS, giving the reason.
#ifdef _WIN32
#define LYR_POSIX_TESTS 0
#else
#define LYR_POSIX_TESTS 1
#endif
#ifdef _WIN32
#define SKIP_ON_WINDOWS(reason) GTEST_SKIP() << "on Windows: " << reason
#else
#define SKIP_ON_WINDOWS(reason) static_cast<void>(0)
#endif
#if LYR_POSIX_TESTS
// The size a file of the process may reach (RLIMIT_FSIZE), for the length of a scope: a write past
// it fails with EFBIG, as on a full disk (the stand-in ignores SIGXFSZ).
class ScopedFileSizeLimit {
 public:
  explicit ScopedFileSizeLimit(unsigned long long bytes);
  ~ScopedFileSizeLimit();
  ScopedFileSizeLimit(const ScopedFileSizeLimit&) = delete;
  ScopedFileSizeLimit& operator=(const ScopedFileSizeLimit&) = delete;

 private:
  unsigned long long saved_;
};

// The words of a PDF file as poppler's pdftotext reads them, each with its box in points from the
// page's top left.
struct PdfWord {
  std::string text;
  double xMin, yMin, xMax, yMax;
};
std::vector<PdfWord> PdfWords(const std::string& pdfHostPath);

// A failure of the stand-in's system calls (LyrFailSystemCall), armed for the length of a scope.
class ScopedSystemCallFault {
 public:
  ScopedSystemCallFault(const char* kind, unsigned nth, unsigned count, int error);
  ~ScopedSystemCallFault();
  ScopedSystemCallFault(const ScopedSystemCallFault&) = delete;
  ScopedSystemCallFault& operator=(const ScopedSystemCallFault&) = delete;

 private:
  const char* kind_;
};
#endif

// Where Wine departs from Windows (and its own tests mark the place), a Windows-true test skips
// under Wine.
bool RunningUnderWine();
#define SKIP_UNDER_WINE(reason) \
  if (RunningUnderWine()) GTEST_SKIP() << "under Wine: " << reason

#endif  // LYRUTIL_TESTS_LYR_TEST_H
