#include "print_job.h"

#include <fcntl.h>
#include <ftw.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "converter.h"
#include "document_formats.h"
#include "job_commands.h"
#include "printer_settings.h"
#include "text_forms.h"

namespace {

// Big enough that PAPPL writes each chunk straight to the device (its own
// buffer is 8 KiB) and reports a failed write at once.
constexpr size_t kChunk = 64 * 1024;

bool Write(pappl_device_t* device, const char* data, size_t size) {
  return size == 0 || papplDeviceWrite(device, data, size) == static_cast<ssize_t>(size);
}

bool WriteFile(int fd, const char* data, size_t size) {
  while (size > 0) {
    const ssize_t written = write(fd, data, size);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return false;
    data += written;
    size -= static_cast<size_t>(written);
  }
  return true;
}

uint64_t BytesWritten(pappl_device_t* device) {
  pappl_devmetrics_t metrics{};
  papplDeviceGetMetrics(device, &metrics);
  return metrics.write_bytes;
}

// The first bytes of the spooled document against the format it was sent
// as: a lie is refused before anything reaches the device or a converter.
bool CheckDocument(int fd, const char* format, std::string* why) {
  std::string first(kFormatCheckBytes, '\0');
  ssize_t got;
  do {
    got = pread(fd, first.data(), first.size(), 0);
  } while (got < 0 && errno == EINTR);
  if (got < 0) {
    *why = std::string("Cannot read the spooled document: ") + std::strerror(errno);
    return false;
  }
  first.resize(static_cast<size_t>(got));
  return CheckDeclaredFormat(format, first, why);
}

int RemoveEntry(const char* path, const struct stat*, int, struct FTW*) {
  remove(path);
  return 0;
}

// A folder of the job's own in the spool: Ghostscript's temporary files
// (-dSAFER lets a document write in its TMPDIR, so that is never a shared
// folder) and, beside it, the converted document. Removed with all in it.
class ScratchFolder {
 public:
  explicit ScratchFolder(const std::string& spool_file) {
    const size_t slash = spool_file.rfind('/');
    std::string pattern =
        (slash == std::string::npos ? std::string(".") : spool_file.substr(0, slash)) +
        "/rkvtps-convert-XXXXXX";
    if (mkdtemp(pattern.data()) == nullptr) return;
    path_ = pattern;
    if (mkdir(TemporaryFolder().c_str(), 0700) != 0) Remove();
  }
  ~ScratchFolder() { Remove(); }
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;

  bool made() const { return !path_.empty(); }
  std::string TemporaryFolder() const { return path_ + "/tmp"; }
  std::string OutputFile() const { return path_ + "/output"; }

 private:
  void Remove() {
    if (!path_.empty()) nftw(path_.c_str(), RemoveEntry, 16, FTW_DEPTH | FTW_PHYS);
    path_.clear();
  }
  std::string path_;
};

// What reaches the device: the commands once, before the first document
// byte, whatever the route; then the document, counted.
class JobOutput {
 public:
  JobOutput(pappl_job_t* job, pappl_device_t* device, std::string header)
      : job_(job), device_(device), header_(std::move(header)) {}

  bool Send(const char* data, size_t size) {
    if (!SendHeader()) return false;
    if (!Write(device_, data, size)) return Refused();
    document_ += size;
    return true;
  }
  // One copy of a file, in chunks: bounded memory whatever its size. False
  // when the file cannot be read or the device takes no more.
  bool SendFile(int fd) {
    if (!SendHeader()) return false;
    if (lseek(fd, 0, SEEK_SET) < 0) return Unreadable();
    std::vector<char> chunk(kChunk);
    while (!papplJobIsCanceled(job_)) {
      const ssize_t got = read(fd, chunk.data(), chunk.size());
      if (got < 0 && errno == EINTR) continue;
      if (got < 0) return Unreadable();
      if (got == 0) return true;
      if (!Send(chunk.data(), static_cast<size_t>(got))) return false;
    }
    return true;
  }
  bool SendHeader() {
    if (header_sent_) return error_.empty();
    header_sent_ = true;
    return Write(device_, header_.data(), header_.size()) || Refused();
  }

  size_t header_size() const { return header_.size(); }
  uint64_t document() const { return document_; }
  bool started() const { return header_sent_; }
  const std::string& error() const { return error_; }

 private:
  bool Refused() {
    error_ = "the device stopped taking data";
    return false;
  }
  bool Unreadable() {
    error_ = std::string("cannot read the document: ") + std::strerror(errno);
    return false;
  }

  pappl_job_t* job_;
  pappl_device_t* device_;
  std::string header_;
  bool header_sent_ = false;
  uint64_t document_ = 0;
  std::string error_;
};

// A conversion's output up to this size is held back in the scratch
// folder until Ghostscript has ended well: what it writes before failing
// (ps2write's 160 KiB prolog, pdfwrite's header, the first pages of a
// document that fails later) then never reaches the device. Beyond it the
// output streams, so the spool never holds a whole converted document; a
// failure then stops it where it is, and nothing more is written.
constexpr uint64_t kHeldBack = 1024 * 1024;

struct Conversion {
  bool done = false;
  int held = -1;  // the whole converted document, when it stayed held back
  pappl_jreason_t reason = PAPPL_JREASON_DOCUMENT_UNPRINTABLE_ERROR;
  std::string why;
};

// The spooled document converted by Ghostscript to `language`, held back
// (`hold_back`) or straight on to the device.
Conversion ConvertDocument(pappl_job_t* job, pappl_pr_options_t* options,
                           const DeviceLanguage& language, const ScratchFolder& scratch,
                           bool hold_back, JobOutput* output) {
  Conversion conversion;
  const std::string to = std::string("Converting the document to ") + language.format;
  int held = -1;
  if (hold_back) {
    held = open(scratch.OutputFile().c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (held < 0) {
      conversion.why = to + " failed: cannot make its file: " + std::strerror(errno);
      return conversion;
    }
  }
  const bool color = options != nullptr && options->print_color_mode == PAPPL_COLOR_MODE_COLOR;
  const int resolution = options != nullptr && options->printer_resolution[0] > 0
                             ? options->printer_resolution[0]
                             : 300;
  std::string gs_error;  // Ghostscript's own account of a failure
  std::string store_error;
  uint64_t converted = 0;
  const auto take = [&](const char* data, size_t size) {
    converted += size;
    if (held < 0) return output->Send(data, size);
    if (!WriteFile(held, data, size)) {
      store_error = std::string("cannot keep its output: ") + std::strerror(errno);
      return false;
    }
    if (converted <= kHeldBack) return true;
    const bool sent = output->SendFile(held);
    close(held);
    held = -1;
    return sent;
  };
  Converter converter(DefaultConverterLimits(),
                      {"PATH=/usr/bin:/bin", "TMPDIR=" + scratch.TemporaryFolder()});
  std::string error;
  const auto started = std::chrono::steady_clock::now();
  // The job's media, in hundredths of a millimetre, as points (rounded).
  const int width = options != nullptr ? (options->media.size_width * 72 + 1270) / 2540 : 0;
  const int height = options != nullptr ? (options->media.size_length * 72 + 1270) / 2540 : 0;
  conversion.done = converter.Start(
      GhostscriptArguments(language, color, resolution, papplJobGetFilename(job), width, height),
      false, take,
      [&](const std::string& line) {
        papplLogJob(job, PAPPL_LOGLEVEL_INFO, "gs: %s", line.c_str());
        // "Error: /undefined in ..." for PostScript, "   **** Error: ..." for PDF.
        const size_t error_at = line.find("Error: ");
        if (gs_error.empty() && error_at != std::string::npos &&
            error_at == line.find_first_not_of(" *")) {
          gs_error = line.substr(error_at);
        }
      },
      [job] { return papplJobIsCanceled(job); }, &error);
  if (conversion.done) conversion.done = converter.Finish(&error);
  const std::chrono::duration<double> took = std::chrono::steady_clock::now() - started;
  if (conversion.done) {
    papplLogJob(job, PAPPL_LOGLEVEL_INFO, "converted to %s by gs in %.2f s: %llu bytes%s",
                language.format, took.count(), static_cast<unsigned long long>(converted),
                held >= 0 ? ", held back until now" : "");
    conversion.held = held;
    return conversion;
  }
  if (held >= 0) close(held);
  if (!output->error().empty()) {
    conversion.reason = PAPPL_JREASON_JOB_COMPLETED_WITH_ERRORS;
    conversion.why = "Printing stopped: " + output->error();
    return conversion;
  }
  if (!store_error.empty()) error = store_error;
  // Ghostscript's own account comes first: its last line only says that
  // it gave up.
  if (!gs_error.empty()) error = gs_error + " (" + error + ")";
  conversion.why = to + " failed: " + error;
  return conversion;
}

// `copies` copies of the spooled document, converted by Ghostscript. A
// conversion held back whole is sent that many times; one that streamed
// is run again for each further copy.
bool SendConverted(pappl_job_t* job, pappl_pr_options_t* options, const DeviceLanguage& language,
                   int copies, JobOutput* output, Conversion* failure) {
  ScratchFolder scratch(papplJobGetFilename(job));
  if (!scratch.made()) {
    failure->why = std::string("Cannot make a folder for the conversion: ") + std::strerror(errno);
    return false;
  }
  const Conversion first = ConvertDocument(job, options, language, scratch, true, output);
  if (!first.done) {
    *failure = first;
    return false;
  }
  if (first.held >= 0) {
    bool sent = true;
    for (int copy = 0; sent && copy < copies && !papplJobIsCanceled(job); ++copy) {
      sent = output->SendFile(first.held);
    }
    close(first.held);
    if (!sent) {
      failure->reason = PAPPL_JREASON_JOB_COMPLETED_WITH_ERRORS;
      failure->why = "Printing stopped: " + output->error();
    }
    return sent;
  }
  for (int copy = 1; copy < copies && !papplJobIsCanceled(job); ++copy) {
    const Conversion again = ConvertDocument(job, options, language, scratch, false, output);
    if (!again.done) {
      *failure = again;
      return false;
    }
  }
  return true;
}

bool PrintJob(pappl_job_t* job, pappl_pr_options_t* options, pappl_device_t* device) {
  // The device answers now: what said the job was waiting for it no
  // longer holds.
  papplJobSetReasons(job, PAPPL_JREASON_NONE, PAPPL_JREASON_PRINTER_STOPPED);
  papplJobSetMessage(job, "Printing.");
  const char* format = papplJobGetFormat(job) != nullptr ? papplJobGetFormat(job) : "";
  const Delivery delivery = ChooseDelivery(format, ReadDeviceFormats(papplJobGetPrinter(job)));
  if (delivery.route == Route::kRefuse) {
    return AbortJob(job, PAPPL_JREASON_DOCUMENT_FORMAT_ERROR, delivery.why);
  }
  if (delivery.route == Route::kRaster) {
    // Raster comes through PAPPL's raster calls, never as a spooled file.
    return AbortJob(job, PAPPL_JREASON_DOCUMENT_FORMAT_ERROR,
                    "\"" + QuotedText(format) + "\" documents are not printed from a file here.");
  }
  const int fd = open(papplJobGetFilename(job), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    return AbortJob(job, PAPPL_JREASON_DOCUMENT_UNPRINTABLE_ERROR,
                    std::string("Cannot open the spooled document: ") + std::strerror(errno));
  }
  std::string why;
  if (!CheckDocument(fd, format, &why)) {
    close(fd);
    return AbortJob(job, PAPPL_JREASON_DOCUMENT_FORMAT_ERROR, why);
  }
  JobOutput output(job, device, ComposeJobCommands(job));
  const uint64_t before = BytesWritten(device);
  const int copies = std::max(options != nullptr ? options->copies : 1, 1);
  bool sent = true;
  if (delivery.route == Route::kGhostscript) {
    close(fd);
    Conversion failure;
    if (!SendConverted(job, options, *delivery.language, copies, &output, &failure)) {
      if (papplJobIsCanceled(job)) return true;
      if (output.started()) papplDeviceFlush(device);
      const std::string sent_bytes =
          output.started() ? " (" + std::to_string(BytesWritten(device) - before) + " bytes sent)"
                           : "";
      return AbortJob(job, failure.reason, failure.why + sent_bytes + ".");
    }
  } else {
    for (int copy = 0; sent && copy < copies && !papplJobIsCanceled(job); ++copy) {
      sent = output.SendFile(fd);
    }
    close(fd);
  }
  if (papplJobIsCanceled(job)) return true;
  papplDeviceFlush(device);
  // The flush says nothing of its own failure; the device's count of bytes
  // written does.
  const uint64_t expected = output.header_size() + output.document();
  const uint64_t written = BytesWritten(device) - before;
  std::string error = output.error();
  if (sent && written != expected) {
    sent = false;
    error =
        "the device took " + std::to_string(written) + " of " + std::to_string(expected) + " bytes";
  }
  if (!sent) {
    return AbortJob(
        job, PAPPL_JREASON_JOB_COMPLETED_WITH_ERRORS,
        "Printing stopped: " + error + " (" + std::to_string(written) + " bytes sent).");
  }
  // PAPPL formats its log itself and knows no "z" size: "%zu" would come
  // out as it is and leave the next figure to take this one's argument.
  papplLogJob(job, PAPPL_LOGLEVEL_INFO, "%llu bytes of commands, %llu bytes of document",
              static_cast<unsigned long long>(output.header_size()),
              static_cast<unsigned long long>(output.document()));
  return true;
}

// A PDF or PostScript document may hold colour: a job in "auto" colour mode
// (the default of a colour device) prints in colour where the device can.
bool DevicePrintsColor(pappl_job_t* job) {
  pappl_pr_driver_data_t driver{};
  papplPrinterGetDriverData(papplJobGetPrinter(job), &driver);
  return (driver.color_supported & PAPPL_COLOR_MODE_COLOR) != 0;
}

}  // namespace

bool PrintJobFile(pappl_job_t* job, pappl_pr_options_t* options, pappl_device_t* device) {
  return PrintJob(job, options, device);
}

bool PrintSpooledJob(pappl_job_t* job, pappl_device_t* device, void*) {
  pappl_pr_options_t* options = papplJobCreatePrintOptions(job, 0, DevicePrintsColor(job));
  papplJobSetImpressions(job, 1);
  const bool printed = PrintJob(job, options, device);
  papplJobDeletePrintOptions(options);
  if (printed) papplJobSetImpressionsCompleted(job, 1);
  return printed;
}
