#include "job_settings.h"

#include <algorithm>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "command_facts.h"
#include "text_forms.h"

namespace {

// A setting's value: the job's, else the default.
struct Source {
  const SettingSource& values;
  JobNotes* notes;

  const char* Job(const char* name) const { return values.Job(name); }
  const char* Value(const char* name) const {
    if (const char* value = values.Job(name)) return value;
    return values.Default(name, notes);
  }
};

// Values come from the job, which anyone who may print writes: escaped,
// so that no value can start a line of its own in cupsd's reading.
void Warn(const Source& source, const char* name, const char* value, const std::string& kept) {
  source.notes->push_back({NoteLevel::kWarning, std::string(name) + "=" + QuotedText(value) +
                                                    " is not a value it takes; using " +
                                                    QuotedText(kept)});
}

// Decimal, or hexadecimal with 0x, within [low, high].
bool ParseNumber(const char* text, unsigned long low, unsigned long high, unsigned long* number) {
  if (text == nullptr || *text == '\0') return false;
  char* end = nullptr;
  *number = std::strtoul(text, &end, 0);
  return *end == '\0' && text[0] != '-' && *number >= low && *number <= high;
}

// The numeric settings: name, field, and the values each takes.
struct NumberSetting {
  const char* name;
  uint16_t JobSettings::*field;
  unsigned long high;
};

constexpr NumberSetting kNumberSettings[] = {
    {"RKTagColumn", &JobSettings::tag_column, 0xFFFF},
    {"RKTagRow", &JobSettings::tag_row, 0xFFFF},
    {"RKCharsetMask", &JobSettings::mask, 0xFFFF},
};

void ReadCodeType(const Source& source, JobSettings* settings) {
  const char* value = source.Value("RKOwnerCodeType");
  if (value == nullptr) return;
  unsigned long number = 0;
  const rk::CodeType* type = ParseNumber(value, 0, 0xFFFF, &number)
                                 ? rk::FindCodeType(static_cast<uint16_t>(number))
                                 : nullptr;
  if (type == nullptr || !type->has_command) {
    Warn(source, "RKOwnerCodeType", value, std::to_string(settings->code_type));
    return;
  }
  settings->code_type = type->code;
}

void ReadCodePage(const Source& source, JobSettings* settings) {
  const char* value = source.Value("RKCodePage");
  if (value == nullptr) return;
  // Written as the list writes it: a code page has one name.
  for (const unsigned code_page : kJobCodePages) {
    if (std::to_string(code_page) == value) {
      settings->code_page = code_page;
      return;
    }
  }
  Warn(source, "RKCodePage", value, std::to_string(settings->code_page));
}

void ReadChoices(const Source& source, JobSettings* settings) {
  if (const char* value = source.Value("RKClient")) {
    if (std::strcmp(value, "job") == 0 || std::strcmp(value, "local") == 0) {
      settings->client_from_job = std::strcmp(value, "job") == 0;
    } else {
      Warn(source, "RKClient", value, "job");
    }
  }
  if (const char* value = source.Value("RKCommands")) {
    std::vector<std::string> commands;
    if (ParseCommands(value, &commands)) {
      settings->commands = commands;
    } else {
      Warn(source, "RKCommands", value, "JOAU-CNAM-HOAD-NLPP");
    }
  }
  if (const char* value = source.Value("RKSeparator")) {
    if (std::strcmp(value, "LF") == 0) {
      settings->separator = "\n";
    } else if (std::strcmp(value, "CRLF") == 0) {
      settings->separator = "\r\n";
    } else if (std::strcmp(value, "None") == 0) {
      settings->separator.clear();
    } else {
      Warn(source, "RKSeparator", value, "LF");
    }
  }
}

void ReadLayout(const Source& source, JobSettings* settings) {
  if (const char* value = source.Value("RKNup")) settings->nup = value;
  const char* job = source.Job("RKNup");
  settings->nup_from_job = job != nullptr && std::strcmp(job, "Auto") != 0;
  if (const char* value = source.Job("number-up")) {
    unsigned long number = 0;
    if (ParseNumber(value, 1, 0xFFFF, &number)) {
      settings->number_up = static_cast<unsigned>(number);
    } else {
      Warn(source, "number-up", value, "1");
    }
  }
}

}  // namespace

JobSettings ReadJobSettings(const SettingSource& values, JobNotes* notes) {
  const Source source{values, notes};
  JobSettings settings;
  ReadCodeType(source, &settings);
  for (const NumberSetting& setting : kNumberSettings) {
    const char* value = source.Value(setting.name);
    if (value == nullptr) continue;
    unsigned long number = 0;
    if (ParseNumber(value, 0, setting.high, &number)) {
      settings.*setting.field = static_cast<uint16_t>(number);
    } else {
      Warn(source, setting.name, value, std::to_string(settings.*setting.field));
    }
  }
  ReadCodePage(source, &settings);
  ReadChoices(source, &settings);
  ReadLayout(source, &settings);
  if (const char* host = source.Job("job-originating-host-name")) settings.originating_host = host;
  return settings;
}

// "JOAU-CNAM-HOAD-NLPP": each name once, in the order given; "None".
bool ParseCommands(const std::string& text, std::vector<std::string>* commands) {
  commands->clear();
  if (text == "None") return true;
  size_t start = 0;
  while (start <= text.size()) {
    const size_t end = std::min(text.find('-', start), text.size());
    const std::string name = text.substr(start, end - start);
    bool known = false;
    for (const char* command : rk::kCommandNames) known = known || name == command;
    for (const std::string& seen : *commands) known = known && seen != name;
    if (!known) return false;
    commands->push_back(name);
    start = end + 1;
  }
  return !commands->empty();
}
