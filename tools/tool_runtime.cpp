#include "tool_runtime.h"

#include "tool_error.h"

#include <LyrUtil.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <string>

void StartLibrary() {
  static bool started = false;
  if (started) return;
  started = true;
  InitSystemGlobalParameters();
}

void FlushStandardOutput() {
  errno = 0;
  std::cout.flush();
  if (std::fflush(stdout) != 0 || std::ferror(stdout) || !std::cout)
    throw ToolError(std::string("standard output: ") +
                    (errno ? std::strerror(errno) : "write error"));
}
