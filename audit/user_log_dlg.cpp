// The dialog in which the user adds a comment to an audit entry.
#include <LyrUtil.h>

namespace {
constexpr int kTypingLimit = 255;
constexpr int kUserMessageBytes = 257;  // 256 characters and the terminator
}  // namespace

CUserLogDlg::CUserLogDlg(char* userMessage, char* systemMessage)
    : CDialog(IDD_LYR_USER_LOG, nullptr),
      m_nInitialized(1),
      m_pUserMessage(userMessage),
      m_pSystemMessage(systemMessage) {}

CUserLogDlg::~CUserLogDlg() = default;

int CUserLogDlg::GetInitialized(void) {
  return m_nInitialized;
}

BOOL CUserLogDlg::OnInitDialog() {
  CenterWindow();
  SendDlgItemMessage(IDC_LYR_SYSTEM_MESSAGE, EM_LIMITTEXT, kTypingLimit);
  SendDlgItemMessage(IDC_LYR_USER_MESSAGE, EM_LIMITTEXT, kTypingLimit);
  SetDlgItemText(IDC_LYR_SYSTEM_MESSAGE, m_pSystemMessage ? m_pSystemMessage : "");
  SetDlgItemText(IDC_LYR_USER_MESSAGE, m_pUserMessage ? m_pUserMessage : "");
  if (CWnd* systemMessage = GetDlgItem(IDC_LYR_SYSTEM_MESSAGE)) systemMessage->EnableWindow(FALSE);
  return TRUE;
}

void CUserLogDlg::OnOK() {
  if (m_pUserMessage) GetDlgItemText(IDC_LYR_USER_MESSAGE, m_pUserMessage, kUserMessageBytes);
  EndDialog(IDOK);
}

void CUserLogDlg::OnCancel() {
  EndDialog(IDCANCEL);
}
