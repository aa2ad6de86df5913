// What the device behind a printer can do, as its administrator says (the
// printer's settings): whether it prints colour, whether it prints on both
// sides, its media and the formats it takes. What the printer advertises to
// clients follows from these, and from what the application can convert.
#pragma once

#include <pappl/pappl.h>

#include <functional>
#include <string>
#include <vector>

struct DeviceSettings {
  bool color = false;
  bool duplex = false;
  std::vector<std::string>
      media;  // PWG media names; the first is the default when the old one is gone
  std::vector<std::string> formats;  // what the device takes, the administrator's order
};

// A new printer's device: monochrome, one-sided, A4 and Letter.
DeviceSettings BuiltInDeviceSettings();

// The built-in media list, comma-separated, as the setting holds it.
std::string BuiltInMediaText();

// The PWG media names of a comma-separated list that PAPPL can describe
// (a size it knows), in order, without repeats and within PAPPL's limit.
// Empty when none is usable: the caller keeps the built-in list then.
std::vector<std::string> ReadMediaList(const std::string& text);

// What the printer accepts: each format a driverless client sends that can
// reach the device (`reachable`: passed through or converted), always
// application/octet-stream (PAPPL types such a document by its first
// bytes), then those the device takes that only pass through (PCL: nothing
// here converts it), if the application has a pass-through for them.
std::vector<std::string> AdvertisedFormats(
    const std::vector<std::string>& device_formats, const std::vector<std::string>& passable,
    const std::function<bool(const std::string& format)>& reachable);

// The driver's capabilities for `settings`: colour modes and raster types,
// resolutions, sides, media. Defaults the driver data already holds stay
// where the new capabilities still support them.
void DescribeDevice(const DeviceSettings& settings, pappl_pr_driver_data_t* driver);

// What IPP Everywhere clients look for and PAPPL 1.3 gives no printer:
// print-rendering-intent (auto), preferred-attributes-supported, and
// pwg-raster-document-sheet-back for a one-sided device too.
void AddClientAttributes(bool duplex, ipp_t* attributes);

// document-format-supported and -preferred for the driver's own attributes
// (they replace PAPPL's, which would list only what PAPPL itself filters).
void AddFormatAttributes(const std::vector<std::string>& formats, ipp_t* attributes);
