#include "report.h"

#include <cstdio>

#include "command_facts.h"
#include "output.h"
#include "status_names.h"
#include "untrusted_text.h"

namespace {

using nlohmann::json;

// Whether this host has an IPv4 address the library finds: without one,
// code type 4 sends a blank address part.
bool HasIPv4Address() {
  const Outcome address = CallHostAddress(nullptr, 64);
  return address.delivered && address.command.size() > rk::kCommandStartLength &&
         address.command[rk::kCommandStartLength] == rk::kIPv4Form;
}

// What the library found itself (user, computer name, address) and could
// not use, as far as the command shows it without reading it back: a
// substitute stands as it is in the raw forms.
void NoticeSystemNames(const Outcome& outcome, uint16_t owner_code_type,
                       std::vector<std::string>* warnings) {
  const std::string body = outcome.command.substr(rk::kCommandStartLength);
  const rk::CodeType* type = rk::FindCodeType(owner_code_type);
  const bool raw = type == nullptr || !type->encoded;
  for (const auto& [substitute, what] :
       {std::pair{rk::kUnknownUser, "user"}, std::pair{rk::kUnknownHost, "computer"}}) {
    if (raw && body.find(substitute) != std::string::npos) {
      warnings->push_back(std::string("this system did not give a usable ") + what + " name: \"" +
                          substitute + "\" was sent in its place");
    }
  }
  if (type != nullptr && type->failed_discovery == rk::FailedDiscovery::kBlanks &&
      !HasIPv4Address()) {
    warnings->push_back("this host has no usable IPv4 address: the address part is blank");
  }
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
  NoticeSystemNames(outcome, owner_code_type, &warnings);
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
  struct Line {
    std::string label;
    Outcome outcome;
    uint16_t owner_code_type;  // 0: not an owner command
  };
  std::vector<Line> lines;
  for (const rk::CodeType& type : rk::kCodeTypes) {
    if (!type.has_command) continue;
    OwnerRequest request;
    request.code_type = type.code;
    lines.push_back({"job owner " + std::to_string(type.code), CallOwner(request, 128), type.code});
  }
  lines.push_back({"client name", CallClientName(ClientNameRequest{}, 128), 0});
  lines.push_back({"host address", CallHostAddress(nullptr, 128), 0});
  const std::vector<std::string> keywords = NupKeywords();
  for (uint16_t selector = 0; selector < keywords.size(); ++selector) {
    lines.push_back({"n-up " + std::to_string(selector), CallNup(selector, 64), 0});
  }
  if (how.json) {
    json all = json::array();
    for (const Line& line : lines) {
      json j =
          OutcomeJson(line.outcome, NoticeChanges(line.outcome, nullptr, line.owner_code_type));
      j["label"] = line.label;
      all.push_back(j);
    }
    WriteJson(all);
    return 0;
  }
  char label_column[32];
  for (const Line& line : lines) {
    std::snprintf(label_column, sizeof label_column, "%-16s ", line.label.c_str());
    WriteLine(label_column + (line.outcome.delivered
                                  ? Shown(line.outcome.command, how)
                                  : "(" + std::string(StatusName(line.outcome.status)) + ")"));
  }
  return 0;
}
