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

// One copy of a file, in chunks: bounded memory whatever its size. False
// when the file cannot be read or the device takes no more.
bool SendDocument(pappl_job_t* job, pappl_device_t* device, int fd, uint64_t* sent,
                  std::string* error) {
  if (lseek(fd, 0, SEEK_SET) < 0) {
    *error = std::string("cannot read the document again: ") + std::strerror(errno);
    return false;
  }
  std::vector<char> chunk(kChunk);
  while (!papplJobIsCanceled(job)) {
    const ssize_t got = read(fd, chunk.data(), chunk.size());
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) {
      *error = std::string("cannot read the document: ") + std::strerror(errno);
      return false;
    }
    if (got == 0) return true;
    if (!Write(device, chunk.data(), static_cast<size_t>(got))) {
      *error = "the device stopped taking data";
      return false;
    }
    *sent += static_cast<uint64_t>(got);
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

// Where a conversion failed: the document (unprintable), the device
// (stopped taking the output), or the job (cancelled).
struct Conversion {
  int fd = -1;  // the converted document, when it succeeded
  pappl_jreason_t reason = PAPPL_JREASON_NONE;
  std::string why;
};

// The spooled document converted by Ghostscript into a file of the
// scratch folder. Its output is held back there until it has ended well:
// what it wrote before failing (ps2write's prolog, pdfwrite's header) must
// not reach the device.
Conversion ConvertDocument(pappl_job_t* job, pappl_pr_options_t* options,
                           const DeviceLanguage& language, const ScratchFolder& scratch) {
  Conversion conversion;
  conversion.reason = PAPPL_JREASON_DOCUMENT_UNPRINTABLE_ERROR;
  const std::string to = std::string("Converting the document to ") + language.format;
  const int out = open(scratch.OutputFile().c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
  if (out < 0) {
    conversion.why = to + " failed: cannot make its file: " + std::strerror(errno) + ".";
    return conversion;
  }
  const bool color = options != nullptr && options->print_color_mode == PAPPL_COLOR_MODE_COLOR;
  const int resolution = options != nullptr && options->printer_resolution[0] > 0
                             ? options->printer_resolution[0]
                             : 300;
  std::string gs_error;  // Ghostscript's own account of a failure
  uint64_t converted = 0;
  bool stored = true;
  Converter converter(DefaultConverterLimits(),
                      {"PATH=/usr/bin:/bin", "TMPDIR=" + scratch.TemporaryFolder()});
  std::string error;
  const auto started = std::chrono::steady_clock::now();
  bool done = converter.Start(
      GhostscriptArguments(language, color, resolution, papplJobGetFilename(job)), false,
      [&](const char* data, size_t size) {
        converted += size;
        return stored = WriteFile(out, data, size);
      },
      [&](const std::string& line) {
        papplLogJob(job, PAPPL_LOGLEVEL_INFO, "gs: %s", line.c_str());
        if (gs_error.empty() && line.rfind("Error: ", 0) == 0) gs_error = line;
      },
      [job] { return papplJobIsCanceled(job); }, &error);
  if (done) done = converter.Finish(&error);
  const std::chrono::duration<double> took = std::chrono::steady_clock::now() - started;
  if (done) {
    papplLogJob(job, PAPPL_LOGLEVEL_INFO, "converted to %s by gs in %.2f s: %llu bytes",
                language.format, took.count(), static_cast<unsigned long long>(converted));
    conversion.fd = out;
    return conversion;
  }
  close(out);
  if (!stored) error = std::string("cannot keep its output: ") + std::strerror(errno);
  // Ghostscript's own account comes first: its last line only says that
  // it gave up.
  if (!gs_error.empty()) error = gs_error + " (" + error + ")";
  conversion.why = to + " failed: " + error + ".";
  return conversion;
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
  const int spooled = open(papplJobGetFilename(job), O_RDONLY | O_CLOEXEC);
  if (spooled < 0) {
    return AbortJob(job, PAPPL_JREASON_DOCUMENT_UNPRINTABLE_ERROR,
                    std::string("Cannot open the spooled document: ") + std::strerror(errno));
  }
  std::string why;
  if (!CheckDocument(spooled, format, &why)) {
    close(spooled);
    return AbortJob(job, PAPPL_JREASON_DOCUMENT_FORMAT_ERROR, why);
  }
  int fd = spooled;
  ScratchFolder scratch(papplJobGetFilename(job));
  if (delivery.route == Route::kGhostscript) {
    close(spooled);
    if (!scratch.made()) {
      return AbortJob(
          job, PAPPL_JREASON_DOCUMENT_UNPRINTABLE_ERROR,
          std::string("Cannot make a folder for the conversion: ") + std::strerror(errno));
    }
    const Conversion conversion = ConvertDocument(job, options, *delivery.language, scratch);
    if (conversion.fd < 0) return AbortJob(job, conversion.reason, conversion.why);
    fd = conversion.fd;
  }
  const std::string header = ComposeJobCommands(job);
  const uint64_t before = BytesWritten(device);
  uint64_t document = 0;
  std::string error;
  bool sent = Write(device, header.data(), header.size());
  if (!sent) error = "the device stopped taking data";
  const int copies = std::max(options != nullptr ? options->copies : 1, 1);
  for (int copy = 0; sent && copy < copies && !papplJobIsCanceled(job); ++copy) {
    sent = SendDocument(job, device, fd, &document, &error);
  }
  close(fd);
  if (papplJobIsCanceled(job)) return true;
  papplDeviceFlush(device);
  // The flush says nothing of its own failure; the device's count of bytes
  // written does.
  const uint64_t expected = header.size() + document;
  const uint64_t written = BytesWritten(device) - before;
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
              static_cast<unsigned long long>(header.size()),
              static_cast<unsigned long long>(document));
  return true;
}

}  // namespace

bool PrintJobFile(pappl_job_t* job, pappl_pr_options_t* options, pappl_device_t* device) {
  return PrintJob(job, options, device);
}

bool PrintSpooledJob(pappl_job_t* job, pappl_device_t* device, void*) {
  pappl_pr_options_t* options = papplJobCreatePrintOptions(job, 0, false);
  papplJobSetImpressions(job, 1);
  const bool printed = PrintJob(job, options, device);
  papplJobDeletePrintOptions(options);
  if (printed) papplJobSetImpressionsCompleted(job, 1);
  return printed;
}
