#include "commands/decode.h"

#include <algorithm>
#include <cstdio>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "commands/base85.h"
#include "commands/nup.h"
#include "facts/command_facts.h"

namespace rk {
namespace {

// The code types the library sends with a command of this shape, from its
// own table.
template <typename Test>
std::vector<uint16_t> CodeTypesWhere(Test test) {
  std::vector<uint16_t> codes;
  for (const rk::CodeType& type : rk::kCodeTypes) {
    if (type.has_command && test(type)) codes.push_back(type.code);
  }
  return codes;
}

std::vector<uint16_t> CodeTypesWithForm(char mark) {
  return CodeTypesWhere([mark](const rk::CodeType& t) { return t.form_mark == mark; });
}

// The commands this decoder explains; the first letters of one cut short
// at the end of the input are reported, any other "@" and letters are not.
bool IsCommandNamePrefix(const std::string& input, size_t from, size_t count) {
  for (const char* name : rk::kCommandNames) {
    if (input.compare(from, count, name, count) == 0) return true;
  }
  return false;
}

bool IsUpper(char c) { return c >= 'A' && c <= 'Z'; }

bool IsHex(char c, bool upper) {
  if (c >= '0' && c <= '9') return true;
  return upper ? (c >= 'A' && c <= 'F') : (c >= 'a' && c <= 'f');
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return c - 'A' + 10;
}

using rk::StartsCommand;

// Blanks between commands belong to no command; only the raw owner and
// name forms may carry them.
size_t TrimBlanks(const std::string& input, size_t start, size_t end) {
  while (end > start && input[end - 1] == ' ') --end;
  return end;
}

bool IsControl(char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7F; }

size_t BodyEnd(const std::string& input, size_t start) {
  size_t end = start;
  while (end < input.size() && !IsControl(input[end]) && !StartsCommand(input, end)) ++end;
  return end;
}

void Fail(DecodedCommand* command, size_t offset, const std::string& message) {
  command->ok = false;
  command->error_offset = offset;
  command->error = message;
}

bool AllOf(const std::string& text, size_t from, size_t count, bool (*test)(char)) {
  for (size_t i = from; i < from + count; ++i) {
    if (!test(text[i])) return false;
  }
  return true;
}

void SplitAddressPart(DecodedCommand* command) {
  const std::string& owner = command->owner;
  const size_t part = rk::kAddressPartLength;
  if (owner.size() < part || owner[owner.size() - part] != rk::kAddressPartMark) return;
  const size_t at = owner.size() - rk::kAddressPartDigits;
  if (AllOf(owner, at, rk::kAddressPartDigits, [](char c) { return IsHex(c, true); })) {
    command->address = DottedIPv4(owner.substr(at));
  } else if (AllOf(owner, at, rk::kAddressPartDigits, [](char c) { return c == ' '; })) {
    command->address = "no address";
    command->code_types = CodeTypesWhere(
        [](const rk::CodeType& t) { return t.failed_discovery == rk::FailedDiscovery::kBlanks; });
  } else {
    return;
  }
  command->address_part = owner.substr(at - 1);
  command->owner = owner.substr(0, at - 1);
}

void DecodeOwner(const std::string& input, size_t body, size_t end, DecodedCommand* command) {
  // The library sends "UnknownUser" for an empty or refused owner unless
  // told not to check it: an empty owner is a command cut short, one whose
  // owner was a control byte, or a caller's mistake no printer should take.
  if (body == end || (input[body] == '@' && body + 1 == end)) {
    Fail(command, input[body] == '@' && body < end ? body + 1 : body,
         "truncated command: no owner");
    return;
  }
  const char mark = input[body];
  if (mark == '@') {
    command->form_mark = mark;
    command->code_types = CodeTypesWithForm('@');
    command->owner = input.substr(body + 1, end - body - 1);
    return;
  }
  if (mark != '$' && mark != '#') {
    command->code_types = CodeTypesWithForm('\0');
    command->owner = input.substr(body, end - body);
    return;
  }
  command->form_mark = mark;
  size_t digits = body + 1;
  if (mark == '#') {
    if (digits >= end) {
      Fail(command, digits, "truncated command: no tag character");
      return;
    }
    const int code = static_cast<unsigned char>(input[digits]) - rk::kTagFirstCode;
    if (code < 0 || code >= rk::kTagRows * rk::kTagRowStride ||
        code % rk::kTagRowStride >= rk::kTagColumns) {
      Fail(command, digits, "unknown tag character");
      return;
    }
    command->has_tag = true;
    command->tag = input[digits];
    command->tag_row = code / rk::kTagRowStride;
    command->tag_column = code % rk::kTagRowStride;
    command->code_types = CodeTypesWithForm('#');
    ++digits;
  } else {
    command->code_types = CodeTypesWithForm('$');
  }
  if (digits >= end) {
    Fail(command, digits, "truncated command: no base-85 text");
    return;
  }
  end = TrimBlanks(input, digits, end);
  size_t bad = 0;
  std::string message;
  const std::string_view text = std::string_view(input).substr(digits, end - digits);
  if (!DecodeBase85(text, &command->owner, &bad, &message)) {
    Fail(command, digits + bad, message);
    return;
  }
  // The owner reaches the encoder as a C string: a NUL in it would end the
  // owner there on the way back, so no encoder writes one.
  const size_t nul = command->owner.find('\0');
  if (nul != std::string::npos) {
    Fail(command, digits + nul / 4 * 5, "base-85 text that decodes to a NUL byte");
    return;
  }
  if (mark == '#') SplitAddressPart(command);
}

void DecodeHostAddress(const std::string& input, size_t body, size_t end, DecodedCommand* command) {
  end = TrimBlanks(input, body, end);
  if (body == end) {
    Fail(command, body, "truncated command: no address form");
    return;
  }
  const char form = input[body];
  const bool ipv4 = form == rk::kIPv4Form;
  if (!ipv4 && form != rk::kIPv6Form) {
    Fail(command, body, "unknown address form");
    return;
  }
  const size_t want = ipv4 ? rk::kIPv4Digits : rk::kIPv6Digits;
  for (size_t i = 0; i < want; ++i) {
    const size_t at = body + 1 + i;
    if (at >= end) {
      Fail(command, at, "truncated command: " + std::to_string(want) + " digits expected");
      return;
    }
    if (!IsHex(input[at], ipv4)) {
      Fail(command, at,
           ipv4 ? "bad digit: upper-case hexadecimal expected"
                : "bad digit: lower-case hexadecimal expected");
      return;
    }
  }
  if (body + 1 + want != end) {
    Fail(command, body + 1 + want, "unexpected text after the address");
    return;
  }
  const std::string digits = input.substr(body + 1, want);
  command->address_family = ipv4 ? "IPv4" : "IPv6";
  command->address = ipv4 ? DottedIPv4(digits) : IPv6Text(digits);
}

void DecodeNup(const std::string& input, size_t body, size_t end,
               const std::vector<std::string>& keywords, DecodedCommand* command) {
  end = TrimBlanks(input, body, end);
  command->keyword = input.substr(body, end - body);
  for (size_t i = 0; i < keywords.size(); ++i) {
    if (keywords[i] == command->keyword) command->selector = static_cast<int>(i);
  }
  if (command->selector < 0) Fail(command, body, "unknown N-up keyword");
}

// Where a found command stands: its "@", and the end of its body before
// trailing blanks are dropped (where a control byte, the next command or
// the end of the input stopped it).
struct Span {
  size_t start;
  size_t body_end;
};

// An encoder writes each command of a header followed by the separator,
// so the next command of the header starts where the body ended (no
// separator) or right after the line it ended on. A blank line, or a
// document between, starts another header.
bool SameHeader(const std::string& input, const Span& previous, const Span& next) {
  if (next.start == previous.body_end) return true;
  if (next.start <= previous.body_end || input[next.start - 1] != '\n') return false;
  // Stops at next.start - 1 at the latest: bounded by the gap.
  return input.find('\n', previous.body_end) == next.start - 1;
}

std::string_view Trailer(std::string_view input, const std::vector<Span>& spans, size_t i) {
  return input.substr(spans[i].body_end, spans[i + 1].start - spans[i].body_end);
}

bool StartsWith(std::string_view text, std::string_view prefix) {
  return text.substr(0, prefix.size()) == prefix;
}

// The header's separator: LF or CRLF where any trailer, or what follows
// the last command, is one (the more common, the first on a tie), else
// nothing. Which one a stray trailer is measured against only decides
// which command is blamed; a header with both is refused either way.
std::string_view HeaderSeparator(std::string_view input, const std::vector<Span>& spans,
                                 size_t first, size_t last) {
  size_t lf = 0, crlf = 0;
  std::string_view first_seen;
  const auto count = [&](std::string_view trailer) {
    if (trailer != "\n" && trailer != "\r\n") return;
    ++(trailer == "\n" ? lf : crlf);
    if (first_seen.empty()) first_seen = trailer;
  };
  for (size_t i = first; i < last; ++i) count(Trailer(input, spans, i));
  const std::string_view follow = input.substr(spans[last].body_end);
  count(StartsWith(follow, "\r\n") ? follow.substr(0, 2) : follow.substr(0, 1));
  if (lf == crlf) return first_seen;
  return lf > crlf ? "\n" : "\r\n";
}

std::string ControlByteMessage(char byte) {
  char message[48];
  std::snprintf(message, sizeof message, "control byte 0x%02X inside a command",
                static_cast<unsigned char>(byte));
  return message;
}

// A command reports the first fault in it. At the end of an empty body
// the header's fault wins: a control byte or a command where a name should
// be says more than "no name".
void Refuse(DecodedCommand* command, size_t offset, const std::string& message) {
  if (!command->ok && command->error_offset < offset) return;
  Fail(command, offset, message);
}

// Refuses, in the header of commands first..last, what no encoder writes
// and a hostile owner or client name would: printer-language bytes, a line
// end or another command inside a command, a command given twice. Other
// printers' commands, and one cut short, keep their own report.
void CheckHeader(const std::string& input, const std::vector<Span>& spans, size_t first,
                 size_t last, std::vector<DecodedCommand>* found) {
  if (first == last) return;  // a header of one command: anything may follow it
  const std::string_view separator = HeaderSeparator(input, spans, first, last);
  std::vector<std::string_view> seen;  // at most the four names of ours
  for (size_t i = first; i <= last; ++i) {
    DecodedCommand& command = (*found)[i];
    if (!command.recognized || command.name.empty()) continue;
    if (std::find(seen.begin(), seen.end(), command.name) != seen.end()) {
      Refuse(&command, command.offset, "a second " + command.name + " command in one header");
      continue;
    }
    seen.push_back(command.name);
    const size_t end = spans[i].body_end;
    if (i < last) {
      const std::string_view trailer = Trailer(input, spans, i);
      if (trailer == separator) continue;
      // A trailer begins where a control byte stopped the body.
      Refuse(&command, end,
             trailer.empty() ? "a command start inside a command" : ControlByteMessage(input[end]));
    } else if (!separator.empty()) {
      const std::string_view follow = std::string_view(input).substr(end);
      if (StartsWith(follow, separator)) continue;
      Refuse(&command, end,
             StartsWith(separator, follow)
                 ? std::string("truncated header: no line end after its last command")
                 : ControlByteMessage(input[end]));
    }
  }
}

}  // namespace

std::string DottedIPv4(const std::string& digits) {
  std::string out;
  for (size_t i = 0; i < 8; i += 2) {
    if (!out.empty()) out += '.';
    out += std::to_string(HexValue(digits[i]) * 16 + HexValue(digits[i + 1]));
  }
  return out;
}

// The usual text form: groups without leading zeros, the longest run of
// two or more zero groups written as "::".
std::string IPv6Text(const std::string& digits) {
  unsigned groups[8];
  for (int g = 0; g < 8; ++g) {
    groups[g] = 0;
    for (int i = 0; i < 4; ++i)
      groups[g] = groups[g] * 16 + static_cast<unsigned>(HexValue(digits[g * 4 + i]));
  }
  int best = -1, best_length = 1;
  for (int g = 0; g < 8;) {
    int length = 0;
    while (g + length < 8 && groups[g + length] == 0) ++length;
    if (length > best_length) {
      best = g;
      best_length = length;
    }
    g += length > 0 ? length : 1;
  }
  std::string out;
  char group[8];
  for (int g = 0; g < 8; ++g) {
    if (g == best) {
      out += "::";
      g += best_length - 1;
      continue;
    }
    if (!out.empty() && out.back() != ':') out += ':';
    std::snprintf(group, sizeof group, "%x", groups[g]);
    out += group;
  }
  return out;
}

std::string JoinCodeTypes(const std::vector<uint16_t>& codes) {
  std::string text;
  for (size_t i = 0; i < codes.size(); ++i) {
    if (i > 0) text += i + 1 == codes.size() ? " or " : ", ";
    text += std::to_string(codes[i]);
  }
  return text;
}

std::vector<DecodedCommand> DecodeCommands(const std::string& input,
                                           const std::vector<std::string>& nup_keywords) {
  std::vector<DecodedCommand> found;
  std::vector<Span> spans;
  size_t at = 0;
  while ((at = input.find('@', at)) != std::string::npos) {
    if (!StartsCommand(input, at)) {
      // "@" and up to four letters at the very end: a command cut short.
      size_t letters = 0;
      while (at + 1 + letters < input.size() && letters < 4 && IsUpper(input[at + 1 + letters]))
        ++letters;
      if (letters > 0 && at + 1 + letters == input.size() &&
          IsCommandNamePrefix(input, at + 1, letters)) {
        DecodedCommand cut;
        cut.offset = at;
        cut.text = std::string_view(input).substr(at);
        Fail(&cut, input.size(), "truncated command: no \"=\"");
        found.push_back(std::move(cut));
        spans.push_back({at, input.size()});
        break;
      }
      ++at;
      continue;
    }
    DecodedCommand command;
    command.offset = at;
    command.name = input.substr(at + 1, 4);
    const size_t body = at + 6;
    const size_t end = BodyEnd(input, body);
    command.text = std::string_view(input).substr(at, TrimBlanks(input, body, end) - at);
    if (command.name == rk::kOwnerName) {
      DecodeOwner(input, body, end, &command);
    } else if (command.name == rk::kClientNameName) {
      command.owner = input.substr(body, end - body);
      if (command.owner.empty()) Fail(&command, body, "truncated command: no name");
    } else if (command.name == rk::kHostAddressName) {
      DecodeHostAddress(input, body, end, &command);
    } else if (command.name == rk::kNupName) {
      DecodeNup(input, body, end, nup_keywords, &command);
    } else {
      command.recognized = false;
      Fail(&command, at + 1, "unknown command");
    }
    found.push_back(std::move(command));
    spans.push_back({at, end});
    at = end;
  }
  for (size_t first = 0; first < spans.size();) {
    size_t last = first;
    while (last + 1 < spans.size() && SameHeader(input, spans[last], spans[last + 1])) ++last;
    CheckHeader(input, spans, first, last, &found);
    first = last + 1;
  }
  return found;
}

std::vector<std::string> LibraryNupKeywords() {
  std::vector<std::string> keywords;
  for (uint16_t selector = 0; NupKeyword(selector) != nullptr; ++selector) {
    keywords.emplace_back(NupKeyword(selector));
  }
  return keywords;
}

}  // namespace rk
