// rk_raster_io: raster pages in and out of libcups' own raster code, for
// the printer application's format tests and benchmarks.
//
//   rk_raster_io encode pwg|urf sgray_8|srgb_8|black_1 DPI PAGES IN.pnm OUT
//     writes PAGES copies of the PNM page (binary PGM or PPM at DPI) as a
//     PWG or Apple raster stream of A4 pages, the way a driverless client
//     sends them;
//   rk_raster_io decode IN OUT_PREFIX
//     reads a PWG or Apple raster stream and writes each page as
//     OUT_PREFIX-N.pnm (PGM for one colour, PPM for three), one line per page
//     on standard output, and "pages N" at the end.
//
// Rows stream through one line buffer: a 600-dpi colour page is never held
// whole. A header whose line length disagrees with its width and depth is
// an error, not something to guess around.
#include <cups/raster.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

struct PnmImage {
  FILE* file = nullptr;
  unsigned width = 0, height = 0, channels = 0;
  long data_start = 0;
};

struct ColorSpace {
  cups_cspace_t space;
  unsigned bits_per_pixel;
  unsigned channels;  // in the PNM written for it
  const char* name;
};

// The page types the decoder understands; anything else is named and refused.
constexpr ColorSpace kColorSpaces[] = {
    {CUPS_CSPACE_SW, 8, 1, "sgray_8"},
    {CUPS_CSPACE_W, 8, 1, "gray_8"},
    {CUPS_CSPACE_K, 1, 1, "black_1"},
    {CUPS_CSPACE_K, 8, 1, "black_8"},
    {CUPS_CSPACE_SRGB, 24, 3, "srgb_8"},
    {CUPS_CSPACE_RGB, 24, 3, "rgb_8"},
    {CUPS_CSPACE_ADOBERGB, 24, 3, "adobe-rgb_8"},
    {CUPS_CSPACE_CMYK, 32, 3, "cmyk_8"},
};

const ColorSpace* FindColorSpace(const cups_page_header2_t& header) {
  for (const ColorSpace& space : kColorSpaces) {
    if (space.space == header.cupsColorSpace && space.bits_per_pixel == header.cupsBitsPerPixel)
      return &space;
  }
  return nullptr;
}

int Fail(const std::string& why) {
  std::fprintf(stderr, "rk_raster_io: %s\n", why.c_str());
  return 1;
}

// Reads one whitespace-separated number of a PNM header, skipping comments.
bool ReadPnmNumber(FILE* file, unsigned* value) {
  int c = std::fgetc(file);
  while (c == '#' || c == ' ' || c == '\t' || c == '\r' || c == '\n') {
    if (c == '#') {
      while (c != '\n' && c != EOF) c = std::fgetc(file);
    }
    c = std::fgetc(file);
  }
  if (c < '0' || c > '9') return false;
  *value = 0;
  while (c >= '0' && c <= '9') {
    *value = *value * 10 + static_cast<unsigned>(c - '0');
    c = std::fgetc(file);
  }
  return true;  // the single whitespace after the number is consumed
}

bool OpenPnm(const char* path, PnmImage* image) {
  image->file = std::fopen(path, "rb");
  if (!image->file) return false;
  char magic[2];
  unsigned max_value = 0;
  if (std::fread(magic, 1, 2, image->file) != 2 || magic[0] != 'P' ||
      (magic[1] != '5' && magic[1] != '6'))
    return false;
  image->channels = magic[1] == '5' ? 1 : 3;
  if (!ReadPnmNumber(image->file, &image->width) || !ReadPnmNumber(image->file, &image->height) ||
      !ReadPnmNumber(image->file, &max_value) || max_value != 255)
    return false;
  image->data_start = std::ftell(image->file);
  return image->width > 0 && image->height > 0;
}

// One PNM row as a raster line of the header's colour space: grey from
// colour by the usual luminance weights, colour from grey by repetition,
// 1-bit black where the grey is darker than mid-grey; white past the PNM's
// edges.
unsigned char GreyOf(const unsigned char* pixel, unsigned channels) {
  return channels == 1 ? pixel[0]
                       : static_cast<unsigned char>(
                             (299 * pixel[0] + 587 * pixel[1] + 114 * pixel[2]) / 1000);
}

void ConvertRow(const std::vector<unsigned char>& in, unsigned in_channels, unsigned in_width,
                const cups_page_header2_t& header, std::vector<unsigned char>* out) {
  const bool bilevel = header.cupsBitsPerPixel == 1;
  const unsigned out_channels = header.cupsBitsPerPixel / 8;
  std::fill(out->begin(), out->end(), bilevel ? 0 : 255);
  const unsigned width = std::min(in_width, header.cupsWidth);
  for (unsigned x = 0; x < width; ++x) {
    const unsigned char* pixel = &in[x * in_channels];
    if (bilevel) {
      if (GreyOf(pixel, in_channels) < 128)
        (*out)[x / 8] |= static_cast<unsigned char>(0x80 >> (x % 8));
      continue;
    }
    unsigned char* target = &(*out)[x * out_channels];
    if (out_channels == in_channels) {
      std::memcpy(target, pixel, out_channels);
    } else if (out_channels == 1) {
      target[0] = GreyOf(pixel, in_channels);
    } else {
      target[0] = target[1] = target[2] = pixel[0];
    }
  }
}

int Encode(const std::string& kind, const char* type, unsigned dpi, unsigned pages,
           const char* in_path, const char* out_path) {
  PnmImage image;
  if (!OpenPnm(in_path, &image))
    return Fail(std::string(in_path) + ": not a binary 8-bit PGM or PPM");
  pwg_media_t* a4 = pwgMediaForPWG("iso_a4_210x297mm");
  cups_page_header2_t header;
  if (!a4 || !cupsRasterInitPWGHeader(&header, a4, type, static_cast<int>(dpi),
                                      static_cast<int>(dpi), "one-sided", "normal"))
    return Fail(std::string("no raster header for ") + type + ": " + cupsLastErrorString());
  header.cupsInteger[CUPS_RASTER_PWG_TotalPageCount] = pages;
  const int fd = open(out_path, O_WRONLY | O_CREAT | O_TRUNC, 0644);
  if (fd < 0) return Fail(std::string(out_path) + ": cannot be written");
  cups_raster_t* raster =
      cupsRasterOpen(fd, kind == "urf" ? CUPS_RASTER_WRITE_APPLE : CUPS_RASTER_WRITE_PWG);
  std::vector<unsigned char> in(static_cast<size_t>(image.width) * image.channels);
  std::vector<unsigned char> line(header.cupsBytesPerLine);
  bool ok = raster != nullptr;
  for (unsigned page = 0; ok && page < pages; ++page) {
    ok = cupsRasterWriteHeader2(raster, &header) &&
         std::fseek(image.file, image.data_start, SEEK_SET) == 0;
    for (unsigned y = 0; ok && y < header.cupsHeight; ++y) {
      if (y < image.height) {
        ok = std::fread(in.data(), 1, in.size(), image.file) == in.size();
        ConvertRow(in, image.channels, image.width, header, &line);
      } else {
        std::fill(line.begin(), line.end(), header.cupsBitsPerPixel == 1 ? 0 : 255);
      }
      ok = ok && cupsRasterWritePixels(raster, line.data(), header.cupsBytesPerLine) ==
                     header.cupsBytesPerLine;
    }
  }
  if (raster) cupsRasterClose(raster);
  std::fclose(image.file);
  if (close(fd) != 0 || !ok) return Fail(std::string(out_path) + ": writing failed");
  return 0;
}

// One raster line as a PNM row: 1-bit black set bits are dark, CMYK
// becomes RGB by the naive subtraction (enough to compare shapes).
void LineToPnm(const std::vector<unsigned char>& line, const ColorSpace& space, unsigned width,
               std::vector<unsigned char>* row) {
  for (unsigned x = 0; x < width; ++x) {
    if (space.bits_per_pixel == 1) {
      (*row)[x] = (line[x / 8] & (0x80 >> (x % 8))) ? 0 : 255;
    } else if (space.space == CUPS_CSPACE_K) {
      (*row)[x] = static_cast<unsigned char>(255 - line[x]);
    } else if (space.space == CUPS_CSPACE_CMYK) {
      const unsigned char* p = &line[x * 4];
      for (int c = 0; c < 3; ++c)
        (*row)[x * 3 + c] = static_cast<unsigned char>(std::max(0, 255 - p[c] - p[3]));
    } else {
      std::memcpy(&(*row)[x * space.channels], &line[x * space.channels], space.channels);
    }
  }
}

int Decode(const char* in_path, const std::string& prefix) {
  const int fd = open(in_path, O_RDONLY);
  if (fd < 0) return Fail(std::string(in_path) + ": cannot be read");
  cups_raster_t* raster = cupsRasterOpen(fd, CUPS_RASTER_READ);
  cups_page_header2_t header;
  unsigned pages = 0;
  int status = 0;
  while (status == 0 && raster && cupsRasterReadHeader2(raster, &header)) {
    ++pages;
    const ColorSpace* space = FindColorSpace(header);
    if (!space) {
      status = Fail("page " + std::to_string(pages) + ": colour space " +
                    std::to_string(header.cupsColorSpace) + " at " +
                    std::to_string(header.cupsBitsPerPixel) + " bits is not one this reader knows");
      break;
    }
    const unsigned long long expected =
        (static_cast<unsigned long long>(header.cupsWidth) * header.cupsBitsPerPixel + 7) / 8;
    if (header.cupsWidth == 0 || header.cupsHeight == 0 || header.cupsBytesPerLine != expected ||
        header.cupsWidth > 100000 || header.cupsHeight > 100000) {
      status = Fail("page " + std::to_string(pages) + ": " + std::to_string(header.cupsWidth) +
                    "x" + std::to_string(header.cupsHeight) + " with " +
                    std::to_string(header.cupsBytesPerLine) + " bytes a line is not a sane page");
      break;
    }
    std::printf("page %u: %ux%u %ux%u dpi %s\n", pages, header.cupsWidth, header.cupsHeight,
                header.HWResolution[0], header.HWResolution[1], space->name);
    const std::string path = prefix + "-" + std::to_string(pages) + ".pnm";
    FILE* out = std::fopen(path.c_str(), "wb");
    if (!out) {
      status = Fail(path + ": cannot be written");
      break;
    }
    std::fprintf(out, "P%c\n%u %u\n255\n", space->channels == 1 ? '5' : '6', header.cupsWidth,
                 header.cupsHeight);
    std::vector<unsigned char> line(header.cupsBytesPerLine);
    std::vector<unsigned char> row(static_cast<size_t>(header.cupsWidth) * space->channels);
    for (unsigned y = 0; y < header.cupsHeight; ++y) {
      if (cupsRasterReadPixels(raster, line.data(), header.cupsBytesPerLine) !=
          header.cupsBytesPerLine) {
        status = Fail("page " + std::to_string(pages) + " ends after " + std::to_string(y) +
                      " of its " + std::to_string(header.cupsHeight) + " lines");
        break;
      }
      LineToPnm(line, *space, header.cupsWidth, &row);
      std::fwrite(row.data(), 1, row.size(), out);
    }
    if (std::fclose(out) != 0) status = Fail(path + ": writing failed");
  }
  if (raster) cupsRasterClose(raster);
  close(fd);
  std::printf("pages %u\n", pages);
  return status;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string command = argc > 1 ? argv[1] : "";
  if (command == "encode" && argc == 8 &&
      (std::strcmp(argv[2], "pwg") == 0 || std::strcmp(argv[2], "urf") == 0)) {
    const int dpi = std::atoi(argv[4]), pages = std::atoi(argv[5]);
    if (dpi <= 0 || pages <= 0) return Fail("DPI and PAGES are positive numbers");
    return Encode(argv[2], argv[3], static_cast<unsigned>(dpi), static_cast<unsigned>(pages),
                  argv[6], argv[7]);
  }
  if (command == "decode" && argc == 4) return Decode(argv[2], argv[3]);
  std::fprintf(stderr,
               "usage: rk_raster_io encode pwg|urf sgray_8|srgb_8|black_1 DPI PAGES IN.pnm OUT\n"
               "       rk_raster_io decode IN OUT_PREFIX\n");
  return 2;
}
