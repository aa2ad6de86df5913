#include "report.h"

#include <cstdio>

#include "decode.h"
#include "output.h"
#include "status_names.h"
#include "untrusted_text.h"
#include "validation/code_types.h"

namespace {

using nlohmann::json;

// The owner or name a command carries, and its address part, read back
// from the command itself. Raw forms are taken as they stand, since a mask
// of 0xFFFF lets through bytes the decoder would end a command at.
struct Carried {
  std::string text;
  std::string address;  // "no address" for the blank address part
};

Carried CarriedText(const std::string& command) {
  Carried carried;
  const std::vector<DecodedCommand> found = DecodeCommands(command, {});
  if (found.empty() || !found.front().ok) return carried;
  const DecodedCommand& c = found.front();
  if (c.name == "CNAM") {
    carried.text = command.substr(6);
  } else if (c.form_mark == '@' || c.form_mark == '\0') {
    carried.text = command.substr(c.form_mark == '@' ? 7 : 6);
  } else {
    carried.text = c.owner;
    carried.address = c.address;
  }
  return carried;
}

json OutcomeJson(const Outcome& o, const std::vector<std::string>& warnings) {
  json j = {{"result", o.result},
            {"status", StatusName(o.status)},
            {"status_code", o.status},
            {"size", o.size}};
  if (o.delivered) {
    PutBytes(&j, "command", o.command);
  } else {
    j["command"] = nullptr;
    j["command_hex"] = nullptr;
  }
  j["warnings"] = warnings;
  return j;
}

std::string Shown(const std::string& bytes, const Presentation& how) {
  return how.escape ? EscapedText(bytes) : bytes;
}

}  // namespace

std::vector<std::string> NoticeChanges(const Outcome& outcome,
                                       const std::vector<std::string>* changes,
                                       uint16_t owner_code_type) {
  std::vector<std::string> warnings;
  if (!outcome.delivered) return warnings;
  if (outcome.status != RK_STATUS_OK) {
    warnings.push_back(std::string("the library delivered with status ") +
                       StatusName(outcome.status));
  }
  const std::string fault = owner_code_type != 0
                                ? FindOwnerCommandFault(owner_code_type, outcome.command)
                                : FindCommandFault(outcome.command);
  if (!fault.empty()) {
    warnings.push_back("the command holds a " + fault +
                       ", which a printer would act on (rkvtps-filter refuses such text)");
  }
  if (changes != nullptr) {
    warnings.insert(warnings.end(), changes->begin(), changes->end());
    return warnings;
  }
  // The library's own names: its substitutes show in the command it made.
  const Carried carried = CarriedText(outcome.command);
  if (carried.address == "no address") {
    warnings.push_back("this host has no usable IPv4 address: the address part is blank");
  }
  for (const auto& [substitute, what] :
       {std::pair{kOwnerSubstitute, "user"}, std::pair{kClientNameSubstitute, "computer"}}) {
    if (carried.text.find(substitute) != std::string::npos) {
      warnings.push_back(std::string("this system did not give a usable ") + what + " name: \"" +
                         substitute + "\" was sent in its place");
    }
  }
  return warnings;
}

int ReportOutcome(const Outcome& o, const std::vector<std::string>* changes,
                  const Presentation& how, uint16_t owner_code_type) {
  const std::vector<std::string> warnings = NoticeChanges(o, changes, owner_code_type);
  for (const std::string& warning : warnings) Warn(warning);
  if (!o.delivered) {
    std::string message = StatusName(o.status);
    if (o.status == RK_STATUS_BUFFER_TOO_SMALL)
      message += " (size needed: " + std::to_string(o.size) + ")";
    Complain(message);
  }
  if (how.json) {
    WriteJson(OutcomeJson(o, warnings));
  } else if (o.delivered) {
    WriteLine(Shown(o.command, how));
  }
  return o.delivered ? 0 : 1;
}

int RunShow(const Presentation& how) {
  std::vector<std::pair<std::string, Outcome>> lines;
  for (const rk::CodeType& type : rk::kCodeTypes) {
    if (!type.has_command) continue;
    OwnerRequest request;
    request.code_type = type.code;
    lines.emplace_back("job owner " + std::to_string(type.code), CallOwner(request, 128));
  }
  lines.emplace_back("client name", CallClientName(ClientNameRequest{}, 128));
  lines.emplace_back("host address", CallHostAddress(nullptr, 128));
  const std::vector<std::string> keywords = NupKeywords();
  for (uint16_t selector = 0; selector < keywords.size(); ++selector) {
    lines.emplace_back("n-up " + std::to_string(selector), CallNup(selector, 64));
  }
  if (how.json) {
    json all = json::array();
    for (const auto& [label, outcome] : lines) {
      json j = OutcomeJson(outcome, NoticeChanges(outcome, nullptr));
      j["label"] = label;
      all.push_back(j);
    }
    WriteJson(all);
    return 0;
  }
  char label_column[32];
  for (const auto& [label, outcome] : lines) {
    std::snprintf(label_column, sizeof label_column, "%-16s ", label.c_str());
    WriteLine(label_column + (outcome.delivered
                                  ? Shown(outcome.command, how)
                                  : "(" + std::string(StatusName(outcome.status)) + ")"));
  }
  return 0;
}
