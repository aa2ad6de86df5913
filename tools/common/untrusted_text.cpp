#include "untrusted_text.h"

#include "command_facts.h"
#include "commands/host_commands.h"
#include "rkvtps32.h"
#include "text_conversion.h"
#include "text_forms.h"

namespace {

using rk::StartsCommand;

std::string Quoted(const std::string& bytes) { return "\"" + QuotedText(bytes) + "\""; }

// The sentence for a text refused or stood in for, by the report's reason.
std::string ReasonOf(rk::TextReason why) {
  switch (why) {
    case rk::TextReason::kBadCharacter:
      return "a character outside the charset mask, or nothing but blanks";
    case rk::TextReason::kTooLong:
      return "longer than the command carries";
    case rk::TextReason::kUnreadable:
      return "it could not be read";
    case rk::TextReason::kNoAddress:
      return "no IPv4 address was found";
    case rk::TextReason::kNone:
      break;
  }
  return "no reason given";
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

std::vector<std::string> DescribeCarriedText(const char* name, const char* what,
                                             const HandedText& handed,
                                             const rk::TextReport& report) {
  std::vector<std::string> notices;
  const std::string head = std::string(name) + ": the " + what + " " + Quoted(handed.bytes);
  if (report.fate == rk::TextFate::kSubstituted) {
    notices.push_back(head + " was refused (" + ReasonOf(report.why) +
                      "): " + Quoted(report.substitute) + " was sent in its place");
    return notices;
  }
  if (report.fate == rk::TextFate::kCut) {
    notices.push_back(head +
                      " was cut to the code type's limit: " + std::to_string(report.carried) +
                      " of its " + std::to_string(handed.bytes.size()) + " bytes were sent");
  }
  if (handed.unmapped > 0 && report.fate != rk::TextFate::kRefused) {
    // A cut may have dropped them: only a whole text sends every one.
    notices.push_back(
        std::string(name) + ": " + std::to_string(handed.unmapped) + " character(s) of the " +
        what + " have no form in the code page and " +
        (report.fate == rk::TextFate::kCut ? "became \"?\" before the cut" : "were sent as \"?\""));
  }
  return notices;
}

std::vector<std::string> DescribeOwnerChanges(const OwnerRequest& request, const HandedText& handed,
                                              const Outcome& outcome) {
  if (!outcome.delivered || !request.owner.given) return {};
  rk::GivenSystemFacts system;
  system.code_page = LibraryAnsiCodePage();
  const rk::OwnerSettings settings = {request.code_type, request.tag_column, request.tag_row,
                                      request.mask,
                                      request.has_address ? request.address.c_str() : nullptr};
  const rk::OwnerComposition composed =
      rk::ComposeOwnerFromText(settings, handed.bytes.c_str(), system);
  return DescribeCarriedText(rk::kOwnerCommand, "owner", handed, composed.owner);
}

std::vector<std::string> DescribeClientNameChanges(const ClientNameRequest& request,
                                                   const HandedText& handed,
                                                   const Outcome& outcome) {
  if (!outcome.delivered || !request.name.given) return {};
  rk::GivenSystemFacts system;
  system.code_page = LibraryAnsiCodePage();
  const rk::ClientNameComposition composed =
      rk::ComposeClientName(request.code_type, handed.bytes.c_str(), request.mask, system);
  return DescribeCarriedText(rk::kClientNameCommand, "client name", handed, composed.name);
}

HandedText HandOverJobText(const std::string& utf8, unsigned code_page, const char* command,
                           const char* what, const char* substitute,
                           std::vector<std::string>* notices) {
  const std::string head = std::string(command) + ": the " + what + " " + Quoted(utf8);
  std::string message;
  PreparedText prepared;
  if (utf8.empty() || utf8.find('\0') != std::string::npos) {
    notices->push_back(head + " is empty or holds a NUL byte");
  } else if (!PrepareText(utf8, TextMode::kAnsi, code_page, head, &prepared, &message)) {
    notices->push_back(message);
  } else {
    return HandedText{prepared.sent, prepared.unmapped};
  }
  notices->push_back(std::string(command) + ": " + Quoted(substitute) + " was sent in its place");
  return HandedText{substitute, 0};
}

Outcome OutcomeOf(const rk::Composition& composition) {
  Outcome outcome;
  outcome.status = composition.status;
  outcome.delivered = composition.composed;
  if (composition.composed) {
    outcome.result = composition.length;
    outcome.size = composition.length;
    outcome.command.assign(composition.command, composition.length);
  }
  return outcome;
}

CheckedCommand MakeOwnerCommand(const rk::OwnerSettings& settings, const HandedText& owner,
                                const rk::SystemFacts& system) {
  const rk::OwnerComposition composed =
      rk::ComposeOwnerFromText(settings, owner.bytes.c_str(), system);
  CheckedCommand checked{OutcomeOf(composed), {}};
  if (checked.outcome.delivered) {
    checked.notices = DescribeCarriedText(rk::kOwnerCommand, "owner", owner, composed.owner);
  }
  const auto find_fault = [&](const std::string& command) {
    return FindOwnerCommandFault(settings.code_type, command);
  };
  return ApplyRule(rk::kOwnerCommand, "owner", owner, rk::kUnknownUser, checked, find_fault, [&] {
    return OutcomeOf(rk::ComposeOwnerFromText(settings, rk::kUnknownUser, system));
  });
}

CheckedCommand MakeClientNameCommand(uint16_t code_type, uint16_t mask, const HandedText* name,
                                     const rk::SystemFacts& system) {
  if (name == nullptr) {
    return CheckCommand(rk::kClientNameCommand,
                        OutcomeOf(rk::ComposeComputerName(code_type, mask, system)));
  }
  const rk::ClientNameComposition composed =
      rk::ComposeClientName(code_type, name->bytes.c_str(), mask, system);
  CheckedCommand checked{OutcomeOf(composed), {}};
  if (checked.outcome.delivered) {
    checked.notices =
        DescribeCarriedText(rk::kClientNameCommand, "client name", *name, composed.name);
  }
  return ApplyRule(
      rk::kClientNameCommand, "client name", *name, rk::kUnknownHost, checked, FindCommandFault,
      [&] { return OutcomeOf(rk::ComposeClientName(code_type, rk::kUnknownHost, mask, system)); });
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
