// Linux-only checks of the loaded shared library.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "loaded_library.h"
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
  dlclose(handle);
}

TEST(LinuxLibrary, InternalOperationsStayHidden) {
  for (const char* name : {"_ZN2rk17ComposeNupCommandEtPcPtPs", "_ZN2rk14DeliverCommandEPKcPcPtPs",
                           "_ZN2rk2os10LoadModuleEPKc", "_ZN2rk12EncodeBase85EPKcPc"}) {
    EXPECT_EQ(FindExport(name), nullptr) << name;
  }
}

// The ANSI code page comes from the environment's locale on every call:
// C gives 1252 (one default character per hiragana), C.UTF-8 gives 65001,
// whose three bytes per hiragana do not fit the conversion block, so the
// text converts to nothing; a Shift_JIS codeset gives 932.
TEST(LinuxLibrary, WideValidationFollowsTheLocaleCodeset) {
  auto* w = RK_EXPORT_OF(RKIsValidJobOwnerStringCodeAndLengthW);
  ASSERT_NE(w, nullptr);
  const RK_WCHAR hiragana[] = u"\u3042\u3044\u3046\u3048\u304A\u304B\u304D\u304F";
  const char* saved = std::getenv("LC_ALL");
  const std::string restore = saved ? saved : "";

  setenv("LC_ALL", "C", 1);
  int16_t status = 99;
  EXPECT_EQ(w(4, hiragana, &status), 1);
  EXPECT_EQ(status, RK_STATUS_OK);

  setenv("LC_ALL", "C.UTF-8", 1);
  status = 99;
  EXPECT_EQ(w(4, hiragana, &status), 0);
  EXPECT_EQ(status, RK_STATUS_BAD_CHARACTER);
  status = 99;
  EXPECT_EQ(w(4, u"gu\u00e9st", &status), 1);  // 6 bytes in UTF-8, within 2n
  EXPECT_EQ(status, RK_STATUS_OK);

  // A Shift_JIS codeset is code page 932: two bytes each, past the limit.
  setenv("LC_ALL", "ja_JP.SJIS", 1);
  status = 99;
  EXPECT_EQ(w(4, hiragana, &status), 0);
  EXPECT_EQ(status, RK_STATUS_TOO_LONG);

  if (saved) {
    setenv("LC_ALL", restore.c_str(), 1);
  } else {
    unsetenv("LC_ALL");
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
