#include "settings.h"

#include "job_header.h"
#include "text_forms.h"

namespace {

// The job's options, and the PPD's marked defaults.
class PpdSource : public SettingSource {
 public:
  PpdSource(int option_count, cups_option_t* options, ppd_file_t* ppd)
      : option_count_(option_count), options_(options), ppd_(ppd) {}

  const char* Job(const char* name) const override {
    return cupsGetOption(name, option_count_, options_);
  }

  const char* Default(const char* name, JobNotes* notes) const override {
    if (ppd_ == nullptr) return nullptr;
    // ppdMarkDefaults has marked every option's default that is a choice.
    if (const ppd_choice_t* choice = ppdFindMarkedChoice(ppd_, name)) return choice->choice;
    if (const ppd_option_t* option = ppdFindOption(ppd_, name)) {
      notes->push_back(
          {NoteLevel::kWarning, std::string("the PPD's default ") + name + "=" +
                                    QuotedText(option->defchoice) +
                                    " is none of its choices; using the built-in default"});
    }
    return nullptr;
  }

 private:
  int option_count_;
  cups_option_t* options_;
  ppd_file_t* ppd_;
};

void AddNotes(const JobNotes& notes, FilterLog* log) {
  for (const JobNote& note : notes) AddLogLine(log, LevelWord(note.level), note.text);
}

}  // namespace

JobSettings ReadSettings(int option_count, cups_option_t* options, ppd_file_t* ppd,
                         FilterLog* log) {
  JobNotes notes;
  const JobSettings settings = ReadJobSettings(PpdSource(option_count, options, ppd), &notes);
  AddNotes(notes, log);
  return settings;
}

std::string ComposeHeader(const JobSettings& settings, const std::string& user, FilterLog* log) {
  // cupsd names the job's client; "local" puts this machine's in its place.
  JobClient client;
  client.local = true;
  if (settings.client_from_job) client = IdentifyJobClient(settings.originating_host);
  JobNotes notes;
  const std::string header = ComposeJobHeader(settings, user, client, &notes);
  AddNotes(notes, log);
  return header;
}
