// The code page a job's settings may name: each of the fourteen ANSI code
// pages, from the job or the default, and nothing else.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <utility>

#include "job_settings.h"

namespace {

// Settings from two tables: the job's and the printer's defaults.
class TableSource : public SettingSource {
 public:
  TableSource(std::map<std::string, std::string> job, std::map<std::string, std::string> defaults)
      : job_(std::move(job)), defaults_(std::move(defaults)) {}
  const char* Job(const char* name) const override { return Find(job_, name); }
  const char* Default(const char* name, JobNotes*) const override { return Find(defaults_, name); }

 private:
  static const char* Find(const std::map<std::string, std::string>& values, const char* name) {
    const auto found = values.find(name);
    return found == values.end() ? nullptr : found->second.c_str();
  }
  std::map<std::string, std::string> job_;
  std::map<std::string, std::string> defaults_;
};

size_t Warnings(const JobNotes& notes) {
  size_t count = 0;
  for (const JobNote& note : notes) count += note.level == NoteLevel::kWarning;
  return count;
}

TEST(JobCodePage, EveryAnsiCodePageIsTakenFromTheDefault) {
  for (const unsigned code_page : kJobCodePages) {
    JobNotes notes;
    const JobSettings settings =
        ReadJobSettings(TableSource({}, {{"RKCodePage", std::to_string(code_page)}}), &notes);
    EXPECT_EQ(settings.code_page, code_page);
    EXPECT_EQ(Warnings(notes), 0u) << code_page;
  }
}

TEST(JobCodePage, OthersAreNotedAndTheBuiltInOneKept) {
  struct Case {
    const char* job;       // nullptr: the job names none
    const char* fallback;  // the default, nullptr: none
    unsigned code_page;
    size_t warnings;
  } const cases[] = {
      {nullptr, nullptr, 1252, 0},       // none: the built-in one
      {"936", "932", 936, 0},            // the job's wins
      {nullptr, "1258", 1258, 0},        // the default
      {"65001", nullptr, 1252, 1},       // UTF-8 is no ANSI code page
      {"437", "949", 1252, 1},           // an OEM code page: the built-in one, not the default
      {"1259", nullptr, 1252, 1},        // past the last
      {"-874", nullptr, 1252, 1},        // a sign
      {"874x", nullptr, 1252, 1},        // a tail
      {"", nullptr, 1252, 1},            // empty
      {"4294968228", nullptr, 1252, 1},  // 932 past 2^32
      {"\n1250", nullptr, 1252, 1},      // a line end in front
      {" 932", nullptr, 1252, 1},        // a blank in front
      {"0932", nullptr, 1252, 1},        // a zero in front
      {"0x3A4", nullptr, 1252, 1},       // 932, not as the list writes it
  };
  for (const Case& c : cases) {
    std::map<std::string, std::string> job, defaults;
    if (c.job != nullptr) job["RKCodePage"] = c.job;
    if (c.fallback != nullptr) defaults["RKCodePage"] = c.fallback;
    JobNotes notes;
    const JobSettings settings = ReadJobSettings(TableSource(job, defaults), &notes);
    EXPECT_EQ(settings.code_page, c.code_page) << (c.job ? c.job : "(none)");
    EXPECT_EQ(Warnings(notes), c.warnings) << (c.job ? c.job : "(none)");
  }
}

}  // namespace
