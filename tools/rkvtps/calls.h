// The library's exports as the tool calls them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform.h"

// What one export call gave.
struct Outcome {
  int32_t result = 0;
  int16_t status = 0;
  uint16_t size = 0;  // the size word afterwards
  bool delivered = false;
  std::string command;
};

struct OwnerRequest {
  uint16_t code_type = 1;
  uint16_t tag_column = 1;
  uint16_t tag_row = 5;
  uint16_t mask = 0;
  bool has_address = false;
  std::string address;
  bool has_owner = false;  // false: from this user and host
  bool wide = false;
  std::string owner;    // the bytes for the narrow export
  WideText wide_owner;  // the text for the W export
};

// `capacity` is the buffer size offered; a small one shows the size query.
Outcome CallNup(uint16_t selector, uint16_t capacity);
Outcome CallOwner(const OwnerRequest& request, uint16_t capacity);
struct ClientNameRequest {
  uint16_t code_type = 1;
  uint16_t mask = 0;
  bool has_name = false;  // false: this host's computer name
  bool wide = false;
  std::string name;    // the bytes for the narrow export
  WideText wide_name;  // the text for the W export
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
