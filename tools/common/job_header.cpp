#include "job_header.h"

#include <vector>

#include "command_facts.h"
#include "commands/host_commands.h"
#include "commands/nup.h"
#include "commands/owner_command.h"
#include "job_client.h"
#include "printer_facts.h"
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
             const std::string& separator, JobNotes* notes) {
  for (const std::string& notice : checked.notices) notes->push_back({NoteLevel::kWarning, notice});
  const Outcome& outcome = checked.outcome;
  if (!outcome.delivered) {
    if (checked.notices.empty()) {
      notes->push_back(
          {NoteLevel::kWarning,
           std::string(name) + " left out: the library answered " + StatusName(outcome.status)});
    }
    return;
  }
  if (outcome.status != RK_STATUS_OK) {
    notes->push_back(
        {NoteLevel::kInfo, std::string(name) + " sent with status " + StatusName(outcome.status)});
  }
  notes->push_back({NoteLevel::kDebug, "sending " + EscapedText(outcome.command)});
  *header += outcome.command;
  *header += separator;
}

// A job's text in the printer's code page; what the layer refused is a
// WARNING: line.
HandedText HandOver(const std::string& utf8, unsigned code_page, const char* name, const char* what,
                    const char* substitute, JobNotes* notes) {
  std::vector<std::string> notices;
  HandedText handed = HandOverJobText(utf8, code_page, name, what, substitute, &notices);
  for (const std::string& notice : notices) notes->push_back({NoteLevel::kWarning, notice});
  return handed;
}

// The selector of an N-up keyword, from the command logic's own keywords.
int SelectorOf(const std::string& keyword) {
  for (uint16_t selector = 0; rk::NupKeyword(selector) != nullptr; ++selector) {
    if (keyword == rk::NupKeyword(selector)) return selector;
  }
  return -1;
}

std::string NupKeyword(const JobSettings& s) {
  if (s.nup != "Auto" && (s.nup_from_job || s.number_up == 1)) return s.nup;
  if (s.number_up == 1) return "1";
  return "N" + std::to_string(s.number_up);
}

void AddOwner(const JobSettings& s, const std::string& user, std::string* header, JobNotes* notes) {
  const rk::OwnerSettings settings = {s.code_type, s.tag_column, s.tag_row, s.mask, nullptr};
  const HandedText owner =
      HandOver(user, s.code_page, rk::kOwnerCommand, "job's user name", rk::kUnknownUser, notes);
  Deliver(rk::kOwnerCommand, MakeOwnerCommand(settings, owner, PrinterFacts(s.code_page)), header,
          s.separator, notes);
}

void AddClientName(const JobSettings& s, const JobClient& client, std::string* header,
                   JobNotes* notes) {
  const PrinterFacts system(s.code_page);
  if (client.local) {
    Deliver(rk::kClientNameCommand, MakeClientNameCommand(s.code_type, s.mask, nullptr, system),
            header, s.separator, notes);
    return;
  }
  const HandedText name = HandOver(client.name, s.code_page, rk::kClientNameCommand, "client name",
                                   rk::kUnknownHost, notes);
  Deliver(rk::kClientNameCommand, MakeClientNameCommand(s.code_type, s.mask, &name, system), header,
          s.separator, notes);
}

// This host's own address comes from the library's export, which also
// falls back to IPv6; another machine's from the text the job came with.
void AddHostAddress(const JobSettings& s, const JobClient& client, std::string* header,
                    JobNotes* notes) {
  if (!client.local && client.address.empty()) {
    notes->push_back(
        {NoteLevel::kInfo, "@HOAD= left out: the job came from \"" + QuotedText(client.name) +
                               "\", a name, and the filter never waits on a resolver"});
    return;
  }
  const Outcome outcome = client.local
                              ? CallHostAddress(nullptr, kCapacity)
                              : OutcomeOf(rk::ComposeHostAddressFromText(client.address.c_str()));
  Deliver(rk::kHostAddressCommand, CheckCommand(rk::kHostAddressCommand, outcome), header,
          s.separator, notes);
}

void AddNup(const JobSettings& s, std::string* header, JobNotes* notes) {
  const std::string keyword = NupKeyword(s);
  const int selector = SelectorOf(keyword);
  if (selector < 0) {
    notes->push_back(
        {NoteLevel::kWarning, "@NLPP= left out: no N-up keyword \"" + QuotedText(keyword) + "\""});
    return;
  }
  const Outcome outcome = OutcomeOf(rk::ComposeNup(static_cast<uint16_t>(selector)));
  Deliver(rk::kNupCommand, CheckCommand(rk::kNupCommand, outcome), header, s.separator, notes);
}

}  // namespace

std::string ComposeJobHeader(const JobSettings& s, const std::string& user, const JobClient& client,
                             JobNotes* notes) {
  notes->push_back(
      {NoteLevel::kDebug, "client " + (client.local ? std::string("this machine")
                                                    : "\"" + QuotedText(client.name) + "\"")});
  std::string header;
  for (const std::string& command : s.commands) {
    if (command == rk::kOwnerName) AddOwner(s, user, &header, notes);
    if (command == rk::kClientNameName) AddClientName(s, client, &header, notes);
    if (command == rk::kHostAddressName) AddHostAddress(s, client, &header, notes);
    if (command == rk::kNupName) AddNup(s, &header, notes);
  }
  return header;
}
