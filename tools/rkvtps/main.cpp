// rkvtps: the library's commands from the command line.
#include <CLI/CLI.hpp>
#include <cstdio>
#include <string>

#include "rkvtps32.h"
#include "status_names.h"

namespace {

// Prints a delivered command on stdout, or the status name on stderr.
int Report(int32_t result, const char* command, int16_t status) {
  if (result == 1) {
    std::printf("%s\n", command);
    return 0;
  }
  std::fprintf(stderr, "%s\n", StatusName(status));
  return 1;
}

int RunNup(uint16_t selector) {
  char command[64] = {};
  uint16_t size = sizeof command;
  int16_t status = RK_STATUS_OK;
  const int32_t result = RKGetVTPSStringOfNup(selector, command, &size, &status);
  return Report(result, command, status);
}

// Every command this host gives, one per line, labelled.
int RunShow() {
  int failures = 0;
  for (uint16_t selector = 0; selector <= 13; ++selector) {
    char command[64] = {};
    uint16_t size = sizeof command;
    int16_t status = RK_STATUS_OK;
    if (RKGetVTPSStringOfNup(selector, command, &size, &status) == 1) {
      std::printf("n-up %-2u        %s\n", selector, command);
    } else {
      std::printf("n-up %-2u        (%s)\n", selector, StatusName(status));
      ++failures;
    }
  }
  return failures == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  CLI::App app{"rkvtps: job-control command strings from the rkvtps32 library"};
  app.require_subcommand(1);

  uint16_t selector = 0;
  CLI::App* nup = app.add_subcommand("nup", "The N-up command for a layout selector (0-13)");
  nup->add_option("selector", selector, "N-up selector")->required();

  CLI::App* show = app.add_subcommand("show", "Every command this host gives");

  CLI11_PARSE(app, argc, argv);

  if (nup->parsed()) return RunNup(selector);
  if (show->parsed()) return RunShow();
  return 1;
}
