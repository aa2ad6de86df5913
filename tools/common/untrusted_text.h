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

// What a delivered command did with the text it was handed, worked out
// from the library's size word and its validation, one sentence each: a
// refused text and its substitute, a cut, characters sent as '?'. Quoted
// text is escaped, so no sentence can break a line. Empty when the text
// went out as given.
std::vector<std::string> DescribeOwnerChanges(const OwnerRequest& request, const HandedText& handed,
                                              const Outcome& outcome);
std::vector<std::string> DescribeClientNameChanges(const ClientNameRequest& request,
                                                   const HandedText& handed,
                                                   const Outcome& outcome);

// A print job's UTF-8 text (a user, a client's name) on its way to a W
// export: `text` for the call and `handed`, what the library will work
// with in `code_page`, the printer's. Text that is empty, holds a NUL (the
// library would read only what comes before it) or is not UTF-8 is refused
// there and then, and `substitute` goes in its place, with `notices` saying
// so, each naming `command`.
void HandOverJobText(const std::string& utf8, unsigned code_page, const char* command,
                     const char* what, const char* substitute, CallerText* text, HandedText* handed,
                     std::vector<std::string>* notices);

// A command made from untrusted text, checked against the rule: the
// library's own when it keeps it, else the substitute's, else none
// (outcome.delivered false). `notices` says what was sent in place of
// what, each sentence naming the command.
struct CheckedCommand {
  Outcome outcome;
  std::vector<std::string> notices;
};

CheckedCommand MakeOwnerCommand(const OwnerRequest& request, const HandedText& handed,
                                uint16_t capacity);
CheckedCommand MakeClientNameCommand(const ClientNameRequest& request, const HandedText& handed,
                                     uint16_t capacity);
// For commands that carry no caller text (an address, an N-up keyword):
// left out when they break the rule.
CheckedCommand CheckCommand(const char* name, const Outcome& outcome);
