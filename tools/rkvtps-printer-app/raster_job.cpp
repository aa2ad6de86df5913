#include "raster_job.h"

#include <cstdint>
#include <cstring>
#include <memory>
#include <string>

#include "converter.h"
#include "document_formats.h"
#include "job_commands.h"
#include "printer_settings.h"
#include "raster_pages.h"
#include "text_forms.h"

namespace {

// What a raster job carries from its start to its end (papplJobSetData).
struct RasterJob {
  pappl_device_t* device = nullptr;
  const DeviceLanguage* language = nullptr;
  std::unique_ptr<Converter> converter;  // PCL: PostScript pages into Ghostscript
  std::unique_ptr<PageWriter> writer;
  bool failed = false;  // nothing more goes to the device
  unsigned pages = 0;
  unsigned announced = 0;            // pages the client's stream says it holds (0: not said)
  uint64_t device_bytes_before = 0;  // the device's count when the job started
  uint64_t sent = 0;                 // bytes handed to the device since
};

RasterJob* StateOf(pappl_job_t* job) { return static_cast<RasterJob*>(papplJobGetData(job)); }

void FreeState(pappl_job_t* job) {
  delete StateOf(job);
  papplJobSetData(job, nullptr);
}

bool WriteToDevice(pappl_device_t* device, const char* data, size_t size) {
  return size == 0 || papplDeviceWrite(device, data, size) == static_cast<ssize_t>(size);
}

uint64_t BytesWritten(pappl_device_t* device) {
  pappl_devmetrics_t metrics{};
  papplDeviceGetMetrics(device, &metrics);
  return metrics.write_bytes;
}

// Ends the job as aborted (or lets its cancellation stand) and stops all
// output: the writer and the converter are dropped, so no byte follows.
bool Fail(pappl_job_t* job, RasterJob* state, pappl_jreason_t reason, const std::string& why) {
  if (state != nullptr) {
    state->failed = true;
    state->writer.reset();
    state->converter.reset();  // kills Ghostscript, if it runs
  }
  return AbortJob(job, reason, why);
}

// Raster jobs get no copies from PAPPL: the writer makes them. PAPPL's
// JPEG and PNG filter repeats the page `copies` times itself.
int WriterCopies(pappl_job_t* job, const pappl_pr_options_t* options) {
  const char* format = papplJobGetFormat(job);
  const bool images = format != nullptr && (std::strcmp(format, "image/jpeg") == 0 ||
                                            std::strcmp(format, "image/png") == 0);
  return images || options == nullptr || options->copies < 1 ? 1 : options->copies;
}

// A raster stream the client sent, as opposed to the pages PAPPL renders
// from an image.
bool IsClientRaster(pappl_job_t* job) {
  const char* format = papplJobGetFormat(job);
  return format != nullptr &&
         (std::strcmp(format, "image/pwg-raster") == 0 || std::strcmp(format, "image/urf") == 0);
}

std::unique_ptr<PageWriter> MakeWriter(RasterPages pages, ByteSink sink) {
  switch (pages) {
    case RasterPages::kPwgRaster:
      return MakePwgRasterWriter(std::move(sink));
    case RasterPages::kPostScript:
      return MakePostScriptWriter(std::move(sink));
    case RasterPages::kPdf:
      return MakePdfWriter(std::move(sink));
  }
  return nullptr;
}

// The writer's bytes go to the device, or (PCL) into Ghostscript, whose
// output goes to the device.
bool SetUpWriter(pappl_job_t* job, const pappl_pr_options_t* options, RasterJob* state,
                 std::string* error) {
  ByteSink to_device = [state](const char* data, size_t size) {
    if (state->failed) return false;  // nothing goes out after a failure
    state->sent += size;
    return WriteToDevice(state->device, data, size);
  };
  if (!state->language->raster_through_gs) {
    state->writer = MakeWriter(state->language->raster_pages, to_device);
    return true;
  }
  const bool color =
      options->print_color_mode == PAPPL_COLOR_MODE_COLOR || options->header.cupsNumColors > 1;
  const int resolution = options->printer_resolution[0] > 0 ? options->printer_resolution[0] : 300;
  state->converter = std::make_unique<Converter>();
  if (!state->converter->Start(
          GhostscriptArguments(*state->language, color, resolution, "-"), true, to_device,
          [job](const std::string& line) {
            papplLogJob(job, PAPPL_LOGLEVEL_INFO, "gs: %s", line.c_str());
          },
          [job] { return papplJobIsCanceled(job); }, error)) {
    return false;
  }
  Converter* converter = state->converter.get();
  state->writer = MakeWriter(
      state->language->raster_pages,
      [converter](const char* data, size_t size) { return converter->Feed(data, size); });
  return true;
}

// Why the writer or the converter stopped, for the job's message. The job
// is marked failed first: collecting Ghostscript's account must not copy
// what is left of its output to the device.
std::string WhyStopped(RasterJob* state) {
  state->failed = true;
  std::string why = state->writer != nullptr ? state->writer->error() : "";
  if (state->converter != nullptr) {
    std::string error;
    if (!state->converter->Finish(&error)) why = error;
  }
  return why.empty() ? "the device took no more data" : why;
}

}  // namespace

bool StartRasterJob(pappl_job_t* job, pappl_pr_options_t* options, pappl_device_t* device) {
  FreeState(job);
  papplJobSetReasons(job, PAPPL_JREASON_NONE, PAPPL_JREASON_PRINTER_STOPPED);
  papplJobSetMessage(job, "Printing.");
  const char* format = papplJobGetFormat(job);
  const Delivery delivery =
      ChooseDelivery(format != nullptr ? format : "", ReadDeviceFormats(papplJobGetPrinter(job)));
  if (delivery.route != Route::kRaster || delivery.language == nullptr) {
    return Fail(job, nullptr, PAPPL_JREASON_DOCUMENT_FORMAT_ERROR,
                delivery.why.empty() ? "This printer writes no raster pages for its device."
                                     : delivery.why);
  }
  auto state = std::make_unique<RasterJob>();
  state->device = device;
  state->language = delivery.language;
  state->device_bytes_before = BytesWritten(device);
  const std::string commands = ComposeJobCommands(job);
  state->sent = commands.size();
  if (!WriteToDevice(device, commands.data(), commands.size())) {
    return Fail(job, nullptr, PAPPL_JREASON_JOB_COMPLETED_WITH_ERRORS,
                "Printing stopped: the device took no data.");
  }
  std::string error;
  if (!SetUpWriter(job, options, state.get(), &error)) {
    return Fail(
        job, nullptr, PAPPL_JREASON_DOCUMENT_UNPRINTABLE_ERROR,
        "Cannot start the conversion to \"" + QuotedText(state->language->format) + "\": " + error);
  }
  if (!state->writer->StartJob(WriterCopies(job, options))) {
    return Fail(job, nullptr, PAPPL_JREASON_JOB_COMPLETED_WITH_ERRORS,
                "Printing stopped: " + WhyStopped(state.get()) + ".");
  }
  papplLogJob(job, PAPPL_LOGLEVEL_INFO, "Raster pages go to the device as \"%s\"%s.",
              state->language->format,
              state->language->raster_through_gs ? " through Ghostscript" : "");
  papplJobSetData(job, state.release());
  return true;
}

bool StartRasterPage(pappl_job_t* job, pappl_pr_options_t* options, pappl_device_t*,
                     unsigned page) {
  RasterJob* state = StateOf(job);
  // After a failure: false, so PAPPL stops; a cancelled job stops by itself.
  if (state == nullptr || state->failed) return papplJobIsCanceled(job);
  if (papplJobIsCanceled(job)) return Fail(job, state, PAPPL_JREASON_NONE, "");
  // The header is the client's word: checked before anything is set up for
  // the page, so an absurd one sizes nothing.
  const std::string why = CheckRasterHeader(options->header);
  if (!why.empty()) {
    return Fail(job, state, PAPPL_JREASON_DOCUMENT_FORMAT_ERROR,
                "Page " + std::to_string(page) + " cannot be printed: " + why + ".");
  }
  if (page == 1 && IsClientRaster(job)) {
    state->announced = options->header.cupsInteger[CUPS_RASTER_PWG_TotalPageCount];
  }
  if (!state->writer->StartPage(options->header)) {
    return Fail(
        job, state, PAPPL_JREASON_JOB_COMPLETED_WITH_ERRORS,
        "Printing stopped at page " + std::to_string(page) + ": " + WhyStopped(state) + ".");
  }
  return true;
}

bool WriteRasterLine(pappl_job_t* job, pappl_pr_options_t*, pappl_device_t*, unsigned y,
                     const unsigned char* line) {
  RasterJob* state = StateOf(job);
  // After a failure: false, so PAPPL stops; a cancelled job stops by itself.
  if (state == nullptr || state->failed) return papplJobIsCanceled(job);
  if (papplJobIsCanceled(job)) return Fail(job, state, PAPPL_JREASON_NONE, "");
  if (!state->writer->WriteLine(line)) {
    return Fail(job, state, PAPPL_JREASON_JOB_COMPLETED_WITH_ERRORS,
                "Printing stopped at line " + std::to_string(y) + ": " + WhyStopped(state) + ".");
  }
  return true;
}

bool EndRasterPage(pappl_job_t* job, pappl_pr_options_t*, pappl_device_t*, unsigned page) {
  RasterJob* state = StateOf(job);
  // After a failure: false, so PAPPL stops; a cancelled job stops by itself.
  if (state == nullptr || state->failed) return papplJobIsCanceled(job);
  if (papplJobIsCanceled(job)) return Fail(job, state, PAPPL_JREASON_NONE, "");
  // PAPPL has given up on the job (its raster stream ended inside the
  // page): the page is not finished, and nothing more is sent.
  if (papplJobGetState(job) == IPP_JSTATE_ABORTED) {
    state->failed = true;
    state->writer.reset();
    state->converter.reset();
    return false;
  }
  if (!state->writer->EndPage()) {
    return Fail(job, state, PAPPL_JREASON_JOB_COMPLETED_WITH_ERRORS,
                "Printing stopped at the end of page " + std::to_string(page) + ": " +
                    WhyStopped(state) + ".");
  }
  ++state->pages;
  return true;
}

bool EndRasterJob(pappl_job_t* job, pappl_pr_options_t*, pappl_device_t* device) {
  RasterJob* state = StateOf(job);
  if (state == nullptr) return false;
  bool printed =
      !state->failed && !papplJobIsCanceled(job) && papplJobGetState(job) != IPP_JSTATE_ABORTED;
  // A stream cut between two pages ends like a whole one: only the count
  // its first page announced tells them apart.
  if (printed && state->pages < state->announced) {
    printed = Fail(job, state, PAPPL_JREASON_DOCUMENT_FORMAT_ERROR,
                   "The raster stream ended after " + std::to_string(state->pages) + " of the " +
                       std::to_string(state->announced) + " pages it announced.");
  }
  if (printed && !state->writer->EndJob()) {
    printed = Fail(job, state, PAPPL_JREASON_JOB_COMPLETED_WITH_ERRORS,
                   "Printing stopped at the end of the job: " + WhyStopped(state) + ".");
  }
  if (printed && state->converter != nullptr) {
    std::string error;
    if (!state->converter->Finish(&error)) {
      printed = Fail(
          job, state, PAPPL_JREASON_DOCUMENT_UNPRINTABLE_ERROR,
          "The conversion to \"" + QuotedText(state->language->format) + "\" failed: " + error);
    }
  }
  if (printed) {
    papplDeviceFlush(device);
    // The flush says nothing of its own failure; the device's count of
    // bytes written does.
    const uint64_t written = BytesWritten(device) - state->device_bytes_before;
    if (written != state->sent) {
      printed = Fail(job, state, PAPPL_JREASON_JOB_COMPLETED_WITH_ERRORS,
                     "Printing stopped: the device took " + std::to_string(written) + " of " +
                         std::to_string(state->sent) + " bytes.");
    }
  }
  if (printed) {
    papplLogJob(job, PAPPL_LOGLEVEL_INFO, "%u raster pages sent as \"%s\".", state->pages,
                state->language->format);
  }
  const bool cancelled = papplJobIsCanceled(job);
  FreeState(job);
  return printed || cancelled;
}
