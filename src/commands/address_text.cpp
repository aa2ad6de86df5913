#include "commands/address_text.h"

#include <cstring>

namespace rk {
namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

int HexValue(char c) {
  if (IsDigit(c)) return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Four decimal parts separated by dots, from `p` to `end`, into out[0..3].
bool ParseDotted(const char* p, const char* end, uint8_t* out) {
  for (int part = 0; part < 4; ++part) {
    if (part > 0) {
      if (p == end || *p != '.') return false;
      ++p;
    }
    const char* start = p;
    unsigned value = 0;
    while (p != end && IsDigit(*p) && p - start < 3) value = value * 10 + (*p++ - '0');
    const long digits = p - start;
    if (digits == 0 || value > 255 || (digits > 1 && *start == '0')) return false;
    if (p != end && IsDigit(*p)) return false;  // a fourth digit
    out[part] = static_cast<uint8_t>(value);
  }
  return p == end;
}

// RFC 4291 text, from `p` to `end`: groups of one to four hexadecimal
// digits, one "::" for a run of zero groups, and optionally a dotted IPv4
// address in the last 32 bits.
bool ParseIPv6(const char* p, const char* end, uint8_t* out) {
  uint8_t bytes[16] = {};
  int filled = 0;  // bytes written so far
  int gap = -1;    // where "::" stands, in bytes
  if (end - p >= 2 && p[0] == ':' && p[1] == ':') {
    gap = 0;
    p += 2;
  } else if (p != end && *p == ':') {
    return false;  // a lone leading colon
  }
  while (p != end) {
    if (filled == 16) return false;
    const char* start = p;
    unsigned group = 0;
    while (p != end && HexValue(*p) >= 0 && p - start < 4) group = group * 16 + HexValue(*p++);
    if (p == start) return false;
    if (p != end && *p == '.') {
      // The dotted tail: only in the last 32 bits.
      if (filled > 12 || !ParseDotted(start, end, bytes + filled)) return false;
      filled += 4;
      p = end;
      break;
    }
    if (p != end && HexValue(*p) >= 0) return false;  // a fifth digit
    bytes[filled++] = static_cast<uint8_t>(group >> 8);
    bytes[filled++] = static_cast<uint8_t>(group & 0xFF);
    if (p == end) break;
    if (*p != ':') return false;
    ++p;
    if (p != end && *p == ':') {
      if (gap >= 0) return false;  // a second "::"
      gap = filled;
      ++p;
    } else if (p == end) {
      return false;  // a trailing lone colon
    }
  }
  if (gap < 0) {
    if (filled != 16) return false;
  } else {
    if (filled > 14) return false;  // "::" must stand for at least one group
    const int tail = filled - gap;
    std::memmove(bytes + 16 - tail, bytes + gap, tail);
    std::memset(bytes + gap, 0, 16 - tail - gap);
  }
  std::memcpy(out, bytes, 16);
  return true;
}

bool IsIPv4Mapped(const uint8_t* bytes) {
  static const uint8_t kPrefix[12] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xFF, 0xFF};
  return std::memcmp(bytes, kPrefix, 12) == 0;
}

}  // namespace

bool ParseAddressText(const char* text, ParsedAddress* address) {
  const char* end = text + std::strlen(text);
  if (ParseDotted(text, end, address->bytes)) {
    address->ipv4 = true;
    return true;
  }
  const char* percent = std::strchr(text, '%');
  if (percent != nullptr) {
    if (percent + 1 == end) return false;  // "%" with no scope
    end = percent;
  }
  uint8_t bytes[16];
  if (!ParseIPv6(text, end, bytes)) return false;
  if (IsIPv4Mapped(bytes)) {
    address->ipv4 = true;
    std::memcpy(address->bytes, bytes + 12, 4);
  } else {
    address->ipv4 = false;
    std::memcpy(address->bytes, bytes, 16);
  }
  return true;
}

}  // namespace rk
