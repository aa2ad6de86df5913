// Composition of the job-owner command "@JOAU=".
#pragma once

#include <cstddef>
#include <cstdint>

namespace rk {

// The owner areas the sources hand in: room for any validated owner text
// with the longest address part that the encoder's 24-byte limit lets
// through, and for any uncut text the command could carry.
constexpr size_t kOwnerAreaCapacity = 80;

// The tag table's row for a tag row key: 0..10 as given, anything above 11.
uint16_t MapTagRow(uint16_t tag_row_key);

// The tag table's column for a tag column key.
uint16_t MapTagColumn(uint16_t tag_column_key);

// The tag character at a row (0..11) and column (0..5).
char TagCharacter(uint16_t row, uint16_t column);

// Composes the command for `code_type` from the owner text in `owner`, the
// library's own area of `owner_capacity` bytes, which code types 4 and 255
// extend in place by the address part (`address_text`, or "~" and the
// discovered IPv4 digits). Resets the status first and delivers by the
// size-word contract. A text that cannot be carried whole (past the
// encoder's 24 bytes, the owner area or a 79-character command) gives 0
// with RK_STATUS_TOO_LONG and touches neither the size word nor the buffer.
struct CodeType;

// `type` is null for a code type the library does not know, which is
// refused like one without a command form.
int32_t ComposeOwnerCommand(const CodeType* type, char* owner, size_t owner_capacity,
                            uint16_t tag_column_key, uint16_t tag_row_key, char* buffer,
                            const char* address_text, uint16_t* size, int16_t* status);

}  // namespace rk
