// What the command logic asks the system, answered for one printer: the
// code page is the printer's, set by its admin, not the process's; this
// host's name and IPv4 address are the ones the library's exports would
// find, asked only when a command needs them.
#pragma once

#include "commands/system_facts.h"

struct PrinterFacts : rk::SystemFacts {
  explicit PrinterFacts(unsigned printer_code_page);

  unsigned code_page;
};
