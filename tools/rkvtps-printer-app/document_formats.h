// The languages a device may speak, how a job in any format reaches one of
// them, and whether a document's first bytes agree with the format it was
// sent as.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

// How the application writes raster pages (PWG or Apple raster, and the
// JPEG and PNG images PAPPL renders) for a device language.
enum class RasterPages { kPwgRaster, kPostScript, kPdf };

struct DeviceLanguage {
  const char* format;        // MIME type the device takes
  const char* gs_mono;       // Ghostscript device for monochrome output
  const char* gs_color;      // ... for colour output (may equal gs_mono)
  RasterPages raster_pages;  // how raster pages are written for it
  bool raster_through_gs;    // true: raster pages are PostScript piped into gs
};

// Every language the application can produce, by MIME type.
extern const DeviceLanguage kDeviceLanguages[5];

// The language for `format`, or nullptr when the application produces
// nothing in it (PCL passes through, but nothing is converted to it
// except by Ghostscript; see the table).
const DeviceLanguage* FindDeviceLanguage(std::string_view format);

enum class Route {
  kPassThrough,  // the device takes the job's format: its bytes as they came
  kGhostscript,  // a spooled PDF or PostScript document, converted by gs
  kRaster,       // raster pages from PAPPL's raster calls, written for the device
  kRefuse,       // no way to the device: `why` says so
};

struct Delivery {
  Route route;
  const DeviceLanguage* language;  // the output language; nullptr for a pass-through
                                   // of a format outside the table, and for kRefuse
  std::string why;                 // for kRefuse: a message for the job
};

// How a job in `job_format` reaches a device that takes `device_formats`
// (the administrator's order: the first format reachable wins).
Delivery ChooseDelivery(std::string_view job_format,
                        const std::vector<std::string>& device_formats);

// How many of a document's first bytes CheckDeclaredFormat wants to see.
constexpr size_t kFormatCheckBytes = 1024;

// False when `first_bytes` (the document's first kFormatCheckBytes, or all
// of it when shorter) cannot be a document in `format`; `why` then says
// what was declared and what the content looks like (no document byte in
// it unescaped). Formats without a signature (PCL, octet-stream) take
// anything.
bool CheckDeclaredFormat(std::string_view format, std::string_view first_bytes, std::string* why);
