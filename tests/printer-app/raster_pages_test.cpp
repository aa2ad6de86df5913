// Raster pages written in each output language and read back: PWG raster
// with libcups's reader, PostScript and PDF rendered by Ghostscript. The
// test pages are lopsided (a bar along the top, a block at the right, a
// ramp across) so that a wrong stride, a page turned over or a lost line
// shows in the pixels.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "raster_pages.h"

namespace {

cups_page_header2_t MakeHeader(cups_cspace_t space, unsigned bits, unsigned channels,
                               unsigned width, unsigned height, unsigned x_dpi, unsigned y_dpi) {
  cups_page_header2_t header{};
  header.cupsColorSpace = space;
  header.cupsBitsPerColor = bits;
  header.cupsBitsPerPixel = bits * channels;
  header.cupsNumColors = channels;
  header.cupsColorOrder = CUPS_ORDER_CHUNKED;
  header.cupsWidth = width;
  header.cupsHeight = height;
  header.HWResolution[0] = x_dpi;
  header.HWResolution[1] = y_dpi;
  header.PageSize[0] = width * 72 / x_dpi;
  header.PageSize[1] = height * 72 / y_dpi;
  header.cupsBytesPerLine = (width * bits * channels + 7) / 8;
  return header;
}

// The page's ink at (x, y), 0 (none) .. 255 (full), for channel c: a bar
// along the top quarter, a block at the right edge low down, a ramp
// elsewhere that runs the other way in each channel.
unsigned Ink(unsigned x, unsigned y, unsigned c, unsigned width, unsigned height) {
  if (y < height / 4) return c == 0 ? 255 : 0;
  if (x >= width * 3 / 4 && y >= height * 2 / 3) return 255;
  const unsigned ramp = x * 255 / (width - 1);
  return (c % 2 == 0) ? ramp / 2 : (255 - ramp) / 2;
}

// Line y of the page as the header lays it out.
std::vector<unsigned char> MakeLine(const cups_page_header2_t& header, unsigned y) {
  std::vector<unsigned char> line(header.cupsBytesPerLine, 0);
  const unsigned channels = header.cupsBitsPerPixel / header.cupsBitsPerColor;
  const bool ink_is_zero =
      header.cupsColorSpace == CUPS_CSPACE_W || header.cupsColorSpace == CUPS_CSPACE_SW ||
      header.cupsColorSpace == CUPS_CSPACE_RGB || header.cupsColorSpace == CUPS_CSPACE_SRGB;
  for (unsigned x = 0; x < header.cupsWidth; ++x) {
    for (unsigned c = 0; c < channels; ++c) {
      unsigned ink = Ink(x, y, c, header.cupsWidth, header.cupsHeight);
      if (header.cupsBitsPerColor == 1) {
        const bool dark = ink >= 128;
        if (dark != ink_is_zero) line[x / 8] |= static_cast<unsigned char>(0x80 >> (x % 8));
      } else {
        line[x * channels + c] = static_cast<unsigned char>(ink_is_zero ? 255 - ink : ink);
      }
    }
  }
  return line;
}

// What the pixel should look like on screen (RGB).
void ExpectedRgb(const cups_page_header2_t& header, const std::vector<unsigned char>& line,
                 unsigned x, int rgb[3]) {
  const unsigned channels = header.cupsBitsPerPixel / header.cupsBitsPerColor;
  if (header.cupsBitsPerColor == 1) {
    const bool set = (line[x / 8] & (0x80 >> (x % 8))) != 0;
    const bool white = header.cupsColorSpace == CUPS_CSPACE_K ? !set : set;
    rgb[0] = rgb[1] = rgb[2] = white ? 255 : 0;
    return;
  }
  const unsigned char* pixel = &line[x * channels];
  switch (header.cupsColorSpace) {
    case CUPS_CSPACE_K:
      rgb[0] = rgb[1] = rgb[2] = 255 - pixel[0];
      return;
    case CUPS_CSPACE_W:
    case CUPS_CSPACE_SW:
      rgb[0] = rgb[1] = rgb[2] = pixel[0];
      return;
    default:
      for (int c = 0; c < 3; ++c) rgb[c] = pixel[c];
  }
}

bool Contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

// Writes `pages` (each a header) as one job; the sink appends to *out.
bool WriteJob(PageWriter& writer, const std::vector<cups_page_header2_t>& pages, int copies) {
  if (!writer.StartJob(copies)) return false;
  for (const cups_page_header2_t& header : pages) {
    if (!writer.StartPage(header)) return false;
    for (unsigned y = 0; y < header.cupsHeight; ++y) {
      if (!writer.WriteLine(MakeLine(header, y).data())) return false;
    }
    if (!writer.EndPage()) return false;
  }
  return writer.EndJob();
}

ByteSink AppendTo(std::string* out) {
  return [out](const char* data, size_t size) {
    out->append(data, size);
    return true;
  };
}

// The test pages: every colour space and depth the writers take, odd
// widths (lines that end inside a byte), unequal resolutions.
std::vector<cups_page_header2_t> TestPages() {
  return {MakeHeader(CUPS_CSPACE_SW, 8, 1, 61, 40, 72, 144),
          MakeHeader(CUPS_CSPACE_K, 1, 1, 77, 30, 72, 72),
          MakeHeader(CUPS_CSPACE_SRGB, 8, 3, 50, 35, 144, 72),
          MakeHeader(CUPS_CSPACE_K, 8, 1, 45, 45, 72, 72),
          MakeHeader(CUPS_CSPACE_W, 1, 1, 33, 20, 72, 72)};
}

// --- CheckRasterHeader ------------------------------------------------------

struct HeaderCase {
  const char* name;
  std::function<void(cups_page_header2_t&)> change;
  const char* why;  // part of the refusal, or nullptr: the header is fine
};

TEST(CheckRasterHeader, RefusesWhatCannotBePrintedAndTakesTheRest) {
  const HeaderCase cases[] = {
      {"gray 8", [](cups_page_header2_t&) {}, nullptr},
      {"black 1",
       [](cups_page_header2_t& h) { h = MakeHeader(CUPS_CSPACE_K, 1, 1, 2550, 3300, 300, 300); },
       nullptr},
      {"white 1",
       [](cups_page_header2_t& h) { h = MakeHeader(CUPS_CSPACE_W, 1, 1, 9, 9, 300, 300); },
       nullptr},
      {"sRGB 8",
       [](cups_page_header2_t& h) { h = MakeHeader(CUPS_CSPACE_SRGB, 8, 3, 4960, 7016, 600, 600); },
       nullptr},
      {"Adobe RGB 8",
       [](cups_page_header2_t& h) { h = MakeHeader(CUPS_CSPACE_ADOBERGB, 8, 3, 7, 7, 72, 72); },
       nullptr},
      {"CMYK 8",
       [](cups_page_header2_t& h) { h = MakeHeader(CUPS_CSPACE_CMYK, 8, 4, 7, 7, 72, 72); },
       nullptr},
      {"largest page",
       [](cups_page_header2_t& h) {
         h = MakeHeader(CUPS_CSPACE_K, 1, 1, 240000, 240000, 2400, 2400);
       },
       nullptr},
      {"a million pixels a side",
       [](cups_page_header2_t& h) {
         h = MakeHeader(CUPS_CSPACE_SW, 8, 1, 1000000, 1000000, 300, 300);
       },
       "larger than 100 inches"},
      {"one line too wide",
       [](cups_page_header2_t& h) { h = MakeHeader(CUPS_CSPACE_SW, 8, 1, 30001, 10, 300, 300); },
       "larger than"},
      {"too tall", [](cups_page_header2_t& h) { h.cupsHeight = 300 * 100 + 1; }, "larger than"},
      {"width times bits overflows 32 bits",
       [](cups_page_header2_t& h) {
         h.cupsWidth = 0x40000001;
         h.cupsBytesPerLine = 1;
       },
       "larger than"},
      {"bytes a line too few", [](cups_page_header2_t& h) { h.cupsBytesPerLine -= 1; },
       "bytes a line"},
      {"bytes a line too many", [](cups_page_header2_t& h) { h.cupsBytesPerLine += 8; },
       "bytes a line"},
      {"bytes a line wrapped to match 32 bits",
       [](cups_page_header2_t& h) {
         h = MakeHeader(CUPS_CSPACE_CMYK, 8, 4, 240000, 10, 2400, 2400);
         h.cupsBytesPerLine = 960000u + 0x80000000u;
       },
       "bytes a line"},
      {"no width", [](cups_page_header2_t& h) { h.cupsWidth = 0; }, "no pixels"},
      {"no height", [](cups_page_header2_t& h) { h.cupsHeight = 0; }, "no pixels"},
      {"no resolution", [](cups_page_header2_t& h) { h.HWResolution[1] = 0; }, "resolution"},
      {"4800 dpi", [](cups_page_header2_t& h) { h.HWResolution[0] = 4800; }, "resolution"},
      {"16 bits",
       [](cups_page_header2_t& h) { h = MakeHeader(CUPS_CSPACE_SW, 16, 1, 10, 10, 72, 72); },
       "bits a colour"},
      {"1-bit RGB",
       [](cups_page_header2_t& h) { h = MakeHeader(CUPS_CSPACE_SRGB, 1, 3, 10, 10, 72, 72); },
       "bits a colour"},
      {"bits a pixel not bits a colour times colours",
       [](cups_page_header2_t& h) {
         h.cupsBitsPerPixel = 24;
         h.cupsBytesPerLine = h.cupsWidth * 3;
       },
       "bits a pixel"},
      {"banded colours", [](cups_page_header2_t& h) { h.cupsColorOrder = CUPS_ORDER_BANDED; },
       "chunked"},
      {"RGBA", [](cups_page_header2_t& h) { h.cupsColorSpace = CUPS_CSPACE_RGBA; }, "colour space"},
      {"CIE Lab", [](cups_page_header2_t& h) { h.cupsColorSpace = CUPS_CSPACE_CIELab; },
       "colour space"},
  };
  for (const HeaderCase& test : cases) {
    cups_page_header2_t header = MakeHeader(CUPS_CSPACE_SW, 8, 1, 2480, 3508, 300, 300);
    test.change(header);
    const std::string why = CheckRasterHeader(header);
    if (test.why == nullptr) {
      EXPECT_EQ(why, "") << test.name;
    } else {
      EXPECT_TRUE(Contains(why, test.why)) << test.name << ": \"" << why << "\"";
    }
  }
}

// --- every writer ----------------------------------------------------------

using MakeWriter = std::unique_ptr<PageWriter> (*)(ByteSink);
constexpr MakeWriter kWriters[] = {MakePwgRasterWriter, MakePostScriptWriter, MakePdfWriter};

TEST(PageWriter, RefusesCallsOutOfOrderAndBadPages) {
  for (MakeWriter make : kWriters) {
    std::string out;
    const cups_page_header2_t header = MakeHeader(CUPS_CSPACE_SW, 8, 1, 8, 2, 72, 72);
    const std::vector<unsigned char> line(8, 0);
    {
      auto writer = make(AppendTo(&out));
      EXPECT_FALSE(writer->StartPage(header)) << "a page before the job";
    }
    {
      auto writer = make(AppendTo(&out));
      ASSERT_TRUE(writer->StartJob(1));
      cups_page_header2_t absurd = header;
      absurd.cupsWidth = 1000000;
      EXPECT_FALSE(writer->StartPage(absurd));
      EXPECT_TRUE(Contains(writer->error(), "larger than")) << writer->error();
    }
    {
      auto writer = make(AppendTo(&out));
      ASSERT_TRUE(writer->StartJob(1));
      ASSERT_TRUE(writer->StartPage(header));
      ASSERT_TRUE(writer->WriteLine(line.data()));
      EXPECT_FALSE(writer->EndPage()) << "a page one line short";
      EXPECT_TRUE(Contains(writer->error(), "1 of 2 lines")) << writer->error();
    }
    {
      auto writer = make(AppendTo(&out));
      ASSERT_TRUE(writer->StartJob(1));
      ASSERT_TRUE(writer->StartPage(header));
      ASSERT_TRUE(writer->WriteLine(line.data()));
      ASSERT_TRUE(writer->WriteLine(line.data()));
      EXPECT_FALSE(writer->WriteLine(line.data())) << "a line beyond the page";
    }
  }
}

TEST(PageWriter, StopsWhenTheDeviceTakesNoMore) {
  for (MakeWriter make : kWriters) {
    size_t taken = 0;
    size_t calls_after_refusal = 0;
    auto writer = make([&](const char*, size_t size) {
      if (taken >= 300) {
        ++calls_after_refusal;
        return false;
      }
      taken += size;
      return true;
    });
    EXPECT_FALSE(WriteJob(*writer, TestPages(), 1));
    EXPECT_TRUE(Contains(writer->error(), "took no more")) << writer->error();
    EXPECT_LE(calls_after_refusal, 1u) << "the writer went on writing after a refusal";
  }
}

// --- PWG raster ------------------------------------------------------------

struct ReadBuffer {
  const std::string* bytes;
  size_t at;
};

ssize_t ReadFromBuffer(void* context, unsigned char* data, size_t size) {
  auto* buffer = static_cast<ReadBuffer*>(context);
  const size_t left = buffer->bytes->size() - buffer->at;
  const size_t n = size < left ? size : left;
  std::memcpy(data, buffer->bytes->data() + buffer->at, n);
  buffer->at += n;
  return static_cast<ssize_t>(n);
}

TEST(PwgRasterWriter, ReadsBackPixelForPixelWithTheCopiesInEachHeader) {
  std::string out;
  auto writer = MakePwgRasterWriter(AppendTo(&out));
  const std::vector<cups_page_header2_t> pages = TestPages();
  ASSERT_TRUE(WriteJob(*writer, pages, 3)) << writer->error();
  ASSERT_EQ(out.compare(0, 4, "RaS2"), 0);
  ReadBuffer buffer{&out, 0};
  cups_raster_t* raster = cupsRasterOpenIO(ReadFromBuffer, &buffer, CUPS_RASTER_READ);
  ASSERT_NE(raster, nullptr);
  size_t page = 0;
  cups_page_header2_t read{};
  while (cupsRasterReadHeader2(raster, &read)) {
    ASSERT_LT(page, pages.size());
    const cups_page_header2_t& sent = pages[page];
    EXPECT_EQ(read.cupsWidth, sent.cupsWidth);
    EXPECT_EQ(read.cupsHeight, sent.cupsHeight);
    EXPECT_EQ(read.cupsColorSpace, sent.cupsColorSpace);
    EXPECT_EQ(read.cupsBitsPerPixel, sent.cupsBitsPerPixel);
    EXPECT_EQ(read.HWResolution[0], sent.HWResolution[0]);
    EXPECT_EQ(read.HWResolution[1], sent.HWResolution[1]);
    EXPECT_EQ(read.NumCopies, 3u);
    std::vector<unsigned char> line(read.cupsBytesPerLine);
    for (unsigned y = 0; y < read.cupsHeight; ++y) {
      ASSERT_EQ(cupsRasterReadPixels(raster, line.data(), read.cupsBytesPerLine),
                read.cupsBytesPerLine);
      ASSERT_EQ(line, MakeLine(sent, y)) << "page " << page << " line " << y;
    }
    ++page;
  }
  cupsRasterClose(raster);
  EXPECT_EQ(page, pages.size());
}

// --- PostScript and PDF, rendered back -------------------------------------

class TemporaryFolder {
 public:
  TemporaryFolder() {
    char name[] = "/tmp/rk-raster-XXXXXX";
    if (mkdtemp(name) != nullptr) path_ = name;
  }
  ~TemporaryFolder() {
    if (!path_.empty() && std::system(("rm -rf '" + path_ + "'").c_str()) != 0) {
      std::fprintf(stderr, "could not remove %s\n", path_.c_str());
    }
  }
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

struct Image {
  unsigned width = 0, height = 0;
  std::vector<unsigned char> rgb;
};

bool ReadPpm(const std::string& path, Image* image) {
  std::ifstream in(path, std::ios::binary);
  std::string magic;
  in >> magic;
  if (magic != "P6") return false;
  unsigned values[3];
  for (unsigned& value : values) {
    while (in >> std::ws && in.peek() == '#') in.ignore(1 << 20, '\n');
    in >> value;
  }
  in.get();
  image->width = values[0];
  image->height = values[1];
  image->rgb.resize(static_cast<size_t>(values[0]) * values[1] * 3);
  in.read(reinterpret_cast<char*>(image->rgb.data()),
          static_cast<std::streamsize>(image->rgb.size()));
  return in.good() || in.eof();
}

// Renders `file` with Ghostscript, one PPM a page at the page's own
// resolution; false (with why) when gs is missing or fails.
bool Render(const std::string& file, const cups_page_header2_t& header, const std::string& folder,
            const std::string& stem) {
  const std::string command = "gs -q -dSAFER -dBATCH -dNOPAUSE -sDEVICE=ppmraw -r" +
                              std::to_string(header.HWResolution[0]) + "x" +
                              std::to_string(header.HWResolution[1]) + " -sOutputFile=" + folder +
                              "/" + stem + "%d.ppm " + file + " >" + folder + "/gs.log 2>&1";
  return std::system(command.c_str()) == 0;
}

// The share of pixels within a tolerance of what the page holds.
double Agreement(const Image& image, const cups_page_header2_t& header) {
  if (image.width + 1 < header.cupsWidth || image.width > header.cupsWidth + 1 ||
      image.height + 1 < header.cupsHeight || image.height > header.cupsHeight + 1) {
    ADD_FAILURE() << "rendered " << image.width << "x" << image.height << ", sent "
                  << header.cupsWidth << "x" << header.cupsHeight;
    return 0;
  }
  size_t agree = 0, total = 0;
  for (unsigned y = 0; y < header.cupsHeight && y < image.height; ++y) {
    const std::vector<unsigned char> line = MakeLine(header, y);
    for (unsigned x = 0; x < header.cupsWidth && x < image.width; ++x) {
      int expected[3];
      ExpectedRgb(header, line, x, expected);
      const unsigned char* got = &image.rgb[(static_cast<size_t>(y) * image.width + x) * 3];
      bool near = true;
      for (int c = 0; c < 3; ++c) near = near && std::abs(got[c] - expected[c]) <= 12;
      agree += near;
      ++total;
    }
  }
  return total == 0 ? 0 : static_cast<double>(agree) / total;
}

bool HaveGhostscript() { return std::system("gs --version >/dev/null 2>&1") == 0; }

void ExpectRendersBack(const std::string& document, const char* suffix, int copies) {
  TemporaryFolder folder;
  ASSERT_FALSE(folder.path().empty());
  const std::string file = folder.path() + "/job" + suffix;
  std::ofstream(file, std::ios::binary) << document;
  const std::vector<cups_page_header2_t> pages = TestPages();
  // Ghostscript renders at one resolution a run: one run a page size.
  for (size_t page = 0; page < pages.size(); ++page) {
    ASSERT_TRUE(Render(file, pages[page], folder.path(), "r" + std::to_string(page) + "-"))
        << "gs failed; see its log";
    const int per_copy = static_cast<int>(pages.size());
    for (int copy = 0; copy < copies; ++copy) {
      // PostScript's copies come page by page, PDF's collated.
      const int index = std::string(suffix) == ".pdf" ? copy * per_copy + static_cast<int>(page) + 1
                                                      : static_cast<int>(page) * copies + copy + 1;
      Image image;
      const std::string ppm =
          folder.path() + "/r" + std::to_string(page) + "-" + std::to_string(index) + ".ppm";
      ASSERT_TRUE(ReadPpm(ppm, &image)) << ppm;
      EXPECT_GE(Agreement(image, pages[page]), 0.98)
          << suffix << " page " << page << " copy " << copy;
    }
  }
}

TEST(PostScriptWriter, RendersBackAndCountsItsPages) {
  std::string out;
  auto writer = MakePostScriptWriter(AppendTo(&out));
  ASSERT_TRUE(WriteJob(*writer, TestPages(), 2)) << writer->error();
  EXPECT_EQ(out.compare(0, 15, "%!PS-Adobe-3.0\n"), 0);
  EXPECT_TRUE(Contains(out, "%%Pages: (atend)\n"));
  EXPECT_TRUE(Contains(out, "/NumCopies 2 "));
  const size_t trailer = out.rfind("%%Trailer\n");
  ASSERT_NE(trailer, std::string::npos);
  EXPECT_EQ(out.substr(trailer), "%%Trailer\n%%Pages: 5\n%%EOF\n");
  // No line of image data reads as a DSC comment.
  std::istringstream lines(out);
  std::string line;
  size_t comments = 0;
  while (std::getline(lines, line)) comments += line.compare(0, 2, "%%") == 0;
  EXPECT_EQ(comments, 6u + 2u * 5u + 3u);
  if (!HaveGhostscript()) GTEST_SKIP() << "no gs here to render the PostScript back";
  ExpectRendersBack(out, ".ps", 2);
}

TEST(PdfWriter, CrossReferencePointsAtEachObjectAndCopiesAreCollated) {
  std::string out;
  auto writer = MakePdfWriter(AppendTo(&out));
  ASSERT_TRUE(WriteJob(*writer, TestPages(), 2)) << writer->error();
  ASSERT_EQ(out.compare(0, 9, "%PDF-1.4\n"), 0);
  const size_t startxref = out.rfind("startxref\n");
  ASSERT_NE(startxref, std::string::npos);
  const size_t xref = std::stoul(out.substr(startxref + 10));
  ASSERT_EQ(out.compare(xref, 5, "xref\n"), 0);
  std::istringstream table(out.substr(xref + 5));
  unsigned first = 1, count = 0;
  table >> first >> count;
  EXPECT_EQ(first, 0u);
  // Objects: catalog, page tree, 3 a page, then 5 pages x 2 copies.
  EXPECT_EQ(count, 3u + 3u * 5u + 10u);
  for (unsigned number = 0; number < count; ++number) {
    std::string offset, generation, kind;
    table >> offset >> generation >> kind;
    ASSERT_EQ(offset.size(), 10u);
    if (number == 0) {
      EXPECT_EQ(kind, "f");
      continue;
    }
    EXPECT_EQ(kind, "n");
    const std::string expected = std::to_string(number) + " 0 obj\n";
    EXPECT_EQ(out.compare(std::stoul(offset), expected.size(), expected), 0)
        << "object " << number << " at " << offset;
  }
  EXPECT_TRUE(Contains(out, "/Count 10 >>"));
  if (!HaveGhostscript()) GTEST_SKIP() << "no gs here to render the PDF back";
  ExpectRendersBack(out, ".pdf", 2);
}

// Tiny pages times many copies: a PDF keeps a little of each page until its
// end, so every writer stops at a bound instead of growing without one.
TEST(PageWriters, StopAtTheMostPagesAJobCopiesCounted) {
  const cups_page_header2_t dot = MakeHeader(CUPS_CSPACE_SW, 8, 1, 1, 1, 72, 72);
  const unsigned char ink = 0;
  for (auto make : {MakePdfWriter, MakePostScriptWriter, MakePwgRasterWriter}) {
    uint64_t bytes = 0;
    auto writer = make([&bytes](const char*, size_t size) {
      bytes += size;
      return true;
    });
    ASSERT_TRUE(writer->StartJob(999));
    unsigned pages = 0;
    while (pages < 1000 && writer->StartPage(dot)) {
      ASSERT_TRUE(writer->WriteLine(&ink)) << writer->error();
      ASSERT_TRUE(writer->EndPage()) << writer->error();
      ++pages;
    }
    EXPECT_EQ(pages, 100u) << "100 pages of 999 copies pass, the next does not";
    EXPECT_NE(writer->error().find("more than 100000 pages"), std::string::npos) << writer->error();
    const uint64_t before = bytes;
    EXPECT_FALSE(writer->EndJob());
    EXPECT_EQ(bytes, before) << "nothing more is written after the refusal";
  }
}

}  // namespace
