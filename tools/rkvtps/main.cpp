// rkvtps: the library's commands from the command line. A caller like any
// other: it uses only the public header and the shared library.
//
// Exit status: 0 success; 1 the library refused, input could not be read,
// a decoded command is malformed, or output could not be written; 2 the
// command line itself is wrong.
#include <CLI/CLI.hpp>
#include <exception>
#include <string>
#include <vector>

#include "calls.h"
#include "command_facts.h"
#include "decode_report.h"
#include "help_text.h"
#include "output.h"
#include "platform.h"
#include "report.h"
#include "rkvtps32.h"
#include "status_names.h"
#include "untrusted_text.h"

namespace {

constexpr int kUsageError = 2;

// Where a text option sends its bytes: --wide and --raw choose, each
// excluding the other.
struct TextModeFlags {
  bool wide = false;
  bool raw = false;
  TextMode mode() const { return wide ? TextMode::kWide : raw ? TextMode::kRaw : TextMode::kAnsi; }
};

void AddTextModeFlags(CLI::App* command, TextModeFlags* flags, const std::string& what,
                      CLI::Option* text) {
  CLI::Option* wide = command->add_flag(
      "--wide", flags->wide, "Pass " + what + " as UTF-16 to the W export (the library converts)");
  CLI::Option* raw =
      command->add_flag("--raw", flags->raw,
                        "Pass " + what +
                            " to the narrow export byte for byte (by default non-ASCII UTF-8 is\n"
                            "converted to the library's ANSI code page, " +
                            std::to_string(LibraryAnsiCodePage()) + " here)");
  wide->excludes(raw);
  wide->needs(text);
  raw->needs(text);
}

void AddMask(CLI::App* command, uint16_t* mask) {
  command->add_option("--mask", *mask, "Charset mask (0 = default 0x19, 0xFFFF = no check)")
      ->capture_default_str();
}

void AddPresentation(CLI::App* command, Presentation* how) {
  command->add_flag("--json", how->json,
                    "Write JSON: texts as strings where they are UTF-8 and always as *_hex");
  command->add_flag("--escape", how->escape,
                    "Write bytes outside printable ASCII, and the backslash, as \\xNN");
}

void AddSize(CLI::App* command, uint16_t* capacity) {
  command->add_option("--size", *capacity, "Buffer size to offer (0 asks for the size needed)")
      ->capture_default_str();
}

std::string VersionText() {
  return std::string("rkvtps ") + RKVTPS32_VERSION_STRING + "\nlibrary: rkvtps32 " +
         LoadedLibraryVersion();
}

// The command line as the tool's options and what each command needs.
struct CommandLine {
  Presentation how;
  uint16_t capacity = 128;

  CLI::App* show = nullptr;

  CLI::App* nup = nullptr;
  uint16_t selector = 0;
  unsigned pages = 0;
  CLI::Option* selector_option = nullptr;
  CLI::Option* pages_option = nullptr;

  CLI::App* owner = nullptr;
  OwnerRequest owner_request;
  std::string owner_text;
  TextModeFlags owner_mode;
  CLI::Option* owner_address = nullptr;
  CLI::Option* owner_option = nullptr;

  CLI::App* validate = nullptr;
  uint16_t validate_code_type = 1;
  uint16_t validate_mask = 0;
  std::string validate_text;
  TextModeFlags validate_mode;

  CLI::App* client_name = nullptr;
  ClientNameRequest name_request;
  std::string name_text;
  TextModeFlags name_mode;
  CLI::Option* name_option = nullptr;

  CLI::App* host_address = nullptr;
  std::string address_text;
  CLI::Option* address_option = nullptr;

  CLI::App* decode = nullptr;
  std::vector<std::string> decode_arguments, decode_texts, decode_files;
  bool strict = false, lenient = false;
};

void DefineNup(CLI::App& app, CommandLine* c, const std::vector<std::string>& keywords) {
  c->nup = app.add_subcommand("nup", "The N-up command (@NLPP=) for a layout");
  c->selector_option =
      c->nup->add_option("selector", c->selector, "N-up selector, 0-13 (see below)");
  c->pages_option =
      c->nup->add_option("--pages", c->pages, "Pages on each sheet: 1, 2, 4, 6, 8, 9, 16 or 32");
  c->selector_option->excludes(c->pages_option);
  c->nup->footer(NupTable(keywords));
  AddSize(c->nup, &c->capacity);
  AddPresentation(c->nup, &c->how);
}

void DefineOwner(CLI::App& app, CommandLine* c) {
  c->owner = app.add_subcommand(
      "owner", "The job-owner command (@JOAU=); without OWNER, from this user and host");
  OwnerRequest& r = c->owner_request;
  c->owner
      ->add_option("--code-type", r.code_type, "Code type (" + CodeTypeList(true) + "; see below)")
      ->capture_default_str();
  c->owner->footer(CodeTypeTable());
  c->owner->add_option("--tag-column", r.tag_column, "Tag column key")->capture_default_str();
  c->owner->add_option("--tag-row", r.tag_row, "Tag row key")->capture_default_str();
  AddMask(c->owner, &r.mask);
  c->owner_address = c->owner->add_option(
      "--address", r.address,
      "Address part for code types 4 and 255, appended as given: '~C0A80001' for 192.168.0.1");
  c->owner_option = c->owner->add_option("owner", c->owner_text, "Owner text (UTF-8)");
  AddTextModeFlags(c->owner, &c->owner_mode, "OWNER", c->owner_option);
  c->owner->get_option("--wide")->excludes(c->owner_address);
  AddSize(c->owner, &c->capacity);
  AddPresentation(c->owner, &c->how);
}

void DefineValidate(CLI::App& app, CommandLine* c) {
  c->validate =
      app.add_subcommand("validate", "Whether an owner text is acceptable for a code type");
  c->validate
      ->add_option("--code-type", c->validate_code_type, "Code type (" + CodeTypeList(false) + ")")
      ->capture_default_str();
  AddMask(c->validate, &c->validate_mask);
  CLI::Option* text =
      c->validate->add_option("text", c->validate_text, "Owner text (UTF-8)")->required();
  AddTextModeFlags(c->validate, &c->validate_mode, "TEXT", text);
  c->validate->add_flag("--json", c->how.json, "Write the verdict as JSON");
}

void DefineClientName(CLI::App& app, CommandLine* c) {
  c->client_name = app.add_subcommand(
      "client-name", "The client-name command (@CNAM=); without --name, this computer's name");
  c->client_name
      ->add_option("--code-type", c->name_request.code_type, "Code type whose byte limit applies")
      ->capture_default_str();
  AddMask(c->client_name, &c->name_request.mask);
  c->name_option = c->client_name->add_option(
      "--name", c->name_text,
      "Another machine's name, as a print server knows it (UTF-8, used as given)");
  AddTextModeFlags(c->client_name, &c->name_mode, "--name", c->name_option);
  AddSize(c->client_name, &c->capacity);
  AddPresentation(c->client_name, &c->how);
}

void DefineHostAddress(CLI::App& app, CommandLine* c) {
  c->host_address = app.add_subcommand(
      "host-address", "The host-address command (@HOAD=); without --address, this host's address");
  c->address_option = c->host_address->add_option(
      "--address", c->address_text,
      "Another machine's numeric address: 192.168.1.10, fd00::5, fe80::1%eth0 (never looked up)");
  AddSize(c->host_address, &c->capacity);
  AddPresentation(c->host_address, &c->how);
}

void DefineDecode(CLI::App& app, CommandLine* c) {
  c->decode = app.add_subcommand(
      "decode", "Explain the commands in texts, files or standard input (a captured job header)");
  c->decode->add_option(
      "input", c->decode_arguments,
      "Text holding a command (\"@NAME=\" four capital letters) or else a file to read;\n"
      "- is standard input, which is also read when nothing is given");
  c->decode->add_option("--text", c->decode_texts, "Text to decode, whatever it holds");
  c->decode->add_option("--file", c->decode_files, "File to read (- for standard input)");
  CLI::Option* strict = c->decode->add_flag(
      "--strict", c->strict, "Also fail for an unknown @NAME= command or when none is found");
  CLI::Option* lenient = c->decode->add_flag(
      "--lenient", c->lenient, "Exit 0 even when a command is malformed (still reported)");
  strict->excludes(lenient);
  AddPresentation(c->decode, &c->how);
  c->decode->footer(
      "Exit status: 1 when a job-owner, client-name, host-address or N-up command is malformed\n"
      "or an input cannot be read; other printers' @NAME= commands are counted as ignored.");
}

// The text for the library, or false after saying why not (a usage error).
bool PrepareArgument(const std::string& utf8, TextMode mode, const std::string& what,
                     PreparedText* prepared) {
  std::string message;
  if (!PrepareText(utf8, mode, LibraryAnsiCodePage(), what, prepared, &message)) {
    Complain(message);
    return false;
  }
  if (prepared->unmapped > 0) {
    Warn(what + ": " + std::to_string(prepared->unmapped) +
         " character(s) have no form in code page " + std::to_string(LibraryAnsiCodePage()) +
         " and become \"?\"");
  }
  return true;
}

// A positional argument that holds a command is text; any other names a
// file, as for cat.
bool HoldsCommand(const std::string& argument) {
  for (size_t at = argument.find('@'); at != std::string::npos; at = argument.find('@', at + 1)) {
    if (rk::StartsCommand(argument, at)) return true;
  }
  return false;
}

int RunDecodeCommand(const CommandLine& c) {
  std::vector<DecodeInput> inputs;
  for (const std::string& argument : c.decode_arguments) {
    inputs.push_back({!HoldsCommand(argument), argument});
  }
  for (const std::string& text : c.decode_texts) inputs.push_back({false, text});
  for (const std::string& file : c.decode_files) inputs.push_back({true, file});
  if (inputs.empty()) inputs.push_back({true, "-"});
  const Strictness strictness = c.strict    ? Strictness::kStrict
                                : c.lenient ? Strictness::kLenient
                                            : Strictness::kNormal;
  return RunDecode(inputs, strictness, c.how);
}

int RunNup(const CommandLine& c, const std::vector<std::string>& keywords) {
  uint16_t selector = c.selector;
  if (c.selector_option->count() == 0 && c.pages_option->count() == 0) {
    Complain("nup: a selector or --pages is required");
    return kUsageError;
  }
  if (c.pages_option->count() > 0) {
    const int found = SelectorForPages(keywords, c.pages);
    if (found < 0) {
      Complain("--pages: no N-up layout with " + std::to_string(c.pages) +
               " pages on each sheet (1, 2, 4, 6, 8, 9, 16 or 32)");
      return kUsageError;
    }
    selector = static_cast<uint16_t>(found);
  }
  return ReportOutcome(CallNup(selector, c.capacity), nullptr, c.how);
}

// TEXT for the export, as the --wide and --raw flags say, and what the
// library was handed, for the warnings; false after a usage error.
bool PrepareCallerText(const CLI::Option* option, const std::string& utf8,
                       const TextModeFlags& flags, const char* what, CallerText* text,
                       HandedText* handed) {
  text->given = option->count() > 0;
  if (!text->given) return true;
  PreparedText prepared;
  if (!PrepareArgument(utf8, flags.mode(), what, &prepared)) return false;
  text->wide = flags.wide;
  text->narrow = prepared.narrow;
  text->wide_text = prepared.wide;
  // The '?' of an unmapped character is told as the argument is read.
  handed->bytes = prepared.sent;
  return true;
}

int RunOwner(CommandLine& c) {
  OwnerRequest& r = c.owner_request;
  r.has_address = c.owner_address->count() > 0;
  HandedText handed;
  if (!PrepareCallerText(c.owner_option, c.owner_text, c.owner_mode, "OWNER", &r.owner, &handed)) {
    return kUsageError;
  }
  const Outcome outcome = CallOwner(r, c.capacity);
  const std::vector<std::string> changes = DescribeOwnerChanges(r, handed, outcome);
  return ReportOutcome(outcome, r.owner.given ? &changes : nullptr, c.how, r.code_type);
}

int RunClientName(CommandLine& c) {
  ClientNameRequest& r = c.name_request;
  HandedText handed;
  if (!PrepareCallerText(c.name_option, c.name_text, c.name_mode, "--name", &r.name, &handed)) {
    return kUsageError;
  }
  const Outcome outcome = CallClientName(r, c.capacity);
  const std::vector<std::string> changes = DescribeClientNameChanges(r, handed, outcome);
  return ReportOutcome(outcome, r.name.given ? &changes : nullptr, c.how);
}

int RunValidate(const CommandLine& c) {
  PreparedText prepared;
  if (!PrepareArgument(c.validate_text, c.validate_mode.mode(), "TEXT", &prepared)) {
    return kUsageError;
  }
  const Verdict verdict =
      CallValidate(c.validate_code_type, c.validate_mask,
                   c.validate_mode.wide ? &prepared.wide : nullptr, prepared.narrow);
  if (!verdict.valid) Complain(StatusName(verdict.status));
  if (c.how.json) {
    WriteJson({{"valid", verdict.valid},
               {"status", StatusName(verdict.status)},
               {"status_code", verdict.status}});
  } else if (verdict.valid) {
    WriteLine("OK");
  }
  return verdict.valid ? 0 : 1;
}

int Run(const std::vector<std::string>& arguments) {
  CLI::App app{"rkvtps: job-control command strings from the rkvtps32 library"};
  app.name("rkvtps");
  app.require_subcommand(1);
  app.set_version_flag("--version", VersionText, "Print the tool's and the library's versions");
  app.set_help_all_flag("--help-all", "Print the help of every command");
  app.footer(
      "Exit status: 0 success; 1 the library refused (its status on standard error), an input\n"
      "cannot be read, a decoded command is malformed or output cannot be written; 2 a usage\n"
      "error. Run 'rkvtps COMMAND --help' for each command's options.");

  const std::vector<std::string> keywords = NupKeywords();
  CommandLine c;
  c.show = app.add_subcommand("show", "Every command this host gives");
  AddPresentation(c.show, &c.how);
  DefineNup(app, &c, keywords);
  DefineOwner(app, &c);
  DefineValidate(app, &c);
  DefineClientName(app, &c);
  DefineHostAddress(app, &c);
  DefineDecode(app, &c);

  std::vector<char*> argv;
  for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
  try {
    app.parse(static_cast<int>(argv.size()), argv.data());
  } catch (const CLI::ParseError& e) {
    if (e.get_exit_code() == 0) return app.exit(e);  // --help, --version
    Complain(e.what());
    Complain("run 'rkvtps --help' for usage");
    return kUsageError;
  }

  if (c.show->parsed()) return RunShow(c.how);
  if (c.nup->parsed()) return RunNup(c, keywords);
  if (c.owner->parsed()) return RunOwner(c);
  if (c.validate->parsed()) return RunValidate(c);
  if (c.client_name->parsed()) return RunClientName(c);
  if (c.host_address->parsed()) {
    return ReportOutcome(
        CallHostAddress(c.address_option->count() > 0 ? &c.address_text : nullptr, c.capacity),
        nullptr, c.how);
  }
  return RunDecodeCommand(c);
}

}  // namespace

int main(int argc, char** argv) {
  int status = 1;
  try {
    status = Run(ArgumentsAsUtf8(argc, argv));
  } catch (const std::exception& e) {
    Complain(std::string("internal error: ") + e.what());
    status = 1;
  }
  return FinishOutput() ? status : 1;
}
