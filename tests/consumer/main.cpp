// A program outside the repository, built against the installed package alone.
#include <LyrUtil.h>
#include <lyrhost.h>

#include <cstdio>
#include <cstring>

int main(int argc, char** argv) {
  if (argc != 2 || !LyrSetPrefix(argv[1])) return 2;
  InitSystemGlobalParameters();
  char name[] = "C:\\data\\run.01._cr";
  if (std::strcmp(GetExt(name), "._cr") != 0) return 1;
  if (std::strcmp(GetWorkingDirectory(), "C:\\windows") != 0) return 1;
  std::printf("ok\n");
  return 0;
}
