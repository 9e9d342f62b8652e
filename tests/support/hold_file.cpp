// Holds a file open with a given access and share mode, as another process would:
//   hold_file PATH ACCESS SHARE SECONDS
// ACCESS and SHARE are numbers (GENERIC_READ 0x80000000, FILE_SHARE_READ 1, ...). Prints "ready"
// once the file is open, or "error N" with the Win32 error, then holds it for SECONDS.
#include <windows.h>

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
  if (argc != 5) {
    std::printf("usage\n");
    return 2;
  }
  DWORD access = static_cast<DWORD>(std::strtoul(argv[2], nullptr, 0));
  DWORD share = static_cast<DWORD>(std::strtoul(argv[3], nullptr, 0));
  DWORD seconds = static_cast<DWORD>(std::strtoul(argv[4], nullptr, 0));
  // Another party may hold the file for a moment (a writer appending): try again for a while,
  // as a user would.
  HANDLE file = CreateFileA(argv[1], access, share, nullptr, OPEN_ALWAYS, 0, nullptr);
  for (int attempt = 0;
       file == INVALID_HANDLE_VALUE && GetLastError() == ERROR_SHARING_VIOLATION && attempt < 10000;
       ++attempt) {
    Sleep(1);
    file = CreateFileA(argv[1], access, share, nullptr, OPEN_ALWAYS, 0, nullptr);
  }
  if (file == INVALID_HANDLE_VALUE) {
    std::printf("error %u\n", static_cast<unsigned>(GetLastError()));
    std::fflush(stdout);
    return 1;
  }
  std::printf("ready\n");
  std::fflush(stdout);
  Sleep(seconds * 1000);
  CloseHandle(file);
  return 0;
}
