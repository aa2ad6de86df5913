#include "text_forms.h"

#include <cstdio>

namespace {

std::string EscapedByte(unsigned char c) {
  char escape[8];
  std::snprintf(escape, sizeof escape, "\\x%02X", c);
  return escape;
}

bool IsContinuation(unsigned char c) { return (c & 0xC0) == 0x80; }

// The length of the UTF-8 character at `at`, or 0 where none starts: a
// stray or overlong form, a surrogate, past U+10FFFF, or cut short.
size_t CharacterLength(const std::string& bytes, size_t at) {
  const unsigned char lead = static_cast<unsigned char>(bytes[at]);
  size_t length = 0;
  unsigned char low = 0x80, high = 0xBF;  // what the second byte may be
  if (lead < 0x80) return 1;
  if (lead >= 0xC2 && lead <= 0xDF) length = 2;
  if (lead >= 0xE0 && lead <= 0xEF) length = 3;
  if (lead >= 0xF0 && lead <= 0xF4) length = 4;
  if (lead == 0xE0) low = 0xA0;
  if (lead == 0xED) high = 0x9F;
  if (lead == 0xF0) low = 0x90;
  if (lead == 0xF4) high = 0x8F;
  if (length == 0 || at + length > bytes.size()) return 0;
  const unsigned char second = static_cast<unsigned char>(bytes[at + 1]);
  if (second < low || second > high) return 0;
  for (size_t i = 2; i < length; ++i) {
    if (!IsContinuation(static_cast<unsigned char>(bytes[at + i]))) return 0;
  }
  return length;
}

// C0, DEL, and C1 (U+0080 to U+009F, written C2 80 to C2 9F).
bool IsControl(const std::string& bytes, size_t at, size_t length) {
  const unsigned char lead = static_cast<unsigned char>(bytes[at]);
  if (length == 1) return lead < 0x20 || lead == 0x7F;
  return length == 2 && lead == 0xC2 && static_cast<unsigned char>(bytes[at + 1]) < 0xA0;
}

}  // namespace

std::string EscapedText(const std::string& bytes) {
  std::string out;
  for (unsigned char c : bytes) {
    if (c >= 0x20 && c < 0x7F && c != '\\') {
      out += static_cast<char>(c);
    } else {
      out += EscapedByte(c);
    }
  }
  return out;
}

std::string EscapeJobText(const std::string& bytes, size_t most) {
  std::string out;
  size_t at = 0;
  while (at < bytes.size()) {
    const size_t length = CharacterLength(bytes, at);
    std::string piece;
    if (length == 0) {
      piece = EscapedByte(static_cast<unsigned char>(bytes[at]));
    } else if (IsControl(bytes, at, length)) {
      for (size_t i = 0; i < length; ++i) {
        piece += EscapedByte(static_cast<unsigned char>(bytes[at + i]));
      }
    } else {
      piece = bytes.substr(at, length);
    }
    if (out.size() + piece.size() > most) break;
    out += piece;
    at += length == 0 ? 1 : length;
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
