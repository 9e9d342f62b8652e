// Prints the library's Windows directory before and after InitSystemGlobalParameters, in a fresh
// process whose cache is still empty:   windir_probe
#include <LyrUtil.h>

#include <cstdio>

int main() {
  std::printf("%s\n", GetWindowsDirectoryA());
  InitSystemGlobalParameters();
  std::printf("%s\n", GetWindowsDirectoryA());
  return 0;
}
