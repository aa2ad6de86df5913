// The printer's settings table: each setting once, each name and attribute
// once, the job settings' names with the attributes they give them, and
// the attributes a printer gets holding every row as its kind says.
#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>

#include "app_strings.h"
#include "printer_settings.h"
#include "setting_table.h"

namespace {

// The row whose attribute is `attribute`; nullptr for none.
const PrinterSetting* RowOfAttribute(const std::string& attribute) {
  for (const PrinterSetting& row : kPrinterSettings) {
    if (attribute == row.attribute) return &row;
  }
  return nullptr;
}

TEST(SettingTable, NamesAndAttributesAreUniqueAndRoundTrip) {
  std::set<std::string> names;
  std::set<std::string> attributes;
  for (const PrinterSetting& row : kPrinterSettings) {
    EXPECT_EQ(&RowOf(row.setting), &row);
    EXPECT_TRUE(attributes.insert(row.attribute).second) << row.attribute;
    if (row.name != nullptr) {
      EXPECT_TRUE(names.insert(row.name).second) << row.name;
    }
    const PrinterSetting* back = RowOfAttribute(row.attribute);
    ASSERT_NE(back, nullptr) << row.attribute;
    EXPECT_EQ(back->setting, row.setting) << row.attribute;
    // Vendor attributes: lower case, the project's prefix, no suffix of
    // their own that PAPPL would read as -default or -supported.
    EXPECT_EQ(std::string(row.attribute).rfind("rkvtps-", 0), 0u) << row.attribute;
    for (const char* c = row.attribute; *c != '\0'; c++) {
      EXPECT_TRUE((*c >= 'a' && *c <= 'z') || *c == '-') << row.attribute;
    }
  }
  EXPECT_LE(std::size(kPrinterSettings), static_cast<size_t>(PAPPL_MAX_VENDOR));
}

// Every job setting but the client one (the application knows each job's
// connection) has its row, under the attribute the job settings give it.
TEST(SettingTable, HoldsEachJobSettingButTheClientUnderItsAttribute) {
  for (const SettingName& shared : kSettingNames) {
    const PrinterSetting* row = RowOfAttribute(shared.attribute);
    if (std::strcmp(shared.name, "RKClient") == 0) {
      EXPECT_EQ(row, nullptr);
      continue;
    }
    ASSERT_NE(row, nullptr) << shared.name;
    ASSERT_NE(row->name, nullptr) << shared.name;
    EXPECT_STREQ(row->name, shared.name);
  }
  for (const PrinterSetting& row : kPrinterSettings) {
    if (row.name == nullptr) continue;
    bool shared = false;
    for (const SettingName& name : kSettingNames) {
      shared = shared || std::strcmp(name.name, row.name) == 0;
    }
    EXPECT_TRUE(shared) << row.name;
  }
}

// The value tags of each kind's -default and -supported attributes
// (IPP_TAG_ZERO: it has none).
struct KindTags {
  SettingKind kind;
  ipp_tag_t default_tag;
  ipp_tag_t supported_tag;
};
constexpr KindTags kKindTags[] = {
    {SettingKind::kIntegers, IPP_TAG_INTEGER, IPP_TAG_INTEGER},
    {SettingKind::kRange, IPP_TAG_INTEGER, IPP_TAG_RANGE},
    {SettingKind::kKeywords, IPP_TAG_KEYWORD, IPP_TAG_KEYWORD},
    {SettingKind::kText, IPP_TAG_TEXT, IPP_TAG_ZERO},
};

const KindTags& TagsOf(SettingKind kind) {
  for (const KindTags& tags : kKindTags) {
    if (tags.kind == kind) return tags;
  }
  ADD_FAILURE() << "no tags for a kind";
  return kKindTags[0];
}

TEST(SettingTable, EveryRowIsAVendorAttributeOfItsKind) {
  pappl_pr_driver_data_t driver{};
  ipp_t* attributes = ippNew();
  AddSettingAttributes(&driver, attributes);
  ASSERT_EQ(driver.num_vendor, static_cast<int>(std::size(kPrinterSettings)));
  for (int i = 0; i < driver.num_vendor; i++) {
    const PrinterSetting& row = kPrinterSettings[i];
    EXPECT_STREQ(driver.vendor[i], row.attribute);
    const std::string name = row.attribute;
    ipp_attribute_t* value =
        ippFindAttribute(attributes, (name + "-default").c_str(), IPP_TAG_ZERO);
    ASSERT_NE(value, nullptr) << name;
    const KindTags& tags = TagsOf(row.kind);
    EXPECT_EQ(ippGetValueTag(value), tags.default_tag) << name;
    EXPECT_EQ(ippGetCount(value), 1) << name;
    ipp_attribute_t* supported =
        ippFindAttribute(attributes, (name + "-supported").c_str(), IPP_TAG_ZERO);
    if (tags.supported_tag == IPP_TAG_ZERO) {
      EXPECT_EQ(supported, nullptr) << name;
    } else {
      ASSERT_NE(supported, nullptr) << name;
      EXPECT_EQ(ippGetValueTag(supported), tags.supported_tag) << name;
    }
  }
  // The printer's other attributes name no vendor attribute the table lacks.
  for (ipp_attribute_t* attribute = ippFirstAttribute(attributes); attribute != nullptr;
       attribute = ippNextAttribute(attributes)) {
    std::string name = ippGetName(attribute);
    if (name.rfind("rkvtps-", 0) != 0) continue;
    name = name.substr(0, name.rfind('-'));
    EXPECT_NE(RowOfAttribute(name), nullptr) << ippGetName(attribute);
  }
  ippDelete(attributes);
}

// The printer's web page shows each setting by its label, in each language
// the application carries.
TEST(SettingTable, EveryRowHasALabelInEachLanguage) {
  for (const AppStrings& strings : kAppStrings) {
    for (const PrinterSetting& row : kPrinterSettings) {
      const std::string key = std::string("\"") + row.attribute + "\" = ";
      EXPECT_NE(std::strstr(strings.text, key.c_str()), nullptr)
          << strings.language << ": " << row.attribute;
    }
  }
}

}  // namespace
