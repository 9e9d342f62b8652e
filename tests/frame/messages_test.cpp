// The message-box convention, the critical error and the current user.
#include "lyr_test.h"

#include <cstring>
#include <thread>

namespace {

class MessagesTest : public LyrTest {};

// The current user as the process found it when it loaded the library, before any test ran, so
// that the check below holds in whatever order and however often the tests run.
LyrPasswordStruct UserAtLoad() {
  LyrPasswordStruct user;
  GetCurrentUser(&user);
  return user;
}
const LyrPasswordStruct g_userAtLoad = UserAtLoad();

TEST_F(MessagesTest, HeaderStandsAboveTheTextAndMainThreadBoxesPassUnchanged) {
  InitSystemGlobalParameters();
  ui_.foreground = reinterpret_cast<HWND>(0x1234);
  ui_.answers.push_back(IDYES);
  EXPECT_EQ(LyrMessageBox("T", "H", MB_YESNO, 77), IDYES);
  EXPECT_EQ(LyrMessageBox("T", nullptr, MB_OK, 78), IDOK);
  ASSERT_EQ(ui_.messages.size(), 2u);
  EXPECT_EQ(ui_.messages[0].text, "H\n\nT");
  EXPECT_EQ(ui_.messages[0].type, static_cast<UINT>(MB_YESNO));
  EXPECT_EQ(ui_.messages[0].helpId, 77u);
  EXPECT_EQ(ui_.messages[1].text, "T");
  EXPECT_TRUE(ui_.foregroundChanges.empty());
}

TEST_F(MessagesTest, WorkerThreadBoxesComeToTheFrontAndGiveItBack) {
  InitSystemGlobalParameters();
  HWND previous = reinterpret_cast<HWND>(0x1234);
  ui_.foreground = previous;
  std::thread worker([] { LyrMessageBox("from a worker", nullptr, MB_OK, 5); });
  worker.join();
  ASSERT_EQ(ui_.messages.size(), 1u);
  EXPECT_EQ(ui_.messages[0].type, static_cast<UINT>(MB_OK | MB_SETFOREGROUND));
  if (kUiSeesBeepsAndForeground) {
    ASSERT_EQ(ui_.foregroundChanges.size(), 1u);
    EXPECT_EQ(ui_.foregroundChanges[0], previous);
  }
}

TEST_F(MessagesTest, CriticalErrorBeepsThenShowsString1034) {
  CriticalErrorMessage();
  if (kUiSeesBeepsAndForeground) {
    ASSERT_EQ(ui_.beeps.size(), 1u);
    EXPECT_EQ(ui_.beeps[0], static_cast<UINT>(MB_ICONEXCLAMATION));
  }
  ASSERT_EQ(ui_.messages.size(), 1u);
  EXPECT_EQ(ui_.messages[0].text, "A critical error has occurred.");
  EXPECT_EQ(ui_.messages[0].type, static_cast<UINT>(MB_ICONEXCLAMATION));
  EXPECT_EQ(ui_.messages[0].helpId, 1034u);
}

TEST_F(MessagesTest, CurrentUserIsCopiedWhole) {
  const LyrPasswordStruct zero = {};
  EXPECT_EQ(std::memcmp(&g_userAtLoad, &zero, sizeof zero), 0);

  LyrPasswordStruct user;

  for (int i = 0; i < 8; ++i) user.dwData[i] = 0x01010101u * static_cast<DWORD>(i + 1);
  SetCurrentUser(&user);
  user.dwData[0] = 0;  // the library keeps its own copy
  LyrPasswordStruct copy;
  GetCurrentUser(&copy);
  EXPECT_EQ(copy.dwData[0], 0x01010101u);
  EXPECT_EQ(copy.dwData[7], 0x08080808u);
  GetCurrentUser()->dwData[7] = 99;  // the pointer is the library's record itself
  GetCurrentUser(&copy);
  EXPECT_EQ(copy.dwData[7], 99u);
  EXPECT_EQ(GetUserOKOnCancelModifications(), 0);
  TRACECFileException(CFileException::diskFull);
}

}  // namespace
