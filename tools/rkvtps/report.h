// What the tool says about one export call: the command, its status, and a
// warning where the library changed the text it was given.
#pragma once

#include <string>
#include <vector>

#include "calls.h"

struct Presentation {
  bool json = false;
  bool escape = false;  // text output: \xNN in place of bytes a terminal may not show
};

// The warnings the delivered command calls for: its status, and the rule
// for text from print jobs (a control byte or a second command start in
// it). `changes`, where the caller gave the command's text, says what the
// library did with it (from the client layer); null where the library
// found the text itself (user, computer name, address). An owner command
// names its code type, whose form the rule also checks.
std::vector<std::string> NoticeChanges(const Outcome& outcome,
                                       const std::vector<std::string>* changes,
                                       uint16_t owner_code_type = 0);

// Prints the outcome; 0 for a delivered command, 1 for a refusal.
int ReportOutcome(const Outcome& outcome, const std::vector<std::string>* changes,
                  const Presentation& how, uint16_t owner_code_type = 0);

// Every command this host gives. One it cannot give is shown with its
// status: a fact about the host, not a failure.
int RunShow(const Presentation& how);
