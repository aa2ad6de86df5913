// The printer application's raster path on hostile bytes: PWG or Apple
// raster read by libcups as PAPPL reads a client's job, each page header
// checked, and every page the check lets through written line by line by
// each writer. A page the check lets through must be written without a
// fault; a page cut short must be refused when it ends.
#include <cups/raster.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "raster_pages.h"

namespace {

// A fuzzer must stay fast: a header may claim gigabytes of lines that a
// few bytes of run-length code expand to. Pages beyond this many bytes
// have their header checked and no more.
constexpr uint64_t kMostPageBytes = 1024 * 1024;

[[noreturn]] void Violated(const char* what, const std::string& detail) {
  std::fprintf(stderr, "invariant violated: %s (%s)\n", what, detail.c_str());
  std::abort();
}

struct Input {
  const uint8_t* data;
  size_t size;
  size_t at;
};

ssize_t ReadInput(void* context, unsigned char* buffer, size_t size) {
  auto* input = static_cast<Input*>(context);
  const size_t n = size < input->size - input->at ? size : input->size - input->at;
  std::memcpy(buffer, input->data + input->at, n);
  input->at += n;
  return static_cast<ssize_t>(n);
}

using MakeWriter = std::unique_ptr<PageWriter> (*)(ByteSink);

struct Output {
  std::unique_ptr<PageWriter> writer;
  uint64_t bytes = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Input input{data, size, 0};
  cups_raster_t* raster = cupsRasterOpenIO(ReadInput, &input, CUPS_RASTER_READ);
  if (raster == nullptr) return 0;
  Output outputs[3];
  const MakeWriter makers[3] = {MakePwgRasterWriter, MakePostScriptWriter, MakePdfWriter};
  for (int i = 0; i < 3; ++i) {
    Output& output = outputs[i];
    output.writer = makers[i]([&output](const char*, size_t n) {
      output.bytes += n;
      return true;
    });
    if (!output.writer->StartJob(2)) Violated("a job did not start", output.writer->error());
  }
  cups_page_header2_t header;
  bool complete = true;
  while (complete && cupsRasterReadHeader2(raster, &header)) {
    if (!CheckRasterHeader(header).empty()) break;
    if (static_cast<uint64_t>(header.cupsBytesPerLine) * header.cupsHeight > kMostPageBytes) break;
    for (Output& output : outputs) {
      if (!output.writer->StartPage(header)) {
        Violated("a checked page was refused", output.writer->error());
      }
    }
    std::vector<unsigned char> line(header.cupsBytesPerLine);
    unsigned y = 0;
    for (; y < header.cupsHeight; ++y) {
      if (cupsRasterReadPixels(raster, line.data(), header.cupsBytesPerLine) !=
          header.cupsBytesPerLine) {
        break;
      }
      for (Output& output : outputs) {
        if (!output.writer->WriteLine(line.data())) {
          Violated("a line was refused", output.writer->error());
        }
      }
    }
    complete = y == header.cupsHeight;
    for (Output& output : outputs) {
      if (output.writer->EndPage() != complete) {
        Violated(complete ? "a whole page was refused" : "a page cut short was taken",
                 output.writer->error());
      }
    }
  }
  if (complete) {
    for (Output& output : outputs) {
      if (!output.writer->EndJob()) Violated("a job did not end", output.writer->error());
    }
  }
  cupsRasterClose(raster);
  return 0;
}
