// Opening files that several users and threads share, and method files with their companions.
#include <LyrUtil.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "file_removal.h"

namespace {

constexpr UINT kExclamation = MB_ICONEXCLAMATION;  // 48
constexpr WORD kRetryWindowMs = 5000;
// A method file held elsewhere is waited for this long at most; the open then fails (result 1)
// like any refused open, and the caller's failure path takes over (the audit trail parks its
// entry). The historical wait had no end, which hung an application whenever another held the
// method open.
constexpr DWORD kMethodWaitMs = 60000;

const char* const kMethodExtensions[] = {"._xm", "._am", "._gm", ".m3",  "._im", "._rm",
                                         "._cm", "._tm", "._em", ".bxm", ".bam", ".bgm",
                                         ".bim", ".brm", ".bcm", ".btm", ".bem"};

// The companions of a method: eight plain suffixes, then ten for each of the letters A to D.
const char* const kPlainSuffixes[] = {"._xm", ".bxm", "._am", "._bam",
                                      ".m3",  ".met", "._gm", ".bgm"};
const char* const kLetterSuffixes[] = {"._im", ".bim", "._cm", ".bcm", "._tm",
                                       ".btm", "._rm", ".brm", "._em", ".bem"};

bool WaitForMethodFile(char* name) {
  DWORD start = GetTickCount();
  while (Is_FileOpen(name)) {
    if (GetTickCount() - start >= kMethodWaitMs) return false;
    Sleep(0);
  }
  return true;
}

bool OpenQuietly(CFile* file, char* name, unsigned short openFlags) {
  CFileException error;
  return file->Open(name, openFlags, &error) != FALSE;
}

// The name less the extension of its last component, never cutting into the directory part.
std::string MethodBase(const char* method) {
  std::string name = method;
  size_t dot = name.rfind('.');
  size_t slash = name.rfind('\\');
  if (dot != std::string::npos && (slash == std::string::npos || dot > slash)) name.resize(dot);
  return name;
}

}  // namespace

int IsitMeth(char* const name) {
  char extension[MAX_PATH];
  GetExt(name, extension);
  CString lowered(extension);
  lowered.MakeLower();
  for (const char* methodExtension : kMethodExtensions) {
    if (lowered == methodExtension) return 1;
  }
  return 0;
}

int Is_FileOpen(char* const name) {
  if (!fExists(name)) return 0;
  CFile probe;
  if (probe.Open(name, CFile::modeRead | CFile::shareCompat)) {
    probe.Close();
    return 0;
  }
  MessageBeep(kExclamation);
  return 1;
}

int LyrOpenFile(CFile* file, char* name, unsigned short openFlags) {
  if (file == nullptr || name == nullptr) return 1;
  try {
    if (IsitMeth(name) && !WaitForMethodFile(name)) return 1;
    if (OpenQuietly(file, name, openFlags)) return 0;
    const DWORD start = GetTickCount();
    for (;;) {
      if (OpenQuietly(file, name, openFlags)) return 0;
      // The elapsed time as the tick difference, absolute, modulo 65536 ms.
      WORD elapsed = static_cast<WORD>(std::abs(static_cast<int32_t>(GetTickCount() - start)));
      if (elapsed > kRetryWindowMs) return 1;
      Sleep(0);
    }
  } catch (CException* e) {
    MessageBeep(kExclamation);
    if (file->m_hFile != CFile::hFileNull) file->Abort();
    e->Delete();
    return 1;
  }
}

void DeleteMeth(CString method) {
  const std::string base = MethodBase(method);
  auto deleteIfThere = [](const std::string& companion) {
    if (companion.size() >= MAX_PATH) return;
    char name[MAX_PATH];
    std::strcpy(name, companion.c_str());
    if (fExists(name)) lyrutil::DeleteEvenReadOnly(name);
  };
  for (const char* suffix : kPlainSuffixes) deleteIfThere(base + suffix);
  for (char letter = 'A'; letter <= 'D'; ++letter) {
    for (const char* suffix : kLetterSuffixes) deleteIfThere(base + letter + suffix);
  }
}
