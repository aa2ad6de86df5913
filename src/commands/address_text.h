// Numeric address texts of other machines, read without the resolver: a
// print filter that waits on a name look-up stalls the print queue.
#pragma once

#include <cstdint>

namespace rk {

struct ParsedAddress {
  bool ipv4;          // true: bytes[0..3]; false: all 16 bytes (IPv6)
  uint8_t bytes[16];  // network order
};

// Reads `text` as a dotted IPv4 address of four decimal parts (0-255, no
// leading zeros, which other readers take as octal), or as an IPv6 address
// with an optional "%scope" that is dropped. An IPv4-mapped IPv6 address
// (::ffff:a.b.c.d) reads as its IPv4 address. False for anything else: a
// name, an empty text, a part out of range, bytes after the address.
bool ParseAddressText(const char* text, ParsedAddress* address);

}  // namespace rk
