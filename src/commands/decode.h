// Explains the job-control commands found in a captured job header or
// spool stream, where they stand among other bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace rk {

struct DecodedCommand {
  size_t offset = 0;       // of the "@" in the input
  std::string name;        // "JOAU", "CNAM", "HOAD", "NLPP", or another printer's
  std::string_view text;   // the command as found: a view into the input
  bool recognized = true;  // false: "@" four letters "=" of no command of ours
  bool ok = true;
  std::string error;        // when !ok: what is wrong
  size_t error_offset = 0;  // when !ok: where, in the input

  // JOAU
  char form_mark = 0;                // '@', '$', '#', or 0 (code type 5)
  std::vector<uint16_t> code_types;  // the code types that send this form
  bool has_tag = false;
  char tag = 0;
  int tag_row = -1;
  int tag_column = -1;
  std::string owner;         // the owner (JOAU) or client name (CNAM) bytes
  std::string address_part;  // "~" and digits, "~" and blanks, or empty
  std::string address;       // dotted IPv4 for "~" and digits; "no address" for blanks

  // HOAD
  std::string address_family;  // "IPv4" or "IPv6"

  // NLPP
  std::string keyword;
  int selector = -1;
};

// Finds and explains every command in `input`. A command's body runs to a
// control byte (below 0x20, or 0x7F), to the next command, or to the end
// of the input; trailing blanks are dropped from the encoded, address and
// N-up forms. Each command's `text` points into `input`, which must outlive
// the results (hence no overload for a temporary).
//
// Commands are grouped into headers, since an encoder writes a header as
// commands of one kind each, each followed by the same separator (LF,
// CRLF or nothing): the next command belongs to the same header when it
// starts right where the previous body ended or right after the line the
// previous command ends on. Within a header of two or more commands,
// refused as malformed, because no encoder writes them and they are how a
// hostile name smuggles a command or printer-language bytes in:
// - a trailer (the bytes between a command and the next) other than the
//   header's separator: a control byte inside a command;
// - with LF or CRLF as separator, a command followed directly by the next:
//   a command start inside a command; the last command must be followed by
//   the separator too;
// - a second command of one kind.
// A header of a single command may be followed by anything (the document).
// `nup_keywords` is the keyword of each N-up selector, first selector first.
std::vector<DecodedCommand> DecodeCommands(const std::string& input,
                                           const std::vector<std::string>& nup_keywords);
std::vector<DecodedCommand> DecodeCommands(std::string&& input,
                                           const std::vector<std::string>& nup_keywords) = delete;

// "3, 4 or 255".
std::string JoinCodeTypes(const std::vector<uint16_t>& codes);

// Text form of an address given as hexadecimal digits.
std::string DottedIPv4(const std::string& eight_hex_digits);
std::string IPv6Text(const std::string& thirty_two_hex_digits);

// The N-up keywords the library composes, first selector first: what a
// reader of this library's commands passes to DecodeCommands.
std::vector<std::string> LibraryNupKeywords();

}  // namespace rk
