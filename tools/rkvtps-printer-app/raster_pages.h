// Raster pages (PWG or Apple raster from a client, or what PAPPL renders
// of a JPEG or PNG) written line by line in the device's language: PWG
// raster again, PostScript image pages or PDF image pages. Plain C++ and
// libcups, so that the fuzzer and the unit tests use the very same code.
#pragma once

#include <cups/raster.h>

#include <cstddef>
#include <functional>
#include <memory>
#include <string>

// Where written bytes go: the device, a converter's input, a test's buffer.
// False: it took no more, and the writer stops.
using ByteSink = std::function<bool(const char* data, size_t size)>;

// Why a page cannot be printed, or "" when it can. Checked before anything
// is allocated for the page: a header is the client's word, and a page of
// 10^6 x 10^6 pixels or a line length that does not follow from the width
// must never size a buffer.
std::string CheckRasterHeader(const cups_page_header2_t& header);

// One job's pages in one output language. Calls come in the order
// StartJob, (StartPage, WriteLine x height, EndPage) x pages, EndJob; each
// line holds the header's cupsBytesPerLine bytes. A false return means the
// sink took no more or the calls came out of order; error() says which.
// Memory stays the same however many pages come: nothing is kept of a page
// but a few numbers.
class PageWriter {
 public:
  virtual ~PageWriter() = default;
  virtual bool StartJob(int copies) = 0;
  virtual bool StartPage(const cups_page_header2_t& header) = 0;
  virtual bool WriteLine(const unsigned char* line) = 0;
  virtual bool EndPage() = 0;
  virtual bool EndJob() = 0;
  const std::string& error() const { return error_; }

 protected:
  std::string error_;
};

// PWG raster through libcups's own writer. Copies: each page header's
// NumCopies, which PWG raster keeps for the printer to honour.
std::unique_ptr<PageWriter> MakePwgRasterWriter(ByteSink sink);

// PostScript (language level 3), one image a page, its samples Flate
// compressed and ASCII85 encoded as they come. Copies: /NumCopies.
std::unique_ptr<PageWriter> MakePostScriptWriter(ByteSink sink);

// PDF, one image a page as a Flate stream. Copies: the pages are listed
// `copies` times over, collated, all pointing at the same images.
std::unique_ptr<PageWriter> MakePdfWriter(ByteSink sink);
