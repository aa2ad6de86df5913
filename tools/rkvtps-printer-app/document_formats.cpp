#include "document_formats.h"

#include <algorithm>
#include <cctype>
#include <string>

#include "text_forms.h"

// PWG raster comes out of Ghostscript as 8-bit grey or RGB (see
// GhostscriptArguments); PCL and PCL XL have no image pages of their own
// here, so raster pages for them are PostScript that Ghostscript renders.
const DeviceLanguage kDeviceLanguages[5] = {
    {"application/pdf", "pdfwrite", "pdfwrite", RasterPages::kPdf, false},
    {"application/postscript", "ps2write", "ps2write", RasterPages::kPostScript, false},
    {"image/pwg-raster", "pwgraster", "pwgraster", RasterPages::kPwgRaster, false},
    {"application/vnd.hp-pclxl", "pxlmono", "pxlcolor", RasterPages::kPostScript, true},
    {"application/vnd.hp-PCL", "ljet4", "ljet4", RasterPages::kPostScript, true},
};

namespace {

// What Ghostscript reads.
constexpr const char* kGhostscriptInputs[] = {"application/pdf", "application/postscript"};

// Formats PAPPL never spools: it reads PWG and Apple raster from the
// client into the raster calls, and renders JPEG and PNG into them.
constexpr const char* kRasterInputs[] = {"image/pwg-raster", "image/urf", "image/jpeg",
                                         "image/png"};

template <size_t N>
bool IsOneOf(std::string_view format, const char* const (&formats)[N]) {
  return std::find(std::begin(formats), std::end(formats), format) != std::end(formats);
}

bool TakesFormat(const std::vector<std::string>& device_formats, std::string_view format) {
  return std::find(device_formats.begin(), device_formats.end(), format) != device_formats.end();
}

// The first language in the administrator's order that the application
// produces.
const DeviceLanguage* FirstLanguage(const std::vector<std::string>& device_formats) {
  for (const std::string& format : device_formats) {
    if (const DeviceLanguage* language = FindDeviceLanguage(format)) return language;
  }
  return nullptr;
}

std::string ListOf(const std::vector<std::string>& formats) {
  std::string list;
  for (const std::string& format : formats) list += (list.empty() ? "" : ", ") + QuotedText(format);
  return list.empty() ? "none" : list;
}

}  // namespace

const DeviceLanguage* FindDeviceLanguage(std::string_view format) {
  for (const DeviceLanguage& language : kDeviceLanguages) {
    if (format == language.format) return &language;
  }
  return nullptr;
}

Delivery ChooseDelivery(std::string_view job_format,
                        const std::vector<std::string>& device_formats) {
  const bool raster = IsOneOf(job_format, kRasterInputs);
  if (!raster && TakesFormat(device_formats, job_format)) {
    return {Route::kPassThrough, FindDeviceLanguage(job_format), ""};
  }
  const bool ghostscript = IsOneOf(job_format, kGhostscriptInputs);
  if (raster || ghostscript) {
    if (const DeviceLanguage* language = FirstLanguage(device_formats)) {
      return {raster ? Route::kRaster : Route::kGhostscript, language, ""};
    }
    return {Route::kRefuse, nullptr,
            "The device takes none of the languages this printer converts \"" +
                QuotedText(std::string(job_format)) + "\" documents to (it takes " +
                ListOf(device_formats) + ")."};
  }
  return {Route::kRefuse, nullptr,
          "The device takes no \"" + QuotedText(std::string(job_format)) +
              "\" documents (it takes " + ListOf(device_formats) +
              "), and this printer converts only PDF, PostScript and raster."};
}

namespace {

struct Signature {
  const char* format;
  std::string_view magic;
  // The PJL name of the language, for a document that may follow a ^D or a
  // PJL job header; empty: the signature comes first.
  std::string_view pjl_language;
};

// A format with no row here takes anything.
constexpr Signature kSignatures[] = {
    {"application/pdf", "%PDF-", "PDF"},
    {"application/postscript", "%!", "POSTSCRIPT"},
    {"application/postscript", "\xC5\xD0\xD3\xC6", ""},  // DOS EPS binary header
    {"image/pwg-raster", "RaS2", ""},
    {"image/urf", "UNIRAST", ""},
    {"image/jpeg", "\xFF\xD8\xFF", ""},
    {"image/png", "\x89PNG\r\n\x1A\n", ""},
};

// What a document that lies about its format looks like, for the message.
struct Look {
  std::string_view magic;
  const char* name;
};
constexpr Look kLooks[] = {
    {"%PDF-", "a PDF document"},
    {"%!", "a PostScript document"},
    {"RaS2", "PWG raster"},
    {"UNIRAST", "Apple raster"},
    {"\xFF\xD8\xFF", "a JPEG image"},
    {"\x89PNG", "a PNG image"},
    {"\x7F"
     "ELF",
     "an ELF program"},
    {"#!", "a script"},
    {"\x1B%-12345X", "a PJL job"},
    {"\x1B"
     "E",
     "PCL"},
    {"PK\x03\x04", "a ZIP archive"},
    {"\x1F\x8B", "gzip data"},
};

constexpr std::string_view kUel = "\x1B%-12345X";

// Skips what may come before PostScript or PDF sent as a printer job: a
// ^D (the end of a previous job on a serial line) and a PJL job header (the
// Universal Exit Language, then "@PJL" lines). The header passes through to
// the device, so it may only say what the document is: "@PJL", "@PJL JOB",
// "@PJL ENTER LANGUAGE=<the declared language>". Any other line (a file
// system command, a changed default, a comment carrying a job-control
// command) leaves nothing to match.
bool IsPlainPjlLine(std::string_view line, std::string_view language) {
  const auto trim = [](std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r')) {
      text.remove_suffix(1);
    }
    return text;
  };
  const auto same = [](std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
             return std::toupper(static_cast<unsigned char>(x)) ==
                    std::toupper(static_cast<unsigned char>(y));
           });
  };
  line = trim(line.substr(4));  // after "@PJL"
  if (line.empty() || same(line, "JOB")) return true;
  constexpr std::string_view kEnter = "ENTER LANGUAGE";
  if (line.size() < kEnter.size() || !same(line.substr(0, kEnter.size()), kEnter)) return false;
  line = trim(line.substr(kEnter.size()));
  if (line.empty() || line.front() != '=') return false;
  return same(trim(line.substr(1)), language);
}

std::string_view SkipJobLanguage(std::string_view bytes, std::string_view language) {
  if (!bytes.empty() && bytes.front() == '\x04') bytes.remove_prefix(1);
  if (bytes.substr(0, kUel.size()) != kUel) return bytes;
  bytes.remove_prefix(kUel.size());
  while (bytes.substr(0, 4) == "@PJL") {
    const size_t end = bytes.find('\n');
    if (end == std::string_view::npos || !IsPlainPjlLine(bytes.substr(0, end), language)) return {};
    bytes.remove_prefix(end + 1);
  }
  return bytes;
}

std::string DescribeContent(std::string_view bytes) {
  if (bytes.empty()) return "it is empty";
  if (bytes.size() > 1 && bytes.front() == '\x04') bytes.remove_prefix(1);
  for (const Look& look : kLooks) {
    if (bytes.substr(0, look.magic.size()) == look.magic) {
      return std::string("it starts like ") + look.name;
    }
  }
  return "it starts with \"" + QuotedText(std::string(bytes.substr(0, 16)), 16) + "\"";
}

}  // namespace

bool CheckDeclaredFormat(std::string_view format, std::string_view first_bytes, std::string* why) {
  bool known = false;
  for (const Signature& signature : kSignatures) {
    if (format != signature.format) continue;
    known = true;
    const std::string_view start = signature.pjl_language.empty()
                                       ? first_bytes
                                       : SkipJobLanguage(first_bytes, signature.pjl_language);
    if (start.substr(0, signature.magic.size()) == signature.magic) return true;
  }
  if (!known) return true;
  *why = "The document was sent as \"" + QuotedText(std::string(format)) + "\", but " +
         DescribeContent(first_bytes) + ".";
  return false;
}
