// The job header from hostile jobs, as the filter and the printer
// application make it: any user, any client name,
// any options string. Whatever the job says, every command of the header
// is one command with no control byte and no second command start, the
// printer's decoder finds each well formed, every log line stays one line,
// and the document after the header arrives unchanged.
#include <fuzzer/FuzzedDataProvider.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "calls.h"
#include "commands/decode.h"
#include "job_header.h"
#include "job_settings.h"
#include "pass_through.h"
#include "settings.h"
#include "text_forms.h"

namespace {

void Require(bool condition, const char* what) {
  if (!condition) {
    std::fprintf(stderr, "header fuzzer: %s\n", what);
    std::abort();
  }
}

// A value in single quotes for cupsParseOptions, which takes a backslash
// as an escape there.
std::string Quoted(const std::string& value) {
  std::string out = "'";
  for (char c : value) {
    if (c == '\'' || c == '\\') out += '\\';
    out += c;
  }
  return out + "'";
}

std::string DrawOptions(FuzzedDataProvider& in) {
  std::string options;
  options += "RKOwnerCodeType=" +
             std::string(in.PickValueInArray({"1", "2", "3", "4", "5", "255", "32", "0x3", "x"}));
  options +=
      " RKCharsetMask=" + std::to_string(in.PickValueInArray<unsigned>(
                              {0u, 1u, 2u, 4u, 0x19u, 0xFFFFu, in.ConsumeIntegral<uint16_t>()}));
  // Any code page a printer may name: each has its own conversion and cut.
  options += " RKCodePage=" + std::to_string(in.PickValueInArray(kJobCodePages));
  options += " RKSeparator=" + std::string(in.PickValueInArray({"LF", "CRLF", "None"}));
  options +=
      " RKCommands=" +
      std::string(in.PickValueInArray({"JOAU-CNAM-HOAD-NLPP", "CNAM-HOAD", "NLPP-JOAU", "JOAU"}));
  options += " RKTagColumn=" + std::to_string(in.ConsumeIntegralInRange(0, 9));
  options += " RKTagRow=" + std::to_string(in.ConsumeIntegralInRange(0, 13));
  const std::string host = in.PickValueInArray(
      {std::string("[v1.fd00::10]"), std::string("::ffff:127.0.0.1"), std::string("192.0.2.7"),
       std::string("[v1.fe80::1+eth0]"), in.ConsumeRandomLengthString(48)});
  options += " job-originating-host-name=" + Quoted(host);
  // Whatever else the job says, unquoted and unchecked.
  options += " " + in.ConsumeRandomLengthString(96);
  return options;
}

const std::vector<std::string>& Keywords() {
  static const std::vector<std::string> keywords = NupKeywords();
  return keywords;
}

// The header as the commands the filter wrote: each "@XXXX=" and a body
// without control bytes or another command start, then the separator.
void CheckHeader(const std::string& header, const std::string& separator) {
  const std::vector<rk::DecodedCommand> found = rk::DecodeCommands(header, Keywords());
  size_t expected_end = 0;
  std::vector<std::string> names;
  for (const rk::DecodedCommand& c : found) {
    if (!c.recognized || !c.ok) {
      std::fprintf(stderr, "header fuzzer: in %s: %s\n", EscapedText(header).c_str(),
                   c.error.c_str());
    }
    Require(c.recognized && c.ok, "the decoder finds a command malformed");
    Require(c.offset == expected_end, "bytes between commands other than the separator");
    for (const std::string& name : names) Require(name != c.name, "two commands of one kind");
    names.push_back(c.name);
    const std::string text(c.text);
    for (size_t at = 1; at < text.size(); ++at) {
      const unsigned char byte = static_cast<unsigned char>(text[at]);
      Require(byte >= 0x20 && byte != 0x7F, "a control byte inside a command");
      size_t capitals = 0;
      while (capitals < 4 && at + 1 + capitals < text.size() && text[at + 1 + capitals] >= 'A' &&
             text[at + 1 + capitals] <= 'Z') {
        ++capitals;
      }
      Require(!(byte == '@' && capitals == 4 && at + 5 < text.size() && text[at + 5] == '='),
              "a second command start inside a command");
    }
    // The decoder leaves out a body's trailing blanks; the printer's
    // parser skips them too.
    expected_end = c.offset + text.size();
    while (expected_end < header.size() && header[expected_end] == ' ') ++expected_end;
    Require(header.compare(expected_end, separator.size(), separator) == 0,
            "a command not followed by the separator");
    expected_end += separator.size();
  }
  Require(expected_end == header.size(), "header bytes outside any command");
}

// Header and document through the filter's own writer and copier, into a
// file read back.
void CheckDocumentPassesUnchanged(const std::string& header, const std::string& document) {
  const int in = memfd_create("document", 0);
  const int out = memfd_create("printer", 0);
  Require(in >= 0 && out >= 0, "memfd_create");
  std::string error;
  Require(WriteAll(in, document.data(), document.size(), &error), "writing the document");
  Require(lseek(in, 0, SEEK_SET) == 0, "rewinding the document");
  uint64_t copied = 0;
  Require(
      WriteAll(out, header.data(), header.size(), &error) && CopyDocument(in, out, &copied, &error),
      "sending header and document");
  Require(copied == document.size(), "a document copied short");
  std::string got(header.size() + document.size() + 1, '\0');
  const ssize_t size = pread(out, &got[0], got.size(), 0);
  Require(size >= 0 && static_cast<size_t>(size) == got.size() - 1, "the printer's bytes");
  got.resize(static_cast<size_t>(size));
  Require(got == header + document, "the document after the header changed");
  close(in);
  close(out);
}

// A printer's stored settings, as the printer application reads them: any
// value an administrator's form or a damaged state file may hold, each
// setting by name.
class StoredSettings : public SettingSource {
 public:
  explicit StoredSettings(FuzzedDataProvider& in) {
    for (const SettingName& name : kSettingNames) {
      if (in.ConsumeBool()) values_[name.name] = in.ConsumeRandomLengthString(24);
    }
    if (in.ConsumeBool()) job_nup_ = in.ConsumeRandomLengthString(24);
  }
  const char* Job(const char* name) const override {
    return std::string(name) == "RKNup" && !job_nup_.empty() ? job_nup_.c_str() : nullptr;
  }
  const char* Default(const char* name, JobNotes*) const override {
    const auto found = values_.find(name);
    return found == values_.end() ? nullptr : found->second.c_str();
  }

 private:
  std::map<std::string, std::string> values_;
  std::string job_nup_;
};

// The printer application's path: stored settings and a client address
// from a connection, which the rule still holds to.
std::string ComposeStoredHeader(FuzzedDataProvider& in, const std::string& user,
                                std::string* separator, JobNotes* notes) {
  const JobSettings settings = ReadJobSettings(StoredSettings(in), notes);
  const JobClient client = IdentifyJobClient(in.ConsumeRandomLengthString(48));
  *separator = settings.separator;
  return ComposeJobHeader(settings, user, client, notes);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider in(data, size);
  const std::string user = in.ConsumeRandomLengthString(64);
  if (in.ConsumeBool()) {
    JobNotes notes;
    std::string separator;
    const std::string header = ComposeStoredHeader(in, user, &separator, &notes);
    for (const JobNote& note : notes) {
      for (unsigned char byte : note.text) Require(byte >= 0x20 && byte != 0x7F, "a note broken");
    }
    CheckHeader(header, separator);
    return 0;
  }
  const std::string options_text = DrawOptions(in);
  const std::string document = in.ConsumeRemainingBytesAsString();

  cups_option_t* options = nullptr;
  const int count = cupsParseOptions(options_text.c_str(), 0, &options);
  FilterLog log;
  const JobSettings settings = ReadSettings(count, options, nullptr, &log);
  cupsFreeOptions(count, options);
  const std::string header = ComposeHeader(settings, user, &log);

  for (const std::string& line : log) {
    for (unsigned char byte : line) Require(byte >= 0x20 && byte != 0x7F, "a log line broken");
  }
  CheckHeader(header, settings.separator);
  CheckDocumentPassesUnchanged(header, document);
  return 0;
}
