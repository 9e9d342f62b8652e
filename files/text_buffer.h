// Copying text into the suite's fixed buffers without writing past them.
#ifndef LYRUTIL_TEXT_BUFFER_H
#define LYRUTIL_TEXT_BUFFER_H

#include <cstddef>
#include <cstring>
#include <string>

namespace lyrutil {

// Working path buffers hold 260 bytes, so a path holds at most 259 characters.
constexpr size_t kPathBufferBytes = 260;

// Copies `text` into `out` of `capacity` bytes, cut at capacity - 1 characters, terminated.
inline void CopyCut(const std::string& text, char* out, size_t capacity) {
  if (out == nullptr || capacity == 0) return;
  size_t n = text.size() < capacity - 1 ? text.size() : capacity - 1;
  std::memcpy(out, text.data(), n);
  out[n] = '\0';
}

// Writes `text` over a name that the caller edits in place. Its buffer holds a path (260 bytes) or,
// when the name was longer than that, at least the name as it was: the result is cut to fit.
inline void ReplaceInPlace(char* name, size_t originalLength, const std::string& text) {
  size_t capacity = originalLength + 1 > kPathBufferBytes ? originalLength + 1 : kPathBufferBytes;
  CopyCut(text, name, capacity);
}

}  // namespace lyrutil

#endif  // LYRUTIL_TEXT_BUFFER_H
