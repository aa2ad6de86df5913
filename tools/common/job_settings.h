// What a program puts in front of a print job: read from a queue's or a
// printer's settings and the job's own options, by one set of rules for the
// filter and the printer application alike.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "command_facts.h"

struct JobSettings {
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

// The code pages a job's settings may name: the ANSI code pages Windows
// gives a system, each a printer may read its user names in.
inline constexpr unsigned kJobCodePages[] = {874,  932,  936,  949,  950,  1250, 1251,
                                             1252, 1253, 1254, 1255, 1256, 1257, 1258};

// How much a note about a job matters: a warning is what the job's user
// should see (text left out or replaced), the rest is for the log.
enum class NoteLevel { kWarning, kInfo, kDebug };

// The level as cupsd reads it at the start of a filter's log line.
constexpr const char* LevelWord(NoteLevel level) {
  return level == NoteLevel::kWarning ? "WARNING" : level == NoteLevel::kInfo ? "INFO" : "DEBUG";
}

// A note about a job for the program's log. Whatever a note quotes from a
// job is escaped by its maker, so each stays one line.
struct JobNote {
  NoteLevel level;
  std::string text;
};
using JobNotes = std::vector<JobNote>;

// Each setting by its name, and the name a printer application stores it
// under (IPP vendor attributes are lower case).
struct SettingName {
  const char* name;
  const char* attribute;
};
inline constexpr SettingName kSettingNames[] = {
    {"RKOwnerCodeType", "rkvtps-owner-code-type"},
    {"RKTagColumn", "rkvtps-tag-column"},
    {"RKTagRow", "rkvtps-tag-row"},
    {"RKCharsetMask", "rkvtps-charset-mask"},
    {"RKCodePage", "rkvtps-code-page"},
    {"RKClient", "rkvtps-client"},
    {"RKCommands", "rkvtps-commands"},
    {"RKSeparator", "rkvtps-separator"},
    {"RKNup", "rkvtps-nup"},
};

// Where the values come from: the job's own (nullptr when it gives none),
// and the queue's or printer's default (nullptr when there is none; a
// default that is unusable is noted and not given).
class SettingSource {
 public:
  virtual ~SettingSource() = default;
  virtual const char* Job(const char* name) const = 0;
  virtual const char* Default(const char* name, JobNotes* notes) const = 0;
};

// Each setting from the job, else the default, else the built-in one. A
// value that makes no sense is noted as a WARNING and the built-in one
// used.
JobSettings ReadJobSettings(const SettingSource& source, JobNotes* notes);

// "JOAU-CNAM-HOAD-NLPP": each name once, in the order given; "None".
bool ParseCommands(const std::string& text, std::vector<std::string>* commands);
