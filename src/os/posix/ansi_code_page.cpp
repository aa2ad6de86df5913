// The ANSI code page on Linux and other POSIX systems: the one Windows
// would give the environment's locale, and WideCharToMultiByte's answers in
// it or in any code page a caller names. Kept apart from the rest of the
// provider: the library's private entry hands the conversion to the
// project's programs, so they convert with exactly the code the library
// runs.
#include <iconv.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>

#include "os/os.h"
#include "os/posix/code_page.h"
#include "os/wide_tables.h"
#include "private/rkvtps32_private.h"

namespace rk::os {
namespace {

// The system code page Windows gives a locale, by language and, where the
// language alone does not decide, territory. Every other locale, C and
// POSIX included, gets 1252.
struct LocaleCodePage {
  const char* language;
  const char* territory;  // null: any
  unsigned code_page;
};

constexpr LocaleCodePage kLocaleCodePages[] = {
    {"ja", nullptr, 932},  {"zh", "TW", 950},     {"zh", "HK", 950},     {"zh", "MO", 950},
    {"zh", nullptr, 936},  {"ko", nullptr, 949},  {"th", nullptr, 874},  {"cs", nullptr, 1250},
    {"hu", nullptr, 1250}, {"pl", nullptr, 1250}, {"ro", nullptr, 1250}, {"hr", nullptr, 1250},
    {"sk", nullptr, 1250}, {"sl", nullptr, 1250}, {"sq", nullptr, 1250}, {"bs", nullptr, 1250},
    {"ru", nullptr, 1251}, {"uk", nullptr, 1251}, {"be", nullptr, 1251}, {"bg", nullptr, 1251},
    {"mk", nullptr, 1251}, {"sr", nullptr, 1251}, {"kk", nullptr, 1251}, {"ky", nullptr, 1251},
    {"tt", nullptr, 1251}, {"mn", nullptr, 1251}, {"tg", nullptr, 1251}, {"el", nullptr, 1253},
    {"tr", nullptr, 1254}, {"az", nullptr, 1254}, {"uz", nullptr, 1254}, {"he", nullptr, 1255},
    {"yi", nullptr, 1255}, {"ar", nullptr, 1256}, {"fa", nullptr, 1256}, {"ur", nullptr, 1256},
    {"et", nullptr, 1257}, {"lv", nullptr, 1257}, {"lt", nullptr, 1257}, {"vi", nullptr, 1258},
};

// The code pages a caller may name in RKVTPS32_ACP.
constexpr unsigned kAnsiCodePages[] = {874,  932,  936,  949,  950,  1250, 1251,
                                       1252, 1253, 1254, 1255, 1256, 1257, 1258};

// "ja_JP.UTF-8@mod": the part before '_', '.' or '@' is the language, the
// part after '_' up to '.' or '@' the territory. Compares without copying.
bool LocaleMatches(const char* locale, const LocaleCodePage& row) {
  const size_t language_length = std::strcspn(locale, "_.@");
  if (std::strlen(row.language) != language_length ||
      std::strncmp(locale, row.language, language_length) != 0) {
    return false;
  }
  if (row.territory == nullptr) return true;
  if (locale[language_length] != '_') return false;
  const char* territory = locale + language_length + 1;
  const size_t territory_length = std::strcspn(territory, ".@");
  return std::strlen(row.territory) == territory_length &&
         std::strncmp(territory, row.territory, territory_length) == 0;
}

}  // namespace

// The ANSI code page Windows would choose for the environment's locale
// (LC_ALL, then LC_CTYPE, then LANG, as setlocale reads them), whatever its
// codeset: a printer reads 932 or 1252 bytes, never UTF-8. RKVTPS32_ACP
// names it outright, for programs whose locale is not the printer's (a print
// filter). Read on every call, without allocating: the cut asks for it once
// per character.
unsigned AnsiCodePage() {
  if (const char* forced = std::getenv("RKVTPS32_ACP")) {
    const unsigned long asked = std::strtoul(forced, nullptr, 10);
    for (unsigned code_page : kAnsiCodePages) {
      if (asked == code_page) return code_page;
    }
  }
  const char* locale = nullptr;
  for (const char* variable : {"LC_ALL", "LC_CTYPE", "LANG"}) {
    locale = std::getenv(variable);
    if (locale != nullptr && locale[0] != '\0') break;
  }
  if (locale == nullptr) return 1252;
  for (const LocaleCodePage& row : kLocaleCodePages) {
    if (LocaleMatches(locale, row)) return row.code_page;
  }
  return 1252;
}

namespace {

// 1252 and 932: Windows' own answers, unit by unit, from the captured table.
int ConvertByTable(unsigned code_page, const RK_WCHAR* wide, int count, char* out, int capacity) {
  int written = 0;
  for (int i = 0; i < count; ++i) {
    char bytes[2];
    const int n = MapWideUnit(code_page, static_cast<uint16_t>(wide[i]), bytes);
    if (written + n > capacity) return 0;  // all or nothing, as WideCharToMultiByte
    std::memcpy(out + written, bytes, static_cast<size_t>(n));
    written += n;
  }
  return written;
}

// Other code pages through iconv: each unit it cannot convert, a surrogate
// paired or not, gives one default character, as on Windows.
int ConvertByIconv(unsigned code_page, const RK_WCHAR* wide, int count, char* out, int capacity) {
  char target[16];
  std::snprintf(target, sizeof target, "CP%u", code_page);
  iconv_t converter = iconv_open(target, RKVTPS32_UTF16_CHARSET);
  if (converter == reinterpret_cast<iconv_t>(-1)) return 0;

  char* next = out;
  size_t out_left = static_cast<size_t>(capacity);
  bool complete = true;
  for (int i = 0; i < count && complete; ++i) {
    char* in = const_cast<char*>(reinterpret_cast<const char*>(wide + i));
    size_t in_left = sizeof(RK_WCHAR);
    if (iconv(converter, &in, &in_left, &next, &out_left) != static_cast<size_t>(-1)) continue;
    if (errno == E2BIG || out_left == 0) {
      complete = false;
    } else {
      *next++ = '?';
      --out_left;
      iconv(converter, nullptr, nullptr, nullptr, nullptr);  // forget any half character
    }
  }
  iconv_close(converter);
  return complete ? static_cast<int>(next - out) : 0;
}

}  // namespace

int ConvertWideToCodePage(unsigned code_page, const RK_WCHAR* wide, int count, char* out,
                          int capacity) {
  if (code_page == 1252 || code_page == 932) {
    return ConvertByTable(code_page, wide, count, out, capacity);
  }
  return ConvertByIconv(code_page, wide, count, out, capacity);
}

int ConvertWideToAnsi(const RK_WCHAR* wide, int count, char* out, int capacity) {
  return ConvertWideToCodePage(AnsiCodePage(), wide, count, out, capacity);
}

}  // namespace rk::os
