#include "frame/text.h"

#include <cstring>

namespace rk {

size_t TextLength(const char* text) { return std::strlen(text); }

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

namespace rk {

void WriteHexDigits(const unsigned char* bytes, size_t count, bool upper_case, char* out) {
  const char* digits = upper_case ? "0123456789ABCDEF" : "0123456789abcdef";
  for (size_t i = 0; i < count; ++i) {
    out[2 * i] = digits[bytes[i] >> 4];
    out[2 * i + 1] = digits[bytes[i] & 0x0F];
  }
  out[2 * count] = '\0';
}

}  // namespace rk
