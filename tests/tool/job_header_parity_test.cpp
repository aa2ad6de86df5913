// A job's commands as the filter and the printer application compose them
// (the command logic, for the printer's code page) against what the exports
// give a process whose code page is that printer's, with the rule for
// untrusted text applied as the tool would: for every code page a printer
// may name, every code type with a command, the masks an administrator may
// set, and user and client names from anyone who may print. And what the
// warnings say was sent must be what the header carries.
#ifndef _WIN32
#include <gtest/gtest.h>

#include <cstdlib>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "calls.h"
#include "command_facts.h"
#include "commands/decode.h"
#include "job_client.h"
#include "job_header.h"
#include "job_settings.h"
#include "rkvtps32.h"
#include "text_conversion.h"
#include "text_forms.h"
#include "untrusted_text.h"

namespace {

// Names in every script a code page is made for, and the ways a hostile
// name may try to become another command, a control byte or another form.
const std::vector<std::string>& JobTexts() {
  static const std::vector<std::string> texts = [] {
    std::string katakana, han;
    for (int i = 0; i < 20; ++i) katakana += "\xE3\x82\xA2";  // U+30A2
    for (int i = 0; i < 12; ++i) han += "\xE7\x94\xB0";       // U+7530
    return std::vector<std::string>{
        "guest1",
        "Jos\xC3\xA9 M\xC3\xBCller",                                 // Latin-1
        "\xC5\x81ukasz \xC5\xBB\xC3\xB3\xC5\x82w",                   // Central European
        "\xD0\x94\xD0\xBC\xD0\xB8\xD1\x82\xD1\x80\xD0\xB8\xD0\xB9",  // Cyrillic
        "\xCE\x93\xCE\xB9\xCF\x8E\xCF\x81\xCE\xB3\xCE\xBF\xCF\x82",  // Greek
        "\xC3\x96mer \xC3\x87"
        "elik \xC4\x9F",                                                 // Turkish
        "\xD7\x93\xD7\x95\xD7\x93",                                      // Hebrew
        "\xD9\x85\xD8\xAD\xD9\x85\xD8\xAF",                              // Arabic
        "J\xC4\x81nis B\xC4\x93rzi\xC5\x86\xC5\xA1",                     // Baltic
        "Nguy\xE1\xBB\x85n V\xC4\x83n \xC4\x90\xE1\xBB\xA9\x63",         // Vietnamese
        "\xE0\xB8\xAA\xE0\xB8\xA1\xE0\xB8\x8A\xE0\xB8\xB2\xE0\xB8\xA2",  // Thai
        "\xE7\x94\xB0\xE4\xB8\xAD\xE5\xA4\xAA\xE9\x83\x8E",              // Han (Japan)
        "\xE5\xB1\xB1\xE7\x94\xB0\xEF\xBD\xB6\xEF\xBE\x85",              // halfwidth kana
        "\xEA\xB9\x80\xEC\xB2\xA0\xEC\x88\x98",                          // Hangul
        "\xE5\xBC\xA0\xE4\xBC\x9F",                                      // simplified Han
        "\xE9\x99\xB3\xE5\xA4\xA7\xE6\x96\x87",                          // traditional Han
        katakana,                                                        // cut inside a character
        "a" + katakana,                                                  // and one byte on
        han + "x",
        "\xE2\x82\xACuro",           // 0x80 in 1252
        "\xF0\x9F\x98\x80 smile",    // a surrogate pair
        "a?b\xE2\x98\x83",           // '?' given and made
        "\xE3\x80\x80\xE3\x80\x80",  // ideographic blanks
        "   ",
        std::string(70, 'n'),
        // Commands and control bytes, as given and as a code page's best
        // fit makes them of fullwidth forms.
        "x@JOAU=@root",
        "ABCD=x",
        "\xEF\xBD\x98\xEF\xBC\xA0\xEF\xBC\xA8\xEF\xBC\xAF\xEF\xBC\xA1\xEF\xBC\xA4\xEF\xBC\x9D"
        "IC0A80001",
        "ann\n@PJL SET COPIES=99",
        "x\x1B%-12345X",
        "del\x7F",
        "a\xC2\x85z",  // C1 NEL
        // Another code type's form, for code type 5.
        "$F`_>8",
        "#CF)Q",
        "@root",
        // Spells "@HOAD=I29000140" in base 85 when the code page makes it
        // the 1252 bytes "ann a\xE6\xA4\x8BX\x97@4/: 0".
        "ann a\xC3\xA6\xC2\xA4\xE2\x80\xB9X\xE2\x80\x94@4/: 0",
        // Refused before any composition.
        "",
        "caf\xE9",
        std::string("ann\0@JOAU=@root", 15),
    };
  }();
  return texts;
}

constexpr uint16_t kCodeTypes[] = {1, 2, 3, 4, 5, 255};
constexpr uint16_t kMasks[] = {
    0,
    RK_CHARSET_ASCII,
    RK_CHARSET_LATIN1,
    RK_CHARSET_ANY_BYTE,
    RK_CHARSET_HALFWIDTH_KANA | RK_CHARSET_DOUBLE_BYTE,
    RK_CHARSET_ANY_BYTE | RK_CHARSET_DOUBLE_BYTE,
    RK_CHARSET_NO_CHECK,
};
struct Tag {
  uint16_t column;
  uint16_t row;
};
// The usual tag, and the one that is "@" itself, before base-85 digits.
constexpr Tag kTags[] = {{1, 5}, {9, 4}};

// RKVTPS32_ACP for the length of a scope, restored after.
class ProcessCodePage {
 public:
  ProcessCodePage() {
    const char* saved = std::getenv("RKVTPS32_ACP");
    had_ = saved != nullptr;
    if (had_) saved_ = saved;
  }
  ~ProcessCodePage() {
    if (had_) {
      setenv("RKVTPS32_ACP", saved_.c_str(), 1);
    } else {
      unsetenv("RKVTPS32_ACP");
    }
  }
  void Set(unsigned code_page) { setenv("RKVTPS32_ACP", std::to_string(code_page).c_str(), 1); }
  // A code page unlike `code_page` (double-byte for a single-byte one and
  // the other way round): a job's commands must not follow the process's.
  void SetUnlike(unsigned code_page) { Set(code_page == 932 ? 1251 : 932); }

 private:
  bool had_ = false;
  std::string saved_;
};

// The job's text for a W export, or null where no export could take it as
// it is (empty, a NUL, not UTF-8): then the narrow export gets `substitute`.
bool WideOf(const std::string& utf8, WideText* wide) {
  size_t bad = 0;
  return !utf8.empty() && utf8.find('\0') == std::string::npos && DecodeUtf8(utf8, wide, &bad);
}

CallerText Narrow(const char* text) { return CallerText{true, false, text, {}}; }

// What the exports give for the job's user under the rule: the command,
// or the substitute's where the command would break a printer's stream,
// or nothing.
std::string ExportedOwner(const JobSettings& s, const std::string& utf8) {
  OwnerRequest request;
  request.code_type = s.code_type;
  request.tag_column = s.tag_column;
  request.tag_row = s.tag_row;
  request.mask = s.mask;
  WideText wide;
  request.owner = WideOf(utf8, &wide) ? CallerText{true, true, "", wide} : Narrow(rk::kUnknownUser);
  Outcome outcome = CallOwner(request, 256);
  if (outcome.delivered && !FindOwnerCommandFault(s.code_type, outcome.command).empty()) {
    request.owner = Narrow(rk::kUnknownUser);
    outcome = CallOwner(request, 256);
  }
  return outcome.delivered ? outcome.command : "";
}

std::string ExportedClientName(const JobSettings& s, const std::string& utf8) {
  ClientNameRequest request;
  request.code_type = s.code_type;
  request.mask = s.mask;
  WideText wide;
  request.name = WideOf(utf8, &wide) ? CallerText{true, true, "", wide} : Narrow(rk::kUnknownHost);
  Outcome outcome = CallClientName(request, 256);
  if (outcome.delivered && !FindCommandFault(outcome.command).empty()) {
    request.name = Narrow(rk::kUnknownHost);
    outcome = CallClientName(request, 256);
  }
  return outcome.delivered ? outcome.command : "";
}

std::string Warnings(const JobNotes& notes) {
  std::string all;
  for (const JobNote& note : notes) {
    for (unsigned char c : note.text) EXPECT_TRUE(c >= 0x20 && c != 0x7F) << note.text;
    if (note.level == NoteLevel::kWarning) all += note.text + "\n";
  }
  return all;
}

// The bytes the printer's code page makes of the job's text, as handed to
// the composition (empty where it is refused before).
std::string HandedBytes(const std::string& utf8, unsigned code_page) {
  WideText wide;
  return WideOf(utf8, &wide) ? ConvertToCodePage(code_page, wide) : std::string();
}

// The warnings say what the header carries in place of the job's text:
// nothing when it carries the text whole, the substitute when it carries
// that, and the byte count the cut kept when it carries a beginning.
void ExpectWarningsTell(const std::string& carried, const std::string& handed,
                        const char* substitute, const std::string& warnings,
                        const std::string& where) {
  if (carried == handed) {
    EXPECT_EQ(warnings.find("was refused"), std::string::npos) << where << warnings;
    EXPECT_EQ(warnings.find("was cut"), std::string::npos) << where << warnings;
    EXPECT_EQ(warnings.find("was sent in its place"), std::string::npos) << where << warnings;
  } else if (carried == substitute) {
    EXPECT_NE(warnings.find("\"" + std::string(substitute) + "\" was sent in its place"),
              std::string::npos)
        << where << warnings;
  } else {
    ASSERT_EQ(handed.compare(0, carried.size(), carried), 0) << where << EscapedText(carried);
    EXPECT_NE(warnings.find(": " + std::to_string(carried.size()) + " of its " +
                            std::to_string(handed.size()) + " bytes were sent"),
              std::string::npos)
        << where << warnings;
  }
}

// What one command of `header` carries of a text: the owner without its
// address part, or the client name.
std::string CarriedText(const std::string& header) {
  const std::vector<rk::DecodedCommand> found =
      rk::DecodeCommands(header, rk::LibraryNupKeywords());
  EXPECT_EQ(found.size(), 1u) << EscapedText(header);
  if (found.size() != 1) return "";
  EXPECT_TRUE(found[0].ok) << EscapedText(header) << ": " << found[0].error;
  return found[0].owner;
}

JobSettings SettingsFor(unsigned code_page, uint16_t code_type, uint16_t mask, const Tag& tag,
                        const char* command) {
  JobSettings s;
  s.code_page = code_page;
  s.code_type = code_type;
  s.mask = mask;
  s.tag_column = tag.column;
  s.tag_row = tag.row;
  s.commands = {command};
  return s;
}

// One job's header for `s`, composed while the process's code page is
// another, against the exports' in the printer's; and its warnings against
// what the header carries. `text` is the client's name where `of_client`,
// else the user's.
void ExpectTheExportsCommand(ProcessCodePage* process, const JobSettings& s,
                             const std::string& text, bool of_client, const std::string& where) {
  JobClient client;
  if (of_client) client.name = text;
  JobNotes notes;
  process->SetUnlike(s.code_page);
  const std::string header = ComposeJobHeader(s, of_client ? "guest1" : text, client, &notes);
  process->Set(s.code_page);
  const std::string exported = of_client ? ExportedClientName(s, text) : ExportedOwner(s, text);
  ASSERT_EQ(header, exported.empty() ? "" : exported + "\n")
      << where << EscapedText(header) << " vs " << EscapedText(exported);
  const std::string warnings = Warnings(notes);
  if (header.empty() || s.mask == RK_CHARSET_NO_CHECK) return;
  const std::string handed = HandedBytes(text, s.code_page);
  ExpectWarningsTell(CarriedText(header), handed.empty() ? text : handed,
                     of_client ? rk::kUnknownHost : rk::kUnknownUser, warnings, where);
}

std::string Where(const JobSettings& s, const std::string& text) {
  return std::to_string(s.code_page) + " type " + std::to_string(s.code_type) + " mask " +
         std::to_string(s.mask) + " tag " + std::to_string(s.tag_row) + " \"" + EscapedText(text) +
         "\": ";
}

TEST(JobHeaderParity, OwnersAreTheExportsCommandsInEveryPrintersCodePage) {
  ProcessCodePage process;
  for (const unsigned code_page : kJobCodePages) {
    for (const uint16_t code_type : kCodeTypes) {
      for (const uint16_t mask : kMasks) {
        for (const Tag& tag : kTags) {
          const JobSettings s = SettingsFor(code_page, code_type, mask, tag, rk::kOwnerName);
          for (const std::string& user : JobTexts()) {
            ExpectTheExportsCommand(&process, s, user, false, Where(s, user));
            if (HasFatalFailure()) return;
          }
        }
      }
    }
  }
}

TEST(JobHeaderParity, ClientNamesAreTheExportsCommandsInEveryPrintersCodePage) {
  ProcessCodePage process;
  for (const unsigned code_page : kJobCodePages) {
    for (const uint16_t code_type : kCodeTypes) {
      for (const uint16_t mask : kMasks) {
        const JobSettings s =
            SettingsFor(code_page, code_type, mask, kTags[0], rk::kClientNameName);
        for (const std::string& name : JobTexts()) {
          ExpectTheExportsCommand(&process, s, name, true, Where(s, name));
          if (HasFatalFailure()) return;
        }
      }
    }
  }
}

// The printer application composes each job on its own thread: printers
// with different code pages at once, each header what it is alone.
TEST(JobHeaderParity, PrintersWithDifferentCodePagesComposeSideBySide) {
  const std::vector<std::string>& users = JobTexts();
  std::vector<JobSettings> printers;
  // Every code type, so that this host's address is asked for at once too,
  // and this machine's own jobs (its name and address) beside others'.
  const auto client_of = [](size_t printer, const std::string& user) {
    JobClient client;
    client.local = printer % 2 == 1;
    if (!client.local) client.name = user;
    return client;
  };
  for (const unsigned code_page : kJobCodePages) {
    const uint16_t code_type = kCodeTypes[printers.size() % std::size(kCodeTypes)];
    JobSettings s = SettingsFor(code_page, code_type, RK_CHARSET_ANY_BYTE | RK_CHARSET_DOUBLE_BYTE,
                                kTags[1], rk::kOwnerName);
    s.commands.assign(std::begin(rk::kCommandNames), std::end(rk::kCommandNames));
    printers.push_back(s);
  }
  std::vector<std::vector<std::string>> alone(printers.size());
  for (size_t p = 0; p < printers.size(); ++p) {
    for (const std::string& user : users) {
      JobNotes notes;
      alone[p].push_back(ComposeJobHeader(printers[p], user, client_of(p, user), &notes));
    }
  }
  std::vector<size_t> differing(printers.size(), 0);
  std::vector<std::thread> threads;
  for (size_t p = 0; p < printers.size(); ++p) {
    threads.emplace_back([&, p] {
      for (int round = 0; round < 20; ++round) {
        for (size_t u = 0; u < users.size(); ++u) {
          JobNotes notes;
          differing[p] += ComposeJobHeader(printers[p], users[u], client_of(p, users[u]), &notes) !=
                          alone[p][u];
        }
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  for (size_t p = 0; p < printers.size(); ++p) {
    EXPECT_EQ(differing[p], 0u) << "code page " << printers[p].code_page << ", code type "
                                << printers[p].code_type;
  }
}

}  // namespace
#endif
