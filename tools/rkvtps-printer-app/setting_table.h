// Each of a printer's settings once: what the code calls it, the name the
// job settings read it by (the filter's PPD option), the vendor attribute
// PAPPL keeps it in, and how its values are written. Code names a setting
// by its enum, so a misspelt setting does not compile; a misspelt job
// setting name does not either (SharedAttribute below).
#pragma once

#include <cstddef>
#include <iterator>
#include <string_view>

#include "job_settings.h"

enum class Setting {
  kOwnerCodeType,
  kTagColumn,
  kTagRow,
  kCharsetMask,
  kCodePage,
  kCommands,
  kSeparator,
  kNup,
  kTrustedPeers,
  kDeviceFormats,
  kDeviceColor,
  kDeviceSides,
  kDeviceMedia,  // the last
};

// How the attributes show a setting: a list of whole numbers, the range
// 0..0xFFFF, a list of keywords (each with -supported and an integer or
// keyword -default), or a free text default.
enum class SettingKind { kIntegers, kRange, kKeywords, kText };

struct PrinterSetting {
  Setting setting;
  const char* name;       // the job settings' name; nullptr: the application's own
  const char* attribute;  // the vendor attribute, without -default / -supported
  SettingKind kind;
};

namespace setting_table {

// The attribute the job settings give `name`. A name they do not know ends
// at the throw, which is no constant expression: the table does not compile.
constexpr const char* SharedAttribute(std::string_view name) {
  for (const SettingName& setting : kSettingNames) {
    if (name == setting.name) return setting.attribute;
  }
  throw "not a job setting";
}

constexpr PrinterSetting JobSetting(Setting setting, const char* name, SettingKind kind) {
  return {setting, name, SharedAttribute(name), kind};
}

}  // namespace setting_table

// In the enum's order; the client setting of the filter has no row: the
// application knows each job's connection.
inline constexpr PrinterSetting kPrinterSettings[] = {
    setting_table::JobSetting(Setting::kOwnerCodeType, "RKOwnerCodeType", SettingKind::kIntegers),
    setting_table::JobSetting(Setting::kTagColumn, "RKTagColumn", SettingKind::kRange),
    setting_table::JobSetting(Setting::kTagRow, "RKTagRow", SettingKind::kRange),
    setting_table::JobSetting(Setting::kCharsetMask, "RKCharsetMask", SettingKind::kRange),
    setting_table::JobSetting(Setting::kCodePage, "RKCodePage", SettingKind::kIntegers),
    setting_table::JobSetting(Setting::kCommands, "RKCommands", SettingKind::kText),
    setting_table::JobSetting(Setting::kSeparator, "RKSeparator", SettingKind::kKeywords),
    setting_table::JobSetting(Setting::kNup, "RKNup", SettingKind::kKeywords),
    {Setting::kTrustedPeers, nullptr, "rkvtps-trusted-peers", SettingKind::kText},
    {Setting::kDeviceFormats, nullptr, "rkvtps-document-formats", SettingKind::kText},
    {Setting::kDeviceColor, nullptr, "rkvtps-device-color", SettingKind::kKeywords},
    {Setting::kDeviceSides, nullptr, "rkvtps-device-sides", SettingKind::kKeywords},
    {Setting::kDeviceMedia, nullptr, "rkvtps-device-media", SettingKind::kText},
};

namespace setting_table {

constexpr bool RowsInEnumOrder() {
  for (size_t i = 0; i < std::size(kPrinterSettings); i++) {
    if (kPrinterSettings[i].setting != static_cast<Setting>(i)) return false;
  }
  return true;
}
static_assert(RowsInEnumOrder() &&
                  std::size(kPrinterSettings) == static_cast<size_t>(Setting::kDeviceMedia) + 1,
              "kPrinterSettings: one row per Setting, in the enum's order");

}  // namespace setting_table

constexpr const PrinterSetting& RowOf(Setting setting) {
  return kPrinterSettings[static_cast<size_t>(setting)];
}
constexpr const char* AttributeOf(Setting setting) { return RowOf(setting).attribute; }
constexpr const char* NameOf(Setting setting) { return RowOf(setting).name; }
