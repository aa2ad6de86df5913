#include "calls.h"

#include "command_facts.h"
#include "rkvtps32.h"

namespace {

// Calls `call(buffer, &size, &status)` with a buffer of `capacity` bytes.
// The wide job-owner exports answer 1 even when nothing was delivered:
// for them the status tells.
template <typename Call>
Outcome Invoke(Call call, uint16_t capacity, bool wide_result = false) {
  std::string buffer(capacity > 0 ? capacity : 1, '\0');
  Outcome out;
  out.size = capacity;
  out.result = call(&buffer[0], &out.size, &out.status);
  out.delivered = out.result == 1 && (!wide_result || out.status == RK_STATUS_OK);
  if (out.delivered) out.command = buffer.c_str();
  return out;
}

}  // namespace

Outcome CallNup(uint16_t selector, uint16_t capacity) {
  return Invoke(
      [&](char* b, uint16_t* s, int16_t* st) { return RKGetVTPSStringOfNup(selector, b, s, st); },
      capacity);
}

Outcome CallOwner(const OwnerRequest& r, uint16_t capacity) {
  const char* address = r.has_address ? r.address.c_str() : nullptr;
  if (!r.owner.given) {
    return Invoke(
        [&](char* b, uint16_t* s, int16_t* st) {
          return RKGetVTPSStringOfJobOwnerStringFromUserHostNameWithIPEx(
              r.code_type, r.tag_column, r.tag_row, b, address, s, r.mask, st);
        },
        capacity);
  }
  if (r.owner.wide) {
    return Invoke(
        [&](char* b, uint16_t* s, int16_t* st) {
          return RKGetVTPSStringOfJobOwnerFromInputExW(r.code_type, r.owner.wide_text.c_str(),
                                                       r.tag_column, r.tag_row, b, s, r.mask, st);
        },
        capacity, true);
  }
  return Invoke(
      [&](char* b, uint16_t* s, int16_t* st) {
        return RKGetVTPSStringOfJobOwnerFromInputWithIPExA(r.code_type, r.owner.narrow.c_str(),
                                                           r.tag_column, r.tag_row, b, address, s,
                                                           r.mask, st);
      },
      capacity);
}

Outcome CallClientName(const ClientNameRequest& r, uint16_t capacity) {
  if (!r.name.given) {
    return Invoke(
        [&](char* b, uint16_t* s, int16_t* st) {
          return RKGetVTPSStringOfHostNameEx(r.code_type, b, s, r.mask, st);
        },
        capacity);
  }
  if (r.name.wide) {
    return Invoke(
        [&](char* b, uint16_t* s, int16_t* st) {
          return RKGetVTPSStringOfHostNameFromInputExW(r.code_type, r.name.wide_text.c_str(), b, s,
                                                       r.mask, st);
        },
        capacity);
  }
  return Invoke(
      [&](char* b, uint16_t* s, int16_t* st) {
        return RKGetVTPSStringOfHostNameFromInputExA(r.code_type, r.name.narrow.c_str(), b, s,
                                                     r.mask, st);
      },
      capacity);
}

Outcome CallHostAddress(const std::string* address_text, uint16_t capacity) {
  return Invoke(
      [&](char* b, uint16_t* s, int16_t* st) {
        return address_text == nullptr
                   ? RKGetVTPSStringOfHostAddress(b, s, st)
                   : RKGetVTPSStringOfHostAddressFromInputA(address_text->c_str(), b, s, st);
      },
      capacity);
}

Verdict CallValidate(uint16_t code_type, uint16_t mask, const WideText* wide,
                     const std::string& text) {
  Verdict verdict;
  int32_t result = 0;
  if (wide != nullptr) {
    result =
        RKIsValidJobOwnerStringCodeAndLengthExW(code_type, wide->c_str(), mask, &verdict.status);
  } else {
    result =
        RKIsValidJobOwnerStringCodeAndLengthExA(code_type, text.c_str(), mask, &verdict.status);
  }
  verdict.valid = result == 1;
  return verdict;
}

std::vector<std::string> NupKeywords() {
  std::vector<std::string> keywords;
  for (uint16_t selector = 0;; ++selector) {
    const Outcome outcome = CallNup(selector, 64);
    if (!outcome.delivered) break;
    keywords.push_back(outcome.command.substr(rk::kCommandStartLength));
  }
  return keywords;
}
