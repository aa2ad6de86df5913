// What the printer application keeps of a job: the text a job says of
// itself, escaped before the server keeps, lists or logs it, and the record
// of the job's client read back from the spool after a restart, whatever a
// disk or a hand left there.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "client_record.h"
#include "job_client.h"
#include "text_forms.h"

namespace {

[[noreturn]] void Violated(const char* what) {
  std::fprintf(stderr, "invariant violated: %s\n", what);
  std::abort();
}

// One line of UTF-8 without a control character, checked by a decoder of
// its own rather than the one under test.
bool IsCleanUtf8(const std::string& text) {
  for (size_t at = 0; at < text.size();) {
    const unsigned char lead = static_cast<unsigned char>(text[at]);
    size_t length = lead < 0x80       ? 1
                    : lead >> 5 == 6  ? 2
                    : lead >> 4 == 14 ? 3
                    : lead >> 3 == 30 ? 4
                                      : 0;
    if (length == 0 || at + length > text.size()) return false;
    unsigned long code = length == 1 ? lead : lead & (0x7F >> length);
    for (size_t i = 1; i < length; ++i) {
      const unsigned char next = static_cast<unsigned char>(text[at + i]);
      if ((next & 0xC0) != 0x80) return false;
      code = code << 6 | (next & 0x3F);
    }
    static const unsigned long kLeast[] = {0, 0, 0x80, 0x800, 0x10000};
    if (code < kLeast[length] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
      return false;
    if (code < 0x20 || (code >= 0x7F && code <= 0x9F)) return false;
    at += length;
  }
  return true;
}

void CheckEscape(const std::string& text, size_t most) {
  const std::string kept = EscapeJobText(text, most);
  if (kept.size() > most) Violated("escaped text past its limit");
  if (!IsCleanUtf8(kept)) Violated("escaped text not clean UTF-8");
  if (EscapeJobText(kept, most) != kept) Violated("escaping twice changed the text");
  if (IsCleanUtf8(text) && text.size() <= most && kept != text) Violated("clean text changed");
}

void CheckRecord(const std::string& record) {
  JobClient client;
  if (!ParseClientRecord(record, &client)) return;
  if (FormatClientRecord(client) != record) Violated("a record read is not the one written");
  if (!client.local && (client.address.empty() || IdentifyJobClient(client.address).local)) {
    Violated("a record read names no client, or this machine by address");
  }
}

void CheckNamedClient(const std::string& host) {
  JobClient client;
  std::string why;
  if (IdentifyNamedJobClient(host, &client, &why)) {
    if (client.local) Violated("a named client is this machine");
    if (client.name.empty()) Violated("a named client without a name");
    for (unsigned char c : client.name) {
      if (c < 0x21 || c > 0x7E) Violated("a named client's name is not printable ASCII");
    }
  } else if (why.empty()) {
    Violated("a refused name without a reason");
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t length) {
  FuzzedDataProvider in(data, length);
  const size_t most = in.ConsumeIntegralInRange<size_t>(0, 1100);
  const std::string text = in.ConsumeRandomLengthString(4096);
  CheckEscape(text, most);
  CheckRecord(text);
  CheckNamedClient(text);
  return 0;
}
