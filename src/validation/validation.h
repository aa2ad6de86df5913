// Owner text rules: the byte limit of each code type, the character-class
// test, the cut that never splits a double-byte character, and the
// validated copy that every owner text and computer name goes through.
#pragma once

#include <cstddef>
#include <cstdint>

namespace rk {

// The code type's byte limit. 1 and *limit written; 0 and nothing written
// for a code type that has none.
int32_t GetOwnerLengthLimit(uint16_t code_type, uint16_t* limit);

// The character test of `text` against `mask` (taken as given: 0 allows
// nothing here). Reads at most up to the character that takes the byte
// count past `limit`. 1: accepted, *too_long tells whether the count went
// past the limit. 0: a character outside the enabled ranges, or nothing but
// blanks. -1: a character of a kind no enabled class covers. -2: a null
// pointer, nothing written.
int32_t ValidateTextCharacters(const char* text, uint16_t limit, uint16_t mask, int16_t* too_long);

// Cuts `text` in place to at most `limit` bytes without splitting a
// double-byte character of the ANSI code page in force. 0 for a null text.
int32_t TruncateToBytes(uint16_t limit, char* text);

// Tests `source` and copies it, cut to the code type's limit when longer,
// into `destination` (`capacity` bytes). A mask of 0 means the default
// classes; RK_CHARSET_NO_CHECK copies the source whole, untested.
//   1, status OK or TOO_LONG (the text was cut): destination written.
//   0, status GENERAL_ERROR or BAD_CHARACTER: destination untouched.
//   0, status TOO_LONG: the text to deliver does not fit `capacity`
//      (only an uncut text can); destination untouched.
// A null status pointer returns 0 at once.
int32_t CheckAndCopyOwnerText(uint16_t code_type, const char* source, char* destination,
                              size_t capacity, uint16_t mask, int16_t* status);

}  // namespace rk
