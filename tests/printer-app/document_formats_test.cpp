// How a job reaches a device, and the check of a document's first bytes
// against the format it was sent as.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "document_formats.h"

namespace {

const char* NameOf(Route route) {
  switch (route) {
    case Route::kPassThrough:
      return "pass-through";
    case Route::kGhostscript:
      return "ghostscript";
    case Route::kRaster:
      return "raster";
    case Route::kRefuse:
      return "refuse";
  }
  return "?";
}

TEST(ChooseDelivery, FollowsTheAdministratorsOrder) {
  const std::vector<std::string> pdf = {"application/pdf"};
  const std::vector<std::string> ps = {"application/postscript"};
  const std::vector<std::string> pwg = {"image/pwg-raster"};
  const std::vector<std::string> pcl = {"application/vnd.hp-PCL"};
  const std::vector<std::string> pclxl = {"application/vnd.hp-pclxl"};
  const std::vector<std::string> ps_then_pdf = {"application/postscript", "application/pdf"};
  const std::vector<std::string> octet_then_pcl = {"application/octet-stream",
                                                   "application/vnd.hp-PCL"};
  const std::vector<std::string> octet = {"application/octet-stream"};
  const std::vector<std::string> none = {};
  struct Case {
    const char* job;
    const std::vector<std::string>& device;
    Route route;
    const char* language;  // nullptr: none
  } const cases[] = {
      {"application/pdf", pdf, Route::kPassThrough, "application/pdf"},
      {"application/postscript", ps, Route::kPassThrough, "application/postscript"},
      {"application/pdf", ps, Route::kGhostscript, "application/postscript"},
      {"application/postscript", pdf, Route::kGhostscript, "application/pdf"},
      {"application/pdf", pwg, Route::kGhostscript, "image/pwg-raster"},
      {"application/pdf", pcl, Route::kGhostscript, "application/vnd.hp-PCL"},
      {"application/postscript", pclxl, Route::kGhostscript, "application/vnd.hp-pclxl"},
      // The first the job can reach wins; a format the device takes wins
      // over any conversion, wherever it stands in the list.
      {"application/pdf", ps_then_pdf, Route::kPassThrough, "application/pdf"},
      {"application/postscript", ps_then_pdf, Route::kPassThrough, "application/postscript"},
      {"application/pdf", octet_then_pcl, Route::kGhostscript, "application/vnd.hp-PCL"},
      {"application/vnd.hp-PCL", pcl, Route::kPassThrough, "application/vnd.hp-PCL"},
      {"application/octet-stream", octet, Route::kPassThrough, nullptr},
      // Raster never passes through: PAPPL reads it into the raster calls.
      {"image/pwg-raster", pwg, Route::kRaster, "image/pwg-raster"},
      {"image/urf", pdf, Route::kRaster, "application/pdf"},
      {"image/jpeg", ps_then_pdf, Route::kRaster, "application/postscript"},
      {"image/png", pcl, Route::kRaster, "application/vnd.hp-PCL"},
      {"image/png", octet_then_pcl, Route::kRaster, "application/vnd.hp-PCL"},
      // No way there.
      {"application/pdf", octet, Route::kRefuse, nullptr},
      {"image/urf", octet, Route::kRefuse, nullptr},
      {"application/pdf", none, Route::kRefuse, nullptr},
      {"application/vnd.hp-PCL", pdf, Route::kRefuse, nullptr},
      {"text/plain", ps_then_pdf, Route::kRefuse, nullptr},
      {"application/octet-stream", pdf, Route::kRefuse, nullptr},
  };
  for (const Case& c : cases) {
    const Delivery delivery = ChooseDelivery(c.job, c.device);
    const std::string label = std::string(c.job) + " to " +
                              (c.device.empty() ? std::string("nothing") : c.device.front());
    EXPECT_STREQ(NameOf(delivery.route), NameOf(c.route)) << label;
    EXPECT_STREQ(delivery.language != nullptr ? delivery.language->format : "(none)",
                 c.language != nullptr ? c.language : "(none)")
        << label;
    EXPECT_EQ(delivery.why.empty(), c.route != Route::kRefuse) << label << ": " << delivery.why;
  }
}

TEST(ChooseDelivery, ARefusalNamesTheFormatsEscaped) {
  const Delivery delivery = ChooseDelivery("text/x\x1B[2J", {"application/x-\x07"});
  EXPECT_EQ(delivery.route, Route::kRefuse);
  EXPECT_NE(delivery.why.find("text/x\\x1B[2J"), std::string::npos) << delivery.why;
  EXPECT_NE(delivery.why.find("application/x-\\x07"), std::string::npos) << delivery.why;
  EXPECT_EQ(delivery.why.find('\x1B'), std::string::npos);
}

TEST(DeviceLanguages, EachHasAGhostscriptDeviceAndIsFoundByItsFormat) {
  for (const DeviceLanguage& language : kDeviceLanguages) {
    EXPECT_EQ(FindDeviceLanguage(language.format), &language) << language.format;
    EXPECT_NE(std::string(language.gs_mono), "") << language.format;
    EXPECT_NE(std::string(language.gs_color), "") << language.format;
    // Pages through Ghostscript are PostScript: it reads nothing else from a pipe.
    if (language.raster_through_gs) {
      EXPECT_EQ(language.raster_pages, RasterPages::kPostScript);
    }
  }
  EXPECT_EQ(FindDeviceLanguage("application/octet-stream"), nullptr);
  EXPECT_EQ(FindDeviceLanguage("image/urf"), nullptr);
}

TEST(CheckDeclaredFormat, TakesWhatMatchesAndNamesALie) {
  const std::string elf(
      "\x7F"
      "ELF\x02\x01\x01\0\0\0",
      10);
  struct Case {
    const char* format;
    std::string bytes;
    bool taken;
    const char* said;  // part of the message for a lie
  } const cases[] = {
      {"application/pdf", "%PDF-1.7\n%\xE2\xE3", true, ""},
      {"application/pdf", "\x04%PDF-1.4\n", true, ""},
      {"application/pdf", "\x1B%-12345X@PJL JOB\r\n@PJL ENTER LANGUAGE=PDF\n%PDF-1.4\n", true, ""},
      {"application/postscript", "%!PS-Adobe-3.0\n", true, ""},
      {"application/postscript", "%!\n/a 1 def", true, ""},
      {"application/postscript", "\x04%!PS\n", true, ""},
      {"application/postscript", "\x1B%-12345X@PJL ENTER LANGUAGE=POSTSCRIPT\n%!PS\n", true, ""},
      {"application/postscript", "\xC5\xD0\xD3\xC6\x20\0\0\0", true, ""},
      {"image/pwg-raster", "RaS2PwgRaster", true, ""},
      {"image/urf", "UNIRAST\0", true, ""},
      {"image/jpeg", "\xFF\xD8\xFF\xE0", true, ""},
      {"image/png", "\x89PNG\r\n\x1A\n\0\0", true, ""},
      // No signature: anything.
      {"application/vnd.hp-PCL",
       "\x1B"
       "E\x1B&l0O",
       true, ""},
      {"application/octet-stream", elf, true, ""},
      {"application/octet-stream", "", true, ""},
      // Lies.
      {"application/pdf", "#!/bin/sh\nrm -rf /\n", false, "a script"},
      {"application/pdf", elf, false, "an ELF program"},
      {"application/pdf", "%!PS\n", false, "a PostScript document"},
      {"application/pdf", "", false, "empty"},
      {"application/pdf", " %PDF-1.4", false, "\" %PDF-1.4\""},
      {"application/postscript", "%PDF-1.4\n", false, "a PDF document"},
      {"application/postscript", "\x1B%-12345X@PJL ENTER LANGUAGE=PDF\n%PDF-1.4", false,
       "a PJL job"},
      {"application/postscript", "\x1B%-12345X@PJL unfinished", false, "a PJL job"},
      // A PJL header says what the document is, and nothing else.
      {"application/pdf", "\x1B%-12345X@PJL\r\n@PJL enter language = pdf \r\n%PDF-1.4", true, ""},
      {"application/pdf",
       "\x1B%-12345X@PJL ENTER LANGUAGE=PCL\n%PDF-\n\x1B"
       "E",
       false, "a PJL job"},
      {"application/postscript", "\x04\x1B%-12345X@PJL FSDELETE NAME=\"0:\\\\x\"\n%!PS\n", false,
       "a PJL job"},
      {"application/postscript", "\x1B%-12345X@PJL DEFAULT COPIES=99\n%!PS\n", false, "a PJL job"},
      {"application/pdf", "\x1B%-12345X@PJL COMMENT @JOAU=@root\n%PDF-1.4", false, "a PJL job"},
      {"image/png", "\xFF\xD8\xFF\xE0", false, "a JPEG image"},
      {"image/pwg-raster", "UNIRAST", false, "Apple raster"},
      {"application/pdf", "\x1B[2Jgotcha", false, "\\x1B[2Jgotcha"},
  };
  for (const Case& c : cases) {
    std::string why;
    EXPECT_EQ(CheckDeclaredFormat(c.format, c.bytes, &why), c.taken)
        << c.format << " \"" << c.bytes << "\"";
    if (c.taken) continue;
    EXPECT_NE(why.find(c.format), std::string::npos) << why;
    EXPECT_NE(why.find(c.said), std::string::npos) << why;
    for (char byte : why) EXPECT_GE(static_cast<unsigned char>(byte), 0x20) << why;
  }
}

}  // namespace
