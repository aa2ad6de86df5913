#include "print_job.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

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

// One copy of the spool file, in chunks: bounded memory whatever its size.
// False when the file cannot be read or the device takes no more.
bool SendDocument(pappl_job_t* job, pappl_device_t* device, int fd, std::string* error) {
  if (lseek(fd, 0, SEEK_SET) < 0) {
    *error = std::string("cannot read the spooled document again: ") + std::strerror(errno);
    return false;
  }
  std::vector<char> chunk(kChunk);
  while (!papplJobIsCanceled(job)) {
    const ssize_t got = read(fd, chunk.data(), chunk.size());
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) {
      *error = std::string("cannot read the spooled document: ") + std::strerror(errno);
      return false;
    }
    if (got == 0) return true;
    if (!Write(device, chunk.data(), static_cast<size_t>(got))) {
      *error = "the device stopped taking data";
      return false;
    }
  }
  return true;
}

uint64_t BytesWritten(pappl_device_t* device) {
  pappl_devmetrics_t metrics{};
  papplDeviceGetMetrics(device, &metrics);
  return metrics.write_bytes;
}

bool IsDeviceFormat(pappl_job_t* job) {
  const char* format = papplJobGetFormat(job);
  for (const std::string& taken : ReadDeviceFormats(papplJobGetPrinter(job))) {
    if (format != nullptr && taken == format) return true;
  }
  return false;
}

bool PrintJob(pappl_job_t* job, int copies, pappl_device_t* device) {
  // The device answers now: what said the job was waiting for it no
  // longer holds.
  papplJobSetReasons(job, PAPPL_JREASON_NONE, PAPPL_JREASON_PRINTER_STOPPED);
  papplJobSetMessage(job, "Printing.");
  const char* format = papplJobGetFormat(job);
  if (!IsDeviceFormat(job)) {
    return AbortJob(job, PAPPL_JREASON_DOCUMENT_FORMAT_ERROR,
                    "The device takes no \"" + QuotedText(format != nullptr ? format : "") +
                        "\" documents, and this printer passes documents through unchanged.");
  }
  const int fd = open(papplJobGetFilename(job), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    return AbortJob(job, PAPPL_JREASON_DOCUMENT_UNPRINTABLE_ERROR,
                    std::string("Cannot open the spooled document: ") + std::strerror(errno));
  }
  const std::string header = ComposeJobCommands(job);
  const uint64_t before = BytesWritten(device);
  uint64_t expected = header.size();
  std::string error;
  bool sent = Write(device, header.data(), header.size());
  if (!sent) error = "the device stopped taking data";
  const off_t size = lseek(fd, 0, SEEK_END);
  for (int copy = 0; sent && copy < std::max(copies, 1) && !papplJobIsCanceled(job); ++copy) {
    sent = SendDocument(job, device, fd, &error);
    expected += static_cast<uint64_t>(std::max<off_t>(size, 0));
  }
  close(fd);
  if (papplJobIsCanceled(job)) return true;
  papplDeviceFlush(device);
  // The flush says nothing of its own failure; the device's count of bytes
  // written does.
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
              static_cast<unsigned long long>(expected - header.size()));
  return true;
}

}  // namespace

bool PrintJobFile(pappl_job_t* job, pappl_pr_options_t* options, pappl_device_t* device) {
  return PrintJob(job, options != nullptr ? options->copies : 1, device);
}

bool PassJobThrough(pappl_job_t* job, pappl_device_t* device, void*) {
  pappl_pr_options_t* options = papplJobCreatePrintOptions(job, 0, false);
  const int copies = options != nullptr ? options->copies : 1;
  papplJobDeletePrintOptions(options);
  papplJobSetImpressions(job, 1);
  const bool printed = PrintJob(job, copies, device);
  if (printed) papplJobSetImpressionsCompleted(job, 1);
  return printed;
}
