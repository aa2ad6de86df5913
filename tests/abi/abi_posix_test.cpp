// Loads the real shared library the way a caller does and calls it on the
// real operating system.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "exports_table.h"
#include "rkvtps32.h"

namespace {

class LoadedLibrary : public ::testing::Test {
 protected:
  void SetUp() override {
    handle_ = dlopen(RKVTPS32_LIBRARY_PATH, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(handle_, nullptr) << dlerror();
  }
  void TearDown() override {
    if (handle_ != nullptr) dlclose(handle_);
  }
  template <typename F>
  F* Find(const char* name) {
    return reinterpret_cast<F*>(dlsym(handle_, name));
  }
  void* handle_ = nullptr;
};

TEST_F(LoadedLibrary, EveryExportResolvesByName) {
  for (const ExportRow& row : kExports) {
    EXPECT_NE(dlsym(handle_, row.name), nullptr) << row.name;
  }
}

TEST_F(LoadedLibrary, InternalOperationsStayHidden) {
  for (const char* name : {"_ZN2rk17ComposeNupCommandEtPcPtPs", "_ZN2rk14DeliverCommandEPKcPcPtPs",
                           "_ZN2rk2os10LoadModuleEPKc"}) {
    EXPECT_EQ(dlsym(handle_, name), nullptr) << name;
  }
}

TEST_F(LoadedLibrary, NupCommandThroughTheLoadedLibrary) {
  auto* nup = Find<decltype(RKGetVTPSStringOfNup)>("RKGetVTPSStringOfNup");
  ASSERT_NE(nup, nullptr);
  char buffer[16] = {};
  uint16_t size = sizeof buffer;
  int16_t status = -1;
  ASSERT_EQ(nup(12, buffer, &size, &status), 1);
  EXPECT_STREQ(buffer, "@NLPP=N32");
  EXPECT_EQ(size, 9);
  EXPECT_EQ(status, RK_STATUS_OK);
}

// The ANSI code page comes from the environment's locale on every call:
// C gives 1252 (one default character per hiragana), C.UTF-8 gives 65001,
// whose three bytes per hiragana do not fit the conversion block, so the
// text converts to nothing.
TEST_F(LoadedLibrary, WideValidationFollowsTheLocaleCodeset) {
  auto* w = Find<decltype(RKIsValidJobOwnerStringCodeAndLengthW)>(
      "RKIsValidJobOwnerStringCodeAndLengthW");
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

  if (saved) {
    setenv("LC_ALL", restore.c_str(), 1);
  } else {
    unsetenv("LC_ALL");
  }
}

}  // namespace
