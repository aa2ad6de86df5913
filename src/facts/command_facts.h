// The facts of the command language, in one place: the library composes by
// them, and the programs around it (the tool, its decoder, the filter, the
// client layer) read, check and explain commands by the same ones. This is
// the one library header a program includes besides the public one.
// Constants, and the one test every reader of commands shares: no state.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace rk {

// ---- Commands ---------------------------------------------------------------
// "@", four capital letters and "=" start every command.
inline constexpr size_t kCommandStartLength = 6;

// Whether a command starts at `at` of `text`: what a printer acts on.
constexpr bool StartsCommand(std::string_view text, size_t at) {
  if (at + kCommandStartLength > text.size() || text[at] != '@' ||
      text[at + kCommandStartLength - 1] != '=') {
    return false;
  }
  for (size_t i = 1; i < kCommandStartLength - 1; ++i) {
    if (text[at + i] < 'A' || text[at + i] > 'Z') return false;
  }
  return true;
}
inline constexpr char kOwnerCommand[] = "@JOAU=";
inline constexpr char kClientNameCommand[] = "@CNAM=";
inline constexpr char kHostAddressCommand[] = "@HOAD=";
inline constexpr char kNupCommand[] = "@NLPP=";
// The four names, and the order a header carries them in by default.
inline constexpr char kOwnerName[] = "JOAU";
inline constexpr char kClientNameName[] = "CNAM";
inline constexpr char kHostAddressName[] = "HOAD";
inline constexpr char kNupName[] = "NLPP";
inline constexpr const char* kCommandNames[] = {kOwnerName, kClientNameName, kHostAddressName,
                                                kNupName};

// What the library sends where the system gives no usable name, or where
// it refuses the name it is given.
inline constexpr char kUnknownUser[] = "UnknownUser";
inline constexpr char kUnknownHost[] = "UnknownHost";

// "@HOAD=" carries a form letter and the address in hexadecimal digits:
// 'I' and 8 upper-case digits for IPv4, '6' and 32 lower-case ones for
// IPv6, network byte order, first byte first.
inline constexpr char kIPv4Form = 'I';
inline constexpr char kIPv6Form = '6';
inline constexpr size_t kIPv4Digits = 8;
inline constexpr size_t kIPv6Digits = 32;

// ---- Owner text and its encoding --------------------------------------------
// The base-85 encoder takes at most this many bytes (owner and address part).
inline constexpr size_t kEncoderLimit = 24;

// The address part of code types 4 and 255 when the caller gives no address
// text: "~" and the host's IPv4 address as 8 hexadecimal digits, or "~" and
// eight blanks where a failed discovery still sends the command.
inline constexpr char kAddressPartMark = '~';
inline constexpr size_t kAddressPartDigits = kIPv4Digits;
inline constexpr size_t kAddressPartLength = 1 + kAddressPartDigits;
inline constexpr char kNoAddressDigits[] = "        ";

// The tag table of code types 3, 4 and 255: row r, column c holds the
// character 0x20 + 7r + c. Each row is six consecutive codes; the seventh
// code after a row's start belongs to no row.
inline constexpr int kTagRows = 12;
inline constexpr int kTagColumns = 6;
inline constexpr int kTagRowStride = 7;
inline constexpr int kTagFirstCode = 0x20;

// ---- Code types ---------------------------------------------------------------
// What the address part becomes when the caller gives no address text and
// the host's IPv4 address cannot be found.
enum class FailedDiscovery : uint8_t {
  kNoAddressPart,  // the code type carries no address part
  kBlanks,         // "~" and eight blanks: the command is still sent
  kFails,          // the call fails with the discovery's reason
};

// One row a code type. The validation reads the byte limits, the
// composition the command forms, the owner sources whether the computer's
// name is joined, the programs all of it to describe and check commands.
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

// clang-format off
inline constexpr CodeType kCodeTypes[] = {
//   code  limit  command  mark  base85  tag    address  failed discovery                  joins
    {1,    31,    true,    '@',  false,  false, false,   FailedDiscovery::kNoAddressPart,  true},
    {2,    24,    true,    '$',  true,   false, false,   FailedDiscovery::kNoAddressPart,  true},
    {3,    24,    true,    '#',  true,   true,  false,   FailedDiscovery::kNoAddressPart,  true},
    {4,    15,    true,    '#',  true,   true,  true,    FailedDiscovery::kBlanks,         true},
    {5,    63,    true,    '\0', false,  false, false,   FailedDiscovery::kNoAddressPart,  false},
    {32,   32,    false,   '\0', false,  false, false,   FailedDiscovery::kNoAddressPart,  true},
    {255,  15,    true,    '#',  true,   true,  true,    FailedDiscovery::kFails,          true},
};
// clang-format on

// The row of `code`, or null for a code type the library does not know.
constexpr const CodeType* FindCodeType(uint16_t code) {
  for (const CodeType& type : kCodeTypes) {
    if (type.code == code) return &type;
  }
  return nullptr;
}

}  // namespace rk
