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

// What the caller gave for the command's text, to compare with what the
// library sent.
struct GivenText {
  bool given = false;                      // false: the library found it itself (user, host)
  std::string bytes;                       // what the library was handed, in its code page
  const char* substitute = "UnknownUser";  // what it sends for a text it refuses
};

// The warnings the delivered command calls for.
std::vector<std::string> NoticeChanges(const Outcome& outcome, const GivenText& given);

// Prints the outcome; 0 for a delivered command, 1 for a refusal.
int ReportOutcome(const Outcome& outcome, const GivenText& given, const Presentation& how);

// Every command this host gives. One it cannot give is shown with its
// status: a fact about the host, not a failure.
int RunShow(const Presentation& how);
