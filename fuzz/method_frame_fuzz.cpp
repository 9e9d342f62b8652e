// Method frames come from the instrument and from edited files: any bytes, as either kind of
// frame, must decode without reading past the text or writing past the records, and a time table
// test must stop at the terminator.
#include <LyrUtil.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // The frame in a buffer of exactly its size, so that a read past it is seen.
  auto frame = std::make_unique<char[]>(size + 1);
  std::memcpy(frame.get(), data, size);
  frame[size] = '\0';
  for (int kind : {0, 1}) {
    Q7400Struct method;
    __structProgPressTemp events;
    std::memset(&method, 0, sizeof method);
    std::memset(&events, 0, sizeof events);
    Unzip(kind, frame.get(), method, events);
    CString name = UnZipTrame(kind, frame.get());
    if (name.GetLength() > 19) std::abort();
  }
  int valid = CheckTTValid(frame.get());
  if (valid != 0 && valid != 1) std::abort();
  return 0;
}
