// What the filter sends, from the job's options and the queue's PPD.
#pragma once

#include <cups/cups.h>
#include <cups/ppd.h>

#include <cstdint>
#include <string>
#include <vector>

#include "command_facts.h"
#include "filter_log.h"

struct FilterSettings {
  uint16_t code_type = 1;
  uint16_t tag_column = 1;
  uint16_t tag_row = 5;
  uint16_t mask = 0;
  unsigned code_page = 1252;
  std::string nup = "Auto";   // a keyword, or "Auto": from number-up
  bool nup_from_job = false;  // the job itself named the keyword
  unsigned number_up = 1;
  bool client_from_job = true;   // RKClient=job
  std::string originating_host;  // job-originating-host-name
  std::vector<std::string> commands{std::begin(rk::kCommandNames), std::end(rk::kCommandNames)};
  std::string separator = "\n";
};

// Each setting from the job's options, else the PPD's default, else the
// built-in one. A value that makes no sense is reported with a WARNING:
// line and the default is used.
FilterSettings ReadSettings(int option_count, cups_option_t* options, ppd_file_t* ppd,
                            FilterLog* log);
