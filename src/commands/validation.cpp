#include "commands/validation.h"

#include <array>
#include <cstring>
#include <utility>

#include "commands/code_pages.h"
#include "commands/system_facts.h"
#include "commands/text.h"
#include "facts/command_facts.h"
#include "rkvtps32.h"

namespace rk {
namespace {

constexpr uint16_t kSingleByteClasses =
    RK_CHARSET_ASCII | RK_CHARSET_LATIN1 | RK_CHARSET_ANY_BYTE | RK_CHARSET_HALFWIDTH_KANA;

bool InRange(uint8_t byte, uint8_t low, uint8_t high) { return byte >= low && byte <= high; }

// Set beside the mask classes in kByteClasses: the byte leads a double-byte
// character of code page 932. The character test uses this fixed rule
// whatever the system's code page; the cut asks the system.
constexpr uint8_t kLeads932 = 0x80;

// What each byte is to the character test, one load a byte: the mask
// classes that accept it as a character of its own, and kLeads932.
constexpr uint8_t ClassesOf(unsigned byte) {
  uint8_t classes = 0;
  const bool printable_ascii = byte >= 0x20 && byte <= 0x7E;
  if (printable_ascii) classes |= RK_CHARSET_ASCII;
  if (printable_ascii || byte >= 0xA0) classes |= RK_CHARSET_LATIN1;
  if (byte >= 0x20) classes |= RK_CHARSET_ANY_BYTE;
  if (byte >= 0xA1 && byte <= 0xDF) classes |= RK_CHARSET_HALFWIDTH_KANA;
  if (IsLeadByte(932, static_cast<uint8_t>(byte))) classes |= kLeads932;
  return classes;
}

template <size_t... Bytes>
constexpr std::array<uint8_t, 256> MakeByteClasses(std::index_sequence<Bytes...>) {
  return {ClassesOf(Bytes)...};
}

constexpr std::array<uint8_t, 256> kByteClasses = MakeByteClasses(std::make_index_sequence<256>());

}  // namespace

bool GetOwnerLengthLimit(uint16_t code_type, uint16_t* limit) {
  const CodeType* type = FindCodeType(code_type);
  if (type == nullptr) return false;
  *limit = type->byte_limit;
  return true;
}

CharacterVerdict ValidateTextCharacters(const char* text, uint16_t limit, uint16_t mask,
                                        bool* too_long) {
  *too_long = false;
  if (mask == RK_CHARSET_NO_CHECK) return CharacterVerdict::kAccepted;
  // Kana or double-byte characters mean Japanese text: read it as code
  // page 932. Otherwise there are no lead bytes (code page 1252).
  const bool read_as_932 = (mask & (RK_CHARSET_HALFWIDTH_KANA | RK_CHARSET_DOUBLE_BYTE)) != 0;
  uint16_t count = 0;
  bool blank = true;
  const auto* p = reinterpret_cast<const uint8_t*>(text);
  while (*p != 0) {
    const uint8_t byte = *p;
    const uint8_t classes = kByteClasses[byte];
    if (read_as_932 && (classes & kLeads932) != 0) {
      if ((mask & RK_CHARSET_DOUBLE_BYTE) == 0) return CharacterVerdict::kNoClass;
      const uint8_t trail = p[1];  // the NUL when the lead byte ends the text
      if (!InRange(trail, 0x40, 0xFC)) return CharacterVerdict::kRefused;
      if (!(byte == 0x81 && trail == 0x40)) blank = false;  // ideographic space
      p += 2;
      count += 2;
    } else {
      if ((mask & kSingleByteClasses) == 0) return CharacterVerdict::kNoClass;
      if ((classes & mask & kSingleByteClasses) == 0) return CharacterVerdict::kRefused;
      if (byte != 0x20) blank = false;
      p += 1;
      count += 1;
    }
    // The character that takes the count past the limit is judged like the
    // others; what follows it is neither tested nor counted.
    if (count > limit) break;
  }
  if (blank) return CharacterVerdict::kRefused;
  *too_long = count > limit;
  return CharacterVerdict::kAccepted;
}

void TruncateToBytes(uint16_t limit, char* text, unsigned code_page) {
  unsigned count = 0;
  char* p = text;
  while (*p != '\0') {
    const bool lead = IsLeadByte(code_page, static_cast<uint8_t>(*p));
    count += lead ? 2 : 1;
    if (count > limit) {
      *p = '\0';
      break;
    }
    // A lead byte at the very end counts 2 and ends the text.
    if (lead && p[1] == '\0') break;
    p += lead ? 2 : 1;
  }
}

void TruncateToBytes(uint16_t limit, char* text, const SystemFacts& system) {
  // At most one byte short of the limit, even a lead byte at the end (which
  // counts two) stays within it.
  if (TextLengthUpTo(text, limit) < limit) return;
  TruncateToBytes(limit, text, system.AnsiCodePage());
}

CopyOutcome CheckAndCopyOwnerText(const CodeType* type, const char* source, char* destination,
                                  size_t capacity, uint16_t mask, const SystemFacts& system) {
  if (type == nullptr) return CopyOutcome::kRefused;
  const uint16_t limit = type->byte_limit;
  if (mask == 0) mask = RK_CHARSET_DEFAULT;
  bool too_long = false;
  if (ValidateTextCharacters(source, limit, mask, &too_long) != CharacterVerdict::kAccepted) {
    return CopyOutcome::kRefused;
  }
  if (!too_long) {
    // Within the limit, or untested and uncut under RK_CHARSET_NO_CHECK,
    // where the source may be any length: it is delivered whole or not at
    // all, never past the destination.
    const size_t length = std::strlen(source);
    if (length >= capacity) return CopyOutcome::kTooLong;
    std::memcpy(destination, source, length + 1);
    return CopyOutcome::kWhole;
  }
  // Cut: only the first `limit` bytes (and the NUL) can survive the cut, so
  // only they are copied and cut in the destination.
  if (static_cast<size_t>(limit) >= capacity) return CopyOutcome::kTooLong;
  std::memcpy(destination, source, limit);
  destination[limit] = '\0';
  TruncateToBytes(limit, destination, system.AnsiCodePage());
  return CopyOutcome::kCut;
}

CopyOutcome CopyValidatedOrSubstitute(const CodeType* type, const char* source, char* destination,
                                      size_t capacity, uint16_t mask, const char* substitute,
                                      const SystemFacts& system) {
  const CopyOutcome outcome =
      CheckAndCopyOwnerText(type, source, destination, capacity, mask, system);
  if (outcome == CopyOutcome::kRefused) CopyText(destination, capacity, substitute);
  return outcome;
}

TextReport ReportText(CopyOutcome outcome, const char* destination, const char* substitute) {
  TextReport report;
  switch (outcome) {
    case CopyOutcome::kWhole:
      report.fate = TextFate::kWhole;
      break;
    case CopyOutcome::kCut:
      report.fate = TextFate::kCut;
      break;
    case CopyOutcome::kRefused:
      report.fate = TextFate::kSubstituted;
      report.why = TextReason::kBadCharacter;
      report.substitute = substitute;
      return report;
    case CopyOutcome::kTooLong:
      report.fate = TextFate::kRefused;
      report.why = TextReason::kTooLong;
      return report;
  }
  report.carried = static_cast<uint16_t>(std::strlen(destination));
  return report;
}

// The order of the tests is part of the contract: an unknown code type
// before the length, the length before the characters.
Verdict JudgeOwnerText(uint16_t code_type, const char* text, uint16_t mask) {
  const CodeType* type = FindCodeType(code_type);
  if (type == nullptr) return {0, RK_STATUS_GENERAL_ERROR};
  bool too_long = false;
  if (TextLengthUpTo(text, type->byte_limit) > type->byte_limit) return {0, RK_STATUS_TOO_LONG};
  // Within the limit, a text is never cut: it is accepted whole or refused.
  if (mask == 0) mask = RK_CHARSET_DEFAULT;
  if (ValidateTextCharacters(text, type->byte_limit, mask, &too_long) !=
      CharacterVerdict::kAccepted) {
    return {0, RK_STATUS_BAD_CHARACTER};
  }
  return {1, RK_STATUS_OK};
}

}  // namespace rk
