#include "commands/host_commands.h"

#include <cstring>

#include "commands/address_text.h"
#include "commands/system_facts.h"
#include "commands/text.h"
#include "commands/validation.h"
#include "facts/command_facts.h"
#include "rkvtps32.h"

namespace rk {
namespace {

// The validated copy delivers at most 63 bytes under a character test (code
// type 5), or a whole name of at most 63 bytes without one: both fit, so the
// command always carries the name whole.
constexpr size_t kValidatedNameCapacity = 64;

void FinishCommand(Composition* result) {
  result->composed = true;
  result->length = static_cast<uint8_t>(std::strlen(result->command));
}

}  // namespace

ClientNameComposition ComposeClientName(uint16_t code_type, const char* name, uint16_t mask,
                                        const SystemFacts& system) {
  ClientNameComposition result;
  char validated[kValidatedNameCapacity];
  const CopyOutcome outcome = CopyValidatedOrSubstitute(
      FindCodeType(code_type), name, validated, sizeof validated, mask, kUnknownHost, system);
  result.name = ReportText(outcome, validated, kUnknownHost);
  if (outcome == CopyOutcome::kTooLong) {
    // Only an unchecked name longer than the command carries gets here
    // (never the computer name, at most 39 bytes): whole or not at all.
    result.status = RK_STATUS_TOO_LONG;
    return result;
  }
  if (outcome == CopyOutcome::kRefused) result.status = RK_STATUS_BAD_CHARACTER;
  CopyText(result.command, kCommandCapacity, kClientNameCommand);
  AppendText(result.command, kCommandCapacity, validated);
  FinishCommand(&result);
  return result;
}

ClientNameComposition ComposeComputerName(uint16_t code_type, uint16_t mask,
                                          const SystemFacts& system) {
  char name[kComputerNameCapacity];
  if (system.ComputerName(name)) return ComposeClientName(code_type, name, mask, system);
  ClientNameComposition result = ComposeClientName(code_type, kUnknownHost, mask, system);
  if (result.status == RK_STATUS_OK) result.status = RK_STATUS_NO_HOST_NAME;
  if (result.name.fate != TextFate::kSubstituted) {
    result.name = {TextFate::kSubstituted, TextReason::kUnreadable, 0, kUnknownHost};
  }
  return result;
}

void WriteHexDigits(const unsigned char* bytes, size_t count, bool upper_case, char* out) {
  const char* digits = upper_case ? "0123456789ABCDEF" : "0123456789abcdef";
  for (size_t i = 0; i < count; ++i) {
    out[2 * i] = digits[bytes[i] >> 4];
    out[2 * i + 1] = digits[bytes[i] & 0x0F];
  }
  out[2 * count] = '\0';
}

Composition ComposeHostAddress(char form, const char* digits) {
  Composition result;
  CopyText(result.command, kCommandCapacity, kHostAddressCommand);
  const char form_text[2] = {form, '\0'};
  AppendText(result.command, kCommandCapacity, form_text);
  AppendText(result.command, kCommandCapacity, digits);
  FinishCommand(&result);
  return result;
}

Composition ComposeHostAddressFromText(const char* address_text) {
  ParsedAddress address{};
  if (!ParseAddressText(address_text, &address)) {
    Composition result;
    result.status = RK_STATUS_BAD_ADDRESS;
    return result;
  }
  // The same digits the discoveries write for an address of this host.
  char digits[kIPv6Digits + 1];
  WriteHexDigits(address.bytes, address.ipv4 ? 4 : 16, address.ipv4, digits);
  return ComposeHostAddress(address.ipv4 ? kIPv4Form : kIPv6Form, digits);
}

}  // namespace rk
