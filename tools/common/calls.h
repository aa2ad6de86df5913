// The library's exports as the tool calls them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "utf16_text.h"

// What one export call gave.
struct Outcome {
  int32_t result = 0;
  int16_t status = 0;
  uint16_t size = 0;  // the size word afterwards
  bool delivered = false;
  std::string command;
};

// A caller's text for an export: bytes for the narrow one, or UTF-16 for
// the W one. Not given: the library finds it itself.
struct CallerText {
  bool given = false;
  bool wide = false;
  std::string narrow;
  WideText wide_text;
};

struct OwnerRequest {
  uint16_t code_type = 1;
  uint16_t tag_column = 1;
  uint16_t tag_row = 5;
  uint16_t mask = 0;
  bool has_address = false;
  std::string address;
  CallerText owner;  // not given: from this user and host
};

// `capacity` is the buffer size offered; a small one shows the size query.
Outcome CallNup(uint16_t selector, uint16_t capacity);
Outcome CallOwner(const OwnerRequest& request, uint16_t capacity);
struct ClientNameRequest {
  uint16_t code_type = 1;
  uint16_t mask = 0;
  CallerText name;  // not given: this host's computer name
};

Outcome CallClientName(const ClientNameRequest& request, uint16_t capacity);
// Without `address_text`, this host's own address.
Outcome CallHostAddress(const std::string* address_text, uint16_t capacity);

struct Verdict {
  bool valid = false;
  int16_t status = 0;
};
// `wide` non-null: the W export with that text; otherwise the A export with
// `text`.
Verdict CallValidate(uint16_t code_type, uint16_t mask, const WideText* wide,
                     const std::string& text);

// The keyword of each N-up selector, asked of the library.
std::vector<std::string> NupKeywords();
