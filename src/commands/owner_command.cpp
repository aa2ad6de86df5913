#include "commands/owner_command.h"

#include <array>
#include <cstring>

#include "commands/base85.h"
#include "commands/system_facts.h"
#include "commands/text.h"
#include "commands/validation.h"
#include "facts/command_facts.h"
#include "rkvtps32.h"

namespace rk {
namespace {

constexpr size_t kJoinedLimit = 67;  // user, "\" and computer never exceed this

constexpr std::array<char, kTagRows * kTagColumns> MakeTagTable() {
  std::array<char, kTagRows * kTagColumns> table{};
  for (int r = 0; r < kTagRows; ++r) {
    for (int c = 0; c < kTagColumns; ++c)
      table[r * kTagColumns + c] = static_cast<char>(kTagFirstCode + kTagRowStride * r + c);
  }
  return table;
}
constexpr std::array<char, kTagRows* kTagColumns> kTagTable = MakeTagTable();

void Fail(OwnerComposition* result, int16_t status, TextReport* text, TextReason why) {
  result->status = status;
  text->fate = TextFate::kRefused;
  text->why = why;
  text->carried = 0;
  text->substitute = nullptr;
}

// Appends the address part to the owner area. False, with the status, when
// the call must end: TOO_LONG for a part that cannot be carried whole, or
// the discovery's reason where a failed discovery fails the call. The
// address is looked for only when no text is given and the part fits.
bool AppendAddressPart(const CodeType& type, const char* address_text, const SystemFacts& system,
                       OwnerComposition* result) {
  char* owner = result->carried;
  TextReport& address = result->address;
  const size_t owner_length = std::strlen(owner);
  if (address_text != nullptr) {
    // Looked at only as far as the encoder could take it.
    const size_t room = owner_length < kEncoderLimit ? kEncoderLimit - owner_length : 0;
    if (TextLengthUpTo(address_text, room) > room ||
        !AppendText(owner, kOwnerAreaCapacity, address_text)) {
      Fail(result, RK_STATUS_TOO_LONG, &address, TextReason::kTooLong);
      return false;
    }
    address.fate = TextFate::kWhole;
    address.carried = static_cast<uint16_t>(std::strlen(owner) - owner_length);
    return true;
  }
  if (owner_length + kAddressPartLength > kEncoderLimit) {
    // Known before any network traffic.
    Fail(result, RK_STATUS_TOO_LONG, &address, TextReason::kTooLong);
    return false;
  }
  char digits[kIPv4DigitsCapacity];
  int16_t discovery = RK_STATUS_OK;
  if (system.IPv4Digits(digits, &discovery)) {
    address.fate = TextFate::kWhole;
  } else if (type.failed_discovery == FailedDiscovery::kFails) {
    Fail(result, discovery, &address, TextReason::kNoAddress);
    return false;
  } else {
    // Blanks stand in; the call goes on.
    CopyText(digits, sizeof digits, kNoAddressDigits);
    address.fate = TextFate::kSubstituted;
    address.why = TextReason::kNoAddress;
    address.substitute = kNoAddressDigits;
  }
  const char mark[2] = {kAddressPartMark, '\0'};
  AppendText(owner, kOwnerAreaCapacity, mark);
  AppendText(owner, kOwnerAreaCapacity, digits);
  address.carried = static_cast<uint16_t>(kAddressPartLength);
  return true;
}

void FinishCommand(OwnerComposition* result) {
  result->composed = true;
  result->length = static_cast<uint8_t>(std::strlen(result->command));
}

// Composes the command for the code type from the owner text in
// result->carried, which code types 4 and 255 extend in place by the
// address part.
void ComposeOwnerCommand(const CodeType* type, const OwnerSettings& settings,
                         const SystemFacts& system, OwnerComposition* result) {
  if (type == nullptr || !type->has_command) {
    result->status = RK_STATUS_GENERAL_ERROR;
    return;
  }
  char* command = result->command;
  const char* owner = result->carried;
  CopyText(command, kCommandCapacity, kOwnerCommand);
  const char mark[2] = {type->form_mark, '\0'};
  if (!type->encoded) {
    AppendText(command, kCommandCapacity, mark);
    if (!AppendText(command, kCommandCapacity, owner)) {
      Fail(result, RK_STATUS_TOO_LONG, &result->owner, TextReason::kTooLong);
      return;
    }
    FinishCommand(result);
    return;
  }

  if (type->address_part && !AppendAddressPart(*type, settings.address_text, system, result)) {
    return;
  }
  // An address part is appended only within the encoder's limit, so past
  // it the owner text alone is too long (possible only unchecked).
  if (TextLengthUpTo(owner, kEncoderLimit) > kEncoderLimit) {
    Fail(result, RK_STATUS_TOO_LONG, &result->owner, TextReason::kTooLong);
    return;
  }
  // An empty owner text (possible only when the character test was skipped)
  // has nothing to encode: the encoded part stays empty. Any other the
  // encoder takes, its length checked above.
  char encoded[kBase85OutputCapacity] = "";
  if (!EncodeBase85(owner, encoded) && owner[0] != '\0') {
    result->status = RK_STATUS_GENERAL_ERROR;
    return;
  }

  AppendText(command, kCommandCapacity, mark);
  if (type->tagged) {
    result->tag =
        TagCharacter(MapTagRow(settings.tag_row_key), MapTagColumn(settings.tag_column_key));
    const char tag[2] = {result->tag, '\0'};
    AppendText(command, kCommandCapacity, tag);
  }
  AppendText(command, kCommandCapacity, encoded);
  FinishCommand(result);
}

// "user\computer" into result->carried, the computer name limited so the
// joined text stays within kJoinedLimit, then cut to the code type's limit.
void JoinUserAndComputer(const CodeType& type, uint16_t mask, const char* user,
                         const SystemFacts& system, OwnerComposition* result) {
  char computer[kComputerNameCapacity];
  const bool readable = system.ComputerName(computer);
  const char* source = readable ? computer : kUnknownHost;
  char validated[kOwnerAreaCapacity];
  // At most 39 bytes: never too long for the area.
  const CopyOutcome outcome = CopyValidatedOrSubstitute(&type, source, validated, sizeof validated,
                                                        mask, kUnknownHost, system);
  const size_t user_length = std::strlen(user);
  const size_t room = kJoinedLimit - 1 - user_length;  // user is shorter than limit <= 63
  if (std::strlen(validated) > room) validated[room] = '\0';

  char* owner = result->carried;
  CopyText(owner, kOwnerAreaCapacity, user);
  AppendText(owner, kOwnerAreaCapacity, "\\");
  AppendText(owner, kOwnerAreaCapacity, validated);
  TruncateToBytes(type.byte_limit, owner, system);

  TextReport& report = result->computer;
  const size_t joined = std::strlen(owner);
  report.carried = static_cast<uint16_t>(joined > user_length + 1 ? joined - user_length - 1 : 0);
  if (!readable || outcome == CopyOutcome::kRefused) {
    report.fate = TextFate::kSubstituted;
    report.why = readable ? TextReason::kBadCharacter : TextReason::kUnreadable;
    report.substitute = kUnknownHost;
  } else {
    report.fate = report.carried == std::strlen(source) ? TextFate::kWhole : TextFate::kCut;
  }
}

}  // namespace

uint16_t MapTagRow(uint16_t tag_row_key) { return tag_row_key > 11 ? 11 : tag_row_key; }

uint16_t MapTagColumn(uint16_t tag_column_key) {
  switch (tag_column_key) {
    case 1:
      return 0;
    case 2:
      return 1;
    case 3:
    case 4:
      return 2;
    case 5:
    case 6:
    case 7:
    case 8:
      return 3;
    case 100:
      return 5;
    default:
      return 4;
  }
}

char TagCharacter(uint16_t row, uint16_t column) {
  return kTagTable[static_cast<size_t>(row) * kTagColumns + column];
}

OwnerComposition ComposeOwnerFromText(const OwnerSettings& settings, const char* owner_text,
                                      const SystemFacts& system) {
  OwnerComposition result;
  const CodeType* type = FindCodeType(settings.code_type);
  const CopyOutcome outcome = CopyValidatedOrSubstitute(
      type, owner_text, result.carried, sizeof result.carried, settings.mask, kUnknownUser, system);
  result.owner = ReportText(outcome, result.carried, kUnknownUser);
  if (outcome == CopyOutcome::kTooLong) {
    // Only an unchecked text longer than the owner area gets here: it is
    // carried whole or not at all.
    result.status = RK_STATUS_TOO_LONG;
    return result;
  }
  ComposeOwnerCommand(type, settings, system, &result);
  return result;
}

OwnerComposition ComposeOwnerFromUserHost(const OwnerSettings& settings, const char* user,
                                          const SystemFacts& system) {
  OwnerComposition result;
  const CodeType* type = FindCodeType(settings.code_type);
  if (type == nullptr) {
    result.status = RK_STATUS_GENERAL_ERROR;
    return result;
  }
  char validated_user[kOwnerAreaCapacity];
  const CopyOutcome outcome = CopyValidatedOrSubstitute(
      type, user, validated_user, sizeof validated_user, settings.mask, kUnknownUser, system);
  result.owner = ReportText(outcome, validated_user, kUnknownUser);
  if (outcome == CopyOutcome::kTooLong) {
    result.status = RK_STATUS_TOO_LONG;
    return result;
  }
  if (type->joins_computer && std::strlen(validated_user) < type->byte_limit) {
    JoinUserAndComputer(*type, settings.mask, validated_user, system, &result);
  } else {
    CopyText(result.carried, sizeof result.carried, validated_user);
  }
  ComposeOwnerCommand(type, settings, system, &result);
  return result;
}

}  // namespace rk
