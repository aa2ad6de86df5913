#include "owner/owner_command.h"

#include <array>
#include <cstring>

#include "facts/command_facts.h"
#include "frame/sized_output.h"
#include "frame/text.h"
#include "host/discovery.h"
#include "owner/base85.h"
#include "rkvtps32.h"

namespace rk {
namespace {

constexpr size_t kCommandCapacity = 80;  // 79 characters and the NUL

constexpr std::array<char, kTagRows * kTagColumns> MakeTagTable() {
  std::array<char, kTagRows * kTagColumns> table{};
  for (int r = 0; r < kTagRows; ++r) {
    for (int c = 0; c < kTagColumns; ++c)
      table[r * kTagColumns + c] = static_cast<char>(kTagFirstCode + kTagRowStride * r + c);
  }
  return table;
}
constexpr std::array<char, kTagRows* kTagColumns> kTagTable = MakeTagTable();

// Appends the address part to the owner area. False with a status when the
// call must end: TOO_LONG for a part that cannot be carried whole, or the
// discovery's reason where a failed discovery fails the call.
bool AppendAddressPart(const CodeType& type, char* owner, size_t owner_capacity,
                       const char* address_text, int16_t* status) {
  const size_t owner_length = std::strlen(owner);
  if (address_text != nullptr) {
    // Looked at only as far as the encoder could take it.
    const size_t room = owner_length < kEncoderLimit ? kEncoderLimit - owner_length : 0;
    if (TextLengthUpTo(address_text, room) > room ||
        !AppendText(owner, owner_capacity, address_text)) {
      *status = RK_STATUS_TOO_LONG;
      return false;
    }
    return true;
  }
  if (owner_length + kAddressPartLength > kEncoderLimit) {
    *status = RK_STATUS_TOO_LONG;  // known before any network traffic
    return false;
  }
  char digits[kIPv4DigitsCapacity];
  if (type.failed_discovery == FailedDiscovery::kFails) {
    if (!GetIPv4AddressHex(digits, status)) return false;
  } else {
    int16_t discarded = RK_STATUS_OK;  // blanks stand in; the call goes on
    if (!GetIPv4AddressHex(digits, &discarded)) CopyText(digits, sizeof digits, kNoAddressDigits);
  }
  const char mark[2] = {kAddressPartMark, '\0'};
  return AppendText(owner, owner_capacity, mark) && AppendText(owner, owner_capacity, digits);
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

int32_t ComposeOwnerCommand(const CodeType* type, char* owner, size_t owner_capacity,
                            uint16_t tag_column_key, uint16_t tag_row_key, char* buffer,
                            const char* address_text, uint16_t* size, int16_t* status) {
  *status = RK_STATUS_OK;
  if (type == nullptr || !type->has_command) {
    *status = RK_STATUS_GENERAL_ERROR;
    return 0;
  }
  char command[kCommandCapacity];
  CopyText(command, sizeof command, kOwnerCommand);
  const char mark[2] = {type->form_mark, '\0'};
  if (!type->encoded) {
    AppendText(command, sizeof command, mark);
    if (!AppendText(command, sizeof command, owner)) {
      *status = RK_STATUS_TOO_LONG;
      return 0;
    }
    return DeliverCommand(command, buffer, size, status);
  }

  if (type->address_part &&
      !AppendAddressPart(*type, owner, owner_capacity, address_text, status)) {
    return 0;
  }
  if (TextLengthUpTo(owner, kEncoderLimit) > kEncoderLimit) {
    *status = RK_STATUS_TOO_LONG;
    return 0;
  }
  // An empty owner text (possible only when the character test was skipped)
  // has nothing to encode: the encoded part stays empty. Any other the
  // encoder takes, its length checked above.
  char encoded[kBase85OutputCapacity] = "";
  if (!EncodeBase85(owner, encoded) && owner[0] != '\0') {
    *status = RK_STATUS_GENERAL_ERROR;
    return 0;
  }

  AppendText(command, sizeof command, mark);
  if (type->tagged) {
    const char tag[2] = {TagCharacter(MapTagRow(tag_row_key), MapTagColumn(tag_column_key)), '\0'};
    AppendText(command, sizeof command, tag);
  }
  AppendText(command, sizeof command, encoded);
  return DeliverCommand(command, buffer, size, status);
}

}  // namespace rk
