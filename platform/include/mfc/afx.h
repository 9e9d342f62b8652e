// The MFC 4.2 subset that LyrUtil uses: CObject with run-time classes, the exceptions MFC throws
// by pointer, CString, CTime, CFile, CStdioFile, CFileStatus, message boxes, string formatting
// and the extension-module registration. Names, members and meaning are MFC's; only what the
// library and its hosts use is here.
#ifndef LYRWIN_AFX_H
#define LYRWIN_AFX_H

#include <windows.h>
#include <lyrwin_api.h>

#include <cstdarg>
#include <ctime>
#include <string>

#ifndef _MAX_PATH
#define _MAX_PATH 260
#endif

class CObject;
class CString;

// --- Run-time classes ---

struct LYRWIN_API CRuntimeClass {
  LPCSTR m_lpszClassName;
  int m_nObjectSize;
  UINT m_wSchema;
  CObject* (*m_pfnCreateObject)();
  CRuntimeClass* m_pBaseClass;
  CRuntimeClass* m_pNextClass;  // the registry of classes, for FromName

  CObject* CreateObject();
  BOOL IsDerivedFrom(const CRuntimeClass* pBaseClass) const;
  static CRuntimeClass* FromName(LPCSTR lpszClassName);
};

// Registers a run-time class at static initialisation (IMPLEMENT_DYNAMIC does this).
struct LYRWIN_API AFX_CLASSINIT {
  explicit AFX_CLASSINIT(CRuntimeClass* pNewClass);
};

#define RUNTIME_CLASS(class_name) (&class_name::class##class_name)

#define DECLARE_DYNAMIC(class_name)       \
 public:                                  \
  static CRuntimeClass class##class_name; \
  CRuntimeClass* GetRuntimeClass() const override;

#define DECLARE_DYNCREATE(class_name) \
  DECLARE_DYNAMIC(class_name)         \
  static CObject* CreateObject();

#define IMPLEMENT_RUNTIMECLASS(class_name, base_class_name, wSchema, pfnNew) \
  CRuntimeClass class_name::class##class_name = {                            \
      #class_name, sizeof(class class_name),       wSchema,                  \
      pfnNew,      RUNTIME_CLASS(base_class_name), nullptr};                 \
  static AFX_CLASSINIT _init_##class_name(&class_name::class##class_name);   \
  CRuntimeClass* class_name::GetRuntimeClass() const {                       \
    return RUNTIME_CLASS(class_name);                                        \
  }

#define IMPLEMENT_DYNAMIC(class_name, base_class_name) \
  IMPLEMENT_RUNTIMECLASS(class_name, base_class_name, 0xFFFF, nullptr)

#define IMPLEMENT_DYNCREATE(class_name, base_class_name) \
  CObject* class_name::CreateObject() {                  \
    return new class_name;                               \
  }                                                      \
  IMPLEMENT_RUNTIMECLASS(class_name, base_class_name, 0xFFFF, class_name::CreateObject)

// The root of MFC's classes. Not copyable, as in MFC.
class LYRWIN_API CObject {
 public:
  virtual ~CObject();
  virtual CRuntimeClass* GetRuntimeClass() const;
  BOOL IsKindOf(const CRuntimeClass* pClass) const;

  static CRuntimeClass classCObject;

 protected:
  CObject();

 private:
  CObject(const CObject&) = delete;
  CObject& operator=(const CObject&) = delete;
};

// --- CString: a byte string in the ANSI code page ---

class LYRWIN_API CString {
 public:
  CString();
  CString(const CString& stringSrc);
  CString(LPCSTR lpsz);
  CString(LPCSTR lpch, int nLength);
  CString(char ch, int nRepeat = 1);
  ~CString();

  int GetLength() const;
  BOOL IsEmpty() const;
  void Empty();
  char GetAt(int nIndex) const;
  char operator[](int nIndex) const;
  void SetAt(int nIndex, char ch);
  operator LPCSTR() const;

  const CString& operator=(const CString& stringSrc);
  const CString& operator=(LPCSTR lpsz);
  const CString& operator=(char ch);
  const CString& operator+=(const CString& string);
  const CString& operator+=(LPCSTR lpsz);
  const CString& operator+=(char ch);

  friend LYRWIN_API CString operator+(const CString& string1, const CString& string2);
  friend LYRWIN_API CString operator+(const CString& string, LPCSTR lpsz);
  friend LYRWIN_API CString operator+(LPCSTR lpsz, const CString& string);
  friend LYRWIN_API CString operator+(const CString& string, char ch);
  friend LYRWIN_API CString operator+(char ch, const CString& string);

  int Compare(LPCSTR lpsz) const;
  int CompareNoCase(LPCSTR lpsz) const;
  int Collate(LPCSTR lpsz) const;

  CString Mid(int nFirst, int nCount) const;
  CString Mid(int nFirst) const;
  CString Left(int nCount) const;
  CString Right(int nCount) const;
  CString SpanIncluding(LPCSTR lpszCharSet) const;
  CString SpanExcluding(LPCSTR lpszCharSet) const;

  void MakeUpper();
  void MakeLower();
  void MakeReverse();
  void TrimRight();
  void TrimLeft();
  void TrimRight(char chTarget);
  void TrimLeft(char chTarget);

  int Find(char ch) const;
  int Find(LPCSTR lpszSub) const;
  int Find(char ch, int nStart) const;
  int Find(LPCSTR lpszSub, int nStart) const;
  int ReverseFind(char ch) const;
  int FindOneOf(LPCSTR lpszCharSet) const;
  int Replace(char chOld, char chNew);
  int Replace(LPCSTR lpszOld, LPCSTR lpszNew);
  int Remove(char chRemove);
  int Insert(int nIndex, char ch);
  int Insert(int nIndex, LPCSTR pstr);
  int Delete(int nIndex, int nCount = 1);

  // Formats with the C runtime's rules as Windows has them ("%ld" takes a 32-bit LONG).
  void Format(LPCSTR lpszFormat, ...);
  void Format(UINT nFormatID, ...);
  void FormatV(LPCSTR lpszFormat, va_list argList);

  // The text of a string resource of the host; FALSE and an empty string when it has none.
  BOOL LoadString(UINT nID);

  LPSTR GetBuffer(int nMinBufLength);
  void ReleaseBuffer(int nNewLength = -1);
  LPSTR GetBufferSetLength(int nNewLength);
  void FreeExtra();
  LPSTR LockBuffer();
  void UnlockBuffer();

 private:
  std::string data_;
};

LYRWIN_API bool operator==(const CString& s1, const CString& s2);
LYRWIN_API bool operator==(const CString& s1, LPCSTR s2);
LYRWIN_API bool operator==(LPCSTR s1, const CString& s2);
LYRWIN_API bool operator!=(const CString& s1, const CString& s2);
LYRWIN_API bool operator!=(const CString& s1, LPCSTR s2);
LYRWIN_API bool operator!=(LPCSTR s1, const CString& s2);
LYRWIN_API bool operator<(const CString& s1, const CString& s2);
LYRWIN_API bool operator>(const CString& s1, const CString& s2);

// --- CTime and CTimeSpan ---

class LYRWIN_API CTimeSpan {
 public:
  CTimeSpan() : m_timeSpan(0) {}
  CTimeSpan(time_t time) : m_timeSpan(time) {}
  CTimeSpan(LONG lDays, int nHours, int nMins, int nSecs);
  LONG GetDays() const;
  LONG GetTotalHours() const;
  LONG GetTotalMinutes() const;
  LONG GetTotalSeconds() const;
  time_t m_timeSpan;
};

class LYRWIN_API CTime {
 public:
  static CTime GetCurrentTime();

  CTime() : m_time(0) {}
  CTime(time_t time) : m_time(time) {}
  // A local date and time; nDST < 0 lets the C runtime decide whether summer time applies.
  CTime(int nYear, int nMonth, int nDay, int nHour, int nMin, int nSec, int nDST = -1);
  CTime(const SYSTEMTIME& sysTime, int nDST = -1);
  CTime(const FILETIME& fileTime, int nDST = -1);

  time_t GetTime() const { return m_time; }
  struct tm* GetLocalTm(struct tm* ptm) const;
  struct tm* GetGmtTm(struct tm* ptm) const;
  int GetYear() const;
  int GetMonth() const;
  int GetDay() const;
  int GetHour() const;
  int GetMinute() const;
  int GetSecond() const;
  int GetDayOfWeek() const;  // 1 = Sunday
  CString Format(LPCSTR pFormat) const;
  CString FormatGmt(LPCSTR pFormat) const;

  CTimeSpan operator-(CTime time) const { return CTimeSpan(m_time - time.m_time); }
  CTime operator-(CTimeSpan timeSpan) const { return CTime(m_time - timeSpan.m_timeSpan); }
  CTime operator+(CTimeSpan timeSpan) const { return CTime(m_time + timeSpan.m_timeSpan); }
  bool operator==(CTime time) const { return m_time == time.m_time; }
  bool operator!=(CTime time) const { return m_time != time.m_time; }
  bool operator<(CTime time) const { return m_time < time.m_time; }
  bool operator>(CTime time) const { return m_time > time.m_time; }
  bool operator<=(CTime time) const { return m_time <= time.m_time; }
  bool operator>=(CTime time) const { return m_time >= time.m_time; }

  time_t m_time;
};

// --- Exceptions, thrown by pointer: catch (CFileException* e) { ...; e->Delete(); } ---

class LYRWIN_API CException : public CObject {
  DECLARE_DYNAMIC(CException)
 public:
  explicit CException(BOOL bAutoDelete = TRUE);
  ~CException() override;
  // Frees the exception unless it was made on the stack (not auto-deleting).
  void Delete();
  virtual BOOL GetErrorMessage(LPSTR lpszError, UINT nMaxError, PUINT pnHelpContext = nullptr);
  virtual int ReportError(UINT nType = MB_OK, UINT nMessageID = 0);

  BOOL m_bAutoDelete;
};

class LYRWIN_API CMemoryException : public CException {
  DECLARE_DYNAMIC(CMemoryException)
 public:
  CMemoryException();
  BOOL GetErrorMessage(LPSTR lpszError, UINT nMaxError, PUINT pnHelpContext = nullptr) override;
};

class LYRWIN_API CResourceException : public CException {
  DECLARE_DYNAMIC(CResourceException)
 public:
  CResourceException();
  BOOL GetErrorMessage(LPSTR lpszError, UINT nMaxError, PUINT pnHelpContext = nullptr) override;
};

class LYRWIN_API CFileException : public CException {
  DECLARE_DYNAMIC(CFileException)
 public:
  enum {
    none,
    generic,
    fileNotFound,
    badPath,
    tooManyOpenFiles,
    accessDenied,
    invalidFile,
    removeCurrentDir,
    directoryFull,
    badSeek,
    hardIO,
    sharingViolation,
    lockViolation,
    diskFull,
    endOfFile
  };

  explicit CFileException(int cause = CFileException::none, LONG lOsError = -1,
                          LPCSTR lpszArchiveName = nullptr);
  BOOL GetErrorMessage(LPSTR lpszError, UINT nMaxError, PUINT pnHelpContext = nullptr) override;

  static int OsErrorToException(LONG lOsError);
  static int ErrnoToException(int nErrno);
  [[noreturn]] static void ThrowOsError(LONG lOsError, LPCSTR lpszFileName = nullptr);
  [[noreturn]] static void ThrowErrno(int nErrno, LPCSTR lpszFileName = nullptr);

  int m_cause;
  LONG m_lOsError;
  CString m_strFileName;
};

[[noreturn]] LYRWIN_API void AfxThrowFileException(int cause, LONG lOsError = -1,
                                                   LPCSTR lpszFileName = nullptr);
[[noreturn]] LYRWIN_API void AfxThrowMemoryException();
[[noreturn]] LYRWIN_API void AfxThrowResourceException();

// --- Files ---

struct LYRWIN_API CFileStatus {
  CTime m_ctime;
  CTime m_mtime;
  CTime m_atime;
  ULONGLONG m_size;  // 64 bits, as in later MFC: a log may pass 4 GiB
  BYTE m_attribute;
  BYTE _m_padding;
  char m_szFullName[_MAX_PATH];
};

// A file over a Win32 handle. Owns the handle it opened and closes it on destruction; not
// thread-safe, as in MFC: one thread uses a CFile at a time.
class LYRWIN_API CFile : public CObject {
  DECLARE_DYNAMIC(CFile)
 public:
  enum OpenFlags {
    modeRead = 0x0000,
    modeWrite = 0x0001,
    modeReadWrite = 0x0002,
    shareCompat = 0x0000,
    shareExclusive = 0x0010,
    shareDenyWrite = 0x0020,
    shareDenyRead = 0x0030,
    shareDenyNone = 0x0040,
    modeNoInherit = 0x0080,
    modeCreate = 0x1000,
    modeNoTruncate = 0x2000,
    typeText = 0x4000,
    typeBinary = (int)0x8000
  };
  enum Attribute {
    normal = 0x00,
    readOnly = 0x01,
    hidden = 0x02,
    system = 0x04,
    volume = 0x08,
    directory = 0x10,
    archive = 0x20
  };
  enum SeekPosition { begin = 0x0, current = 0x1, end = 0x2 };
  static const HANDLE hFileNull;

  CFile();
  explicit CFile(HANDLE hFile);
  CFile(LPCSTR lpszFileName, UINT nOpenFlags);  // throws CFileException*
  ~CFile() override;

  virtual BOOL Open(LPCSTR lpszFileName, UINT nOpenFlags, CFileException* pError = nullptr);
  // Positions and lengths are 64-bit, as in later MFC versions, so that a file past 2 or 4 GiB
  // is read and written at its true offsets.
  virtual ULONGLONG GetPosition() const;
  virtual ULONGLONG Seek(LONGLONG lOff, UINT nFrom);
  virtual void SetLength(ULONGLONG dwNewLen);
  virtual ULONGLONG GetLength() const;
  virtual UINT Read(void* lpBuf, UINT nCount);
  virtual void Write(const void* lpBuf, UINT nCount);
  virtual void Flush();
  virtual void Close();
  virtual void Abort();  // closes without throwing
  ULONGLONG SeekToEnd();
  void SeekToBegin();

  BOOL GetStatus(CFileStatus& rStatus) const;
  static BOOL GetStatus(LPCSTR lpszFileName, CFileStatus& rStatus);
  static void SetStatus(LPCSTR lpszFileName, const CFileStatus& status);
  static void Rename(LPCSTR lpszOldName, LPCSTR lpszNewName);
  static void Remove(LPCSTR lpszFileName);

  CString GetFileName() const;
  CString GetFileTitle() const;
  CString GetFilePath() const;
  void SetFilePath(LPCSTR lpszNewName);

  HANDLE m_hFile;

 protected:
  BOOL m_bCloseOnDelete;
  CString m_strFileName;
};

// A text or binary file read by lines. In text mode (the default) "\n" is written as "\r\n",
// "\r\n" reads as "\n", and a ^Z ends the text, as the Windows C runtime does. Writes are
// buffered, as the C runtime's stream under MFC's class buffers them: they reach the file at
// Flush, Close, a seek elsewhere, a read, or when the buffer fills; a write error may so show at
// one of those.
class LYRWIN_API CStdioFile : public CFile {
  DECLARE_DYNAMIC(CStdioFile)
 public:
  CStdioFile();
  CStdioFile(LPCSTR lpszFileName, UINT nOpenFlags);  // throws CFileException*
  ~CStdioFile() override;

  BOOL Open(LPCSTR lpszFileName, UINT nOpenFlags, CFileException* pError = nullptr) override;
  virtual void WriteString(LPCSTR lpsz);
  // Reads a line into the buffer, the line feed included, at most nMax - 1 characters; nullptr
  // at the end of the file.
  virtual LPSTR ReadString(LPSTR lpsz, UINT nMax);
  // Reads a line without its line feed; FALSE at the end of the file.
  virtual BOOL ReadString(CString& rString);

  ULONGLONG GetPosition() const override;
  ULONGLONG Seek(LONGLONG lOff, UINT nFrom) override;
  UINT Read(void* lpBuf, UINT nCount) override;
  void Write(const void* lpBuf, UINT nCount) override;
  void Close() override;
  void Abort() override;
  ULONGLONG GetLength() const override;
  void SetLength(ULONGLONG dwNewLen) override;  // writes what is pending first
  void Flush() override;

 private:
  int NextChar();  // the next character after text translation, -1 at the end
  int NextByte();
  void DropReadAhead();
  void FlushWrites();

  bool text_ = true;
  bool atEnd_ = false;
  bool onlyWriter_ = false;  // opened for writing with no write sharing: nobody else moves its end
  std::string pending_;      // written, not yet in the file
  bool pendingAtEnd_ = false;  // the pending bytes go at the file's end
  ULONGLONG pendingBase_ = 0;  // which stood there when they began (nobody else moves it)
  std::string readAhead_;
  size_t readPos_ = 0;
};

// --- Messages and strings ---

LYRWIN_API int AfxMessageBox(LPCSTR lpszText, UINT nType = MB_OK, UINT nIDHelp = 0);
LYRWIN_API int AfxMessageBox(UINT nIDPrompt, UINT nType = MB_OK, UINT nIDHelp = (UINT)-1);
// The string resource with %1 (and %2) replaced by the inserts.
LYRWIN_API void AfxFormatString1(CString& rString, UINT nIDS, LPCSTR lpsz1);
LYRWIN_API void AfxFormatString2(CString& rString, UINT nIDS, LPCSTR lpsz1, LPCSTR lpsz2);

// --- Extension modules ---

struct AFX_EXTENSION_MODULE {
  BOOL bInitialized;
  HMODULE hModule;
  HMODULE hResource;
  CRuntimeClass* pFirstSharedClass;
  void* pFirstSharedFactory;
};

// An extension DLL's place in the chain that MFC searches for resources and run-time classes.
class LYRWIN_API CDynLinkLibrary : public CObject {
  DECLARE_DYNAMIC(CDynLinkLibrary)
 public:
  explicit CDynLinkLibrary(AFX_EXTENSION_MODULE& state, BOOL bSystem = FALSE);
  ~CDynLinkLibrary() override;

  HMODULE m_hModule;
  HMODULE m_hResource;
  CRuntimeClass* m_pFirstSharedClass;
  BOOL m_bSystem;
  CDynLinkLibrary* m_pNextDLL;
};

struct LYRWIN_API AFX_MODULE_STATE {
  CDynLinkLibrary* m_libraryList;  // the chain, newest first
};
LYRWIN_API AFX_MODULE_STATE* AfxGetModuleState();

LYRWIN_API BOOL AfxInitExtensionModule(AFX_EXTENSION_MODULE& state, HMODULE hModule);
// Removes the module's CDynLinkLibrary objects from the chain and deletes them.
LYRWIN_API void AfxTermExtensionModule(AFX_EXTENSION_MODULE& state, BOOL bAll = FALSE);

#define TRACE(...) ((void)0)
#define TRACE0(sz) ((void)0)
#define ASSERT(f) ((void)0)
#define VERIFY(f) ((void)(f))

#endif  // LYRWIN_AFX_H
