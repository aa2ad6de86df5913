#include "raster_pages.h"

#include <zlib.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace {

// The largest page a header may claim: 100 inches a side at most at up to
// 2400 dpi. Roll paper aside, no printer takes more, and the bound keeps
// every figure below far from overflowing 32 bits.
constexpr unsigned kMostResolution = 2400;
constexpr unsigned kMostInches = 100;
// The most pages one job prints, copies counted.
constexpr uint64_t kMostPagesAJob = 100000;

enum class Family { kGray, kBlack, kRgb, kCmyk };

// The colour spaces a page may come in, and what each means to a
// PostScript or PDF image: gray levels and luminance are 0 = black, black
// (like CMYK) is 0 = no ink.
struct ColorSpace {
  unsigned space;  // a cups_cspace_t
  Family family;
  unsigned channels;
  const char* name;    // PostScript's and PDF's colour space
  const char* decode;  // Decode array: sample values to colour
};
constexpr ColorSpace kColorSpaces[] = {
    {CUPS_CSPACE_W, Family::kGray, 1, "/DeviceGray", "[0 1]"},
    {CUPS_CSPACE_SW, Family::kGray, 1, "/DeviceGray", "[0 1]"},
    {CUPS_CSPACE_K, Family::kBlack, 1, "/DeviceGray", "[1 0]"},
    {CUPS_CSPACE_RGB, Family::kRgb, 3, "/DeviceRGB", "[0 1 0 1 0 1]"},
    {CUPS_CSPACE_SRGB, Family::kRgb, 3, "/DeviceRGB", "[0 1 0 1 0 1]"},
    {CUPS_CSPACE_ADOBERGB, Family::kRgb, 3, "/DeviceRGB", "[0 1 0 1 0 1]"},
    {CUPS_CSPACE_CMYK, Family::kCmyk, 4, "/DeviceCMYK", "[0 1 0 1 0 1 0 1]"},
};

// A header's enumerated field as the number it holds: a client may send
// any 32 bits, and reading one that names no enumerator as the enum type is
// undefined behaviour.
template <typename Enum>
unsigned ValueOf(const Enum& field) {
  static_assert(sizeof(Enum) == sizeof(unsigned), "an enum field of a raster header");
  unsigned value;
  std::memcpy(&value, &field, sizeof(value));
  return value;
}

const ColorSpace* FindColorSpace(unsigned space) {
  for (const ColorSpace& known : kColorSpaces) {
    if (known.space == space) return &known;
  }
  return nullptr;
}

std::string Number(uint64_t value) { return std::to_string(value); }

// A length in points with four decimals, written without printf so that no
// locale turns the point into a comma.
std::string Points(unsigned pixels, unsigned resolution) {
  const uint64_t scaled =
      (static_cast<uint64_t>(pixels) * 72 * 10000 + resolution / 2) / resolution;
  std::string text = Number(scaled / 10000);
  const unsigned fraction = static_cast<unsigned>(scaled % 10000);
  if (fraction != 0) {
    std::string digits = std::to_string(fraction + 10000).substr(1);
    while (digits.back() == '0') digits.pop_back();
    text += "." + digits;
  }
  return text;
}

// Deflates lines as they come and hands each compressed piece on. One
// fixed buffer: memory does not grow with the page.
class Deflater {
 public:
  using Output = std::function<bool(const unsigned char*, size_t)>;

  bool Start(Output output) {
    End();
    output_ = std::move(output);
    stream_ = z_stream{};
    // Speed over size: a 600-dpi colour page is 100 MB of samples, and
    // the link to a printer is rarely the slow part.
    started_ = deflateInit(&stream_, Z_BEST_SPEED) == Z_OK;
    return started_;
  }
  bool Add(const unsigned char* data, size_t size) { return Run(data, size, Z_NO_FLUSH); }
  bool Finish() {
    const bool ok = Run(nullptr, 0, Z_FINISH);
    End();
    return ok;
  }
  ~Deflater() { End(); }

 private:
  void End() {
    if (started_) deflateEnd(&stream_);
    started_ = false;
  }
  bool Run(const unsigned char* data, size_t size, int flush) {
    if (!started_) return false;
    stream_.next_in = const_cast<unsigned char*>(data);
    stream_.avail_in = static_cast<uInt>(size);
    for (;;) {
      stream_.next_out = buffer_;
      stream_.avail_out = sizeof(buffer_);
      const int status = deflate(&stream_, flush);
      if (status == Z_STREAM_ERROR) return false;
      const size_t made = sizeof(buffer_) - stream_.avail_out;
      if (made > 0 && !output_(buffer_, made)) return false;
      if (flush == Z_FINISH ? status == Z_STREAM_END
                            : stream_.avail_in == 0 && stream_.avail_out != 0) {
        return true;
      }
    }
  }

  z_stream stream_{};
  bool started_ = false;
  Output output_;
  unsigned char buffer_[16384];
};

// ASCII85 as PostScript's ASCII85Decode filter reads it, in lines of at
// most 76 characters; a line never starts with "%", so no DSC reader takes
// image data for a comment.
class Ascii85Encoder {
 public:
  explicit Ascii85Encoder(ByteSink sink) : sink_(std::move(sink)) {}

  bool Add(const unsigned char* data, size_t size) {
    for (size_t i = 0; i < size; ++i) {
      group_[count_++] = data[i];
      if (count_ == 4) {
        EncodeGroup(4);
        count_ = 0;
      }
      if (text_.size() >= 4096 && !Flush()) return false;
    }
    return true;
  }
  bool Finish() {
    if (count_ > 0) {
      for (size_t i = count_; i < 4; ++i) group_[i] = 0;
      EncodeGroup(count_);
      count_ = 0;
    }
    text_ += "~>\n";
    column_ = 0;
    return Flush();
  }

 private:
  void Put(char c) {
    if (column_ == 76) {
      text_ += '\n';
      column_ = 0;
    }
    if (column_ == 0 && c == '%') {
      text_ += ' ';
      ++column_;
    }
    text_ += c;
    ++column_;
  }
  void EncodeGroup(size_t bytes) {
    uint32_t value = (uint32_t{group_[0]} << 24) | (uint32_t{group_[1]} << 16) |
                     (uint32_t{group_[2]} << 8) | uint32_t{group_[3]};
    if (bytes == 4 && value == 0) {
      Put('z');
      return;
    }
    char digits[5];
    for (int i = 4; i >= 0; --i) {
      digits[i] = static_cast<char>('!' + value % 85);
      value /= 85;
    }
    for (size_t i = 0; i < bytes + 1; ++i) Put(digits[i]);
  }
  bool Flush() {
    const bool ok = text_.empty() || sink_(text_.data(), text_.size());
    text_.clear();
    return ok;
  }

  ByteSink sink_;
  unsigned char group_[4] = {};
  size_t count_ = 0;
  size_t column_ = 0;
  std::string text_;
};

// What every writer checks of the order of calls and of each page.
class CheckedWriter : public PageWriter {
 public:
  bool StartJob(int copies) final {
    if (started_) return Fail("the job was started twice");
    started_ = true;
    copies_ = copies < 1 ? 1 : copies;
    return Check(BeginJob());
  }
  bool StartPage(const cups_page_header2_t& header) final {
    if (!started_ || in_page_) return Fail("a page started out of order");
    const std::string why = CheckRasterHeader(header);
    if (!why.empty()) return Fail(why);
    // A PDF keeps a few bytes a page until its end; a client's stream of
    // tiny pages times many copies must not make that unbounded.
    if (static_cast<uint64_t>(pages_ + 1) * static_cast<uint64_t>(copies_) > kMostPagesAJob) {
      return Fail("the job would print more than " + Number(kMostPagesAJob) +
                  " pages, copies counted");
    }
    header_ = header;
    space_ = FindColorSpace(ValueOf(header.cupsColorSpace));
    lines_ = 0;
    in_page_ = true;
    ++pages_;
    return Check(BeginPage());
  }
  bool WriteLine(const unsigned char* line) final {
    if (!in_page_ || lines_ >= header_.cupsHeight) return Fail("a line beyond the page");
    ++lines_;
    return Check(PutLine(line));
  }
  bool EndPage() final {
    if (!in_page_) return Fail("a page ended that never started");
    in_page_ = false;
    if (lines_ != header_.cupsHeight) {
      return Fail("the page ended after " + Number(lines_) + " of " + Number(header_.cupsHeight) +
                  " lines");
    }
    return Check(FinishPage());
  }
  bool EndJob() final {
    if (!started_ || in_page_ || ended_) return Fail("the job ended out of order");
    ended_ = true;
    return Check(FinishJob());
  }

 protected:
  explicit CheckedWriter(ByteSink sink) : sink_(std::move(sink)) {}
  virtual bool BeginJob() = 0;
  virtual bool BeginPage() = 0;
  virtual bool PutLine(const unsigned char* line) = 0;
  virtual bool FinishPage() = 0;
  virtual bool FinishJob() = 0;

  bool Fail(const std::string& why) {
    if (error_.empty()) error_ = why;
    failed_ = true;
    return false;
  }
  bool Check(bool ok) {
    if (!ok) Fail("the device took no more data");
    return ok && !failed_;
  }
  bool Send(const std::string& text) { return Send(text.data(), text.size()); }
  bool Send(const char* data, size_t size) {
    if (failed_) return false;
    if (size != 0 && !sink_(data, size)) return Fail("the device took no more data");
    sent_ += size;
    return true;
  }

  ByteSink sink_;
  cups_page_header2_t header_{};
  const ColorSpace* space_ = nullptr;
  int copies_ = 1;
  unsigned lines_ = 0;
  unsigned pages_ = 0;
  uint64_t sent_ = 0;
  bool failed_ = false;

 private:
  bool started_ = false;
  bool in_page_ = false;
  bool ended_ = false;
};

class PwgRasterWriter final : public CheckedWriter {
 public:
  explicit PwgRasterWriter(ByteSink sink) : CheckedWriter(std::move(sink)) {}
  ~PwgRasterWriter() override {
    if (raster_ != nullptr) cupsRasterClose(raster_);
  }

 private:
  static ssize_t Write(void* context, unsigned char* data, size_t size) {
    auto* self = static_cast<PwgRasterWriter*>(context);
    return self->Send(reinterpret_cast<const char*>(data), size) ? static_cast<ssize_t>(size) : -1;
  }
  bool BeginJob() override {
    raster_ = cupsRasterOpenIO(Write, this, CUPS_RASTER_WRITE_PWG);
    if (raster_ == nullptr) return Fail("libcups opened no raster writer");
    return true;
  }
  bool BeginPage() override {
    cups_page_header2_t header = header_;
    header.NumCopies = static_cast<unsigned>(copies_);
    return cupsRasterWriteHeader2(raster_, &header) != 0;
  }
  bool PutLine(const unsigned char* line) override {
    return cupsRasterWritePixels(raster_, const_cast<unsigned char*>(line),
                                 header_.cupsBytesPerLine) == header_.cupsBytesPerLine;
  }
  bool FinishPage() override { return true; }
  bool FinishJob() override {
    cupsRasterClose(raster_);
    raster_ = nullptr;
    return true;
  }

  cups_raster_t* raster_ = nullptr;
};

// The image dictionary's entries both languages share.
std::string ImageEntries(const cups_page_header2_t& header, const ColorSpace& space) {
  return "/Width " + Number(header.cupsWidth) + " /Height " + Number(header.cupsHeight) +
         " /BitsPerComponent " + Number(header.cupsBitsPerColor) + " /Decode " + space.decode;
}

class PostScriptWriter final : public CheckedWriter {
 public:
  explicit PostScriptWriter(ByteSink sink)
      : CheckedWriter(std::move(sink)),
        encoder_([this](const char* data, size_t size) { return Send(data, size); }) {}

 private:
  bool BeginJob() override {
    return Send(
        "%!PS-Adobe-3.0\n%%Creator: rkvtps-printer-app\n%%LanguageLevel: 3\n"
        "%%Pages: (atend)\n%%EndComments\n%%BeginSetup\n<< /NumCopies " +
        Number(copies_) + " /Collate true >> setpagedevice\n%%EndSetup\n");
  }
  bool BeginPage() override {
    const std::string width = Points(header_.cupsWidth, header_.HWResolution[0]);
    const std::string height = Points(header_.cupsHeight, header_.HWResolution[1]);
    const std::string w = Number(header_.cupsWidth), h = Number(header_.cupsHeight);
    // The image reads its samples from the file right after "exec"; the
    // two flushfile calls then take the filters to their ends, so the
    // interpreter goes on after "~>" whatever the filters read ahead.
    const std::string page =
        "%%Page: " + Number(pages_) + " " + Number(pages_) + "\n%%PageBoundingBox: 0 0 " +
        Number((static_cast<uint64_t>(header_.cupsWidth) * 72 + header_.HWResolution[0] - 1) /
               header_.HWResolution[0]) +
        " " +
        Number((static_cast<uint64_t>(header_.cupsHeight) * 72 + header_.HWResolution[1] - 1) /
               header_.HWResolution[1]) +
        "\n<< /PageSize [" + width + " " + height + "] >> setpagedevice\ngsave\n" + width + " " +
        height + " scale\n" + space_->name +
        " setcolorspace\n/RkA85 currentfile /ASCII85Decode filter def\n"
        "/RkData RkA85 /FlateDecode filter def\n"
        "{ << /ImageType 1 " +
        ImageEntries(header_, *space_) + " /ImageMatrix [" + w + " 0 0 -" + h + " 0 " + h +
        "] /DataSource RkData >> image RkData flushfile RkA85 flushfile } exec\n";
    if (!Send(page)) return false;
    return deflater_.Start(
        [this](const unsigned char* data, size_t size) { return encoder_.Add(data, size); });
  }
  bool PutLine(const unsigned char* line) override {
    return deflater_.Add(line, header_.cupsBytesPerLine);
  }
  bool FinishPage() override {
    return deflater_.Finish() && encoder_.Finish() && Send("grestore\nshowpage\n");
  }
  bool FinishJob() override { return Send("%%Trailer\n%%Pages: " + Number(pages_) + "\n%%EOF\n"); }

  Ascii85Encoder encoder_;
  Deflater deflater_;
};

// Objects are numbered as they are written: the catalog 1, the page tree
// 2 (written last, when its pages are known), then per page its image, the
// image's length, its content. The page objects come at the end, `copies`
// times over. All that is kept of a page is its record below (a few bytes)
// and the file offsets of its objects.
class PdfWriter final : public CheckedWriter {
 public:
  explicit PdfWriter(ByteSink sink) : CheckedWriter(std::move(sink)) {}

 private:
  struct PageRecord {
    unsigned image;  // object number of the image; its length and content follow
    std::string width, height;
  };

  bool StartObject(unsigned number) {
    if (offsets_.size() < number + 1) offsets_.resize(number + 1, 0);
    offsets_[number] = sent_;
    return Send(Number(number) + " 0 obj\n");
  }
  unsigned NewObject() { return next_object_++; }

  bool BeginJob() override {
    return Send("%PDF-1.4\n%\xe2\xe3\xcf\xd3\n") && StartObject(1) &&
           Send("<< /Type /Catalog /Pages 2 0 R >>\nendobj\n");
  }
  bool BeginPage() override {
    PageRecord record;
    record.image = NewObject();
    NewObject();  // the image's length
    NewObject();  // the page's content
    record.width = Points(header_.cupsWidth, header_.HWResolution[0]);
    record.height = Points(header_.cupsHeight, header_.HWResolution[1]);
    pages_list_.push_back(record);
    if (!StartObject(record.image)) return false;
    if (!Send("<< /Type /XObject /Subtype /Image " + ImageEntries(header_, *space_) +
              " /ColorSpace " + space_->name + " /Filter /FlateDecode /Length " +
              Number(record.image + 1) + " 0 R >>\nstream\n")) {
      return false;
    }
    stream_start_ = sent_;
    return deflater_.Start([this](const unsigned char* data, size_t size) {
      return Send(reinterpret_cast<const char*>(data), size);
    });
  }
  bool PutLine(const unsigned char* line) override {
    return deflater_.Add(line, header_.cupsBytesPerLine);
  }
  bool FinishPage() override {
    if (!deflater_.Finish()) return false;
    const uint64_t length = sent_ - stream_start_;
    const PageRecord& record = pages_list_.back();
    const std::string content = "q " + record.width + " 0 0 " + record.height + " 0 0 cm /Im Do Q";
    return Send("\nendstream\nendobj\n") && StartObject(record.image + 1) &&
           Send(Number(length) + "\nendobj\n") && StartObject(record.image + 2) &&
           Send("<< /Length " + Number(content.size()) + " >>\nstream\n" + content +
                "\nendstream\nendobj\n");
  }
  bool FinishJob() override {
    // The copies are the pages listed again: object numbers in order, so
    // neither the list nor the cross-reference table is held whole.
    const unsigned first_page = next_object_;
    for (int copy = 0; copy < copies_; ++copy) {
      for (const PageRecord& record : pages_list_) {
        if (!StartObject(NewObject()) ||
            !Send("<< /Type /Page /Parent 2 0 R /MediaBox [0 0 " + record.width + " " +
                  record.height + "] /Resources << /XObject << /Im " + Number(record.image) +
                  " 0 R >> >> /Contents " + Number(record.image + 2) + " 0 R >>\nendobj\n")) {
          return false;
        }
      }
    }
    if (!StartObject(2) || !Send("<< /Type /Pages /Kids [")) return false;
    for (unsigned page = first_page; page < next_object_; ++page) {
      if (!Send(Number(page) + " 0 R ")) return false;
    }
    if (!Send("] /Count " + Number(next_object_ - first_page) + " >>\nendobj\n")) return false;
    const uint64_t xref = sent_;
    if (!Send("xref\n0 " + Number(next_object_) + "\n0000000000 65535 f \n")) return false;
    for (unsigned number = 1; number < next_object_; ++number) {
      const std::string offset = Number(offsets_[number]);
      if (!Send(std::string(10 - offset.size(), '0') + offset + " 00000 n \n")) return false;
    }
    return Send("trailer\n<< /Size " + Number(next_object_) + " /Root 1 0 R >>\nstartxref\n" +
                Number(xref) + "\n%%EOF\n");
  }

  Deflater deflater_;
  std::vector<uint64_t> offsets_;
  std::vector<PageRecord> pages_list_;
  unsigned next_object_ = 3;
  uint64_t stream_start_ = 0;
};

}  // namespace

std::string CheckRasterHeader(const cups_page_header2_t& header) {
  const ColorSpace* space = FindColorSpace(ValueOf(header.cupsColorSpace));
  if (space == nullptr) {
    return "colour space " + Number(ValueOf(header.cupsColorSpace)) +
           " is not gray, black, RGB or CMYK";
  }
  for (unsigned resolution : header.HWResolution) {
    if (resolution == 0 || resolution > kMostResolution) {
      return "resolution " + Number(resolution) + " dpi is outside 1.." + Number(kMostResolution);
    }
  }
  if (header.cupsWidth == 0 || header.cupsHeight == 0) return "the page has no pixels";
  if (header.cupsWidth > header.HWResolution[0] * kMostInches ||
      header.cupsHeight > header.HWResolution[1] * kMostInches) {
    return "a page of " + Number(header.cupsWidth) + " x " + Number(header.cupsHeight) +
           " pixels at " + Number(header.HWResolution[0]) + " x " + Number(header.HWResolution[1]) +
           " dpi is larger than " + Number(kMostInches) + " inches";
  }
  const bool one_bit_fits = space->channels == 1;
  if (header.cupsBitsPerColor != 8 && !(header.cupsBitsPerColor == 1 && one_bit_fits)) {
    return Number(header.cupsBitsPerColor) + " bits a colour are not printed in this colour space";
  }
  if (header.cupsBitsPerPixel != header.cupsBitsPerColor * space->channels) {
    return Number(header.cupsBitsPerPixel) + " bits a pixel do not make " +
           Number(space->channels) + " colours of " + Number(header.cupsBitsPerColor) + " bits";
  }
  if (ValueOf(header.cupsColorOrder) != CUPS_ORDER_CHUNKED)
    return "colours are not interleaved (chunked)";
  const uint64_t line_bytes =
      (static_cast<uint64_t>(header.cupsWidth) * header.cupsBitsPerPixel + 7) / 8;
  if (header.cupsBytesPerLine != line_bytes) {
    return Number(header.cupsBytesPerLine) + " bytes a line do not match " +
           Number(header.cupsWidth) + " pixels of " + Number(header.cupsBitsPerPixel) + " bits";
  }
  return "";
}

std::unique_ptr<PageWriter> MakePwgRasterWriter(ByteSink sink) {
  return std::make_unique<PwgRasterWriter>(std::move(sink));
}

std::unique_ptr<PageWriter> MakePostScriptWriter(ByteSink sink) {
  return std::make_unique<PostScriptWriter>(std::move(sink));
}

std::unique_ptr<PageWriter> MakePdfWriter(ByteSink sink) {
  return std::make_unique<PdfWriter>(std::move(sink));
}
