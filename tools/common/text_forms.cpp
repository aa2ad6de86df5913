#include "text_forms.h"

#include <cstdio>

std::string EscapedText(const std::string& bytes) {
  std::string out;
  char escape[8];
  for (unsigned char c : bytes) {
    if (c >= 0x20 && c < 0x7F && c != '\\') {
      out += static_cast<char>(c);
    } else {
      std::snprintf(escape, sizeof escape, "\\x%02X", c);
      out += escape;
    }
  }
  return out;
}

std::string QuotedText(const std::string& bytes, size_t most) {
  if (bytes.size() <= most) return EscapedText(bytes);
  return EscapedText(bytes.substr(0, most)) + "... (" + std::to_string(bytes.size()) + " bytes)";
}

std::string HexText(const std::string& bytes) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(bytes.size() * 2);
  for (unsigned char c : bytes) {
    out += kDigits[c >> 4];
    out += kDigits[c & 0x0F];
  }
  return out;
}
