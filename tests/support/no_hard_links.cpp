// Preloaded into a program (LD_PRELOAD) to stand for a file system without hard links (FAT,
// exFAT, many network and FUSE mounts): link() and linkat() fail as they do there.
#include <cerrno>

extern "C" __attribute__((visibility("default"))) int link(const char*, const char*) {
  errno = EPERM;
  return -1;
}

extern "C" __attribute__((visibility("default"))) int linkat(int, const char*, int, const char*,
                                                             int) {
  errno = EPERM;
  return -1;
}
