// Compose, then decode: for any settings and texts, every command the
// command logic composes must read back, by its own decoder, as exactly
// what the composition reported it carried: the owner bytes and address
// part, the tag, the client name, the address, the N-up keyword. A header
// is the commands in the filter's order, each followed by the separator.
//
// With RK_ROUNDTRIP_EMIT naming a folder, each header read back is also
// written there with what the compositions reported, one command a line,
// for fuzz/roundtrip_tool.py to hold `rkvtps decode --strict` to.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "commands/decode.h"
#include "commands/host_commands.h"
#include "commands/nup.h"
#include "commands/owner_command.h"
#include "commands/system_facts.h"
#include "facts/command_facts.h"
#include "rkvtps32.h"

namespace {

const char* const kSeparators[] = {"\n", "\r\n", ""};
// A single-byte code page, and each double-byte one the cut knows.
const unsigned kCodePages[] = {1252, 932, 936, 949, 950};
const uint16_t kMasks[] = {0,
                           RK_CHARSET_DEFAULT,
                           RK_CHARSET_ASCII,
                           RK_CHARSET_LATIN1,
                           RK_CHARSET_ANY_BYTE,
                           RK_CHARSET_DEFAULT | RK_CHARSET_DOUBLE_BYTE,
                           RK_CHARSET_HALFWIDTH_KANA | RK_CHARSET_DOUBLE_BYTE,
                           RK_CHARSET_NO_CHECK};

void Expect(bool holds, const char* what, const std::string& header) {
  if (holds) return;
  std::fprintf(stderr, "round trip: %s\nheader:", what);
  for (unsigned char c : header) std::fprintf(stderr, " %02X", c);
  std::fprintf(stderr, "\n");
  std::abort();
}

// What a reader cannot take back from any command language that carries
// raw bytes: a control byte (it ends a command), a command start, an empty
// text. The library sends such text only when told not to check it.
bool ReadableRaw(const std::string& text) {
  if (text.empty()) return false;
  for (size_t i = 0; i < text.size(); ++i) {
    const auto byte = static_cast<unsigned char>(text[i]);
    if (byte < 0x20 || byte == 0x7F || rk::StartsCommand(text, i)) return false;
  }
  return true;
}

std::string Hex(const std::string& bytes) {
  static const char kDigits[] = "0123456789ABCDEF";
  std::string hex;
  for (unsigned char c : bytes) {
    hex += kDigits[c >> 4];
    hex += kDigits[c & 15];
  }
  return hex;
}

void WriteFile(const std::string& path, const std::string& bytes) {
  FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr || std::fwrite(bytes.data(), 1, bytes.size(), file) != bytes.size() ||
      std::fclose(file) != 0) {
    std::fprintf(stderr, "round trip: cannot write %s\n", path.c_str());
    std::abort();
  }
}

// The header and its expectation lines, under names numbered in the order
// of the inputs run.
void Emit(const std::string& header, const std::string& expected) {
  static const char* const folder = std::getenv("RK_ROUNDTRIP_EMIT");
  static unsigned next = 0;
  if (folder == nullptr) return;
  const std::string stem = std::string(folder) + "/" + std::to_string(next++);
  WriteFile(stem + ".header", header);
  WriteFile(stem + ".expected", expected);
}

template <typename T, size_t N>
T Pick(FuzzedDataProvider& in, const T (&table)[N]) {
  return table[in.ConsumeIntegralInRange<size_t>(0, N - 1)];
}

struct Composed {
  std::string command;
  bool checked;  // false: the text is one no reader can take back
};

// What a report says became of `given` (up to its first NUL, as a C
// string reads it) holds for `carried`, the bytes the command carries in
// its place: whole, a shorter beginning of the stated length, or the
// substitute. The programs' warnings are these sentences.
void CheckReport(const std::string& given, const rk::TextReport& report, const std::string& carried,
                 const std::string& header) {
  const std::string text = given.c_str();
  switch (report.fate) {
    case rk::TextFate::kWhole:
      Expect(carried == text && report.carried == text.size(), "a whole text differs", header);
      break;
    case rk::TextFate::kCut:
      Expect(report.carried == carried.size() && carried.size() < text.size() &&
                 text.compare(0, carried.size(), carried) == 0,
             "a cut text is no beginning of the stated length", header);
      break;
    case rk::TextFate::kSubstituted:
      Expect(report.substitute != nullptr && carried == report.substitute,
             "a substituted text is not the substitute", header);
      break;
    default:
      Expect(false, "a command composed of a text reported refused or not given", header);
  }
}

// The owner command, from a given text or from a user and a computer.
Composed ComposeOwner(FuzzedDataProvider& in, const rk::SystemFacts& system,
                      rk::OwnerComposition* result) {
  rk::OwnerSettings settings;
  settings.code_type =
      in.ConsumeBool() ? Pick(in, rk::kCodeTypes).code : in.ConsumeIntegral<uint16_t>();
  settings.tag_column_key = in.ConsumeIntegralInRange<uint16_t>(0, 120);
  settings.tag_row_key = in.ConsumeIntegralInRange<uint16_t>(0, 20);
  settings.mask = Pick(in, kMasks);
  const std::string address = in.ConsumeRandomLengthString(28);
  settings.address_text = in.ConsumeBool() ? address.c_str() : nullptr;
  const std::string text = in.ConsumeRandomLengthString(80);
  const bool from_text = in.ConsumeBool();
  *result = from_text ? rk::ComposeOwnerFromText(settings, text.c_str(), system)
                      : rk::ComposeOwnerFromUserHost(settings, text.c_str(), system);
  if (!result->composed) return {"", false};
  const std::string carried = result->carried;
  if (from_text) {
    // The owner's bytes, before the address part of code types 4 and 255.
    const bool address_part = result->address.fate == rk::TextFate::kWhole ||
                              result->address.fate == rk::TextFate::kSubstituted;
    const size_t address = address_part ? result->address.carried : 0;
    Expect(address <= carried.size(), "an address part longer than the owner area", carried);
    CheckReport(text, result->owner, carried.substr(0, carried.size() - address), carried);
  }
  const rk::CodeType* type = rk::FindCodeType(settings.code_type);
  // What follows "@JOAU=" must hold no command start, or a reader takes
  // it for the next command. Beside a raw text, the form mark counts (code
  // type 1's "@" before four capitals and "="), and so does the tag: "@" is
  // the tag of row 4, column 4, and base-85 digits include the capitals and
  // "=". The library composes these bytes as it always has; a program that
  // writes a header checks the command it is given.
  bool checked =
      !carried.empty() && ReadableRaw(std::string(result->command + rk::kCommandStartLength,
                                                  result->length - rk::kCommandStartLength));
  // Code type 5 has no form mark: a text that starts with one reads as
  // that form. The command language cannot tell them apart.
  if (type->form_mark == '\0' && (carried[0] == '@' || carried[0] == '$' || carried[0] == '#')) {
    checked = false;
  }
  // A NUL cannot be in a C string, so the carried text is whole.
  return {std::string(result->command, result->length), checked};
}

void CheckOwner(const rk::OwnerComposition& result, const rk::DecodedCommand& d,
                const std::string& header) {
  Expect(d.ok, "owner command refused by the decoder", header);
  Expect(d.owner + d.address_part == result.carried, "owner bytes differ", header);
  Expect(d.tag == result.tag, "tag differs", header);
  if (result.address.fate != rk::TextFate::kNotGiven &&
      result.address.fate != rk::TextFate::kRefused) {
    const std::string carried = result.carried;
    Expect(carried.size() >= result.address.carried, "address part longer than the owner", header);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider in(data, size);
  rk::GivenSystemFacts system;
  system.code_page = Pick(in, kCodePages);
  const std::string computer = in.ConsumeRandomLengthString(39);
  system.computer_name_text = in.ConsumeBool() ? computer.c_str() : nullptr;
  char digits[rk::kIPv4DigitsCapacity];
  const uint32_t ipv4 = in.ConsumeIntegral<uint32_t>();
  std::snprintf(digits, sizeof digits, "%08X", static_cast<unsigned>(ipv4));
  system.ipv4_digits_text = in.ConsumeBool() ? digits : nullptr;
  const std::string separator = Pick(in, kSeparators);

  rk::OwnerComposition owner;
  const Composed owner_command = ComposeOwner(in, system, &owner);
  const std::string client = in.ConsumeRandomLengthString(70);
  const uint16_t client_mask = Pick(in, kMasks);
  const rk::ClientNameComposition name =
      rk::ComposeClientName(in.ConsumeBool() ? 5 : 1, client.c_str(), client_mask, system);
  if (name.composed) {
    CheckReport(client, name.name, name.command + rk::kCommandStartLength, name.command);
  }
  const std::string address_text = in.ConsumeRandomLengthString(48);
  const rk::Composition address = rk::ComposeHostAddressFromText(address_text.c_str());
  const uint16_t selector = in.ConsumeIntegralInRange<uint16_t>(0, 15);
  const rk::Composition nup = rk::ComposeNup(selector);

  // The header of the commands that were composed, in the filter's order.
  std::string header;
  std::vector<const char*> names;
  const auto add = [&](const rk::Composition& c, const char* command_name) {
    if (!c.composed) return;
    header += std::string(c.command, c.length) + separator;
    names.push_back(command_name);
  };
  add(owner, rk::kOwnerName);
  add(name, rk::kClientNameName);
  add(address, rk::kHostAddressName);
  add(nup, rk::kNupName);
  // A text no reader can take back may break the header around it: the
  // rest is then checked one command at a time.
  const bool name_checked = !name.composed || ReadableRaw(name.command + rk::kCommandStartLength);
  const bool whole = (!owner.composed || owner_command.checked) && name_checked;
  if (!whole || header.empty()) return 0;

  const std::vector<rk::DecodedCommand> found =
      rk::DecodeCommands(header, rk::LibraryNupKeywords());
  Expect(found.size() == names.size(), "the decoder found another number of commands", header);
  std::string expected;
  for (size_t i = 0; i < found.size(); ++i) {
    const rk::DecodedCommand& d = found[i];
    Expect(d.name == names[i], "commands in another order", header);
    Expect(d.ok, d.error.c_str(), header);
    if (d.name == rk::kOwnerName) {
      CheckOwner(owner, d, header);
      expected += d.name + " " + Hex(owner.carried) + " " + Hex(std::string(1, owner.tag)) + "\n";
    } else if (d.name == rk::kClientNameName) {
      const std::string carried = name.command + rk::kCommandStartLength;
      Expect(d.owner == carried, "client name differs", header);
      expected += d.name + " " + Hex(carried) + "\n";
    } else if (d.name == rk::kHostAddressName) {
      const bool ipv4 = address.command[rk::kCommandStartLength] == rk::kIPv4Form;
      Expect(d.address_family == (ipv4 ? "IPv4" : "IPv6"), "address family differs", header);
      const std::string digits = address.command + rk::kCommandStartLength + 1;
      const std::string text = ipv4 ? rk::DottedIPv4(digits) : rk::IPv6Text(digits);
      Expect(d.address == text, "address differs", header);
      expected += d.name + " " + (ipv4 ? "IPv4 " : "IPv6 ") + text + "\n";
    } else {
      Expect(d.keyword == rk::NupKeyword(selector), "N-up keyword differs", header);
      Expect(d.selector == selector, "N-up selector differs", header);
      expected += d.name + " " + rk::NupKeyword(selector) + " " + std::to_string(selector) + "\n";
    }
  }
  Emit(header, expected);
  return 0;
}
