#include "job_text.h"

#include <dlfcn.h>

#include <string>
#include <vector>

#include "text_forms.h"

namespace {

// IPP's own limits, in octets (RFC 8011, 5.1.2 and 5.1.3).
constexpr size_t kMostNameBytes = 255;
constexpr size_t kMostTextBytes = 1023;

bool IsName(ipp_tag_t tag) { return tag == IPP_TAG_NAME || tag == IPP_TAG_NAMELANG; }
bool IsText(ipp_tag_t tag) { return tag == IPP_TAG_TEXT || tag == IPP_TAG_TEXTLANG; }

void EscapeValues(ipp_t* ipp, ipp_attribute_t* attribute) {
  const ipp_tag_t tag = ippGetValueTag(attribute);
  const int count = ippGetCount(attribute);
  if (tag == IPP_TAG_BEGIN_COLLECTION) {
    for (int i = 0; i < count; ++i) EscapeRequestText(ippGetCollection(attribute, i));
    return;
  }
  if (!IsName(tag) && !IsText(tag)) return;
  const size_t most = IsName(tag) ? kMostNameBytes : kMostTextBytes;
  for (int i = 0; i < count; ++i) {
    const char* value = ippGetString(attribute, i, nullptr);
    if (value == nullptr) continue;
    const std::string escaped = EscapeJobText(value, most);
    if (escaped != value) ippSetString(ipp, &attribute, i, escaped.c_str());
  }
}

}  // namespace

void EscapeRequestText(ipp_t* request) {
  if (request == nullptr) return;
  // Listed first: changing a value while walking the message would move
  // the walk's own place in it.
  std::vector<ipp_attribute_t*> attributes;
  for (ipp_attribute_t* a = ippFirstAttribute(request); a != nullptr;
       a = ippNextAttribute(request)) {
    attributes.push_back(a);
  }
  for (ipp_attribute_t* attribute : attributes) EscapeValues(request, attribute);
}

// Interposed on libcups like httpReadRequest (job_origin.cpp): PAPPL reads
// each request with ippRead until the message is whole, and acts on it
// only then. The text is escaped before PAPPL sees any of it, so every
// place PAPPL keeps or shows it (the job, its state file, its log, its
// answers) has the escaped form.
extern "C" ipp_state_t ippRead(http_t* http, ipp_t* ipp) {
  using Read = ipp_state_t (*)(http_t*, ipp_t*);
  static const Read read = reinterpret_cast<Read>(dlsym(RTLD_NEXT, "ippRead"));
  const ipp_state_t state = read != nullptr ? read(http, ipp) : IPP_STATE_ERROR;
  if (state == IPP_STATE_DATA) EscapeRequestText(ipp);
  return state;
}
