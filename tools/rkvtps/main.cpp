// rkvtps: the library's commands from the command line. A caller like any
// other: it uses only the public header and the shared library.
#include <CLI/CLI.hpp>
#include <cstdio>
#include <string>

#include "rkvtps32.h"
#include "status_names.h"
#include "wide_argument.h"

namespace {

// What one export call gave.
struct Outcome {
  bool delivered = false;
  int16_t status = RK_STATUS_OK;
  std::string command;
};

// Calls `call(buffer, &size, &status)` with a buffer of `capacity` bytes.
// `wide_result` marks the wide job-owner exports, whose result is 1 even
// when nothing was delivered: for them the status tells.
template <typename Call>
Outcome Invoke(Call call, uint16_t capacity = 128, bool wide_result = false) {
  std::string buffer(capacity > 0 ? capacity : 1, '\0');
  uint16_t size = capacity;
  Outcome out;
  const int32_t result = call(&buffer[0], &size, &out.status);
  out.delivered = result == 1 && (!wide_result || out.status == RK_STATUS_OK);
  if (out.delivered) out.command = buffer.c_str();
  return out;
}

// Prints a delivered command on stdout (and a warning status on stderr),
// or the status name on stderr.
int Report(const Outcome& outcome) {
  if (outcome.delivered) {
    if (outcome.status != RK_STATUS_OK) {
      std::fprintf(stderr, "warning: %s\n", StatusName(outcome.status));
    }
    std::printf("%s\n", outcome.command.c_str());
    return 0;
  }
  std::fprintf(stderr, "%s\n", StatusName(outcome.status));
  return 1;
}

Outcome Nup(uint16_t selector) {
  return Invoke([&](char* b, uint16_t* s, int16_t* st) { return RKGetVTPSStringOfNup(selector, b, s, st); });
}

Outcome ClientName(uint16_t code_type, uint16_t mask) {
  return Invoke([&](char* b, uint16_t* s, int16_t* st) {
    return RKGetVTPSStringOfHostNameEx(code_type, b, s, mask, st);
  });
}

Outcome HostAddress() {
  return Invoke([&](char* b, uint16_t* s, int16_t* st) { return RKGetVTPSStringOfHostAddress(b, s, st); });
}

struct OwnerOptions {
  uint16_t code_type = 1;
  uint16_t tag_column = 1;
  uint16_t tag_row = 5;
  uint16_t mask = 0;
  std::string address;
  bool has_address = false;
  bool wide = false;
  std::string owner;
  bool has_owner = false;
};

Outcome Owner(const OwnerOptions& o) {
  const char* address = o.has_address ? o.address.c_str() : nullptr;
  if (!o.has_owner) {
    return Invoke([&](char* b, uint16_t* s, int16_t* st) {
      return RKGetVTPSStringOfJobOwnerStringFromUserHostNameWithIPEx(o.code_type, o.tag_column, o.tag_row,
                                                                    b, address, s, o.mask, st);
    });
  }
  if (o.wide) {
    const std::basic_string<RK_WCHAR> wide = WideFromUtf8(o.owner);
    return Invoke(
        [&](char* b, uint16_t* s, int16_t* st) {
          return RKGetVTPSStringOfJobOwnerFromInputExW(o.code_type, wide.c_str(), o.tag_column, o.tag_row, b,
                                                       s, o.mask, st);
        },
        128, true);
  }
  return Invoke([&](char* b, uint16_t* s, int16_t* st) {
    return RKGetVTPSStringOfJobOwnerFromInputWithIPExA(o.code_type, o.owner.c_str(), o.tag_column,
                                                       o.tag_row, b, address, s, o.mask, st);
  });
}

struct ValidateOptions {
  uint16_t code_type = 1;
  uint16_t mask = 0;
  bool wide = false;
  std::string text;
};

int RunValidate(const ValidateOptions& o) {
  int16_t status = RK_STATUS_OK;
  int32_t result = 0;
  if (o.wide) {
    const std::basic_string<RK_WCHAR> wide = WideFromUtf8(o.text);
    result = RKIsValidJobOwnerStringCodeAndLengthExW(o.code_type, wide.c_str(), o.mask, &status);
  } else {
    result = RKIsValidJobOwnerStringCodeAndLengthExA(o.code_type, o.text.c_str(), o.mask, &status);
  }
  std::printf("%s\n", result == 1 ? "OK" : StatusName(status));
  return result == 1 ? 0 : 1;
}

void ShowLine(const std::string& label, const Outcome& outcome) {
  if (outcome.delivered) {
    std::printf("%-16s %s\n", label.c_str(), outcome.command.c_str());
  } else {
    std::printf("%-16s (%s)\n", label.c_str(), StatusName(outcome.status));
  }
}

// Every command this host gives. A command the host cannot give (no usable
// address, say) is shown with its status: that is a fact about the host,
// not a failure of the tool.
int RunShow() {
  for (uint16_t code_type : {1, 2, 3, 4, 5, 255}) {
    OwnerOptions o;
    o.code_type = code_type;
    ShowLine("job owner " + std::to_string(code_type), Owner(o));
  }
  ShowLine("client name", ClientName(1, 0));
  ShowLine("host address", HostAddress());
  for (uint16_t selector = 0; selector <= 13; ++selector) {
    ShowLine("n-up " + std::to_string(selector), Nup(selector));
  }
  return 0;
}

void AddMaskOption(CLI::App* command, uint16_t* mask) {
  command->add_option("--mask", *mask, "Charset mask (0 = default 0x19, 0xFFFF = no check)")
      ->capture_default_str();
}

}  // namespace

int main(int argc, char** argv) {
  CLI::App app{"rkvtps: job-control command strings from the rkvtps32 library"};
  app.require_subcommand(1);

  CLI::App* show = app.add_subcommand("show", "Every command this host gives");

  uint16_t selector = 0;
  CLI::App* nup = app.add_subcommand("nup", "The N-up command (@NLPP=) for a layout selector");
  nup->add_option("selector", selector, "N-up selector, 0-13")->required();

  OwnerOptions owner_options;
  CLI::App* owner = app.add_subcommand(
      "owner", "The job-owner command (@JOAU=); without OWNER, from this user and host");
  owner->add_option("--code-type", owner_options.code_type, "Code type (1, 2, 3, 4, 5, 255)")
      ->capture_default_str();
  owner->add_option("--tag-column", owner_options.tag_column, "Tag column key")->capture_default_str();
  owner->add_option("--tag-row", owner_options.tag_row, "Tag row key")->capture_default_str();
  AddMaskOption(owner, &owner_options.mask);
  CLI::Option* address =
      owner->add_option("--address", owner_options.address, "Address text for code types 4 and 255");
  CLI::Option* wide = owner->add_flag("--wide", owner_options.wide,
                                      "Pass OWNER as UTF-16 to the W export (OWNER is read as UTF-8)");
  wide->excludes(address);
  CLI::Option* owner_text = owner->add_option("owner", owner_options.owner, "Owner text");
  wide->needs(owner_text);

  ValidateOptions validate_options;
  CLI::App* validate =
      app.add_subcommand("validate", "Whether an owner text is acceptable for a code type");
  validate->add_option("--code-type", validate_options.code_type, "Code type (1, 2, 3, 4, 5, 32, 255)")
      ->capture_default_str();
  AddMaskOption(validate, &validate_options.mask);
  validate->add_flag("--wide", validate_options.wide,
                     "Pass the text as UTF-16 to the W export (the text is read as UTF-8)");
  validate->add_option("text", validate_options.text, "Owner text")->required();

  uint16_t name_code_type = 1;
  uint16_t name_mask = 0;
  CLI::App* client_name = app.add_subcommand("client-name", "The client-name command (@CNAM=)");
  client_name->add_option("--code-type", name_code_type, "Code type whose byte limit applies")
      ->capture_default_str();
  AddMaskOption(client_name, &name_mask);

  CLI::App* host_address = app.add_subcommand("host-address", "The host-address command (@HOAD=)");

  CLI11_PARSE(app, argc, argv);
  owner_options.has_address = address->count() > 0;
  owner_options.has_owner = owner_text->count() > 0;

  if (show->parsed()) return RunShow();
  if (nup->parsed()) return Report(Nup(selector));
  if (owner->parsed()) return Report(Owner(owner_options));
  if (validate->parsed()) return RunValidate(validate_options);
  if (client_name->parsed()) return Report(ClientName(name_code_type, name_mask));
  if (host_address->parsed()) return Report(HostAddress());
  return 1;
}
