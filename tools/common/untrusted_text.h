// Text from a print job (its user, its client's name, its options) comes
// from anyone who may print. The rule every command made of such text
// keeps, and what a program says when the library sent something other
// than the text it was given. The filter, the tool's warnings and any
// other program that takes text from a job share this one rule.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "calls.h"
#include "command_facts.h"
#include "commands/composition.h"
#include "commands/owner_command.h"
#include "commands/system_facts.h"

// Why `command` may not reach a printer, or empty when it may. A command is
// "@", four capital letters and "="; its body may hold no control byte
// (below 0x20, or 0x7F), since those end a command or start another
// language (ESC), and no second command start, which the printer would
// take for a command of its own.
std::string FindCommandFault(const std::string& command);

// FindCommandFault, and for an owner command of a code type that sends
// the owner without a form mark (code type 5), an owner that starts with
// one ("@", "$", "#"): the printer would read it as another code type's
// form, and "$" with base-85 digits names any owner the job likes.
std::string FindOwnerCommandFault(uint16_t code_type, const std::string& command);

// A text as the library got it: its bytes in the library's code page, and
// how many characters of the original the code page had no form for (the
// conversion sends those as '?').
struct HandedText {
  std::string bytes;
  size_t unmapped = 0;
};

// What a composition did with `handed`, which went into command `name` as
// its `what`, one sentence each: a refused text and its substitute, a cut,
// characters sent as '?'. Quoted text is escaped, so no sentence can break a
// line. Empty when the text went out as given.
std::vector<std::string> DescribeCarriedText(const char* name, const char* what,
                                             const HandedText& handed,
                                             const rk::TextReport& report);

// The same for the tool, which calls the exports: what the library did with
// the text of a delivered command, as the command logic reports it for the
// library's own code page.
std::vector<std::string> DescribeOwnerChanges(const OwnerRequest& request, const HandedText& handed,
                                              const Outcome& outcome);
std::vector<std::string> DescribeClientNameChanges(const ClientNameRequest& request,
                                                   const HandedText& handed,
                                                   const Outcome& outcome);

// A print job's UTF-8 text (a user, a client's name) in `code_page`, the
// printer's, converted once. Text that is empty, holds a NUL (a command
// would carry only what comes before it) or is not UTF-8 is refused there
// and then, and `substitute` goes in its place, with `notices` saying so,
// each naming `command`.
HandedText HandOverJobText(const std::string& utf8, unsigned code_page, const char* command,
                           const char* what, const char* substitute,
                           std::vector<std::string>* notices);

// A command made from untrusted text, checked against the rule: the
// composed one when it keeps it, else the substitute's, else none
// (outcome.delivered false). `notices` says what was sent in place of
// what, each sentence naming the command.
struct CheckedCommand {
  Outcome outcome;
  std::vector<std::string> notices;
};

// A composition as the programs pass it on.
Outcome OutcomeOf(const rk::Composition& composition);

CheckedCommand MakeOwnerCommand(const rk::OwnerSettings& settings, const HandedText& owner,
                                const rk::SystemFacts& system);
// `name` null: the computer's own name, which comes from no job.
CheckedCommand MakeClientNameCommand(uint16_t code_type, uint16_t mask, const HandedText* name,
                                     const rk::SystemFacts& system);
// For commands that carry no caller text (an address, an N-up keyword):
// left out when they break the rule.
CheckedCommand CheckCommand(const char* name, const Outcome& outcome);
