// rkvtps-filter: a CUPS filter that puts the library's job-control
// commands in front of a job and passes the document through unchanged.
//
//   rkvtps-filter job-id user title copies options [file]
//
// Messages go to standard error with the prefixes cupsd logs by level
// (ERROR:, WARNING:, INFO:, DEBUG:). Exit status 0, or 1 on failure.
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "commands.h"
#include "pass_through.h"
#include "settings.h"

namespace {

// The queue's PPD, with every option's default marked; null without one.
ppd_file_t* OpenQueuePpd() {
  const char* path = std::getenv("PPD");
  if (path == nullptr) return nullptr;
  ppd_file_t* ppd = ppdOpenFile(path);
  if (ppd == nullptr) {
    std::fprintf(stderr,
                 "WARNING: rkvtps-filter: cannot read the PPD %s; using built-in defaults\n", path);
    return nullptr;
  }
  ppdMarkDefaults(ppd);
  return ppd;
}

int Filter(int argc, char** argv) {
  if (argc < 6 || argc > 7) {
    std::fprintf(stderr, "Usage: %s job-id user title copies options [file]\n", argv[0]);
    return 1;
  }
  const int input = argc == 7 ? open(argv[6], O_RDONLY | O_CLOEXEC) : STDIN_FILENO;
  if (input < 0) {
    std::fprintf(stderr, "ERROR: rkvtps-filter: cannot open %s: %s\n", argv[6],
                 std::strerror(errno));
    return 1;
  }

  cups_option_t* options = nullptr;
  const int option_count = cupsParseOptions(argv[5], 0, &options);
  ppd_file_t* ppd = OpenQueuePpd();
  const FilterSettings settings = ReadSettings(option_count, options, ppd);
  ppdClose(ppd);
  cupsFreeOptions(option_count, options);

  // The library converts the owner to the queue's code page, not to the
  // one of cupsd's locale.
  setenv("RKVTPS32_ACP", std::to_string(settings.code_page).c_str(), 1);
  const std::string header = ComposeHeader(settings, argv[2]);

  std::string error;
  uint64_t copied = 0;
  const bool sent = WriteAll(STDOUT_FILENO, header.data(), header.size(), &error) &&
                    CopyDocument(input, STDOUT_FILENO, &copied, &error);
  if (input != STDIN_FILENO) close(input);
  if (!sent) {
    std::fprintf(stderr, "ERROR: rkvtps-filter: %s\n", error.c_str());
    return 1;
  }
  std::fprintf(stderr, "INFO: rkvtps-filter: %zu bytes of commands, %llu bytes of document\n",
               header.size(), static_cast<unsigned long long>(copied));
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  // A backend that has gone away must give EPIPE, reported as an error,
  // not a silent death by signal.
  std::signal(SIGPIPE, SIG_IGN);
  return Filter(argc, argv);
}
