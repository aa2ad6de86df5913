// Instructions per call of three narrow exports beside their hand-written
// floors (export_floors.h), over a fixed table of inputs each. Run under
// callgrind by export_instructions.sh, which turns the dumps into figures;
// natively it only checks that every floor answers as its export does.
//
// Each floor is first checked against its export on every input: result,
// status, size word and every byte of the buffer. A floor that answers
// differently makes the program fail before anything is measured.
// Then each side runs once to warm up and kPasses times with callgrind's
// counters zeroed before and dumped after; only the instructions inside the
// export or the floor are collected (the script names them to callgrind as
// --toggle-collect functions, as this program lists them with --toggles).
#include <valgrind/callgrind.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "export_floors.h"
#include "rkvtps32.h"

namespace {

constexpr int kPasses = 10;
constexpr size_t kBufferBytes = 96;
constexpr uint16_t kRoomy = kBufferBytes;
constexpr int16_t kUnsetStatus = 0x5A5A;  // tells a status left alone from one written

// ---- Inputs -----------------------------------------------------------------------

struct NupInput {
  uint16_t selector;
  uint16_t capacity;
  bool with_buffer;
};

struct ValidationInput {
  uint16_t code_type;
  const char* text;
};

struct OwnerInput {
  uint16_t code_type;
  const char* text;
  uint16_t tag_column_key;
  uint16_t tag_row_key;
  uint16_t capacity;
};

// clang-format off
// The first row of each table is the call exports_benchmark.cpp times.
const NupInput kNupInputs[] = {
    {6, kRoomy, true}, {0, kRoomy, true}, {1, kRoomy, true}, {2, kRoomy, true}, {3, kRoomy, true},
    {4, kRoomy, true}, {5, kRoomy, true}, {7, kRoomy, true},
    {8, kRoomy, true}, {9, kRoomy, true}, {10, kRoomy, true}, {11, kRoomy, true},
    {12, kRoomy, true}, {13, kRoomy, true},
    {14, kRoomy, true},   // no such selector
    {300, kRoomy, true},  // no such selector
    {6, 0, true},         // asks the size
    {6, 9, true},         // one byte short
    {6, 10, true},        // exactly enough
    {1, kRoomy, false},   // room, but no buffer
};

// Code page 932 bytes: "Tanaka" in kanji, and half-width kana.
#define RK_KANJI_TANAKA "\x93\x63\x92\x86"
#define RK_KANA "\xB6\xC0\xB6\xC5"

const ValidationInput kValidationInputs[] = {
    {4, "guest1"},
    {1, "ann"},
    {3, "Taro Yamada"},
    {1, "abcdefghijklmnopqrstuvwxyz01234"},                                   // 31: the limit
    {5, "abcdefghijklmnopqrstuvwxyz0123456789abcdefghijklmnopqrstuvwxyz0"},   // 63: the limit
    {32, "abcdefghijklmnopqrstuvwxyz012345"},                                 // 32: the limit
    {4, RK_KANJI_TANAKA},
    {1, RK_KANA " " RK_KANJI_TANAKA},
    {2, "abcdefghijklmnopqrstuvwxy"},   // 25: one byte too many
    {255, "sixteen bytes..."},          // 16: one byte too many
    {1, "tab\there"},                   // a control byte
    {1, "caf\xE9"},                     // a Latin-1 letter: not a default class
    {4, "   "},                         // blanks alone
    {1, "\x81\x40\x81\x40"},            // ideographic blanks alone
    {1, "end\x93"},                     // a lead byte without its trail
    {1, ""},                            // empty
    {9, "guest1"},                      // no such code type
    {4, nullptr},                       // no text
};

const OwnerInput kOwnerInputs[] = {
    {3, "guest1", 1, 5, kRoomy},
    {1, "guest1", 1, 5, kRoomy},
    {1, "abcdefghijklmnopqrstuvwxyz01234", 1, 5, kRoomy},            // 31: the limit
    {1, "abcdefghijklmnopqrstuvwxyz0123456789", 1, 5, kRoomy},       // cut to 31
    {1, "abcdefghijklmnopqrstuvwxyz0123" RK_KANJI_TANAKA, 1, 5, kRoomy},  // cut inside a character
    {1, RK_KANJI_TANAKA " " RK_KANA, 1, 5, kRoomy},
    {1, "tab\there", 1, 5, kRoomy},                                  // refused: UnknownUser
    {3, "a", 2, 0, kRoomy},
    {3, "ab", 3, 11, kRoomy},
    {3, "abc", 8, 12, kRoomy},
    {3, "abcdefghijklmnopqrstuvwx", 100, 40, kRoomy},                // 24: the limit
    {3, "abcdefghijklmnopqrstuvwxyz0123", 42, 3, kRoomy},            // cut to 24
    {3, "abcdefghijklmnopqrstuvw" RK_KANJI_TANAKA, 7, 6, kRoomy},    // cut inside a character
    {3, RK_KANJI_TANAKA, 5, 1, kRoomy},
    {3, "   ", 1, 5, kRoomy},                                        // refused: UnknownUser
    {2, "guest1", 1, 5, kRoomy},
    {5, "guest1", 1, 5, kRoomy},
    {5, "abcdefghijklmnopqrstuvwxyz0123456789abcdefghijklmnopqrstuvwxyz0123456789", 1, 5,
     kRoomy},                                                        // cut to 63
    {3, "guest1", 1, 5, 0},                                          // asks the size
    {3, "guest1", 1, 5, 16},                                         // one byte short
    {1, "guest1", 1, 5, 14},                                         // exactly enough
    {32, "guest1", 1, 5, kRoomy},                                    // a limit, no command
    {9, "guest1", 1, 5, kRoomy},                                     // no such code type
    {1, nullptr, 1, 5, kRoomy},                                      // no text
};
// clang-format on

// ---- One call as its caller sees it --------------------------------------------------

struct Answer {
  int32_t result = 0;
  int16_t status = kUnsetStatus;
  uint16_t size = 0;
  char buffer[kBufferBytes];

  explicit Answer(uint16_t capacity) : size(capacity) { std::memset(buffer, 0x55, sizeof buffer); }
  bool operator==(const Answer& other) const {
    return result == other.result && status == other.status && size == other.size &&
           std::memcmp(buffer, other.buffer, sizeof buffer) == 0;
  }
};

unsigned g_code_page = 1252;  // the code page the exports cut in, for the owner floor

Answer NupByExport(const NupInput& in) {
  Answer a(in.capacity);
  a.result =
      RKGetVTPSStringOfNup(in.selector, in.with_buffer ? a.buffer : nullptr, &a.size, &a.status);
  return a;
}
Answer NupByFloor(const NupInput& in) {
  Answer a(in.capacity);
  a.result = floors::ComposeNupCommand(in.selector, in.with_buffer ? a.buffer : nullptr, &a.size,
                                       &a.status);
  return a;
}

Answer ValidationByExport(const ValidationInput& in) {
  Answer a(0);
  a.result = RKIsValidJobOwnerStringCodeAndLengthA(in.code_type, in.text, &a.status);
  return a;
}
Answer ValidationByFloor(const ValidationInput& in) {
  Answer a(0);
  a.result = floors::JudgeOwnerText(in.code_type, in.text, &a.status);
  return a;
}

Answer OwnerByExport(const OwnerInput& in) {
  Answer a(in.capacity);
  a.result = RKGetVTPSStringOfJobOwnerFromInputA(in.code_type, in.text, in.tag_column_key,
                                                 in.tag_row_key, a.buffer, &a.size, &a.status);
  return a;
}
Answer OwnerByFloor(const OwnerInput& in) {
  Answer a(in.capacity);
  a.result = floors::ComposeOwnerCommand(in.code_type, in.text, in.tag_column_key, in.tag_row_key,
                                         a.buffer, &a.size, &a.status, g_code_page);
  return a;
}

// ---- A measured pair --------------------------------------------------------------

// An export and its floor, named as callgrind's --toggle-collect takes them:
// the instructions inside these functions are what is counted.
struct Pair {
  const char* export_function;
  const char* floor_function;
  bool (*check)(const Pair&);
  void (*measure)(const Pair&);
};

std::string Escaped(const char* text) {
  if (text == nullptr) return "(null)";
  std::string out;
  for (const auto* p = reinterpret_cast<const unsigned char*>(text); *p != 0; ++p) {
    char piece[8];
    std::snprintf(piece, sizeof piece,
                  *p >= 0x20 && *p < 0x7F && *p != '\\' && *p != '|' ? "%c" : "\\x%02X", *p);
    out += piece;
  }
  return out;
}

std::string Describe(const Answer& a) {
  const void* end = std::memchr(a.buffer, '\0', sizeof a.buffer);
  const std::string text =
      end != nullptr && a.buffer[0] != 0x55 ? Escaped(a.buffer) : "(untouched)";
  char head[64];
  std::snprintf(head, sizeof head, "result %d status %d size %u buffer ", a.result, a.status,
                a.size);
  return head + text;
}

std::string Describe(const NupInput& in) {
  return "selector " + std::to_string(in.selector) + " capacity " + std::to_string(in.capacity) +
         (in.with_buffer ? "" : " no buffer");
}
std::string Describe(const ValidationInput& in) {
  return "code type " + std::to_string(in.code_type) + " text \"" + Escaped(in.text) + "\"";
}
std::string Describe(const OwnerInput& in) {
  return "code type " + std::to_string(in.code_type) + " text \"" + Escaped(in.text) +
         "\" tag keys " + std::to_string(in.tag_column_key) + "," + std::to_string(in.tag_row_key) +
         " capacity " + std::to_string(in.capacity);
}

template <typename Input, size_t N>
bool CheckFloor(const char* name, const Input (&inputs)[N], Answer (*by_export)(const Input&),
                Answer (*by_floor)(const Input&)) {
  bool agrees = true;
  for (const Input& in : inputs) {
    const Answer expected = by_export(in);
    const Answer got = by_floor(in);
    if (got == expected) continue;
    std::fprintf(stderr, "%s: floor disagrees on %s\n  export: %s\n  floor:  %s\n", name,
                 Describe(in).c_str(), Describe(expected).c_str(), Describe(got).c_str());
    agrees = false;
  }
  return agrees;
}

// One warm-up pass (lazy set-up, first-touch costs), then for each input
// kPasses calls between a zeroing and a dump of callgrind's counters. The
// dump's reason carries, split by '|', the export, the side, the input's
// number and description and the number of calls, for the script.
template <typename Input, size_t N>
void MeasureSide(const char* name, const char* side, const Input (&inputs)[N],
                 Answer (*call)(const Input&)) {
  for (const Input& in : inputs) call(in);
  for (size_t i = 0; i < N; ++i) {
    CALLGRIND_ZERO_STATS;
    for (int pass = 0; pass < kPasses; ++pass) call(inputs[i]);
    const std::string reason = std::string(name) + "|" + side + "|" + std::to_string(i) + "|" +
                               Describe(inputs[i]) + "|" + std::to_string(kPasses);
    CALLGRIND_DUMP_STATS_AT(reason.c_str());
  }
}

template <typename Input, size_t N>
void MeasurePair(const char* name, const Input (&inputs)[N], Answer (*by_export)(const Input&),
                 Answer (*by_floor)(const Input&)) {
  MeasureSide(name, "export", inputs, by_export);
  MeasureSide(name, "floor", inputs, by_floor);
}

const Pair kPairs[] = {
    {"RKGetVTPSStringOfNup", "floors::ComposeNupCommand(*",
     [](const Pair& p) {
       return CheckFloor(p.export_function, kNupInputs, NupByExport, NupByFloor);
     },
     [](const Pair& p) { MeasurePair(p.export_function, kNupInputs, NupByExport, NupByFloor); }},
    {"RKIsValidJobOwnerStringCodeAndLengthA", "floors::JudgeOwnerText(*",
     [](const Pair& p) {
       return CheckFloor(p.export_function, kValidationInputs, ValidationByExport,
                         ValidationByFloor);
     },
     [](const Pair& p) {
       MeasurePair(p.export_function, kValidationInputs, ValidationByExport, ValidationByFloor);
     }},
    {"RKGetVTPSStringOfJobOwnerFromInputA", "floors::ComposeOwnerCommand(*",
     [](const Pair& p) {
       return CheckFloor(p.export_function, kOwnerInputs, OwnerByExport, OwnerByFloor);
     },
     [](const Pair& p) {
       MeasurePair(p.export_function, kOwnerInputs, OwnerByExport, OwnerByFloor);
     }},
};

int Usage() {
  std::fprintf(stderr,
               "usage: rkvtps32_export_instructions --toggles\n"
               "       rkvtps32_export_instructions CODE_PAGE   (1252 or 932: the code page\n"
               "       the library is in, from its environment)\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) return Usage();
  if (std::strcmp(argv[1], "--toggles") == 0) {
    for (const Pair& pair : kPairs)
      std::printf("%s\n%s\n", pair.export_function, pair.floor_function);
    return 0;
  }
  g_code_page = static_cast<unsigned>(std::strtoul(argv[1], nullptr, 10));
  if (g_code_page != 1252 && g_code_page != 932) return Usage();

  bool agrees = true;
  for (const Pair& pair : kPairs) agrees = pair.check(pair) && agrees;
  if (!agrees) return 1;
  for (const Pair& pair : kPairs) pair.measure(pair);
  return 0;
}
