// The ten job-owner exports: thin forwards with the defaults of the
// shorter variants (charset mask 0, no address text).
#include "commands/owner_command.h"
#include "exports/os_facts.h"
#include "exports/owner_names.h"
#include "exports/sized_output.h"
#include "exports/wide_text.h"
#include "facts/command_facts.h"
#include "rkvtps32.h"

namespace rk {
namespace {

// Every owner export answers with a status: OK unless something is wrong.
int32_t DeliverOwner(const OwnerComposition& composition, char* buffer, uint16_t* size,
                     int16_t* status) {
  *status = RK_STATUS_OK;
  return DeliverComposition(composition, buffer, size, status);
}

int32_t FromNarrowInput(uint16_t code_type, const char* owner_text, uint16_t tag_column_key,
                        uint16_t tag_row_key, char* buffer, const char* address_text,
                        uint16_t* size, uint16_t mask, int16_t* status) {
  if (!HasResultPointers(size, status)) return 0;
  if (owner_text == nullptr) {
    *status = RK_STATUS_GENERAL_ERROR;
    return 0;
  }
  const OwnerSettings settings = {code_type, tag_column_key, tag_row_key, mask, address_text};
  return DeliverOwner(ComposeOwnerFromText(settings, owner_text, OsSystemFacts()), buffer, size,
                      status);
}

// The wide exports answer 1 whenever they got a text: the caller reads the
// outcome from the status and the size word.
int32_t FromWideInput(uint16_t code_type, const RK_WCHAR* owner_text, uint16_t tag_column_key,
                      uint16_t tag_row_key, char* buffer, uint16_t* size, uint16_t mask,
                      int16_t* status) {
  if (!HasResultPointers(size, status)) return 0;
  if (owner_text == nullptr) {
    *status = RK_STATUS_GENERAL_ERROR;
    return 0;
  }
  const AnsiText narrow(owner_text);
  const char* text = narrow.text() != nullptr ? narrow.text() : kUnknownUser;
  const OwnerSettings settings = {code_type, tag_column_key, tag_row_key, mask, nullptr};
  DeliverOwner(ComposeOwnerFromText(settings, text, OsSystemFacts()), buffer, size, status);
  return 1;
}

int32_t FromUserHost(uint16_t code_type, uint16_t tag_column_key, uint16_t tag_row_key,
                     char* buffer, const char* address_text, uint16_t* size, uint16_t mask,
                     int16_t* status) {
  if (!HasResultPointers(size, status)) return 0;
  char user[kUserNameCapacity];
  ReadOwnerUserName(user);
  const OwnerSettings settings = {code_type, tag_column_key, tag_row_key, mask, address_text};
  return DeliverOwner(ComposeOwnerFromUserHost(settings, user, OsSystemFacts()), buffer, size,
                      status);
}

}  // namespace
}  // namespace rk

extern "C" {

RK_EXPORT int32_t RK_API RKGetVTPSStringOfJobOwnerFromInputA(uint16_t code_type,
                                                             const char* owner_text,
                                                             uint16_t tag_column_key,
                                                             uint16_t tag_row_key, char* buffer,
                                                             uint16_t* size, int16_t* status) {
  return rk::FromNarrowInput(code_type, owner_text, tag_column_key, tag_row_key, buffer, nullptr,
                             size, 0, status);
}

RK_EXPORT int32_t RK_API RKGetVTPSStringOfJobOwnerFromInputExA(
    uint16_t code_type, const char* owner_text, uint16_t tag_column_key, uint16_t tag_row_key,
    char* buffer, uint16_t* size, uint16_t mask, int16_t* status) {
  return rk::FromNarrowInput(code_type, owner_text, tag_column_key, tag_row_key, buffer, nullptr,
                             size, mask, status);
}

RK_EXPORT int32_t RK_API RKGetVTPSStringOfJobOwnerFromInputWithIPA(
    uint16_t code_type, const char* owner_text, uint16_t tag_column_key, uint16_t tag_row_key,
    char* buffer, const char* address_text, uint16_t* size, int16_t* status) {
  return rk::FromNarrowInput(code_type, owner_text, tag_column_key, tag_row_key, buffer,
                             address_text, size, 0, status);
}

RK_EXPORT int32_t RK_API RKGetVTPSStringOfJobOwnerFromInputWithIPExA(
    uint16_t code_type, const char* owner_text, uint16_t tag_column_key, uint16_t tag_row_key,
    char* buffer, const char* address_text, uint16_t* size, uint16_t mask, int16_t* status) {
  return rk::FromNarrowInput(code_type, owner_text, tag_column_key, tag_row_key, buffer,
                             address_text, size, mask, status);
}

RK_EXPORT int32_t RK_API RKGetVTPSStringOfJobOwnerFromInputW(uint16_t code_type,
                                                             const RK_WCHAR* owner_text,
                                                             uint16_t tag_column_key,
                                                             uint16_t tag_row_key, char* buffer,
                                                             uint16_t* size, int16_t* status) {
  return rk::FromWideInput(code_type, owner_text, tag_column_key, tag_row_key, buffer, size, 0,
                           status);
}

RK_EXPORT int32_t RK_API RKGetVTPSStringOfJobOwnerFromInputExW(
    uint16_t code_type, const RK_WCHAR* owner_text, uint16_t tag_column_key, uint16_t tag_row_key,
    char* buffer, uint16_t* size, uint16_t mask, int16_t* status) {
  return rk::FromWideInput(code_type, owner_text, tag_column_key, tag_row_key, buffer, size, mask,
                           status);
}

RK_EXPORT int32_t RK_API RKGetVTPSStringOfJobOwnerStringFromUserHostName(
    uint16_t code_type, uint16_t tag_column_key, uint16_t tag_row_key, char* buffer, uint16_t* size,
    int16_t* status) {
  return rk::FromUserHost(code_type, tag_column_key, tag_row_key, buffer, nullptr, size, 0, status);
}

RK_EXPORT int32_t RK_API RKGetVTPSStringOfJobOwnerStringFromUserHostNameEx(
    uint16_t code_type, uint16_t tag_column_key, uint16_t tag_row_key, char* buffer, uint16_t* size,
    uint16_t mask, int16_t* status) {
  return rk::FromUserHost(code_type, tag_column_key, tag_row_key, buffer, nullptr, size, mask,
                          status);
}

RK_EXPORT int32_t RK_API RKGetVTPSStringOfJobOwnerStringFromUserHostNameWithIP(
    uint16_t code_type, uint16_t tag_column_key, uint16_t tag_row_key, char* buffer,
    const char* address_text, uint16_t* size, int16_t* status) {
  return rk::FromUserHost(code_type, tag_column_key, tag_row_key, buffer, address_text, size, 0,
                          status);
}

RK_EXPORT int32_t RK_API RKGetVTPSStringOfJobOwnerStringFromUserHostNameWithIPEx(
    uint16_t code_type, uint16_t tag_column_key, uint16_t tag_row_key, char* buffer,
    const char* address_text, uint16_t* size, uint16_t mask, int16_t* status) {
  return rk::FromUserHost(code_type, tag_column_key, tag_row_key, buffer, address_text, size, mask,
                          status);
}

}  // extern "C"
