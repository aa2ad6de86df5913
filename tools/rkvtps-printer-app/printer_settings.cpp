#include "printer_settings.h"

#include <cstring>
#include <map>
#include <mutex>
#include <set>

#include "calls.h"
#include "command_facts.h"
#include "device_settings.h"
#include "document_formats.h"
#include "setting_table.h"

const char* const kPassThroughFormats[4] = {"application/vnd.hp-PCL", "application/postscript",
                                            "application/pdf", "application/octet-stream"};

namespace {

// The N-up counts a job may ask for with number-up.
constexpr int kNumberUp[] = {1, 2, 4, 6, 9, 16};

std::string JoinFormats() {
  std::string formats;
  for (const char* format : kPassThroughFormats) {
    if (!formats.empty()) formats += ',';
    formats += format;
  }
  return formats;
}

// A setting's attribute with a suffix: -default, -supported.
std::string AttributeName(Setting setting, const char* suffix) {
  return std::string(AttributeOf(setting)) + suffix;
}

void AddDefault(ipp_t* attributes, Setting setting, const char* value) {
  ippAddString(attributes, IPP_TAG_PRINTER, IPP_TAG_TEXT,
               AttributeName(setting, "-default").c_str(), nullptr, value);
}

void AddIntegers(ipp_t* attributes, Setting setting, const std::vector<int>& values,
                 int default_value) {
  ippAddIntegers(attributes, IPP_TAG_PRINTER, IPP_TAG_INTEGER,
                 AttributeName(setting, "-supported").c_str(), static_cast<int>(values.size()),
                 values.data());
  ippAddInteger(attributes, IPP_TAG_PRINTER, IPP_TAG_INTEGER,
                AttributeName(setting, "-default").c_str(), default_value);
}

void AddRange(ipp_t* attributes, Setting setting, int default_value) {
  ippAddRange(attributes, IPP_TAG_PRINTER, AttributeName(setting, "-supported").c_str(), 0, 0xFFFF);
  ippAddInteger(attributes, IPP_TAG_PRINTER, IPP_TAG_INTEGER,
                AttributeName(setting, "-default").c_str(), default_value);
}

void AddKeywords(ipp_t* attributes, Setting setting, const std::vector<std::string>& values,
                 const char* default_value) {
  std::vector<const char*> texts;
  for (const std::string& value : values) texts.push_back(value.c_str());
  ippAddStrings(attributes, IPP_TAG_PRINTER, IPP_TAG_KEYWORD,
                AttributeName(setting, "-supported").c_str(), static_cast<int>(texts.size()),
                nullptr, texts.data());
  ippAddString(attributes, IPP_TAG_PRINTER, IPP_TAG_KEYWORD,
               AttributeName(setting, "-default").c_str(), nullptr, default_value);
}

// What a job may set: PAPPL's own list, less page-ranges (a document
// passes through whole), and the two N-up attributes. PAPPL would name
// every vendor attribute, the administrator's settings too; the driver's
// list replaces its own (PAPPL patch 0021).
void AddJobCreationAttributes(ipp_t* attributes) {
  static const char* const kJobAttributes[] = {"copies",
                                               "document-format",
                                               "document-name",
                                               "ipp-attribute-fidelity",
                                               "job-hold-until",
                                               "job-hold-until-time",
                                               "job-name",
                                               "job-priority",
                                               "media",
                                               "media-col",
                                               "multiple-document-handling",
                                               "orientation-requested",
                                               "output-bin",
                                               "print-color-mode",
                                               "print-content-optimize",
                                               "print-quality",
                                               "printer-resolution",
                                               "sides",
                                               "number-up",
                                               AttributeOf(Setting::kNup)};
  ippAddStrings(attributes, IPP_TAG_PRINTER, IPP_TAG_KEYWORD, "job-creation-attributes-supported",
                static_cast<int>(std::size(kJobAttributes)), nullptr, kJobAttributes);
}

std::vector<int> CodeTypesWithCommands() {
  std::vector<int> codes;
  for (const rk::CodeType& type : rk::kCodeTypes) {
    if (type.has_command) codes.push_back(type.code);
  }
  return codes;
}

// A comma-separated list, blanks around each item dropped.
std::vector<std::string> SplitList(const std::string& text) {
  std::vector<std::string> items;
  size_t start = 0;
  while (start <= text.size()) {
    const size_t end = std::min(text.find(',', start), text.size());
    const size_t first = text.find_first_not_of(' ', start);
    const size_t last = text.find_last_not_of(' ', end - 1);
    if (first < end && last != std::string::npos && last >= first) {
      items.push_back(text.substr(first, last - first + 1));
    }
    start = end + 1;
  }
  return items;
}

std::string AttributeText(ipp_t* attributes, const std::string& name) {
  ipp_attribute_t* attribute = ippFindAttribute(attributes, name.c_str(), IPP_TAG_ZERO);
  if (attribute == nullptr) return {};
  char text[1024];
  ippAttributeString(attribute, text, sizeof(text));
  return text;
}

std::string PrinterDefault(pappl_printer_t* printer, Setting setting) {
  ipp_t* attributes = papplPrinterGetDriverAttributes(printer);
  std::string text = AttributeText(attributes, AttributeName(setting, "-default"));
  ippDelete(attributes);
  return text;
}

// The printer's defaults and the job's N-up attributes, read once.
class PrinterSource : public SettingSource {
 public:
  PrinterSource(pappl_printer_t* printer, pappl_job_t* job) {
    ipp_t* attributes = papplPrinterGetDriverAttributes(printer);
    for (const PrinterSetting& setting : kPrinterSettings) {
      if (setting.name == nullptr) continue;
      const std::string name_default = AttributeName(setting.setting, "-default");
      if (ippFindAttribute(attributes, name_default.c_str(), IPP_TAG_ZERO) != nullptr) {
        defaults_[setting.name] = AttributeText(attributes, name_default);
      }
    }
    ippDelete(attributes);
    ReadJobValue(job, AttributeOf(Setting::kNup), NameOf(Setting::kNup));
    ReadJobValue(job, "number-up", "number-up");
  }

  const char* Job(const char* name) const override { return Find(job_, name); }
  const char* Default(const char* name, JobNotes*) const override { return Find(defaults_, name); }

 private:
  void ReadJobValue(pappl_job_t* job, const char* attribute, const char* name) {
    ipp_attribute_t* value = papplJobGetAttribute(job, attribute);
    if (value == nullptr) return;
    char text[1024];
    ippAttributeString(value, text, sizeof(text));
    job_[name] = text;
  }

  static const char* Find(const std::map<std::string, std::string>& values, const char* name) {
    const auto found = values.find(name);
    return found == values.end() ? nullptr : found->second.c_str();
  }

  std::map<std::string, std::string> job_;
  std::map<std::string, std::string> defaults_;
};

std::vector<std::string> PassableFormats() {
  return {std::begin(kPassThroughFormats), std::end(kPassThroughFormats)};
}

std::string DefaultText(ipp_t* attributes, Setting setting) {
  return AttributeText(attributes, AttributeName(setting, "-default"));
}

// The administrator's values survive a change of the driver data: the new
// attributes carry the printer's current vendor defaults, not the built-in
// ones.
void KeepVendorDefaults(ipp_t* current, const pappl_pr_driver_data_t& driver, ipp_t* attributes) {
  for (int i = 0; i < driver.num_vendor; i++) {
    const std::string name = std::string(driver.vendor[i]) + "-default";
    ipp_attribute_t* value = ippFindAttribute(current, name.c_str(), IPP_TAG_ZERO);
    if (value == nullptr) continue;
    ippDeleteAttribute(attributes, ippFindAttribute(attributes, name.c_str(), IPP_TAG_ZERO));
    ippCopyAttribute(attributes, value, 0);
  }
}

bool SameMedia(const pappl_pr_driver_data_t& a, const pappl_pr_driver_data_t& b) {
  if (a.num_media != b.num_media) return false;
  for (int i = 0; i < a.num_media; i++) {
    if (std::strcmp(a.media[i], b.media[i]) != 0) return false;
  }
  return true;
}

bool SameCapabilities(const pappl_pr_driver_data_t& a, const pappl_pr_driver_data_t& b) {
  return a.color_supported == b.color_supported && a.ppm_color == b.ppm_color &&
         a.raster_types == b.raster_types && a.sides_supported == b.sides_supported &&
         a.duplex == b.duplex && a.num_resolution == b.num_resolution && SameMedia(a, b);
}

bool SameAttribute(ipp_t* a, ipp_t* b, const char* name) {
  return AttributeText(a, name) == AttributeText(b, name);
}

void ApplyToPrinter(pappl_printer_t* printer, void*) { ApplyDeviceSettings(printer); }

}  // namespace

void AddSettingAttributes(pappl_pr_driver_data_t* driver, ipp_t* attributes) {
  std::vector<std::string> nup_keywords{"Auto"};
  for (const std::string& keyword : NupKeywords()) nup_keywords.push_back(keyword);
  const JobSettings built_in;

  AddIntegers(attributes, Setting::kOwnerCodeType, CodeTypesWithCommands(), built_in.code_type);
  AddRange(attributes, Setting::kTagColumn, built_in.tag_column);
  AddRange(attributes, Setting::kTagRow, built_in.tag_row);
  AddRange(attributes, Setting::kCharsetMask, built_in.mask);
  AddIntegers(attributes, Setting::kCodePage, {std::begin(kJobCodePages), std::end(kJobCodePages)},
              static_cast<int>(built_in.code_page));
  AddKeywords(attributes, Setting::kSeparator, {"LF", "CRLF", "None"}, "LF");
  AddKeywords(attributes, Setting::kNup, nup_keywords, "Auto");
  AddDefault(attributes, Setting::kCommands, "JOAU-CNAM-HOAD-NLPP");
  AddDefault(attributes, Setting::kTrustedPeers, "");
  AddDefault(attributes, Setting::kDeviceFormats, JoinFormats().c_str());
  AddKeywords(attributes, Setting::kDeviceColor, {"monochrome", "color"}, "monochrome");
  AddKeywords(attributes, Setting::kDeviceSides, {"one-sided", "two-sided"}, "one-sided");
  AddDefault(attributes, Setting::kDeviceMedia, BuiltInMediaText().c_str());

  ippAddIntegers(attributes, IPP_TAG_PRINTER, IPP_TAG_INTEGER, "number-up-supported",
                 static_cast<int>(std::size(kNumberUp)), kNumberUp);
  ippAddInteger(attributes, IPP_TAG_PRINTER, IPP_TAG_INTEGER, "number-up-default", 1);

  AddJobCreationAttributes(attributes);

  // Every row is a vendor attribute, in the table's order (the order of
  // the printer's web page).
  driver->num_vendor = 0;
  for (const PrinterSetting& setting : kPrinterSettings) {
    driver->vendor[driver->num_vendor++] = setting.attribute;
  }
}

JobSettings ReadPrinterSettings(pappl_printer_t* printer, pappl_job_t* job, JobNotes* notes) {
  return ReadJobSettings(PrinterSource(printer, job), notes);
}

std::vector<std::string> ReadTrustedPeers(pappl_printer_t* printer) {
  return SplitList(PrinterDefault(printer, Setting::kTrustedPeers));
}

std::vector<std::string> ReadDeviceFormats(pappl_printer_t* printer) {
  return SplitList(PrinterDefault(printer, Setting::kDeviceFormats));
}

DeviceSettings ReadDeviceSettings(ipp_t* attributes) {
  DeviceSettings settings = BuiltInDeviceSettings();
  settings.color = DefaultText(attributes, Setting::kDeviceColor) == "color";
  settings.duplex = DefaultText(attributes, Setting::kDeviceSides) == "two-sided";
  std::vector<std::string> media = ReadMediaList(DefaultText(attributes, Setting::kDeviceMedia));
  if (!media.empty()) settings.media = std::move(media);
  const std::string name = AttributeName(Setting::kDeviceFormats, "-default");
  settings.formats = SplitList(ippFindAttribute(attributes, name.c_str(), IPP_TAG_ZERO) != nullptr
                                   ? AttributeText(attributes, name)
                                   : JoinFormats());
  return settings;
}

void DescribePrinter(const DeviceSettings& settings, pappl_pr_driver_data_t* driver,
                     ipp_t* attributes) {
  DescribeDevice(settings, driver);
  AddSettingAttributes(driver, attributes);
  const auto reachable = [&settings](const std::string& format) {
    return ChooseDelivery(format, settings.formats).route != Route::kRefuse;
  };
  AddFormatAttributes(AdvertisedFormats(settings.formats, PassableFormats(), reachable),
                      attributes);
  AddClientAttributes(settings.duplex, attributes);
}

bool ApplyDeviceSettings(pappl_printer_t* printer) {
  // The timer and the start-up may meet here; one printer's data at a time.
  static std::mutex mutex;
  static std::set<int> announced;
  static std::map<int, std::string> refused;  // the settings PAPPL refused, said once
  const std::lock_guard<std::mutex> lock(mutex);
  ipp_t* current = papplPrinterGetDriverAttributes(printer);
  pappl_pr_driver_data_t driver;
  papplPrinterGetDriverData(printer, &driver);
  pappl_pr_driver_data_t wanted = driver;
  ipp_t* attributes = ippNew();
  DescribePrinter(ReadDeviceSettings(current), &wanted, attributes);
  KeepVendorDefaults(current, wanted, attributes);
  const int id = papplPrinterGetID(printer);
  const std::string settings = DefaultText(current, Setting::kDeviceColor) + ' ' +
                               DefaultText(current, Setting::kDeviceSides) + ' ' +
                               DefaultText(current, Setting::kDeviceMedia) + ' ' +
                               DefaultText(current, Setting::kDeviceFormats);
  bool changed = false;
  if ((!SameCapabilities(driver, wanted) ||
       !SameAttribute(current, attributes, "document-format-supported")) &&
      refused[id] != settings) {
    changed = papplPrinterSetDriverData(printer, &wanted, attributes);
    if (changed) {
      refused.erase(id);
      papplLogPrinter(printer, PAPPL_LOGLEVEL_INFO,
                      "The device's settings changed: capabilities and formats follow them.");
    } else {
      refused[id] = settings;
      papplLogPrinter(printer, PAPPL_LOGLEVEL_ERROR,
                      "The device's settings could not be applied: PAPPL refused the driver data.");
    }
  }
  // The DNS-SD record (Color, Duplex, pdl, URF) is made when the service is
  // registered: register it again with the new data. PAPPL 1.3 registers
  // the printers it has when the server starts, but not a printer added
  // while it runs: that one is registered here once.
  const bool running = papplSystemIsRunning(papplPrinterGetSystem(printer));
  const bool first = running && announced.insert(papplPrinterGetID(printer)).second;
  char name[256];
  if ((changed || first) && running &&
      papplPrinterGetDNSSDName(printer, name, sizeof(name)) != nullptr) {
    papplPrinterSetDNSSDName(printer, name);
  }
  ippDelete(attributes);
  ippDelete(current);
  return changed;
}

void ApplyAllDeviceSettings(pappl_system_t* system) {
  papplSystemIteratePrinters(system, ApplyToPrinter, nullptr);
}
