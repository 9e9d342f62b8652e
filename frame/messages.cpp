// The message-box convention and the current user.
#include <LyrUtil.h>

#include <cstring>

#include "frame_state.h"

namespace {
LyrPasswordStruct g_currentUser;  // zero at load; set by the host at log-on
LONG g_acceptCancel = 0;          // no operation of the library changes it
}  // namespace

int LyrMessageBox(const char* text, const char* header, unsigned int type, unsigned int helpId) {
  CString message = text ? text : "";
  if (header != nullptr) message = CString(header) + "\n\n" + message;
  // A box raised from a worker thread must come to the front, and the window that had the
  // foreground gets it back afterwards.
  HWND previous = nullptr;
  if (GetCurrentThreadId() != lyrutil::g_mainThreadId) {
    type |= MB_SETFOREGROUND;
    previous = GetForegroundWindow();
  }
  int result = AfxMessageBox(message, type, helpId);
  if (previous != nullptr) SetForegroundWindow(previous);
  return result;
}

void CriticalErrorMessage(void) {
  MessageBeep(MB_ICONEXCLAMATION);
  AfxMessageBox(IDS_LYR_CRITICAL_ERROR, MB_ICONEXCLAMATION, static_cast<UINT>(-1));
}

void SetCurrentUser(LyrPasswordStruct* user) {
  if (user != nullptr) std::memcpy(&g_currentUser, user, sizeof g_currentUser);
}

LyrPasswordStruct* GetCurrentUser(void) {
  return &g_currentUser;
}

void GetCurrentUser(LyrPasswordStruct* user) {
  if (user != nullptr) std::memcpy(user, &g_currentUser, sizeof g_currentUser);
}

int GetUserOKOnCancelModifications(void) {
  return g_acceptCancel;
}

void TRACECFileException(int) {}
