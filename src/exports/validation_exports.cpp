// The four exports that tell a caller whether an owner text would be
// accepted. They only judge: no text is handed back.
#include "commands/validation.h"
#include "exports/wide_text.h"
#include "rkvtps32.h"

namespace rk {
namespace {

int32_t AnswerVerdict(Verdict verdict, int16_t* status) {
  *status = verdict.status;
  return verdict.accepted;
}

int32_t JudgeNarrowOwnerText(uint16_t code_type, const char* text, uint16_t mask, int16_t* status) {
  if (status == nullptr) return 0;
  if (text == nullptr) {
    *status = RK_STATUS_GENERAL_ERROR;
    return 0;
  }
  return AnswerVerdict(JudgeOwnerText(code_type, text, mask), status);
}

int32_t JudgeWideOwnerText(uint16_t code_type, const RK_WCHAR* text, uint16_t mask,
                           int16_t* status) {
  if (status == nullptr) return 0;
  if (text == nullptr) {
    *status = RK_STATUS_GENERAL_ERROR;
    return 0;
  }
  const AnsiText narrow(text);
  if (narrow.text() == nullptr) {
    *status = RK_STATUS_GENERAL_ERROR;
    return 0;
  }
  return AnswerVerdict(JudgeOwnerText(code_type, narrow.text(), mask), status);
}

}  // namespace
}  // namespace rk

extern "C" {

RK_EXPORT int32_t RK_API RKIsValidJobOwnerStringCodeAndLengthA(uint16_t code_type, const char* text,
                                                               int16_t* status) {
  return rk::JudgeNarrowOwnerText(code_type, text, 0, status);
}

RK_EXPORT int32_t RK_API RKIsValidJobOwnerStringCodeAndLengthExA(uint16_t code_type,
                                                                 const char* text, uint16_t mask,
                                                                 int16_t* status) {
  return rk::JudgeNarrowOwnerText(code_type, text, mask, status);
}

RK_EXPORT int32_t RK_API RKIsValidJobOwnerStringCodeAndLengthW(uint16_t code_type,
                                                               const RK_WCHAR* text,
                                                               int16_t* status) {
  return rk::JudgeWideOwnerText(code_type, text, 0, status);
}

RK_EXPORT int32_t RK_API RKIsValidJobOwnerStringCodeAndLengthExW(uint16_t code_type,
                                                                 const RK_WCHAR* text,
                                                                 uint16_t mask, int16_t* status) {
  return rk::JudgeWideOwnerText(code_type, text, mask, status);
}

}  // extern "C"
