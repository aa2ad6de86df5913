// What each owner code type means, in one table: the byte limits of the
// validation, the command forms of the composition, the owner sources and
// the rkvtps tool all read it, so a code type is described in one place.
#pragma once

#include <cstddef>
#include <cstdint>

namespace rk {

// What the address part becomes when the caller gives no address text and
// the host's IPv4 address cannot be found.
enum class FailedDiscovery : uint8_t {
  kNoAddressPart,  // the code type carries no address part
  kBlanks,         // "~" and eight blanks: the command is still sent
  kFails,          // the call fails with the discovery's reason
};

struct CodeType {
  uint16_t code;
  uint16_t byte_limit;  // the most bytes an owner text may hold
  bool has_command;     // false: a byte limit for validation, no command
  char form_mark;       // behind "@JOAU=": '@', '$', '#', or '\0' for none
  bool encoded;         // the owner text travels in base 85
  bool tagged;          // a tag character follows the form mark
  bool address_part;    // the text is extended by an address part
  FailedDiscovery failed_discovery;
  bool joins_computer;  // the user-and-host owner is "user\computer"
};

inline constexpr CodeType kCodeTypes[] = {
    {1, 31, true, '@', false, false, false, FailedDiscovery::kNoAddressPart, true},
    {2, 24, true, '$', true, false, false, FailedDiscovery::kNoAddressPart, true},
    {3, 24, true, '#', true, true, false, FailedDiscovery::kNoAddressPart, true},
    {4, 15, true, '#', true, true, true, FailedDiscovery::kBlanks, true},
    {5, 63, true, '\0', false, false, false, FailedDiscovery::kNoAddressPart, false},
    {32, 32, false, '\0', false, false, false, FailedDiscovery::kNoAddressPart, true},
    {255, 15, true, '#', true, true, true, FailedDiscovery::kFails, true},
};

// The row of `code`, or null for a code type the library does not know.
constexpr const CodeType* FindCodeType(uint16_t code) {
  for (const CodeType& type : kCodeTypes) {
    if (type.code == code) return &type;
  }
  return nullptr;
}

}  // namespace rk
