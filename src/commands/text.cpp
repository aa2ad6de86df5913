#include "commands/text.h"

#include <cstring>

namespace rk {

size_t TextLengthUpTo(const char* text, size_t most) {
  // memchr stops at the first NUL (C11 7.24.5.1), so it reads no byte past
  // a text shorter than `most`; the C library's is vectorised.
  const void* end = std::memchr(text, '\0', most + 1);
  return end != nullptr ? static_cast<size_t>(static_cast<const char*>(end) - text) : most + 1;
}

bool CopyText(char* buffer, size_t capacity, const char* source) {
  const size_t length = std::strlen(source);
  if (length >= capacity) return false;
  std::memcpy(buffer, source, length + 1);
  return true;
}

bool AppendText(char* buffer, size_t capacity, const char* source) {
  const size_t used = std::strlen(buffer);
  if (used >= capacity) return false;
  return CopyText(buffer + used, capacity - used, source);
}

bool TextEquals(const char* a, const char* b) { return std::strcmp(a, b) == 0; }

}  // namespace rk
