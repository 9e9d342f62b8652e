// Files on a network share, against a real Samba server on loopback: the file functions on UNC
// paths, Windows' share modes kept by the server between processes, and the errors a Windows
// client gets when the server or the share is not there.
#include "lyr_test.h"

#include "lab_share_test.h"

#include <cstdlib>
#include <memory>
#include <string>

namespace {

class NetworkShareTest : public LabShareTest<LyrTest> {
 protected:
  // The share's folder on the server's disk.
  std::string OnServer(const std::string& name) { return server_->Folder() + "/lab/" + name; }
};

HANDLE Open(const char* path, DWORD access, DWORD share, DWORD disposition) {
  return CreateFileA(path, access, share, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
}

TEST_F(NetworkShareTest, FilesOnAShareAreMadeReadAndNamedAsOnADisk) {
  const char* log = "\\\\127.0.0.1\\lab\\Audit\\LC-1.log";
  // The folder is not there yet: the open says so, as Windows does.
  EXPECT_FAILS_AS(Open(log, GENERIC_WRITE, 0, OPEN_ALWAYS), INVALID_HANDLE_VALUE,
                  ERROR_PATH_NOT_FOUND);
  ASSERT_TRUE(CreateDirectoryA("\\\\127.0.0.1\\lab\\Audit", nullptr));
  EXPECT_FAILS(CreateDirectoryA("//127.0.0.1/lab/audit", nullptr), ERROR_ALREADY_EXISTS);

  HANDLE file = Open(log, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, CREATE_NEW);
  ASSERT_NE(file, INVALID_HANDLE_VALUE) << GetLastError();
  DWORD done = 0;
  ASSERT_TRUE(WriteFile(file, "first;", 6, &done, nullptr));
  ASSERT_TRUE(WriteFile(file, "second", 6, &done, nullptr));
  EXPECT_EQ(GetFileSize(file, nullptr), 12u);
  EXPECT_EQ(SetFilePointer(file, -6, nullptr, FILE_END), 6u);
  char back[16] = {};
  ASSERT_TRUE(ReadFile(file, back, sizeof back, &done, nullptr));
  EXPECT_EQ(std::string(back, done), "second");
  EXPECT_EQ(SetFilePointer(file, 5, nullptr, FILE_BEGIN), 5u);
  EXPECT_TRUE(SetEndOfFile(file));
  EXPECT_TRUE(FlushFileBuffers(file));
  EXPECT_TRUE(CloseHandle(file));
  // The server's disk holds what was written, under the name given.
  EXPECT_EQ(ReadHostFile(OnServer("Audit/LC-1.log")), "first");

  EXPECT_FAILS_AS(Open(log, GENERIC_WRITE, 0, CREATE_NEW), INVALID_HANDLE_VALUE, ERROR_FILE_EXISTS);
  file = Open("\\\\127.0.0.1\\lab\\AUDIT\\.\\..\\Audit\\lc-1.LOG", GENERIC_READ, FILE_SHARE_READ,
              OPEN_ALWAYS);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
  CloseHandle(file);

  char full[MAX_PATH];
  EXPECT_GT(GetFullPathNameA("//127.0.0.1/lab/Audit/../Audit/./LC-1.log", MAX_PATH, full, nullptr),
            0u);
  EXPECT_STREQ(full, log);
  EXPECT_EQ(GetFileAttributesA(log), static_cast<DWORD>(FILE_ATTRIBUTE_ARCHIVE));
  EXPECT_EQ(GetFileAttributesA("\\\\127.0.0.1\\lab\\Audit"),
            static_cast<DWORD>(FILE_ATTRIBUTE_DIRECTORY));
  CFileStatus status;
  EXPECT_TRUE(CFile::GetStatus(log, status));
  EXPECT_EQ(status.m_size, 5u);

  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA("\\\\127.0.0.1\\lab\\Audit\\*.log", &found);
  ASSERT_NE(search, INVALID_HANDLE_VALUE);
  EXPECT_STREQ(found.cFileName, "LC-1.log");
  EXPECT_FALSE(FindNextFileA(search, &found));
  FindClose(search);

  EXPECT_TRUE(CopyFileA(log, "\\\\127.0.0.1\\lab\\Audit\\copy.log", TRUE));
  EXPECT_EQ(ReadHostFile(OnServer("Audit/copy.log")), "first");
  EXPECT_TRUE(MoveFileA("\\\\127.0.0.1\\lab\\Audit\\copy.log", "\\\\127.0.0.1\\lab\\moved.log"));
  EXPECT_FAILS(MoveFileA("\\\\127.0.0.1\\lab\\moved.log", "C:\\moved.log"), ERROR_NOT_SAME_DEVICE);
  EXPECT_TRUE(SetFileAttributesA("\\\\127.0.0.1\\lab\\moved.log", FILE_ATTRIBUTE_READONLY));
  EXPECT_FAILS(DeleteFileA("\\\\127.0.0.1\\lab\\moved.log"),
               ERROR_ACCESS_DENIED);  // read-only, as on a disk
  EXPECT_TRUE(SetFileAttributesA("\\\\127.0.0.1\\lab\\moved.log", FILE_ATTRIBUTE_NORMAL));
  EXPECT_TRUE(DeleteFileA("\\\\127.0.0.1\\lab\\moved.log"));
  EXPECT_FALSE(HostFileExists(OnServer("moved.log")));

  // What is not there: the name, the share, the server.
  EXPECT_FAILS_AS(GetFileAttributesA("\\\\127.0.0.1\\lab\\none.log"), INVALID_FILE_ATTRIBUTES,
                  ERROR_FILE_NOT_FOUND);
  EXPECT_FAILS_AS(Open("\\\\127.0.0.1\\nosuchshare\\x.log", GENERIC_READ, 0, OPEN_EXISTING),
                  INVALID_HANDLE_VALUE, ERROR_BAD_NET_NAME);
  EXPECT_FAILS_AS(GetFullPathNameA("\\\\127.0.0.1", MAX_PATH, full, nullptr), 0u,
                  ERROR_BAD_PATHNAME);
}

TEST_F(NetworkShareTest, ADriveMappedToAShareWorksLikeALocalDrive) {
  ASSERT_EQ(::symlink("//127.0.0.1/lab", (Prefix() + "/dosdevices/n:").c_str()), 0);
  char full[MAX_PATH];
  ASSERT_GT(GetFullPathNameA("n:\\Audit\\..\\x.log", MAX_PATH, full, nullptr), 0u);
  EXPECT_STREQ(full, "N:\\x.log");  // the drive's name, as Windows keeps it

  ASSERT_TRUE(CreateDirectoryA("N:\\Mapped", nullptr)) << GetLastError();
  HANDLE file = Open("N:\\Mapped\\a.log", GENERIC_WRITE, 0, CREATE_NEW);
  ASSERT_NE(file, INVALID_HANDLE_VALUE) << GetLastError();
  DWORD done = 0;
  EXPECT_TRUE(WriteFile(file, "abc", 3, &done, nullptr));
  // Held without sharing through the drive: refused by its UNC name too.
  EXPECT_FAILS_AS(
      Open("\\\\127.0.0.1\\lab\\Mapped\\a.log", GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING),
      INVALID_HANDLE_VALUE, ERROR_SHARING_VIOLATION);
  CloseHandle(file);
  EXPECT_EQ(ReadHostFile(OnServer("Mapped/a.log")), "abc");

  EXPECT_EQ(GetFileAttributesA("n:\\mapped\\A.LOG"), static_cast<DWORD>(FILE_ATTRIBUTE_ARCHIVE));
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA("N:\\Mapped\\*.log", &found);
  ASSERT_NE(search, INVALID_HANDLE_VALUE) << GetLastError();
  EXPECT_STREQ(found.cFileName, "a.log");
  FindClose(search);
  EXPECT_TRUE(MoveFileA("N:\\Mapped\\a.log", "\\\\127.0.0.1\\lab\\Mapped\\b.log"));
  EXPECT_TRUE(DeleteFileA("N:\\Mapped\\b.log"));
  EXPECT_TRUE(RemoveDirectoryA("N:\\Mapped"));
  EXPECT_FALSE(HostFileExists(OnServer("Mapped")));

  // The audit trail appends through the drive as through the UNC name.
  CLyrLog audit;
  char log[] = "N:\\Audit\\LC-9.log";
  audit.SetFile(log);
  audit.SetUsrId("mapped");
  audit.FixLogMess(0);
  EXPECT_EQ(ReadHostFile(OnServer("Audit/LC-9.log")).size(), 1216u);
}

TEST_F(NetworkShareTest, TheServerAnswersEveryProcessByTheHoldersSharing) {
  const char* log = "\\\\127.0.0.1\\lab\\held.log";
  HANDLE held = Open(log, GENERIC_WRITE, 0, OPEN_ALWAYS);
  ASSERT_NE(held, INVALID_HANDLE_VALUE) << GetLastError();
  // In this process and in another, which is its own client of the server.
  EXPECT_FAILS_AS(Open(log, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_EXISTING),
                  INVALID_HANDLE_VALUE, ERROR_SHARING_VIOLATION);
  CloseHandle(held);

  // Another process holds the log for writing and shares reading only: readers open it, a
  // second writer is refused until the holder lets go.
  {
    HelperProcess holder(HelperPath("hold_file"), {log, std::to_string(GENERIC_WRITE),
                                                   std::to_string(FILE_SHARE_READ), "30"});
    ASSERT_EQ(holder.FirstLine(), "ready");
    HANDLE reader = Open(log, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_EXISTING);
    EXPECT_NE(reader, INVALID_HANDLE_VALUE);
    CloseHandle(reader);
    EXPECT_FAILS_AS(Open(log, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_EXISTING),
                    INVALID_HANDLE_VALUE, ERROR_SHARING_VIOLATION);
    EXPECT_FAILS_AS(Open(log, GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING), INVALID_HANDLE_VALUE,
                    ERROR_SHARING_VIOLATION);  // denies its writing
    holder.Kill();
  }
  // The server lets go of a killed client's files once it sees the connection end, a moment
  // later: the writer tries again meanwhile, as the library's opens do.
  HANDLE writer = INVALID_HANDLE_VALUE;
  for (int attempt = 0; attempt < 500 && writer == INVALID_HANDLE_VALUE; ++attempt) {
    writer = Open(log, GENERIC_WRITE, FILE_SHARE_READ, OPEN_EXISTING);
    if (writer == INVALID_HANDLE_VALUE && GetLastError() != ERROR_SHARING_VIOLATION) break;
    if (writer == INVALID_HANDLE_VALUE) Sleep(10);
  }
  EXPECT_NE(writer, INVALID_HANDLE_VALUE) << GetLastError();
  CloseHandle(writer);
}

TEST_F(NetworkShareTest, AServerThatIsGoneOrAReadOnlyShareAnswersAsWindowsDoes) {
  EXPECT_FAILS_AS(Open("\\\\127.0.0.1\\archive\\new.log", GENERIC_WRITE, 0, OPEN_ALWAYS),
                  INVALID_HANDLE_VALUE, ERROR_ACCESS_DENIED);

  HANDLE file = Open("\\\\127.0.0.1\\lab\\open.log", GENERIC_READ | GENERIC_WRITE, 0, OPEN_ALWAYS);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  server_->Stop(/*kill=*/true);
  DWORD done = 0;
  EXPECT_FAILS(WriteFile(file, "x", 1, &done, nullptr), ERROR_NETNAME_DELETED);
  CloseHandle(file);
  EXPECT_FAILS_AS(Open("\\\\127.0.0.1\\lab\\open.log", GENERIC_READ, 0, OPEN_EXISTING),
                  INVALID_HANDLE_VALUE, ERROR_BAD_NETPATH);

  ASSERT_TRUE(server_->Start());
  file = Open("\\\\127.0.0.1\\lab\\open.log", GENERIC_READ, 0, OPEN_EXISTING);
  EXPECT_NE(file, INVALID_HANDLE_VALUE) << GetLastError();  // the client connects again
  CloseHandle(file);

  // The server's administrator closes the share under this client, then ends its sessions (the
  // server itself stays up): each reaches an open file, and the next open connects again.
  file = Open("\\\\127.0.0.1\\lab\\open.log", GENERIC_READ, 0, OPEN_EXISTING);
  for (const char* order : {"close-share lab", "kill-client-ip 127.0.0.1"}) {
    ASSERT_EQ(std::system(("smbcontrol -s '" + server_->Folder() + "/smb.conf' smbd " + order +
                           " >/dev/null 2>&1")
                              .c_str()),
              0)
        << order;
    Sleep(200);
    char byte;
    EXPECT_FALSE(ReadFile(file, &byte, 1, &done, nullptr)) << order;
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NETNAME_DELETED)) << order;
    CloseHandle(file);
    file = Open("\\\\127.0.0.1\\lab\\open.log", GENERIC_READ, 0, OPEN_EXISTING);
    EXPECT_NE(file, INVALID_HANDLE_VALUE) << order << ": " << GetLastError();
  }
  CloseHandle(file);
}

}  // namespace
