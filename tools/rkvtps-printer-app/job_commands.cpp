#include "job_commands.h"

#include <cstring>
#include <string>

#include "job_header.h"
#include "job_origin.h"
#include "printer_settings.h"

namespace {

pappl_loglevel_t LevelOf(NoteLevel level) {
  switch (level) {
    case NoteLevel::kWarning:
      return PAPPL_LOGLEVEL_WARN;
    case NoteLevel::kInfo:
      return PAPPL_LOGLEVEL_INFO;
    case NoteLevel::kDebug:
      break;
  }
  return PAPPL_LOGLEVEL_DEBUG;
}

}  // namespace

std::string ComposeJobCommands(pappl_job_t* job) {
  pappl_printer_t* printer = papplJobGetPrinter(job);
  JobNotes notes;
  const JobSettings settings = ReadPrinterSettings(printer, job, &notes);
  std::string how;
  const JobClient client = FindJobClient(printer, job, &how);
  notes.push_back({NoteLevel::kDebug, "the job's client: " + how});
  const char* user = papplJobGetUsername(job);
  // Each printer's code page goes in with its settings: jobs of printers
  // with different code pages compose side by side.
  const std::string header =
      ComposeJobHeader(settings, user != nullptr ? user : "", client, &notes);
  std::string warnings;
  for (const JobNote& note : notes) {
    papplLogJob(job, LevelOf(note.level), "%s", note.text.c_str());
    if (LevelOf(note.level) == PAPPL_LOGLEVEL_WARN)
      warnings += (warnings.empty() ? "" : "; ") + note.text;
  }
  // What the printer was sent in place of the job's text is the user's to
  // see, in the job's state message.
  if (!warnings.empty()) {
    papplJobSetReasons(job, PAPPL_JREASON_WARNINGS_DETECTED, PAPPL_JREASON_NONE);
    // Each note quotes job text already escaped: the message is cut, not
    // escaped again.
    papplJobSetMessage(job, "%s", warnings.substr(0, 512).c_str());
  }
  return header;
}

bool AbortJob(pappl_job_t* job, pappl_jreason_t reason, const std::string& why) {
  if (papplJobIsCanceled(job)) return true;
  papplLogJob(job, PAPPL_LOGLEVEL_ERROR, "%s", why.c_str());
  papplJobSetReasons(job, reason | PAPPL_JREASON_ABORTED_BY_SYSTEM, PAPPL_JREASON_NONE);
  papplJobSetMessage(job, "%s", why.c_str());
  return false;
}
