// Owner text rules: the byte limit of each code type, the character-class
// test, the cut that never splits a double-byte character, and the
// validated copy that every owner text and computer name goes through.
#pragma once

#include <cstddef>
#include <cstdint>

#include "commands/composition.h"

namespace rk {

struct CodeType;
struct SystemFacts;

// The code type's byte limit; false, with nothing written, for a code type
// that has none.
bool GetOwnerLengthLimit(uint16_t code_type, uint16_t* limit);

// What the character test found.
enum class CharacterVerdict : uint8_t {
  kAccepted,  // every character in an enabled class, and not blanks alone
  kRefused,   // a character outside the enabled ranges, or blanks alone
  kNoClass,   // a character of a kind no enabled class covers
};

// The character test of `text` (not null) against `mask` (taken as given:
// 0 allows nothing here). Reads at most up to the character that takes the
// byte count past `limit`; `too_long` tells whether it went past.
CharacterVerdict ValidateTextCharacters(const char* text, uint16_t limit, uint16_t mask,
                                        bool* too_long);

// Cuts `text` (not null) in place to at most `limit` bytes without
// splitting a double-byte character of `code_page`.
void TruncateToBytes(uint16_t limit, char* text, unsigned code_page);

// The same, asking `system` for the code page only when the text may need
// cutting: a text shorter than the limit never does.
void TruncateToBytes(uint16_t limit, char* text, const SystemFacts& system);

// What a validated copy did with its source.
enum class CopyOutcome : uint8_t {
  kWhole,    // copied as it was
  kCut,      // copied, cut to the code type's limit
  kRefused,  // not copied: a character outside the mask, blanks alone, or
             // no code type
  kTooLong,  // not copied: an unchecked text longer than the destination
};

// Tests `source` (not null) for `type` (null: a code type the library does
// not know) and copies it, cut to the limit when longer, into
// `destination` (`capacity` bytes). A mask of 0 means the default classes;
// RK_CHARSET_NO_CHECK copies the source whole, untested. The destination
// is untouched unless the text was copied.
CopyOutcome CheckAndCopyOwnerText(const CodeType* type, const char* source, char* destination,
                                  size_t capacity, uint16_t mask, const SystemFacts& system);

// The same, with `substitute` put in the destination in place of a refused
// text: what every owner and computer name goes through.
CopyOutcome CopyValidatedOrSubstitute(const CodeType* type, const char* source, char* destination,
                                      size_t capacity, uint16_t mask, const char* substitute,
                                      const SystemFacts& system);

// What a validated copy did with its source, for a composition's report:
// `destination` holds what the command carries (substitute included).
TextReport ReportText(CopyOutcome outcome, const char* destination, const char* substitute);

// The validation exports' verdict on an owner text (not null): 1 with OK,
// or 0 with GENERAL_ERROR (unknown code type), TOO_LONG (past the code
// type's limit) or BAD_CHARACTER, tested in that order. Nothing is copied
// or cut, so no code page is needed.
struct Verdict {
  int32_t accepted;
  int16_t status;
};
Verdict JudgeOwnerText(uint16_t code_type, const char* text, uint16_t mask);

}  // namespace rk
