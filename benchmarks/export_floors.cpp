#include "export_floors.h"

#include <array>
#include <cstring>

#include "command_facts.h"
#include "rkvtps32.h"

namespace floors {
namespace {

// ---- Shared steps ---------------------------------------------------------------

// The size-word contract of every builder, for a command of `length` bytes
// the caller's buffer may receive: false when it cannot, with the status and
// size word the export gives.
bool HasRoom(size_t length, const char* buffer, uint16_t* size, int16_t* status) {
  const auto needed = static_cast<uint16_t>(length + 1);
  if (*size < needed) {
    *status = RK_STATUS_BUFFER_TOO_SMALL;
    *size = needed;
    return false;
  }
  if (buffer == nullptr) {
    *status = RK_STATUS_GENERAL_ERROR;
    return false;
  }
  return true;
}

// The code type's row, found by one load: the facts' rows indexed by code.
constexpr std::array<const rk::CodeType*, 256> MakeCodeTypeIndex() {
  std::array<const rk::CodeType*, 256> index{};
  for (const rk::CodeType& type : rk::kCodeTypes) index[type.code] = &type;
  return index;
}
constexpr std::array<const rk::CodeType*, 256> kCodeTypeIndex = MakeCodeTypeIndex();

const rk::CodeType* FindCodeType(uint16_t code) {
  return code < kCodeTypeIndex.size() ? kCodeTypeIndex[code] : nullptr;
}

// What a byte is under the default classes (RK_CHARSET_DEFAULT: printable
// ASCII, half-width kana, code page 932 double-byte characters), which
// always read the text as code page 932.
enum ByteClass : uint8_t { kRefused, kSingle, kLead };

constexpr bool IsLeadByte932(unsigned byte) {
  return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
}

constexpr std::array<ByteClass, 256> MakeDefaultClasses() {
  std::array<ByteClass, 256> classes{};
  for (unsigned byte = 0; byte < 256; ++byte) {
    if (IsLeadByte932(byte)) {
      classes[byte] = kLead;
    } else if ((byte >= 0x20 && byte <= 0x7E) || (byte >= 0xA1 && byte <= 0xDF)) {
      classes[byte] = kSingle;
    }
  }
  return classes;
}
constexpr std::array<ByteClass, 256> kDefaultClasses = MakeDefaultClasses();

// The character test under the default classes: true when every character
// up to the one that takes the count past `limit` is accepted and they are
// not blanks alone. `*read` is the count of bytes judged.
bool AcceptCharacters(const char* text, unsigned limit, unsigned* read) {
  const auto* p = reinterpret_cast<const uint8_t*>(text);
  unsigned count = 0;
  bool blank = true;
  while (p[count] != 0 && count <= limit) {
    const uint8_t byte = p[count];
    switch (kDefaultClasses[byte]) {
      case kSingle:
        blank = blank && byte == 0x20;
        count += 1;
        break;
      case kLead:
        if (p[count + 1] < 0x40 || p[count + 1] > 0xFC) return false;
        blank = blank && byte == 0x81 && p[count + 1] == 0x40;  // the ideographic space
        count += 2;
        break;
      case kRefused:
        return false;
    }
  }
  *read = count;
  return !blank;
}

// How many of the first `limit` bytes of an accepted text survive a cut that
// never splits a character of `code_page`.
unsigned CutLength(const char* text, unsigned limit, unsigned code_page) {
  if (code_page != 932) return limit;
  const auto* p = reinterpret_cast<const uint8_t*>(text);
  unsigned kept = 0;
  for (;;) {
    const unsigned next = kept + (IsLeadByte932(p[kept]) ? 2 : 1);
    if (next > limit) return kept;
    kept = next;
  }
}

unsigned Base85Length(unsigned n) { return n / 4 * 5 + (n % 4 != 0 ? n % 4 + 1 : 0); }

// Ascii85 digits of `n` bytes into `out`: five a group of four, the leading
// k + 1 of a short last group of k.
void WriteBase85(const uint8_t* bytes, unsigned n, char* out) {
  for (unsigned start = 0; start < n; start += 4) {
    const unsigned k = n - start < 4 ? n - start : 4;
    uint32_t value = 0;
    for (unsigned i = 0; i < 4; ++i) value = value << 8 | (i < k ? bytes[start + i] : 0u);
    char digits[5];
    for (int digit = 4; digit >= 0; --digit) {
      digits[digit] = static_cast<char>(value % 85 + 33);
      value /= 85;
    }
    std::memcpy(out, digits, k + 1);
    out += k + 1;
  }
}

char TagCharacter(uint16_t tag_column_key, uint16_t tag_row_key) {
  unsigned column = 4;
  switch (tag_column_key) {
    case 1:
      column = 0;
      break;
    case 2:
      column = 1;
      break;
    case 3:
    case 4:
      column = 2;
      break;
    case 5:
    case 6:
    case 7:
    case 8:
      column = 3;
      break;
    case 100:
      column = 5;
      break;
  }
  const unsigned row = tag_row_key > 11 ? 11 : tag_row_key;
  return static_cast<char>(rk::kTagFirstCode + rk::kTagRowStride * row + column);
}

}  // namespace

int32_t ComposeNupCommand(uint16_t selector, char* buffer, uint16_t* size, int16_t* status) {
  if (size == nullptr || status == nullptr) return 0;
  *status = RK_STATUS_OK;
  const char* command;
  switch (selector) {
    // clang-format off
    case 0:  command = "@NLPP=1";   break;
    case 1:  command = "@NLPP=N2";  break;
    case 2:  command = "@NLPP=N4";  break;
    case 3:  command = "@NLPP=N6";  break;
    case 4:  command = "@NLPP=N8";  break;
    case 5:  command = "@NLPP=N9";  break;
    case 6:  command = "@NLPP=N16"; break;
    case 7:  command = "@NLPP=P2";  break;
    case 8:  command = "@NLPP=P4";  break;
    case 9:  command = "@NLPP=P8";  break;
    case 10: command = "@NLPP=P9";  break;
    case 11: command = "@NLPP=P16"; break;
    case 12: command = "@NLPP=N32"; break;
    case 13: command = "@NLPP=P3";  break;
    // clang-format on
    default:
      *status = RK_STATUS_BAD_NUP;
      return 0;
  }
  const size_t length = std::strlen(command);
  if (!HasRoom(length, buffer, size, status)) return 0;
  std::memcpy(buffer, command, length + 1);
  *size = static_cast<uint16_t>(length);
  return 1;
}

int32_t JudgeOwnerText(uint16_t code_type, const char* text, int16_t* status) {
  if (status == nullptr) return 0;
  const rk::CodeType* type = FindCodeType(code_type);
  if (text == nullptr || type == nullptr) {
    *status = RK_STATUS_GENERAL_ERROR;
    return 0;
  }
  const unsigned limit = type->byte_limit;
  if (strnlen(text, limit + 1) > limit) {
    *status = RK_STATUS_TOO_LONG;
    return 0;
  }
  unsigned read = 0;
  if (!AcceptCharacters(text, limit, &read)) {
    *status = RK_STATUS_BAD_CHARACTER;
    return 0;
  }
  *status = RK_STATUS_OK;
  return 1;
}

int32_t ComposeOwnerCommand(uint16_t code_type, const char* owner_text, uint16_t tag_column_key,
                            uint16_t tag_row_key, char* buffer, uint16_t* size, int16_t* status,
                            unsigned code_page) {
  if (size == nullptr || status == nullptr) return 0;
  const rk::CodeType* type = FindCodeType(code_type);
  if (owner_text == nullptr || type == nullptr || !type->has_command) {
    *status = RK_STATUS_GENERAL_ERROR;
    return 0;
  }
  *status = RK_STATUS_OK;
  const char* owner = owner_text;
  unsigned read = 0;
  unsigned owner_length = 0;
  if (!AcceptCharacters(owner_text, type->byte_limit, &read)) {
    owner = rk::kUnknownUser;
    owner_length = sizeof rk::kUnknownUser - 1;
  } else if (read > type->byte_limit) {
    owner_length = CutLength(owner_text, type->byte_limit, code_page);
  } else {
    owner_length = read;
  }

  const size_t prefix = sizeof rk::kOwnerCommand - 1;
  const size_t marks = (type->form_mark != '\0' ? 1 : 0) + (type->tagged ? 1 : 0);
  const size_t body = type->encoded ? Base85Length(owner_length) : owner_length;
  if (!HasRoom(prefix + marks + body, buffer, size, status)) return 0;
  char* out = buffer;
  std::memcpy(out, rk::kOwnerCommand, prefix);
  out += prefix;
  if (type->form_mark != '\0') *out++ = type->form_mark;
  if (type->tagged) *out++ = TagCharacter(tag_column_key, tag_row_key);
  if (type->encoded) {
    WriteBase85(reinterpret_cast<const uint8_t*>(owner), owner_length, out);
  } else {
    std::memcpy(out, owner, owner_length);
  }
  out[body] = '\0';
  *size = static_cast<uint16_t>(prefix + marks + body);
  return 1;
}

}  // namespace floors
