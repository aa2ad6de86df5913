// rkvtps: the library's commands from the command line. A caller like any
// other: it uses only the public header and the shared library.
#include <CLI/CLI.hpp>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <iterator>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "calls.h"
#include "decode.h"
#include "rkvtps32.h"
#include "status_names.h"
#include "validation/code_types.h"

namespace {

using nlohmann::json;

// Bytes that are not printable ASCII, escaped as \xNN for the terminal.
std::string Printable(const std::string& bytes) {
  std::string out;
  char escape[8];
  for (unsigned char c : bytes) {
    if (c >= 0x20 && c < 0x7F && c != '\\') {
      out += static_cast<char>(c);
    } else {
      std::snprintf(escape, sizeof escape, "\\x%02X", c);
      out += escape;
    }
  }
  return out;
}

std::string HexBytes(const std::string& bytes) {
  std::string out;
  char two[4];
  for (unsigned char c : bytes) {
    std::snprintf(two, sizeof two, out.empty() ? "%02X" : " %02X", c);
    out += two;
  }
  return out;
}

json OutcomeJson(const Outcome& o) {
  json j = {{"result", o.result},
            {"status", StatusName(o.status)},
            {"status_code", o.status},
            {"size", o.size}};
  if (o.delivered) j["command"] = Printable(o.command);
  return j;
}

// Prints one outcome; the exit status is 0 only for a delivered command.
int Report(const Outcome& o, bool as_json) {
  if (as_json) {
    std::printf("%s\n", OutcomeJson(o).dump(2).c_str());
  } else if (o.delivered) {
    if (o.status != RK_STATUS_OK) std::fprintf(stderr, "warning: %s\n", StatusName(o.status));
    std::printf("%s\n", o.command.c_str());
  } else {
    std::fprintf(stderr, "%s\n", StatusName(o.status));
    if (o.status == RK_STATUS_BUFFER_TOO_SMALL) std::fprintf(stderr, "size needed: %u\n", o.size);
  }
  return o.delivered ? 0 : 1;
}

// Every command this host gives. One it cannot give (no usable address,
// say) is shown with its status: a fact about the host, not a failure.
int RunShow(bool as_json) {
  std::vector<std::pair<std::string, Outcome>> lines;
  for (const rk::CodeType& type : rk::kCodeTypes) {
    if (!type.has_command) continue;
    OwnerRequest request;
    request.code_type = type.code;
    lines.emplace_back("job owner " + std::to_string(type.code), CallOwner(request, 128));
  }
  lines.emplace_back("client name", CallClientName(ClientNameRequest{}, 128));
  lines.emplace_back("host address", CallHostAddress(nullptr, 128));
  for (uint16_t selector = 0; selector <= 13; ++selector) {
    lines.emplace_back("n-up " + std::to_string(selector), CallNup(selector, 64));
  }
  if (as_json) {
    json all = json::array();
    for (const auto& [label, outcome] : lines) {
      json j = OutcomeJson(outcome);
      j["label"] = label;
      all.push_back(j);
    }
    std::printf("%s\n", all.dump(2).c_str());
    return 0;
  }
  for (const auto& [label, outcome] : lines) {
    if (outcome.delivered) {
      std::printf("%-16s %s\n", label.c_str(), Printable(outcome.command).c_str());
    } else {
      std::printf("%-16s (%s)\n", label.c_str(), StatusName(outcome.status));
    }
  }
  return 0;
}

json DecodedJson(const DecodedCommand& c, const std::string& source) {
  json j = {{"source", source},
            {"offset", c.offset},
            {"command", c.name},
            {"text", Printable(c.text)},
            {"ok", c.ok}};
  if (!c.ok) {
    j["error"] = c.error;
    j["error_offset"] = c.error_offset;
    return j;
  }
  if (c.name == "JOAU") {
    if (c.form_mark != 0) j["form_mark"] = std::string(1, c.form_mark);
    j["code_types"] = c.code_types;
    if (c.has_tag) {
      j["tag"] = std::string(1, c.tag);
      j["tag_row"] = c.tag_row;
      j["tag_column"] = c.tag_column;
    }
    j["owner"] = Printable(c.owner);
    j["owner_hex"] = HexBytes(c.owner);
    if (!c.address_part.empty()) {
      j["address_part"] = c.address_part;
      j["address"] = c.address;
    }
  } else if (c.name == "CNAM") {
    j["name"] = Printable(c.owner);
  } else if (c.name == "HOAD") {
    j["family"] = c.address_family;
    j["address"] = c.address;
  } else if (c.name == "NLPP") {
    j["keyword"] = c.keyword;
    j["selector"] = c.selector;
  }
  return j;
}

void PrintDecoded(const DecodedCommand& c, const std::string& source) {
  if (!c.ok) {
    std::fprintf(stderr, "%s: offset %zu: %s%s: %s (at offset %zu)\n", source.c_str(), c.offset,
                 c.name.empty() ? "" : "@",
                 c.name.empty() ? Printable(c.text).c_str() : c.name.c_str(), c.error.c_str(),
                 c.error_offset);
    return;
  }
  std::printf("%s: offset %zu: %s\n", source.c_str(), c.offset, Printable(c.text).c_str());
  if (c.name == "JOAU") {
    std::printf("  job owner; form %s: code type %s\n",
                c.form_mark ? ("\"" + std::string(1, c.form_mark) + "\"").c_str() : "(none)",
                c.code_types.c_str());
    if (c.has_tag) {
      std::printf("  tag \"%c\": row %d, column %d\n", c.tag, c.tag_row, c.tag_column);
    }
    std::printf("  owner \"%s\" (%s)\n", Printable(c.owner).c_str(), HexBytes(c.owner).c_str());
    if (!c.address_part.empty()) {
      std::printf("  address part \"%s\": %s\n", c.address_part.c_str(), c.address.c_str());
    }
  } else if (c.name == "CNAM") {
    std::printf("  client name \"%s\"\n", Printable(c.owner).c_str());
  } else if (c.name == "HOAD") {
    std::printf("  host address, %s %s\n", c.address_family.c_str(), c.address.c_str());
  } else if (c.name == "NLPP") {
    std::printf("  n-up keyword %s, selector %d\n", c.keyword.c_str(), c.selector);
  }
}

// Decodes every input; non-zero when a command was malformed or none found.
int RunDecode(const std::vector<std::string>& texts, const std::string& file, bool as_json) {
  std::vector<std::pair<std::string, std::string>> inputs;  // source, bytes
  for (size_t i = 0; i < texts.size(); ++i)
    inputs.emplace_back("argument " + std::to_string(i + 1), texts[i]);
  if (!file.empty() || texts.empty()) {
    std::string bytes;
    if (file.empty() || file == "-") {
      bytes.assign(std::istreambuf_iterator<char>(std::cin), std::istreambuf_iterator<char>());
    } else {
      std::ifstream in(file, std::ios::binary);
      if (!in) {
        std::fprintf(stderr, "cannot read %s\n", file.c_str());
        return 2;
      }
      bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    inputs.emplace_back(file.empty() || file == "-" ? "stdin" : file, bytes);
  }
  const std::vector<std::string> keywords = NupKeywords();
  size_t found = 0;
  size_t malformed = 0;
  json all = json::array();
  for (const auto& [source, bytes] : inputs) {
    for (const DecodedCommand& c : DecodeCommands(bytes, keywords)) {
      ++found;
      if (!c.ok) ++malformed;
      if (as_json) {
        all.push_back(DecodedJson(c, source));
      } else {
        PrintDecoded(c, source);
      }
    }
  }
  if (as_json)
    std::printf("%s\n", json{{"commands", all}, {"malformed", malformed}}.dump(2).c_str());
  if (found == 0) {
    std::fprintf(stderr, "no command found\n");
    return 1;
  }
  return malformed == 0 ? 0 : 1;
}

// The code types as the library's table describes them, for `owner --help`.
std::string CodeTypeTable() {
  std::string text = "Code types:\n  code  limit  command\n";
  char line[160];
  for (const rk::CodeType& type : rk::kCodeTypes) {
    if (!type.has_command) continue;
    std::string form = "@JOAU=";
    if (type.form_mark != '\0') form += type.form_mark;
    if (type.tagged) form += "tag";
    form += type.encoded ? (type.tagged ? " + base-85(owner" : "base-85(owner") : "owner";
    if (type.address_part) form += " + address part";
    if (type.encoded) form += ")";
    std::string address;
    if (type.failed_discovery == rk::FailedDiscovery::kBlanks) {
      address = "; no --address and no IPv4 address: \"~\" and 8 blanks";
    } else if (type.failed_discovery == rk::FailedDiscovery::kFails) {
      address = "; no --address and no IPv4 address: the call fails";
    }
    std::snprintf(line, sizeof line, "  %-4u  %-5u  %s%s\n", type.code, type.byte_limit,
                  form.c_str(), address.c_str());
    text += line;
  }
  text +=
      "The address part is --address as given (\"~C0A80001\" for 192.168.0.1), or \"~\" and this\n"
      "host's IPv4 address as 8 hexadecimal digits. From this user and host, the owner is\n"
      "\"user\\computer\" (code type 5: the user alone), cut to the limit.\n";
  return text;
}

std::string CodeTypeList(bool with_command_only) {
  std::string text;
  for (const rk::CodeType& type : rk::kCodeTypes) {
    if (with_command_only && !type.has_command) continue;
    text += (text.empty() ? "" : ", ") + std::to_string(type.code);
  }
  return text;
}

void AddMask(CLI::App* command, uint16_t* mask) {
  command->add_option("--mask", *mask, "Charset mask (0 = default 0x19, 0xFFFF = no check)")
      ->capture_default_str();
}

void AddCommonOptions(CLI::App* command, bool* as_json, uint16_t* capacity) {
  command->add_flag("--json", *as_json, "Write the outcome as JSON");
  if (capacity != nullptr) {
    command->add_option("--size", *capacity, "Buffer size to offer (0 asks for the size needed)")
        ->capture_default_str();
  }
}

}  // namespace

int main(int argc, char** argv) {
  CLI::App app{"rkvtps: job-control command strings from the rkvtps32 library"};
  app.require_subcommand(1);
  bool as_json = false;
  uint16_t capacity = 128;

  CLI::App* show = app.add_subcommand("show", "Every command this host gives");
  AddCommonOptions(show, &as_json, nullptr);

  uint16_t selector = 0;
  CLI::App* nup = app.add_subcommand("nup", "The N-up command (@NLPP=) for a layout selector");
  nup->add_option("selector", selector, "N-up selector, 0-13")->required();
  AddCommonOptions(nup, &as_json, &capacity);

  OwnerRequest owner_request;
  CLI::App* owner = app.add_subcommand(
      "owner", "The job-owner command (@JOAU=); without OWNER, from this user and host");
  owner
      ->add_option("--code-type", owner_request.code_type,
                   "Code type (" + CodeTypeList(true) + "; see below)")
      ->capture_default_str();
  owner->footer(CodeTypeTable());
  owner->add_option("--tag-column", owner_request.tag_column, "Tag column key")
      ->capture_default_str();
  owner->add_option("--tag-row", owner_request.tag_row, "Tag row key")->capture_default_str();
  AddMask(owner, &owner_request.mask);
  CLI::Option* address = owner->add_option("--address", owner_request.address,
                                           "Address text for code types 4 and 255");
  CLI::Option* wide =
      owner->add_flag("--wide", owner_request.wide,
                      "Pass OWNER as UTF-16 to the W export (OWNER is read as UTF-8)");
  wide->excludes(address);
  CLI::Option* owner_text = owner->add_option("owner", owner_request.owner, "Owner text");
  wide->needs(owner_text);
  AddCommonOptions(owner, &as_json, &capacity);

  uint16_t validate_code_type = 1;
  uint16_t validate_mask = 0;
  bool validate_wide = false;
  std::string validate_text;
  CLI::App* validate =
      app.add_subcommand("validate", "Whether an owner text is acceptable for a code type");
  validate->add_option("--code-type", validate_code_type, "Code type (" + CodeTypeList(false) + ")")
      ->capture_default_str();
  AddMask(validate, &validate_mask);
  validate->add_flag("--wide", validate_wide,
                     "Pass the text as UTF-16 to the W export (read as UTF-8)");
  validate->add_option("text", validate_text, "Owner text")->required();
  AddCommonOptions(validate, &as_json, nullptr);

  ClientNameRequest name_request;
  CLI::App* client_name = app.add_subcommand(
      "client-name", "The client-name command (@CNAM=); without --name, this computer's name");
  client_name
      ->add_option("--code-type", name_request.code_type, "Code type whose byte limit applies")
      ->capture_default_str();
  AddMask(client_name, &name_request.mask);
  CLI::Option* client =
      client_name->add_option("--name", name_request.name,
                              "Another machine's name, as a print server knows it (used as given)");
  client_name
      ->add_flag("--wide", name_request.wide,
                 "Pass --name as UTF-16 to the W export (--name is read as UTF-8)")
      ->needs(client);
  AddCommonOptions(client_name, &as_json, &capacity);

  std::string address_text;
  CLI::App* host_address = app.add_subcommand(
      "host-address", "The host-address command (@HOAD=); without --address, this host's address");
  CLI::Option* host_address_text = host_address->add_option(
      "--address", address_text,
      "Another machine's numeric address: 192.168.1.10, fd00::5, fe80::1%eth0 (never looked up)");
  AddCommonOptions(host_address, &as_json, &capacity);

  std::vector<std::string> decode_texts;
  std::string decode_file;
  CLI::App* decode = app.add_subcommand(
      "decode", "Explain the commands in text, a file or standard input (a captured job header)");
  decode->add_option("text", decode_texts, "Text holding commands");
  decode->add_option("--file", decode_file, "File to read (- for standard input)");
  AddCommonOptions(decode, &as_json, nullptr);

  CLI11_PARSE(app, argc, argv);
  owner_request.has_address = address->count() > 0;
  owner_request.has_owner = owner_text->count() > 0;
  name_request.has_name = client->count() > 0;

  if (show->parsed()) return RunShow(as_json);
  if (nup->parsed()) return Report(CallNup(selector, capacity), as_json);
  if (owner->parsed()) return Report(CallOwner(owner_request, capacity), as_json);
  if (client_name->parsed()) return Report(CallClientName(name_request, capacity), as_json);
  if (host_address->parsed()) {
    return Report(
        CallHostAddress(host_address_text->count() > 0 ? &address_text : nullptr, capacity),
        as_json);
  }
  if (decode->parsed()) return RunDecode(decode_texts, decode_file, as_json);
  if (validate->parsed()) {
    const Verdict verdict =
        CallValidate(validate_code_type, validate_mask, validate_wide, validate_text);
    if (as_json) {
      std::printf("%s\n", json{{"valid", verdict.valid},
                               {"status", StatusName(verdict.status)},
                               {"status_code", verdict.status}}
                              .dump(2)
                              .c_str());
    } else {
      std::printf("%s\n", verdict.valid ? "OK" : StatusName(verdict.status));
    }
    return verdict.valid ? 0 : 1;
  }
  return 1;
}
