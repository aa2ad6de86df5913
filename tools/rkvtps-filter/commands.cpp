#include "commands.h"

#include <vector>

#include "command_facts.h"
#include "job_client.h"
#include "rkvtps32.h"
#include "status_names.h"
#include "text_forms.h"
#include "untrusted_text.h"

namespace {

// Room for every command the library makes.
constexpr uint16_t kCapacity = 256;

// Adds a delivered command and its separator to the header; a refused one
// is left out with the library's status. What was sent in place of the
// job's text is a WARNING: the owner or client the printer sees differs
// from the job's.
void Deliver(const char* name, const CheckedCommand& checked, std::string* header,
             const std::string& separator, FilterLog* log) {
  for (const std::string& notice : checked.notices) AddLogLine(log, "WARNING", notice);
  const Outcome& outcome = checked.outcome;
  if (!outcome.delivered) {
    if (checked.notices.empty()) {
      AddLogLine(
          log, "WARNING",
          std::string(name) + " left out: the library answered " + StatusName(outcome.status));
    }
    return;
  }
  if (outcome.status != RK_STATUS_OK) {
    AddLogLine(log, "INFO", std::string(name) + " sent with status " + StatusName(outcome.status));
  }
  AddLogLine(log, "DEBUG", "sending " + EscapedText(outcome.command));
  *header += outcome.command;
  *header += separator;
}

// The layer's notices about a job's text, as WARNING: lines.
void HandOver(const std::string& utf8, const char* name, const char* what, const char* substitute,
              CallerText* text, HandedText* handed, FilterLog* log) {
  std::vector<std::string> notices;
  HandOverJobText(utf8, name, what, substitute, text, handed, &notices);
  for (const std::string& notice : notices) AddLogLine(log, "WARNING", notice);
}

// The selector of an N-up keyword, from the library's own keywords.
int SelectorOf(const std::string& keyword) {
  const std::vector<std::string> keywords = NupKeywords();
  for (size_t selector = 0; selector < keywords.size(); ++selector) {
    if (keywords[selector] == keyword) return static_cast<int>(selector);
  }
  return -1;
}

std::string NupKeyword(const FilterSettings& s) {
  if (s.nup != "Auto" && (s.nup_from_job || s.number_up == 1)) return s.nup;
  if (s.number_up == 1) return "1";
  return "N" + std::to_string(s.number_up);
}

void AddOwner(const FilterSettings& s, const std::string& user, std::string* header,
              FilterLog* log) {
  OwnerRequest request;
  request.code_type = s.code_type;
  request.tag_column = s.tag_column;
  request.tag_row = s.tag_row;
  request.mask = s.mask;
  HandedText handed;
  HandOver(user, rk::kOwnerCommand, "job's user name", rk::kUnknownUser, &request.owner, &handed,
           log);
  Deliver(rk::kOwnerCommand, MakeOwnerCommand(request, handed, kCapacity), header, s.separator,
          log);
}

void AddClientName(const FilterSettings& s, const JobClient& client, std::string* header,
                   FilterLog* log) {
  ClientNameRequest request;
  request.code_type = s.code_type;
  request.mask = s.mask;
  HandedText handed;
  if (!client.local) {
    HandOver(client.name, rk::kClientNameCommand, "client name", rk::kUnknownHost, &request.name,
             &handed, log);
  }
  Deliver(rk::kClientNameCommand, MakeClientNameCommand(request, handed, kCapacity), header,
          s.separator, log);
}

void AddHostAddress(const FilterSettings& s, const JobClient& client, std::string* header,
                    FilterLog* log) {
  if (!client.local && client.address.empty()) {
    AddLogLine(log, "INFO",
               "@HOAD= left out: the job came from \"" + QuotedText(client.name) +
                   "\", a name, and the filter never waits on a resolver");
    return;
  }
  const Outcome outcome = CallHostAddress(client.local ? nullptr : &client.address, kCapacity);
  Deliver(rk::kHostAddressCommand, CheckCommand(rk::kHostAddressCommand, outcome), header,
          s.separator, log);
}

void AddNup(const FilterSettings& s, std::string* header, FilterLog* log) {
  const std::string keyword = NupKeyword(s);
  const int selector = SelectorOf(keyword);
  if (selector < 0) {
    AddLogLine(log, "WARNING", "@NLPP= left out: no N-up keyword \"" + QuotedText(keyword) + "\"");
    return;
  }
  const Outcome outcome = CallNup(static_cast<uint16_t>(selector), kCapacity);
  Deliver(rk::kNupCommand, CheckCommand(rk::kNupCommand, outcome), header, s.separator, log);
}

}  // namespace

std::string ComposeHeader(const FilterSettings& s, const std::string& user, FilterLog* log) {
  JobClient client;
  client.local = true;
  if (s.client_from_job) client = IdentifyJobClient(s.originating_host);
  AddLogLine(log, "DEBUG",
             "client " + (client.local ? std::string("this machine")
                                       : "\"" + QuotedText(client.name) + "\""));
  std::string header;
  for (const std::string& command : s.commands) {
    if (command == rk::kOwnerName) AddOwner(s, user, &header, log);
    if (command == rk::kClientNameName) AddClientName(s, client, &header, log);
    if (command == rk::kHostAddressName) AddHostAddress(s, client, &header, log);
    if (command == rk::kNupName) AddNup(s, &header, log);
  }
  return header;
}
