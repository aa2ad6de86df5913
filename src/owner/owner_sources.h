// Where the owner text of the job-owner command comes from.
#pragma once

#include <cstdint>

namespace rk {

// The owner text from the caller (never null here), checked and cut for
// the code type, "UnknownUser" in place of a refused one.
int32_t OwnerCommandFromInput(uint16_t code_type, const char* owner_text, uint16_t tag_column_key,
                              uint16_t tag_row_key, char* buffer, const char* address_text,
                              uint16_t* size, uint16_t mask, int16_t* status);

// The owner text from the logged-on user (the Winlogon default user under
// the system account) joined with "\" and the computer name as far as the
// code type's byte limit allows.
int32_t OwnerCommandFromUserHost(uint16_t code_type, uint16_t tag_column_key, uint16_t tag_row_key,
                                 char* buffer, const char* address_text, uint16_t* size,
                                 uint16_t mask, int16_t* status);

}  // namespace rk
