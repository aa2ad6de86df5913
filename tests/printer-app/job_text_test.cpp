// The printer application's escape of what a request says of its job:
// every name and text value, in collections too, and nothing else.
#include <gtest/gtest.h>

#include <string>

#include "job_text.h"

namespace {

std::string StringOf(ipp_t* ipp, const char* name, int element = 0) {
  const char* value = ippGetString(ippFindAttribute(ipp, name, IPP_TAG_ZERO), element, nullptr);
  return value != nullptr ? value : "(none)";
}

TEST(RequestText, EveryNameAndTextValueIsEscapedWithinItsLimit) {
  ipp_t* request = ippNewRequest(IPP_OP_PRINT_JOB);
  const std::string long_name(400, 'n');
  const std::string long_text(2000, 't');
  ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_NAME, "requesting-user-name", nullptr,
               "ann\x1B[2J");
  ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_NAME, "job-name", nullptr, "line\nJob id=\"1\"");
  ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_NAME, "document-name", nullptr,
               long_name.c_str());
  ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_NAMELANG, "job-originating-user-name", "en",
               "caf\xE9");
  ippAddString(request, IPP_TAG_JOB, IPP_TAG_TEXT, "job-message", nullptr, long_text.c_str());
  ippAddString(request, IPP_TAG_JOB, IPP_TAG_TEXTLANG, "job-note", "de", "a\rb");
  const char* const several[] = {"ok", "tab\there"};
  ippAddStrings(request, IPP_TAG_JOB, IPP_TAG_NAME, "vendor-names", 2, nullptr, several);
  ippAddString(request, IPP_TAG_JOB, IPP_TAG_KEYWORD, "job-hold-until", nullptr, "no-hold");
  ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_MIMETYPE, "document-format", nullptr,
               "application/pdf");
  ipp_t* client_info = ippNew();
  ippAddString(client_info, IPP_TAG_ZERO, IPP_TAG_NAME, "client-name", nullptr, "pc\x1B]0;x\x07");
  ippAddCollection(request, IPP_TAG_OPERATION, "client-info", client_info);
  ippDelete(client_info);

  EscapeRequestText(request);

  struct Case {
    const char* name;
    int element;
    std::string kept;
  } const cases[] = {
      {"requesting-user-name", 0, "ann\\x1B[2J"},
      {"job-name", 0, "line\\x0AJob id=\"1\""},
      {"document-name", 0, std::string(255, 'n')},
      {"job-originating-user-name", 0, "caf\\xE9"},
      {"job-message", 0, std::string(1023, 't')},
      {"job-note", 0, "a\\x0Db"},
      {"vendor-names", 0, "ok"},
      {"vendor-names", 1, "tab\\x09here"},
      {"job-hold-until", 0, "no-hold"},
      {"document-format", 0, "application/pdf"},
  };
  for (const Case& c : cases) EXPECT_EQ(StringOf(request, c.name, c.element), c.kept) << c.name;
  const char* language = nullptr;
  ippGetString(ippFindAttribute(request, "job-note", IPP_TAG_ZERO), 0, &language);
  EXPECT_STREQ(language != nullptr ? language : "", "de") << "the language went with the text";
  ipp_t* info = ippGetCollection(ippFindAttribute(request, "client-info", IPP_TAG_ZERO), 0);
  ASSERT_NE(info, nullptr);
  EXPECT_EQ(StringOf(info, "client-name"), "pc\\x1B]0;x\\x07");
  ippDelete(request);
}

}  // namespace
