// What a printer advertises from its device's settings: the media list an
// administrator writes, the formats clients may send, and the driver's
// capabilities (which PAPPL validates and turns into IPP attributes).
#include "device_settings.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

namespace {

using Names = std::vector<std::string>;

TEST(MediaList, KeepsKnownPwgNamesInOrderOnce) {
  struct Case {
    const char* text;
    Names expected;
  };
  const Case cases[] = {
      {"iso_a4_210x297mm,na_letter_8.5x11in", {"iso_a4_210x297mm", "na_letter_8.5x11in"}},
      {" iso_a5_148x210mm , iso_a4_210x297mm ", {"iso_a5_148x210mm", "iso_a4_210x297mm"}},
      // Legacy and unknown names, and repeats, are dropped.
      {"A4,iso_a4_210x297mm,no_such_size,iso_a4_210x297mm", {"iso_a4_210x297mm"}},
      // Ranges are no media one loads.
      {"custom_min_3x5in,custom_max_8.5x14in,na_legal_8.5x14in", {"na_legal_8.5x14in"}},
      {"", {}},
      {",,,", {}},
      // A keyword or nothing: libcups reads any tail as units.
      {"na_letter_8.5x11in\n,iso_a4_210x297mm\x1b[2J,Iso_A4_210x297mm", {}},
  };
  for (const Case& test : cases) {
    EXPECT_EQ(ReadMediaList(test.text), test.expected) << '"' << test.text << '"';
  }
}

TEST(MediaList, StopsAtPapplsLimit) {
  std::string text;
  // Self-describing custom sizes: each a distinct name libcups describes.
  for (int i = 1; i <= PAPPL_MAX_MEDIA + 10; i++) {
    text += "om_size" + std::to_string(i) + "_" + std::to_string(100 + i) + "x200mm,";
  }
  EXPECT_EQ(ReadMediaList(text).size(), static_cast<size_t>(PAPPL_MAX_MEDIA));
}

TEST(Formats, ReachableDriverlessFormatsThenWhatOnlyPassesThrough) {
  const Names passable = {"application/vnd.hp-PCL", "application/postscript", "application/pdf",
                          "application/octet-stream"};
  const Names all = {
      "application/pdf", "application/postscript",  "image/pwg-raster", "image/urf", "image/jpeg",
      "image/png",       "application/octet-stream"};
  struct Case {
    Names device;
    Names unreachable;  // of the driverless formats
    Names expected_extra;
  };
  const Case cases[] = {
      {{"application/pdf"}, {}, {}},
      {{"application/vnd.hp-PCL"}, {}, {"application/vnd.hp-PCL"}},
      {{"application/postscript", "application/vnd.hp-PCL"}, {}, {"application/vnd.hp-PCL"}},
      // A format with no pass-through is not promised.
      {{"application/x-unknown", "application/vnd.hp-PCL"}, {}, {"application/vnd.hp-PCL"}},
      // Nothing reaches the device: only what PAPPL types itself is left.
      {{"application/x-unknown"},
       {"application/pdf", "application/postscript", "image/pwg-raster", "image/urf", "image/jpeg",
        "image/png"},
       {}},
      {{"application/pdf"}, {"image/urf", "application/octet-stream"}, {}},
  };
  for (const Case& test : cases) {
    const auto reachable = [&test](const std::string& format) {
      return std::find(test.unreachable.begin(), test.unreachable.end(), format) ==
             test.unreachable.end();
    };
    Names expected;
    for (const std::string& format : all) {
      if (format == "application/octet-stream" || reachable(format)) expected.push_back(format);
    }
    expected.insert(expected.end(), test.expected_extra.begin(), test.expected_extra.end());
    EXPECT_EQ(AdvertisedFormats(test.device, passable, reachable), expected);
  }
}

pappl_pr_driver_data_t NewDriver() {
  pappl_pr_driver_data_t driver;
  std::memset(&driver, 0, sizeof(driver));
  return driver;
}

TEST(Capabilities, FollowColourAndSides) {
  struct Case {
    bool color;
    bool duplex;
    pappl_color_mode_t modes;
    pappl_color_mode_t mode_default;
    pappl_raster_type_t raster;
    pappl_sides_t sides;
    pappl_duplex_t back;
    int ppm_color;
  };
  const pappl_color_mode_t mono = PAPPL_COLOR_MODE_AUTO | PAPPL_COLOR_MODE_MONOCHROME;
  const pappl_sides_t both =
      PAPPL_SIDES_ONE_SIDED | PAPPL_SIDES_TWO_SIDED_LONG_EDGE | PAPPL_SIDES_TWO_SIDED_SHORT_EDGE;
  const pappl_raster_type_t gray = PAPPL_PWG_RASTER_TYPE_BLACK_1 | PAPPL_PWG_RASTER_TYPE_SGRAY_8;
  const Case cases[] = {
      {false, false, mono, PAPPL_COLOR_MODE_MONOCHROME, gray, PAPPL_SIDES_ONE_SIDED,
       PAPPL_DUPLEX_NONE, 0},
      {true, false, mono | PAPPL_COLOR_MODE_COLOR, PAPPL_COLOR_MODE_AUTO,
       gray | PAPPL_PWG_RASTER_TYPE_SRGB_8, PAPPL_SIDES_ONE_SIDED, PAPPL_DUPLEX_NONE, 1},
      {false, true, mono, PAPPL_COLOR_MODE_MONOCHROME, gray, both, PAPPL_DUPLEX_NORMAL, 0},
  };
  for (const Case& test : cases) {
    DeviceSettings settings = BuiltInDeviceSettings();
    settings.color = test.color;
    settings.duplex = test.duplex;
    pappl_pr_driver_data_t driver = NewDriver();
    DescribeDevice(settings, &driver);
    EXPECT_EQ(driver.color_supported, test.modes);
    EXPECT_EQ(driver.color_default, test.mode_default);
    EXPECT_EQ(driver.raster_types, test.raster);
    EXPECT_EQ(driver.sides_supported, test.sides);
    EXPECT_EQ(driver.sides_default, PAPPL_SIDES_ONE_SIDED);
    EXPECT_EQ(driver.duplex, test.back);
    EXPECT_EQ(driver.ppm_color, test.ppm_color);
    ASSERT_EQ(driver.num_resolution, 2);
    EXPECT_EQ(driver.x_resolution[0], 300);
    EXPECT_EQ(driver.x_resolution[1], 600);
    EXPECT_EQ(driver.x_default, 300);
  }
}

TEST(Capabilities, KeepDefaultsStillSupportedAndReplaceTheOthers) {
  pappl_pr_driver_data_t driver = NewDriver();
  DeviceSettings settings = BuiltInDeviceSettings();
  settings.color = true;
  settings.duplex = true;
  DescribeDevice(settings, &driver);
  driver.color_default = PAPPL_COLOR_MODE_COLOR;
  driver.sides_default = PAPPL_SIDES_TWO_SIDED_LONG_EDGE;
  driver.x_default = driver.y_default = 600;
  std::snprintf(driver.media_default.size_name, sizeof(driver.media_default.size_name), "%s",
                "na_letter_8.5x11in");
  driver.media_ready[0] = driver.media_default;

  // Still supported: kept.
  DescribeDevice(settings, &driver);
  EXPECT_EQ(driver.color_default, PAPPL_COLOR_MODE_COLOR);
  EXPECT_EQ(driver.sides_default, PAPPL_SIDES_TWO_SIDED_LONG_EDGE);
  EXPECT_EQ(driver.x_default, 600);
  EXPECT_STREQ(driver.media_default.size_name, "na_letter_8.5x11in");

  // The device no longer prints colour or both sides, nor takes Letter.
  settings.color = false;
  settings.duplex = false;
  settings.media = {"iso_a5_148x210mm", "iso_a4_210x297mm"};
  DescribeDevice(settings, &driver);
  EXPECT_EQ(driver.color_default, PAPPL_COLOR_MODE_MONOCHROME);
  EXPECT_EQ(driver.sides_default, PAPPL_SIDES_ONE_SIDED);
  EXPECT_EQ(driver.x_default, 600);
  EXPECT_STREQ(driver.media_default.size_name, "iso_a5_148x210mm");
  EXPECT_EQ(driver.media_default.size_width, 14800);
  EXPECT_EQ(driver.media_default.size_length, 21000);
  EXPECT_STREQ(driver.media_ready[0].size_name, "iso_a5_148x210mm");
  EXPECT_STREQ(driver.media_ready[0].source, "main");
  EXPECT_STREQ(driver.media_ready[0].type, "stationery");
}

TEST(Capabilities, MediaNamesOutliveTheSettings) {
  pappl_pr_driver_data_t driver = NewDriver();
  {
    DeviceSettings settings = BuiltInDeviceSettings();
    settings.media = {std::string("iso_a3_297x420mm"), std::string("iso_a4_210x297mm")};
    DescribeDevice(settings, &driver);
  }
  // PAPPL keeps the pointers: they must still name the media.
  ASSERT_EQ(driver.num_media, 2);
  EXPECT_STREQ(driver.media[0], "iso_a3_297x420mm");
  EXPECT_STREQ(driver.media[1], "iso_a4_210x297mm");
  // No media named: the built-in list.
  DeviceSettings empty;
  DescribeDevice(empty, &driver);
  ASSERT_EQ(driver.num_media, 2);
  EXPECT_STREQ(driver.media[0], "iso_a4_210x297mm");
  EXPECT_STREQ(driver.media[1], "na_letter_8.5x11in");
}

TEST(Formats, AttributesListThemAndPreferPdf) {
  ipp_t* attributes = ippNew();
  AddFormatAttributes({"application/pdf", "image/urf", "application/vnd.hp-PCL"}, attributes);
  ipp_attribute_t* supported =
      ippFindAttribute(attributes, "document-format-supported", IPP_TAG_MIMETYPE);
  ASSERT_NE(supported, nullptr);
  ASSERT_EQ(ippGetCount(supported), 3);
  EXPECT_STREQ(ippGetString(supported, 2, nullptr), "application/vnd.hp-PCL");
  EXPECT_STREQ(
      ippGetString(ippFindAttribute(attributes, "document-format-preferred", IPP_TAG_MIMETYPE), 0,
                   nullptr),
      "application/pdf");
  ippDelete(attributes);
}

}  // namespace
