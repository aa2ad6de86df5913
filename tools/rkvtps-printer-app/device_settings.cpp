#include "device_settings.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <set>

namespace {

// What driverless clients send: IPP Everywhere (PWG raster, JPEG, PDF),
// AirPrint (Apple raster, looked for in the DNS-SD record before a printer
// is even shown), Mopria and Windows' class driver (PWG raster, PDF), and
// PostScript from older CUPS queues. application/octet-stream is the
// driver's own format: a job PAPPL cannot type.
constexpr const char* kDriverlessFormats[] = {
    "application/pdf", "application/postscript",  "image/pwg-raster", "image/urf", "image/jpeg",
    "image/png",       "application/octet-stream"};

constexpr char kPreferredFormat[] = "application/pdf";
constexpr char kAutoTypedFormat[] = "application/octet-stream";

constexpr const char* kBuiltInMedia[] = {"iso_a4_210x297mm", "na_letter_8.5x11in"};

// Raster clients render for the device's resolution: both are offered and
// the conversions write either.
constexpr int kResolutions[] = {300, 600};

// PAPPL keeps the media names as pointers in its copy of the driver data,
// for the printer's life: each name the settings ever named is kept once,
// for the program's life.
const char* KeepMediaName(const std::string& name) {
  static std::mutex mutex;
  static std::set<std::string> names;
  const std::lock_guard<std::mutex> lock(mutex);
  return names.insert(name).first->c_str();
}

bool Contains(const std::vector<std::string>& list, const std::string& value) {
  return std::find(list.begin(), list.end(), value) != list.end();
}

// A name PAPPL can turn into a media-col: a size libcups knows under this
// very PWG name. Ranges (custom_min_, roll_max_) are no media one loads.
bool IsUsableMedia(const std::string& name) {
  // A keyword: libcups would take any tail (a line feed too) as units.
  const bool keyword = !name.empty() && std::all_of(name.begin(), name.end(), [](char c) {
    return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' || c == '.' || c == '-';
  });
  if (!keyword || name.rfind("custom_", 0) == 0 || name.rfind("roll_", 0) == 0) return false;
  pwg_media_t* media = pwgMediaForPWG(name.c_str());
  return media != nullptr && media->pwg != nullptr && name == media->pwg && media->width > 0 &&
         media->length > 0;
}

void ChooseMedia(const char* name, pappl_media_col_t* media) {
  pwg_media_t* size = pwgMediaForPWG(name);
  std::snprintf(media->size_name, sizeof(media->size_name), "%s", name);
  media->size_width = size != nullptr ? size->width : 0;
  media->size_length = size != nullptr ? size->length : 0;
}

bool ListsMedia(const pappl_pr_driver_data_t& driver, const char* name) {
  for (int i = 0; i < driver.num_media; i++) {
    if (std::strcmp(driver.media[i], name) == 0) return true;
  }
  return false;
}

void DescribeColor(bool color, pappl_pr_driver_data_t* driver) {
  driver->color_supported = PAPPL_COLOR_MODE_AUTO | PAPPL_COLOR_MODE_MONOCHROME;
  if (color) driver->color_supported |= PAPPL_COLOR_MODE_COLOR;
  if (!(driver->color_default & driver->color_supported)) {
    driver->color_default = color ? PAPPL_COLOR_MODE_AUTO : PAPPL_COLOR_MODE_MONOCHROME;
  }
  // color-supported and the record's "Color" key come from ppm_color.
  driver->ppm_color = color ? 1 : 0;
  // Bitmaps too: PAPPL (patch 0030) hands 1-bit client pages to the raster
  // calls with a header that says so, and the page writers take them.
  driver->raster_types = PAPPL_PWG_RASTER_TYPE_BLACK_1 | PAPPL_PWG_RASTER_TYPE_SGRAY_8;
  if (color) driver->raster_types |= PAPPL_PWG_RASTER_TYPE_SRGB_8;
}

void DescribeResolutions(pappl_pr_driver_data_t* driver) {
  driver->num_resolution = static_cast<int>(std::size(kResolutions));
  bool default_listed = false;
  for (int i = 0; i < driver->num_resolution; i++) {
    driver->x_resolution[i] = driver->y_resolution[i] = kResolutions[i];
    default_listed |= driver->x_default == kResolutions[i] && driver->y_default == kResolutions[i];
  }
  if (!default_listed) driver->x_default = driver->y_default = kResolutions[0];
}

void DescribeSides(bool duplex, pappl_pr_driver_data_t* driver) {
  driver->sides_supported = PAPPL_SIDES_ONE_SIDED;
  if (duplex) {
    driver->sides_supported |= PAPPL_SIDES_TWO_SIDED_LONG_EDGE | PAPPL_SIDES_TWO_SIDED_SHORT_EDGE;
  }
  // A device printing both sides takes the back page as the client sends it.
  driver->duplex = duplex ? PAPPL_DUPLEX_NORMAL : PAPPL_DUPLEX_NONE;
  if (!(driver->sides_default & driver->sides_supported)) {
    driver->sides_default = PAPPL_SIDES_ONE_SIDED;
  }
}

void DescribeMedia(const std::vector<std::string>& names, pappl_pr_driver_data_t* driver) {
  driver->num_media = 0;
  for (const std::string& name : names) {
    if (driver->num_media >= PAPPL_MAX_MEDIA) break;
    driver->media[driver->num_media++] = KeepMediaName(name);
  }
  driver->num_source = 1;
  driver->source[0] = "main";
  // Every field of the default and ready media must be one the driver
  // lists: PAPPL refuses the whole driver data otherwise, and the printer
  // comes up with no format at all.
  driver->num_type = 1;
  driver->type[0] = "stationery";
  pappl_media_col_t* medias[] = {&driver->media_default, &driver->media_ready[0]};
  for (pappl_media_col_t* media : medias) {
    if (!ListsMedia(*driver, media->size_name)) ChooseMedia(driver->media[0], media);
    std::snprintf(media->source, sizeof(media->source), "%s", "main");
    std::snprintf(media->type, sizeof(media->type), "%s", "stationery");
  }
}

}  // namespace

DeviceSettings BuiltInDeviceSettings() {
  DeviceSettings settings;
  for (const char* name : kBuiltInMedia) settings.media.push_back(name);
  return settings;
}

std::string BuiltInMediaText() {
  std::string text;
  for (const char* name : kBuiltInMedia) text += (text.empty() ? "" : ",") + std::string(name);
  return text;
}

std::vector<std::string> ReadMediaList(const std::string& text) {
  std::vector<std::string> names;
  size_t start = 0;
  while (start <= text.size()) {
    const size_t end = std::min(text.find(',', start), text.size());
    std::string name = text.substr(start, end - start);
    name.erase(0, name.find_first_not_of(' '));
    name.erase(name.find_last_not_of(' ') + 1);
    if (IsUsableMedia(name) && !Contains(names, name) && names.size() < PAPPL_MAX_MEDIA) {
      names.push_back(name);
    }
    start = end + 1;
  }
  return names;
}

std::vector<std::string> AdvertisedFormats(
    const std::vector<std::string>& device_formats, const std::vector<std::string>& passable,
    const std::function<bool(const std::string& format)>& reachable) {
  std::vector<std::string> formats;
  for (const char* format : kDriverlessFormats) {
    if (std::strcmp(format, kAutoTypedFormat) == 0 || reachable(format)) formats.push_back(format);
  }
  for (const std::string& format : device_formats) {
    if (Contains(passable, format) && !Contains(formats, format)) formats.push_back(format);
  }
  return formats;
}

void DescribeDevice(const DeviceSettings& settings, pappl_pr_driver_data_t* driver) {
  DescribeColor(settings.color, driver);
  DescribeResolutions(driver);
  DescribeSides(settings.duplex, driver);
  DescribeMedia(settings.media.empty() ? BuiltInDeviceSettings().media : settings.media, driver);
}

void AddClientAttributes(bool duplex, ipp_t* attributes) {
  // Pages come as the client renders them; the device keeps its own colour
  // handling: the printer asks no rendering intent of its own.
  ippAddString(attributes, IPP_TAG_PRINTER, IPP_TAG_KEYWORD, "print-rendering-intent-supported",
               nullptr, "auto");
  ippAddString(attributes, IPP_TAG_PRINTER, IPP_TAG_KEYWORD, "print-rendering-intent-default",
               nullptr, "auto");
  // No preferred values are computed for a job (Get-Printer-Attributes
  // with a job's attributes answers the same).
  ippAddBoolean(attributes, IPP_TAG_PRINTER, "preferred-attributes-supported", 0);
  // A raster client asks how to send back sides; a one-sided device has
  // none, and "normal" (as sent) then names what nothing turns.
  if (!duplex) {
    ippAddString(attributes, IPP_TAG_PRINTER, IPP_TAG_KEYWORD, "pwg-raster-document-sheet-back",
                 nullptr, "normal");
  }
}

void AddFormatAttributes(const std::vector<std::string>& formats, ipp_t* attributes) {
  std::vector<const char*> values;
  for (const std::string& format : formats) values.push_back(format.c_str());
  ippAddStrings(attributes, IPP_TAG_PRINTER, IPP_TAG_MIMETYPE, "document-format-supported",
                static_cast<int>(values.size()), nullptr, values.data());
  ippAddString(attributes, IPP_TAG_PRINTER, IPP_TAG_MIMETYPE, "document-format-preferred", nullptr,
               kPreferredFormat);
}
