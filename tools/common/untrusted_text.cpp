#include "untrusted_text.h"

#include "command_facts.h"
#include "rkvtps32.h"
#include "text_conversion.h"
#include "text_forms.h"

namespace {

using rk::StartsCommand;

std::string Quoted(const std::string& bytes) { return "\"" + QuotedText(bytes) + "\""; }

// The owner bytes a delivered owner command carries, read from its length
// alone: base 85 writes five digits for four bytes and k + 1 digits for a
// last group of k.
size_t CarriedOwnerBytes(const OwnerRequest& r, const rk::CodeType& type, size_t length) {
  size_t body = length - rk::kCommandStartLength;
  if (type.form_mark != '\0') --body;
  if (type.tagged) --body;
  size_t bytes = type.encoded ? 4 * (body / 5) + (body % 5 > 0 ? body % 5 - 1 : 0) : body;
  if (type.address_part) {
    const size_t address = r.has_address ? r.address.size() : rk::kAddressPartLength;
    bytes = bytes > address ? bytes - address : 0;
  }
  return bytes;
}

// What happened to `handed`, of which `carried` bytes went out, on its way
// into command `name`. The library tests the characters, then cuts a text
// longer than the code type's limit; it refuses a text with a character
// outside the mask, or one of blanks alone, and sends `substitute`.
std::vector<std::string> DescribeChanges(const char* name, const char* what, uint16_t code_type,
                                         uint16_t mask, const HandedText& handed, size_t carried,
                                         const char* substitute) {
  std::vector<std::string> notices;
  const rk::CodeType* type = rk::FindCodeType(code_type);
  const std::string head = std::string(name) + ": the " + what + " " + Quoted(handed.bytes);
  if (type != nullptr && mask != RK_CHARSET_NO_CHECK) {
    const size_t limit = type->byte_limit;
    // Past the limit the library judges only what it keeps, and a cut
    // keeps the limit, or one byte less where it would split a
    // double-byte character; the substitute is shorter than any limit.
    const bool refused = handed.bytes.size() <= limit
                             ? !CallValidate(code_type, mask, nullptr, handed.bytes).valid
                             : carried + 1 < limit;
    if (refused) {
      notices.push_back(head + " was refused (a character outside the charset mask, or nothing " +
                        "but blanks): " + Quoted(substitute) + " was sent in its place");
      return notices;
    }
    if (carried < handed.bytes.size()) {
      notices.push_back(head + " was cut to the code type's limit: " + std::to_string(carried) +
                        " of its " + std::to_string(handed.bytes.size()) + " bytes were sent");
    }
  }
  if (handed.unmapped > 0) {
    notices.push_back(std::string(name) + ": " + std::to_string(handed.unmapped) +
                      " character(s) of the " + what +
                      " have no form in the code page and were sent as \"?\"");
  }
  return notices;
}

// The rule applied to a delivered command: kept, or replaced by what
// `substitute` makes (which is checked in turn), or left out.
template <typename FindFault, typename Substitute>
CheckedCommand ApplyRule(const char* name, const char* what, const HandedText& handed,
                         const char* substitute_text, CheckedCommand checked, FindFault find_fault,
                         Substitute make_substitute) {
  if (!checked.outcome.delivered) return checked;
  const std::string fault = find_fault(checked.outcome.command);
  if (fault.empty()) return checked;
  checked.notices.assign(1, std::string(name) + ": the " + what + " " + Quoted(handed.bytes) +
                                " would make a command with a " + fault + ": " +
                                Quoted(substitute_text) + " was sent in its place");
  checked.outcome = make_substitute();
  const std::string second = find_fault(checked.outcome.command);
  if (checked.outcome.delivered && !second.empty()) {
    checked.notices.push_back(std::string(name) + " left out: the substitute too would make a " +
                              "command with a " + second);
    checked.outcome.delivered = false;
    checked.outcome.command.clear();
  }
  return checked;
}

}  // namespace

std::string FindCommandFault(const std::string& command) {
  if (!StartsCommand(command, 0)) return "start other than \"@\", four capital letters and \"=\"";
  for (size_t at = rk::kCommandStartLength; at < command.size(); ++at) {
    const unsigned char byte = static_cast<unsigned char>(command[at]);
    if (byte < 0x20 || byte == 0x7F) {
      return "control byte " + EscapedText(std::string(1, static_cast<char>(byte))) + " at byte " +
             std::to_string(at);
    }
    if (StartsCommand(command, at)) {
      return "second command start \"" + command.substr(at, rk::kCommandStartLength) +
             "\" at byte " + std::to_string(at);
    }
  }
  return "";
}

std::string FindOwnerCommandFault(uint16_t code_type, const std::string& command) {
  std::string fault = FindCommandFault(command);
  const rk::CodeType* type = rk::FindCodeType(code_type);
  if (fault.empty() && type != nullptr && type->form_mark == '\0' &&
      command.size() > rk::kCommandStartLength) {
    const char first = command[rk::kCommandStartLength];
    for (const rk::CodeType& other : rk::kCodeTypes) {
      if (other.form_mark != '\0' && other.form_mark == first) {
        fault = std::string("form mark \"") + first + "\" at byte " +
                std::to_string(rk::kCommandStartLength) + " of code type " +
                std::to_string(other.code) + "'s form";
        break;
      }
    }
  }
  return fault;
}

void HandOverJobText(const std::string& utf8, unsigned code_page, const char* command,
                     const char* what, const char* substitute, CallerText* text, HandedText* handed,
                     std::vector<std::string>* notices) {
  const std::string head = std::string(command) + ": the " + what + " " + Quoted(utf8);
  std::string message;
  PreparedText prepared;
  if (utf8.empty() || utf8.find('\0') != std::string::npos) {
    notices->push_back(head + " is empty or holds a NUL byte");
  } else if (!PrepareText(utf8, TextMode::kWide, code_page, head, &prepared, &message)) {
    notices->push_back(message);
  } else {
    *text = CallerText{true, true, "", prepared.wide};
    *handed = HandedText{prepared.sent, prepared.unmapped};
    return;
  }
  notices->push_back(std::string(command) + ": " + Quoted(substitute) + " was sent in its place");
  *text = CallerText{true, false, substitute, {}};
  *handed = HandedText{substitute, 0};
}

std::vector<std::string> DescribeOwnerChanges(const OwnerRequest& request, const HandedText& handed,
                                              const Outcome& outcome) {
  const rk::CodeType* type = rk::FindCodeType(request.code_type);
  if (!outcome.delivered || type == nullptr || !request.owner.given) return {};
  return DescribeChanges(rk::kOwnerCommand, "owner", request.code_type, request.mask, handed,
                         CarriedOwnerBytes(request, *type, outcome.command.size()),
                         rk::kUnknownUser);
}

std::vector<std::string> DescribeClientNameChanges(const ClientNameRequest& request,
                                                   const HandedText& handed,
                                                   const Outcome& outcome) {
  if (!outcome.delivered || !request.name.given) return {};
  return DescribeChanges(rk::kClientNameCommand, "client name", request.code_type, request.mask,
                         handed, outcome.command.size() - rk::kCommandStartLength,
                         rk::kUnknownHost);
}

CheckedCommand MakeOwnerCommand(const OwnerRequest& request, const HandedText& handed,
                                uint16_t capacity) {
  CheckedCommand checked;
  checked.outcome = CallOwner(request, capacity);
  checked.notices = DescribeOwnerChanges(request, handed, checked.outcome);
  const auto find_fault = [&](const std::string& command) {
    return FindOwnerCommandFault(request.code_type, command);
  };
  return ApplyRule(rk::kOwnerCommand, "owner", handed, rk::kUnknownUser, checked, find_fault, [&] {
    OwnerRequest substitute = request;
    substitute.owner = CallerText{true, false, rk::kUnknownUser, {}};
    return CallOwner(substitute, capacity);
  });
}

CheckedCommand MakeClientNameCommand(const ClientNameRequest& request, const HandedText& handed,
                                     uint16_t capacity) {
  CheckedCommand checked;
  checked.outcome = CallClientName(request, capacity);
  checked.notices = DescribeClientNameChanges(request, handed, checked.outcome);
  return ApplyRule(rk::kClientNameCommand, "client name", handed, rk::kUnknownHost, checked,
                   FindCommandFault, [&] {
                     ClientNameRequest substitute = request;
                     substitute.name = CallerText{true, false, rk::kUnknownHost, {}};
                     return CallClientName(substitute, capacity);
                   });
}

CheckedCommand CheckCommand(const char* name, const Outcome& outcome) {
  CheckedCommand checked{outcome, {}};
  if (!outcome.delivered) return checked;
  const std::string fault = FindCommandFault(outcome.command);
  if (fault.empty()) return checked;
  checked.notices.push_back(std::string(name) + " left out: it would hold a " + fault);
  checked.outcome.delivered = false;
  checked.outcome.command.clear();
  return checked;
}
