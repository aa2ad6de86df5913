// Hand-written floors of three narrow exports: the least code that gives the
// export's bytes, status and size word for the inputs the instruction
// benchmark feeds it. They are measuring sticks, not a second library: each
// is checked against its export, input by input, before it is measured, and
// none of them is meant for any other input.
#pragma once

#include <cstdint>

namespace floors {

// RKGetVTPSStringOfNup: a switch for the keyword and one copy.
int32_t ComposeNupCommand(uint16_t selector, char* buffer, uint16_t* size, int16_t* status);

// RKIsValidJobOwnerStringCodeAndLengthA: the code type's limit, the length,
// then one pass of the default classes over the bytes.
int32_t JudgeOwnerText(uint16_t code_type, const char* text, int16_t* status);

// RKGetVTPSStringOfJobOwnerFromInputA for the code types without an address
// part (1, 2, 3 and 5): the text checked by the default classes, cut to the
// code type's limit without splitting a character of `code_page` (932 or any
// code page without lead bytes), the form mark and tag, and the text or its
// base-85 digits written straight into the caller's buffer.
int32_t ComposeOwnerCommand(uint16_t code_type, const char* owner_text, uint16_t tag_column_key,
                            uint16_t tag_row_key, char* buffer, uint16_t* size, int16_t* status,
                            unsigned code_page);

}  // namespace floors
