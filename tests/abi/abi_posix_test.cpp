// Linux-only checks of the loaded shared library.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "loaded_library.h"
#include "os/wide_tables.h"
#include "private/rkvtps32_private.h"
#include "rkvtps32.h"

namespace {

// The seventeen keep the version node they always had; the exports of 3.3
// have their own, so a program built against them needs a 3.3 library.
TEST(LinuxLibrary, SymbolVersionNodes) {
  void* handle = dlopen(RKVTPS32_LIBRARY_PATH, RTLD_NOW | RTLD_LOCAL);
  ASSERT_NE(handle, nullptr) << dlerror();
  for (const char* name : {"RKGetVTPSStringOfNup", "RKGetVTPSStringOfHostAddress",
                           "RKIsValidJobOwnerStringCodeAndLengthW"}) {
    EXPECT_NE(dlvsym(handle, name, "RKVTPS32_3"), nullptr) << name;
  }
  for (const char* name :
       {"RKGetVTPSStringOfHostAddressFromInputA", "RKGetVTPSStringOfHostNameFromInputExA",
        "RKGetVTPSStringOfHostNameFromInputExW"}) {
    EXPECT_NE(dlvsym(handle, name, "RKVTPS32_3.3"), nullptr) << name;
    EXPECT_EQ(dlvsym(handle, name, "RKVTPS32_3"), nullptr) << name;
  }
  // The private entry has a node of its own, which no driver's program
  // asks for.
  for (const char* name : {"rkvtps32_private_ansi_code_page", "rkvtps32_private_convert_wide",
                           "rkvtps32_private_computer_name", "rkvtps32_private_ipv4_digits"}) {
    EXPECT_NE(dlvsym(handle, name, "RKVTPS32_PRIVATE"), nullptr) << name;
    EXPECT_EQ(dlvsym(handle, name, "RKVTPS32_3"), nullptr) << name;
    EXPECT_EQ(dlvsym(handle, name, "RKVTPS32_3.3"), nullptr) << name;
  }
  dlclose(handle);
}

TEST(LinuxLibrary, InternalOperationsStayHidden) {
  for (const char* name : {"_ZN2rk17ComposeNupCommandEtPcPtPs", "_ZN2rk14DeliverCommandEPKcPcPtPs",
                           "_ZN2rk2os10LoadModuleEPKc", "_ZN2rk12EncodeBase85EPKcPc"}) {
    EXPECT_EQ(FindExport(name), nullptr) << name;
  }
}

// Restores LC_ALL and RKVTPS32_ACP when a test has changed them.
class Environment {
 public:
  Environment() {
    for (const char* name : {"LC_ALL", "RKVTPS32_ACP"}) {
      const char* value = std::getenv(name);
      saved_.push_back({name, value != nullptr, value != nullptr ? value : ""});
    }
  }
  // LC_ALL as `locale`, and RKVTPS32_ACP as `forced` or unset when null.
  static void Choose(const char* locale, const char* forced) {
    setenv("LC_ALL", locale, 1);
    if (forced != nullptr) {
      setenv("RKVTPS32_ACP", forced, 1);
    } else {
      unsetenv("RKVTPS32_ACP");
    }
  }
  ~Environment() {
    for (const Saved& s : saved_) {
      if (s.set) {
        setenv(s.name, s.value.c_str(), 1);
      } else {
        unsetenv(s.name);
      }
    }
  }

 private:
  struct Saved {
    const char* name;
    bool set;
    std::string value;
  };
  std::vector<Saved> saved_;
};

// The ANSI code page follows the locale's language as Windows chooses its
// system code page, whatever the codeset, read on every call; RKVTPS32_ACP
// overrides it. Eight hiragana for code type 4 (limit 15) tell which: 16
// bytes under 932 (too long), eight default characters under 1252 (valid).
TEST(LinuxLibrary, AnsiCodePageFollowsTheLanguage) {
  auto* w = RK_EXPORT_OF(RKIsValidJobOwnerStringCodeAndLengthW);
  ASSERT_NE(w, nullptr);
  const RK_WCHAR hiragana[] = u"\u3042\u3044\u3046\u3048\u304A\u304B\u304D\u304F";
  const Environment restore;
  const struct {
    const char* locale;
    const char* forced;  // RKVTPS32_ACP, or null
    int16_t status;
  } cases[] = {
      {"C", nullptr, RK_STATUS_OK},
      {"POSIX", nullptr, RK_STATUS_OK},
      {"C.UTF-8", nullptr, RK_STATUS_OK},
      {"en_US.UTF-8", nullptr, RK_STATUS_OK},
      {"de_DE.ISO-8859-1", nullptr, RK_STATUS_OK},
      {"ja_JP.UTF-8", nullptr, RK_STATUS_TOO_LONG},
      {"ja_JP.SJIS", nullptr, RK_STATUS_TOO_LONG},
      {"ja_JP.eucJP@mod", nullptr, RK_STATUS_TOO_LONG},
      {"ja", nullptr, RK_STATUS_TOO_LONG},
      {"jam_JM.UTF-8", nullptr, RK_STATUS_OK},  // a language that only begins with "ja"
      {"ja_JP.UTF-8", "1252", RK_STATUS_OK},
      {"C.UTF-8", "932", RK_STATUS_TOO_LONG},
      {"C.UTF-8", "65001", RK_STATUS_OK},  // not an ANSI code page: the locale decides
      {"ja_JP.UTF-8", "junk", RK_STATUS_TOO_LONG},
  };
  for (const auto& c : cases) {
    Environment::Choose(c.locale, c.forced);
    int16_t status = 99;
    w(4, hiragana, &status);
    EXPECT_EQ(status, c.status) << c.locale << " " << (c.forced ? c.forced : "");
  }
}

// The wide conversion gives Windows' bytes unit by unit in code pages 1252
// and 932: best-fit mappings, and each surrogate its own default character.
TEST(LinuxLibrary, WideConversionGivesWindowsBytes) {
  auto* from_wide = RK_EXPORT_OF(RKGetVTPSStringOfJobOwnerFromInputExW);
  auto* validate = RK_EXPORT_OF(RKIsValidJobOwnerStringCodeAndLengthExW);
  const Environment restore;
  unsetenv("RKVTPS32_ACP");
  const struct {
    const char* locale;
    std::u16string text;
    std::string bytes;
  } cases[] = {
      {"C", u"\u0101", "a"},  // best fit
      {"C", u"\uFF5E", "~"},  // best fit
      {"C", u"caf\u00E9", "caf\xE9"},
      {"C", u"\U0001F600", "??"},                       // a surrogate pair: two units, two '?'
      {"C", std::u16string(u"\xD800") + u"AB", "?AB"},  // a lone high surrogate takes nothing along
      {"ja_JP.UTF-8", u"\u3042", "\x82\xA0"},
      {"ja_JP.UTF-8", u"\uFF5E", "\x81\x60"},
      {"ja_JP.UTF-8", u"\u301C", "?"},         // what Windows' table lacks
      {"ja_JP.UTF-8", u"\uFF76", "\xB6"},      // half-width katakana
      {"zh_CN.UTF-8", u"\u4E2D", "\xD6\xD0"},  // 936 through iconv
      {"zh_CN.UTF-8", u"a" + std::u16string(1, u'\xDC00') + u"b", "a?b"},
  };
  for (const auto& c : cases) {
    setenv("LC_ALL", c.locale, 1);
    char buffer[80] = {};
    uint16_t size = sizeof buffer;
    int16_t status = 42;
    ASSERT_EQ(from_wide(5, reinterpret_cast<const RK_WCHAR*>(c.text.c_str()), 1, 5, buffer, &size,
                        RK_CHARSET_NO_CHECK, &status),
              1);
    EXPECT_EQ(std::string(buffer), "@JOAU=" + c.bytes) << c.locale;
  }
  // A lone surrogate no longer hides the character after it from the test.
  setenv("LC_ALL", "C", 1);
  int16_t status = 42;
  const char16_t lone_then_control[] = {0xD800, 0x0001, u'a', 0};
  EXPECT_EQ(validate(1, lone_then_control, 0, &status), 0);
  EXPECT_EQ(status, RK_STATUS_BAD_CHARACTER);
}

// Every UTF-16 unit from 1 on, under `locale`: the units whose bytes, as
// `convert` gives them, differ from the table captured from Windows for
// `code_page` (the first ten reported).
template <typename Convert>
int CountTableMismatches(const char* locale, unsigned code_page, Convert convert) {
  setenv("LC_ALL", locale, 1);
  int mismatches = 0;
  for (unsigned unit = 1; unit <= 0xFFFF; ++unit) {
    char bytes[2];
    const int n = rk::os::MapWideUnit(code_page, static_cast<uint16_t>(unit), bytes);
    if (convert(static_cast<RK_WCHAR>(unit)) != std::string(bytes, n) && ++mismatches <= 10) {
      ADD_FAILURE() << code_page << " under " << locale << ": unit " << std::hex << unit;
    }
  }
  return mismatches;
}

// Every UTF-16 unit, through a wide export, gives the bytes of the table
// captured from Windows (which a test under Wine holds to the live call).
TEST(LinuxLibrary, EveryUnitConvertsAsTheCapturedTable) {
  auto* from_wide = RK_EXPORT_OF(RKGetVTPSStringOfJobOwnerFromInputExW);
  const Environment restore;
  unsetenv("RKVTPS32_ACP");
  const auto owner_bytes = [&](RK_WCHAR unit) {
    const RK_WCHAR text[2] = {unit, 0};
    char buffer[16] = {};
    uint16_t size = sizeof buffer;
    int16_t status = 42;
    from_wide(5, text, 1, 5, buffer, &size, RK_CHARSET_NO_CHECK, &status);
    const std::string command = buffer;
    return command.substr(0, 6) == "@JOAU=" ? command.substr(6) : "(" + command + ")";
  };
  EXPECT_EQ(CountTableMismatches("C", 1252, owner_bytes), 0);
  EXPECT_EQ(CountTableMismatches("ja_JP.UTF-8", 932, owner_bytes), 0);
}

// The private entry converts in the code page it is given, whatever the
// ANSI code page of the process: every unit as the captured tables, for
// 1252 under a Japanese locale and 932 under C.
TEST(PrivateEntry, EveryUnitConvertsAsTheCapturedTableInTheCodePageGiven) {
  auto* convert = RK_EXPORT_OF(rkvtps32_private_convert_wide);
  ASSERT_NE(convert, nullptr);
  const Environment restore;
  unsetenv("RKVTPS32_ACP");
  for (const auto& [locale, code_page] : {std::pair<const char*, unsigned>{"ja_JP.UTF-8", 1252},
                                          std::pair<const char*, unsigned>{"C", 932}}) {
    EXPECT_EQ(CountTableMismatches(locale, code_page,
                                   [&, code_page = code_page](RK_WCHAR unit) {
                                     char got[4];
                                     const int n = convert(code_page, &unit, 1, got, sizeof got);
                                     return std::string(got, n > 0 ? n : 0);
                                   }),
              0);
  }
}

// WideCharToMultiByte's contract: all or nothing, 0 for nothing to convert
// or a code page with no converter; other code pages through iconv.
TEST(PrivateEntry, SizesAndCodePagesAsWideCharToMultiByte) {
  auto* convert = RK_EXPORT_OF(rkvtps32_private_convert_wide);
  ASSERT_NE(convert, nullptr);
  struct Case {
    unsigned code_page;
    std::u16string wide;
    int capacity;
    std::string bytes;  // empty: the call answers 0
  } const cases[] = {
      {932, u"\u30B2\u30B9\u30C8", 6, "\x83\x51\x83\x58\x83\x67"},
      {932, u"\u30B2\u30B9\u30C8", 5, ""},  // does not fit: nothing
      {1252, u"caf\u00E9 \u20AC", 6, "caf\xE9 \x80"},
      {1252, u"caf\u00E9", 3, ""},
      {1251, u"\u041F\u0440\u0438\u0432\u0435\u0442", 6, "\xCF\xF0\xE8\xE2\xE5\xF2"},
      {1251, u"a\u0E01b", 3, "a?b"},  // no form: the default character
      {1251, u"\u041F\u0440", 1, ""},
      {1253, u"\u03B1\u03C9", 2, "\xE1\xF9"},
      {1252, u"", 8, ""},
      {54321, u"abc", 8, ""},  // no such code page
  };
  for (const Case& c : cases) {
    std::vector<char> out(static_cast<size_t>(c.capacity) + 1, '#');
    const int n = convert(c.code_page, c.wide.data(), static_cast<int>(c.wide.size()), out.data(),
                          c.capacity);
    EXPECT_EQ(n, static_cast<int>(c.bytes.size())) << c.code_page << " " << c.bytes;
    if (n > 0) {
      EXPECT_EQ(std::string(out.data(), static_cast<size_t>(n)), c.bytes);
    }
    EXPECT_EQ(out[static_cast<size_t>(c.capacity)], '#') << "wrote past the capacity";
  }
  char out[4];
  EXPECT_EQ(convert(1252, nullptr, 3, out, sizeof out), 0);
  EXPECT_EQ(convert(1252, u"abc", 3, nullptr, sizeof out), 0);
}

// The programs compose a job's commands with this host's name and IPv4
// address from the private entry: what the exports would carry, written
// within the 40 and 9 bytes the caller has (blocks of exactly that size,
// so the sanitizers see any byte past them), and nothing for a null area.
TEST(PrivateEntry, ComputerNameAndIPv4DigitsAreTheExportsWithinTheirAreas) {
  auto* computer_name = RK_EXPORT_OF(rkvtps32_private_computer_name);
  auto* ipv4_digits = RK_EXPORT_OF(rkvtps32_private_ipv4_digits);
  auto* host_name = RK_EXPORT_OF(RKGetVTPSStringOfHostNameEx);
  auto* host_address = RK_EXPORT_OF(RKGetVTPSStringOfHostAddress);
  ASSERT_TRUE(computer_name && ipv4_digits && host_name && host_address);
  const auto exported = [](auto call) {
    char buffer[128] = {};
    uint16_t size = sizeof buffer;
    int16_t status = RK_STATUS_OK;
    return call(buffer, &size, &status) == 1 ? std::string(buffer) : std::string();
  };

  const std::unique_ptr<char[]> name(new char[40]);
  ASSERT_EQ(computer_name(name.get()), 1);
  const size_t length = strnlen(name.get(), 40);
  ASSERT_LT(length, 40u);
  EXPECT_EQ(std::string(name.get(), length), ComputerName());
  EXPECT_EQ("@CNAM=" + std::string(name.get()), exported([&](char* b, uint16_t* s, int16_t* st) {
              return host_name(5, b, s, RK_CHARSET_NO_CHECK, st);
            }));

  const std::unique_ptr<char[]> digits(new char[9]);
  int16_t status = RK_STATUS_OK;
  const std::string address = exported(host_address);
  if (ipv4_digits(digits.get(), &status) == 1) {
    ASSERT_EQ(strnlen(digits.get(), 9), 8u);
    for (size_t i = 0; i < 8; ++i) EXPECT_NE(std::strchr("0123456789ABCDEF", digits[i]), nullptr);
    EXPECT_EQ(address, "@HOAD=I" + std::string(digits.get()));
  } else {
    EXPECT_NE(status, RK_STATUS_OK);
    EXPECT_NE(address.compare(0, 7, "@HOAD=I"), 0) << address;
  }

  EXPECT_EQ(computer_name(nullptr), 0);
  EXPECT_EQ(ipv4_digits(nullptr, &status), 0);
  EXPECT_EQ(ipv4_digits(digits.get(), nullptr), 0);
}

// The code page the exports work in, as the library reads the environment
// (the rkvtps tool shows it and converts its arguments to it).
TEST(PrivateEntry, AnsiCodePageIsTheLibrarys) {
  auto* ansi_code_page = RK_EXPORT_OF(rkvtps32_private_ansi_code_page);
  ASSERT_NE(ansi_code_page, nullptr);
  const Environment restore;
  struct Case {
    const char* locale;
    const char* forced;  // RKVTPS32_ACP, or null
    unsigned code_page;
  } const cases[] = {
      {"C", nullptr, 1252}, {"ja_JP.UTF-8", nullptr, 932}, {"ru_RU.UTF-8", nullptr, 1251},
      {"C", "932", 932},    {"ja_JP.UTF-8", "1252", 1252}, {"C", "437", 1252},
  };
  for (const Case& c : cases) {
    Environment::Choose(c.locale, c.forced);
    EXPECT_EQ(ansi_code_page(), c.code_page) << c.locale << " " << (c.forced ? c.forced : "");
  }
}

// With no registry here, the owner is the effective user joined with the
// short host name.
TEST(LinuxLibrary, OwnerFromUserAndHost) {
  const passwd* account = getpwuid(geteuid());
  ASSERT_NE(account, nullptr);
  std::string user = account->pw_name;
  if (user == "SYSTEM" || user == "System" || user.size() >= 40) user = "UnknownUser";
  auto* from_user_host = RK_EXPORT_OF(RKGetVTPSStringOfJobOwnerStringFromUserHostName);
  char buffer[80] = {};
  uint16_t size = sizeof buffer;
  int16_t status = 42;
  ASSERT_EQ(from_user_host(1, 1, 5, buffer, &size, &status), 1);
  EXPECT_EQ(status, RK_STATUS_OK);
  const std::string owner =
      user.size() >= 31 ? user.substr(0, 31) : (user + "\\" + ComputerName()).substr(0, 31);
  EXPECT_EQ(std::string(buffer), "@JOAU=@" + owner);
}

}  // namespace
