// Whole-file operations.
#include <LyrUtil.h>

void DeleteFileA(char* path) {
  if (path == nullptr) return;
  try {
    CFileStatus status;
    if (!CFile::GetStatus(path, status)) return;
    // Clearing the attributes lifts a read-only attribute; the time stamps stay as they are.
    status.m_attribute = 0;
    status.m_mtime = CTime(0);
    CFile::SetStatus(path, status);
    CFile::Remove(path);
  } catch (CException* e) {
    e->Delete();
  }
}
