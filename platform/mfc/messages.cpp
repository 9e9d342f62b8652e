// AfxMessageBox and the insert formatting of string resources.
#include <afx.h>

#include "user_interface.h"

int AfxMessageBox(LPCSTR lpszText, UINT nType, UINT nIDHelp) {
  return lyrwin::ShowMessageBox(lpszText ? lpszText : "", nType, nIDHelp);
}

int AfxMessageBox(UINT nIDPrompt, UINT nType, UINT nIDHelp) {
  CString text;
  text.LoadString(nIDPrompt);
  if (nIDHelp == static_cast<UINT>(-1)) nIDHelp = nIDPrompt;
  return AfxMessageBox(text, nType, nIDHelp);
}

namespace {

// Replaces %1 to %9 by the inserts; an insert that was not given shows as '?', as in MFC.
void FormatStrings(CString& rString, UINT nIDS, LPCSTR const* inserts, int count) {
  CString format;
  format.LoadString(nIDS);
  CString result;
  LPCSTR p = format;
  while (*p) {
    if (p[0] == '%' && p[1] >= '1' && p[1] <= '9') {
      int index = p[1] - '1';
      if (index >= count) {
        result += '?';
      } else if (inserts[index] != nullptr) {
        result += inserts[index];
      }
      p += 2;
    } else {
      result += *p++;
    }
  }
  rString = result;
}

}  // namespace

void AfxFormatString1(CString& rString, UINT nIDS, LPCSTR lpsz1) {
  LPCSTR inserts[] = {lpsz1};
  FormatStrings(rString, nIDS, inserts, 1);
}

void AfxFormatString2(CString& rString, UINT nIDS, LPCSTR lpsz1, LPCSTR lpsz2) {
  LPCSTR inserts[] = {lpsz1, lpsz2};
  FormatStrings(rString, nIDS, inserts, 2);
}
