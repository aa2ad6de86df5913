// rkvtps-filter: a CUPS filter that puts the library's job-control
// commands in front of a job and passes the document through unchanged.
//
//   rkvtps-filter job-id user title copies options [file]
//
// Messages go to standard error with the prefixes cupsd logs by level
// (ERROR:, WARNING:, INFO:, DEBUG:). Every text in them that a job or a
// PPD supplied is escaped: cupsd reads each line of a filter's standard
// error, and a line of a job's making ("PPD: ...", "ATTR: ...") would
// change the queue. Exit status 0, or 1 on failure.
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "pass_through.h"
#include "settings.h"
#include "text_forms.h"

namespace {

void Fail(const std::string& message) {
  std::fprintf(stderr, "ERROR: rkvtps-filter: %s\n", message.c_str());
}

// The queue's PPD, with every option's default marked; null without one.
// A PPD that cupsd names but that cannot be read stops the job: the
// built-in defaults could send the owner in clear text on a queue set to
// encode it.
bool OpenQueuePpd(ppd_file_t** ppd) {
  *ppd = nullptr;
  const char* path = std::getenv("PPD");
  if (path == nullptr) return true;
  *ppd = ppdOpenFile(path);
  if (*ppd == nullptr) {
    int line = 0;
    const ppd_status_t status = ppdLastError(&line);
    Fail("cannot read the queue's PPD " + QuotedText(path, 256) + ": " + ppdErrorString(status) +
         (status != PPD_FILE_OPEN_ERROR ? " on line " + std::to_string(line) : "") +
         "; nothing was sent");
    return false;
  }
  ppdMarkDefaults(*ppd);
  return true;
}

constexpr size_t kLongestLogLine = 2048;

// cupsd's copies argument: a count of at least 1. Anything else is one
// copy, with a warning.
constexpr unsigned long kMostCopies = 1000000;

unsigned long ReadCopies(const char* text) {
  char* end = nullptr;
  errno = 0;
  const unsigned long copies = std::strtoul(text, &end, 10);
  if (errno != 0 || end == text || *end != '\0' || text[0] == '-' || copies < 1 ||
      copies > kMostCopies) {
    std::fprintf(stderr, "WARNING: rkvtps-filter: copies \"%s\" is not a count; printing one\n",
                 QuotedText(text).c_str());
    return 1;
  }
  return copies;
}

// Which document of its job a spool file is: cupsd names the files of job
// J "dJJJJJ-NNN" in its request folder, NNN counting from 001, and runs the
// filters once for each while one backend takes them all. A file not named
// so (one given by hand) counts as the first.
unsigned long DocumentNumber(const std::string& path) {
  const std::string name = path.substr(path.rfind('/') + 1);
  const size_t dash = name.find('-');
  if (name.size() < 2 || name[0] != 'd' || dash == std::string::npos || dash < 2 ||
      name.size() - dash - 1 < 3) {
    return 1;
  }
  if (name.find_first_not_of("0123456789", 1) != dash ||
      name.find_first_not_of("0123456789", dash + 1) != std::string::npos) {
    return 1;
  }
  return std::strtoul(name.c_str() + dash + 1, nullptr, 10);
}

// The document `copies` times from a file, once from standard input (a
// pipe cannot be read again; cupsd makes the copies then).
bool SendDocument(int input, bool from_file, unsigned long copies, uint64_t* sent,
                  std::string* error) {
  *sent = 0;
  for (unsigned long copy = 0; copy < (from_file ? copies : 1); ++copy) {
    if (copy > 0 && lseek(input, 0, SEEK_SET) != 0) {
      *error = std::string("cannot read the document again for copy ") + std::to_string(copy + 1) +
               ": " + std::strerror(errno);
      return false;
    }
    uint64_t copied = 0;
    if (!CopyDocument(input, STDOUT_FILENO, &copied, error)) return false;
    *sent += copied;
  }
  return true;
}

int Filter(int argc, char** argv) {
  if (argc < 6 || argc > 7) {
    std::fprintf(stderr, "Usage: %s job-id user title copies options [file]\n",
                 QuotedText(argv[0], 256).c_str());
    return 1;
  }
  const bool from_file = argc == 7;
  const int input = from_file ? open(argv[6], O_RDONLY | O_CLOEXEC) : STDIN_FILENO;
  if (input < 0) {
    Fail("cannot open " + QuotedText(argv[6], 256) + ": " + std::strerror(errno));
    return 1;
  }
  const unsigned long copies = ReadCopies(argv[4]);
  if (from_file && copies > 1 && lseek(input, 0, SEEK_CUR) < 0) {
    Fail("cannot make " + std::to_string(copies) + " copies of " + QuotedText(argv[6], 256) + ": " +
         std::strerror(errno) + "; nothing was sent");
    close(input);
    return 1;
  }

  ppd_file_t* ppd = nullptr;
  if (!OpenQueuePpd(&ppd)) {
    if (from_file) close(input);
    return 1;
  }
  cups_option_t* options = nullptr;
  const int option_count = cupsParseOptions(argv[5], 0, &options);
  FilterLog log;
  const JobSettings settings = ReadSettings(option_count, options, ppd, &log);
  ppdClose(ppd);
  cupsFreeOptions(option_count, options);

  // One header a job, in front of its first document.
  std::string header;
  const unsigned long document = from_file ? DocumentNumber(argv[6]) : 1;
  if (document == 1) {
    header = ComposeHeader(settings, argv[2], &log);
  } else {
    AddLogLine(
        &log, "INFO",
        "document " + std::to_string(document) + " of the job: its first carried the commands");
  }
  // Each message is short by its making; the cut is for the day one is not,
  // since cupsd reads what passes 4 KiB as a line of its own.
  for (const std::string& line : log) {
    std::fprintf(stderr, "%s\n", line.substr(0, kLongestLogLine).c_str());
  }

  std::string error;
  uint64_t sent = 0;
  const bool done = WriteAll(STDOUT_FILENO, header.data(), header.size(), &error) &&
                    SendDocument(input, from_file, copies, &sent, &error);
  if (from_file) close(input);
  if (!done) {
    Fail(error);
    return 1;
  }
  std::fprintf(stderr, "INFO: rkvtps-filter: %zu bytes of commands, %llu bytes of document\n",
               header.size(), static_cast<unsigned long long>(sent));
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  // A backend that has gone away must give EPIPE, reported as an error,
  // not a silent death by signal.
  std::signal(SIGPIPE, SIG_IGN);
  StopOnSigterm();
  return Filter(argc, argv);
}
