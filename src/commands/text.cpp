#include "commands/text.h"

#include <cstring>

namespace rk {

size_t TextLengthUpTo(const char* text, size_t most) {
  size_t n = 0;
  while (n <= most && text[n] != '\0') ++n;
  return n;
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
