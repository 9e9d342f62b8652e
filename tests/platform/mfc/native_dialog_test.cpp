// The MFC subset's dialogs on Windows without a test hook: the template comes from the program's
// resources and Windows runs it. A second thread plays the user: it finds the dialog, reads what
// OnInitDialog put in it, types into the field and presses a button.
#include "lyr_test.h"

#ifdef _WIN32  // the real dialog exists only on Windows

#include <atomic>
#include <string>
#include <thread>

namespace {

constexpr UINT kTemplate = 4100;  // tests/support/test_dialogs.rc
constexpr int kField = 1000;
constexpr int kDisabled = 1001;

class TestDialog : public CDialog {
 public:
  TestDialog() : CDialog(kTemplate) {}
  BOOL OnInitDialog() override {
    SetWindowText("Sample name");
    SetDlgItemText(kField, "initial");
    SendDlgItemMessage(kField, EM_LIMITTEXT, 8);
    SetDlgItemText(kDisabled, "fixed");
    GetDlgItem(kDisabled)->EnableWindow(FALSE);
    return TRUE;
  }
  void OnOK() override {
    GetDlgItemText(kField, typed);
    CDialog::OnOK();
  }
  CString typed;
};

// What the user saw and did, from another thread.
struct User {
  std::string title, field, disabled;
  bool disabledEnabled = true;
  int pressed = 0;

  void Run(const char* typing, int button) {
    HWND dialog = nullptr;
    for (int i = 0; i < 500 && dialog == nullptr; ++i) {
      dialog = FindWindowA(nullptr, "Sample name");
      if (dialog == nullptr) Sleep(10);
    }
    if (dialog == nullptr) return;
    char text[64];
    GetWindowTextA(dialog, text, sizeof text);
    title = text;
    GetDlgItemTextA(dialog, kField, text, sizeof text);
    field = text;
    GetDlgItemTextA(dialog, kDisabled, text, sizeof text);
    disabled = text;
    disabledEnabled = IsWindowEnabled(GetDlgItem(dialog, kDisabled)) != FALSE;
    // Typing goes through the edit control, which keeps its limit.
    SendDlgItemMessageA(dialog, kField, EM_SETSEL, 0, -1);
    SendDlgItemMessageA(dialog, kField, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(typing));
    PostMessageA(dialog, WM_COMMAND, static_cast<WPARAM>(button), 0);
    pressed = button;
  }
};

class NativeDialogTest : public LyrTest {
 protected:
  void SetUp() override {
    LyrTest::SetUp();
    LyrSetHostUi(nullptr);  // no hook: Windows shows the dialog
  }
};

TEST_F(NativeDialogTest, TheTemplateIsShownWithItsControlsAndOkReadsWhatWasTyped) {
  ASSERT_NE(FindResourceA(nullptr, MAKEINTRESOURCEA(kTemplate), RT_DIALOG), nullptr);
  TestDialog dialog;
  User user;
  std::thread userThread([&] { user.Run("typed in the field", IDOK); });
  const INT_PTR result = dialog.DoModal();
  userThread.join();
  ASSERT_EQ(user.pressed, IDOK) << "the dialog never appeared";
  EXPECT_EQ(result, IDOK);
  EXPECT_EQ(user.title, "Sample name");
  EXPECT_EQ(user.field, "initial");
  EXPECT_EQ(user.disabled, "fixed");
  EXPECT_FALSE(user.disabledEnabled);
  EXPECT_EQ(dialog.typed, "typed in");  // cut to the field's limit of 8
}

TEST_F(NativeDialogTest, CancelLeavesTheDialogsDataAlone) {
  TestDialog dialog;
  dialog.typed = "before";
  User user;
  std::thread userThread([&] { user.Run("changed", IDCANCEL); });
  EXPECT_EQ(dialog.DoModal(), IDCANCEL);
  userThread.join();
  EXPECT_EQ(dialog.typed, "before");
}

TEST_F(NativeDialogTest, AMissingTemplateShowsNothingAndReturnsMinusOne) {
  class Missing : public CDialog {
   public:
    Missing() : CDialog(4199) {}
    void OnOK() override { ADD_FAILURE() << "OnOK"; }
    void OnCancel() override { ADD_FAILURE() << "OnCancel"; }
  } missing;
  EXPECT_EQ(missing.DoModal(), -1);
}

// A message box without a hook is Windows' own, titled with the program's name as MFC titles it.
TEST_F(NativeDialogTest, AMessageBoxIsWindowsOwnAndGivesTheButtonPressed) {
  std::string text;
  std::thread userThread([&] {
    HWND box = nullptr;
    for (int i = 0; i < 500 && box == nullptr; ++i) {
      box = FindWindowA(nullptr, "lyrutil_fast_tests");
      if (box == nullptr) Sleep(10);
    }
    if (box == nullptr) return;
    EnumChildWindows(
        box,
        [](HWND child, LPARAM found) {
          char line[128];
          if (GetWindowTextA(child, line, sizeof line) > 0 &&
              std::string(line).find("Sample 12") != std::string::npos)
            *reinterpret_cast<std::string*>(found) = line;
          return TRUE;
        },
        reinterpret_cast<LPARAM>(&text));
    PostMessageA(box, WM_COMMAND, IDNO, 0);
  });
  EXPECT_EQ(LyrMessageBox("Sample 12 is done.", "Run", MB_YESNO, 0), IDNO);
  userThread.join();
  EXPECT_EQ(text, "Run\n\nSample 12 is done.");
}

}  // namespace

#endif  // _WIN32
