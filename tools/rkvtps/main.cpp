// rkvtps: the library's commands from the command line.
#include <CLI/CLI.hpp>
#include <cstdio>
#include <string>

#include "rkvtps32.h"
#include "status_names.h"
#include "wide_argument.h"

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

struct ValidateOptions {
  uint16_t code_type = 1;
  uint16_t mask = 0;
  bool wide = false;
  std::string text;
};

int RunValidate(const ValidateOptions& options) {
  int16_t status = RK_STATUS_OK;
  int32_t result = 0;
  if (options.wide) {
    const std::basic_string<RK_WCHAR> wide = WideFromUtf8(options.text);
    result = RKIsValidJobOwnerStringCodeAndLengthExW(options.code_type, wide.c_str(), options.mask,
                                                     &status);
  } else {
    result = RKIsValidJobOwnerStringCodeAndLengthExA(options.code_type, options.text.c_str(),
                                                     options.mask, &status);
  }
  std::printf("%s\n", result == 1 ? "OK" : StatusName(status));
  return result == 1 ? 0 : 1;
}

int RunClientName(uint16_t code_type, uint16_t mask) {
  char command[128] = {};
  uint16_t size = sizeof command;
  int16_t status = RK_STATUS_OK;
  const int32_t result = RKGetVTPSStringOfHostNameEx(code_type, command, &size, mask, &status);
  if (result == 1 && status != RK_STATUS_OK) {
    std::fprintf(stderr, "warning: %s\n", StatusName(status));
  }
  return Report(result, command, status);
}

int RunHostAddress() {
  char command[64] = {};
  uint16_t size = sizeof command;
  int16_t status = RK_STATUS_OK;
  const int32_t result = RKGetVTPSStringOfHostAddress(command, &size, &status);
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

  ValidateOptions validate_options;
  CLI::App* validate =
      app.add_subcommand("validate", "Whether an owner text is acceptable for a code type");
  validate->add_option("--code-type", validate_options.code_type, "Code type (1, 2, 3, 4, 5, 32, 255)")
      ->capture_default_str();
  validate->add_option("--mask", validate_options.mask,
                       "Charset mask (0 = default 0x19, 0xFFFF = no check)")
      ->capture_default_str();
  validate->add_flag("--wide", validate_options.wide,
                     "Pass the text as UTF-16 to the W export (the text is read as UTF-8)");
  validate->add_option("text", validate_options.text, "Owner text")->required();

  uint16_t name_code_type = 1;
  uint16_t name_mask = 0;
  CLI::App* client_name = app.add_subcommand("client-name", "The client-name command (@CNAM=)");
  client_name->add_option("--code-type", name_code_type, "Code type whose byte limit applies")
      ->capture_default_str();
  client_name->add_option("--mask", name_mask, "Charset mask (0 = default, 0xFFFF = no check)")
      ->capture_default_str();

  CLI::App* host_address =
      app.add_subcommand("host-address", "The host-address command (@HOAD=)");

  CLI::App* show = app.add_subcommand("show", "Every command this host gives");

  CLI11_PARSE(app, argc, argv);

  if (nup->parsed()) return RunNup(selector);
  if (validate->parsed()) return RunValidate(validate_options);
  if (client_name->parsed()) return RunClientName(name_code_type, name_mask);
  if (host_address->parsed()) return RunHostAddress();
  if (show->parsed()) return RunShow();
  return 1;
}
