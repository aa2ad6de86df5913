// The client layer's rule for text from print jobs, against the real
// library: hostile owners and client names, what the warnings say was
// sent, and how a job's client is read.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "rkvtps32.h"
#include "text_forms.h"
#include "untrusted_text.h"
#ifndef _WIN32
#include <cstdlib>

#include "client_record.h"
#include "job_client.h"
#include "printer_facts.h"
#endif

namespace {

TEST(CommandRule, FindsWhatAPrinterWouldReadAsAnotherCommand) {
  struct Case {
    const char* command;
    const char* fault;  // a part of the reason, or "" for a command that may go out
  } const cases[] = {
      {"@JOAU=@guest1", ""},
      {"@CNAM=PC01", ""},
      {"@JOAU=", ""},  // nothing after the start is no fault of the rule
      {"@CNAM=a@b=c@ABC=@abcd=", ""},
      {"@CNAM=\xE3\x82\xB2@", ""},
      {"@JOAU=@x@JOAU=@root", "second command start \"@JOAU=\" at byte 8"},
      {"@CNAM=x@HOAD=IC0A80001", "second command start \"@HOAD=\" at byte 7"},
      {"@JOAU=$@;]s*@HOAD=I29000140", "\"@HOAD=\" at byte 12"},
      {"@CNAM=@CNAM=", "\"@CNAM=\" at byte 6"},
      {"@CNAM=x\x1B%-12345X", "control byte \\x1B at byte 7"},
      {"@JOAU=@ann\n@PJL SET COPIES=99", "control byte \\x0A at byte 10"},
      {"@JOAU=@ann\r", "control byte \\x0D"},
      {"@CNAM=a\tb", "control byte \\x09"},
      {"@CNAM=a\x7F", "control byte \\x7F at byte 7"},
      {"JOAU=x", "start other than"},
      {"@joau=x", "start other than"},
      {"", "start other than"},
  };
  for (const Case& c : cases) {
    const std::string fault = FindCommandFault(c.command);
    if (*c.fault == '\0') {
      EXPECT_EQ(fault, "") << c.command;
    } else {
      EXPECT_NE(fault.find(c.fault), std::string::npos) << c.command << ": " << fault;
    }
  }
}

OwnerRequest Owner(uint16_t code_type, const std::string& text, uint16_t mask) {
  OwnerRequest request;
  request.code_type = code_type;
  request.mask = mask;
  request.owner = CallerText{true, false, text, {}};
  return request;
}

// The command logic's settings for the request the exports take.
rk::OwnerSettings SettingsOf(const OwnerRequest& request) {
  return {request.code_type, request.tag_column, request.tag_row, request.mask,
          request.has_address ? request.address.c_str() : nullptr};
}

rk::GivenSystemFacts Facts(unsigned code_page) {
  rk::GivenSystemFacts facts;
  facts.code_page = code_page;
  facts.computer_name_text = "PRINTSRV";
  facts.ipv4_digits_text = "C0A80001";
  return facts;
}

std::string Joined(const std::vector<std::string>& notices) {
  std::string all;
  for (const std::string& notice : notices) all += notice + "\n";
  return all;
}

// Every notice is one line, whatever the text quoted.
void ExpectOneLineEach(const std::vector<std::string>& notices) {
  for (const std::string& notice : notices) {
    for (unsigned char c : notice) EXPECT_TRUE(c >= 0x20 && c != 0x7F) << notice;
  }
}

TEST(CommandRule, HostileOwnersAreSentAsTheSubstitute) {
  struct Case {
    uint16_t code_type;
    uint16_t mask;
    const char* owner;
    const char* sent;
  } const cases[] = {
      {1, 0, "x@JOAU=@root", "@JOAU=@UnknownUser"},
      {5, 0, "x@JOAU=@root", "@JOAU=UnknownUser"},
      {1, RK_CHARSET_NO_CHECK, "ann\n@PJL SET COPIES=99", "@JOAU=@UnknownUser"},
      {5, RK_CHARSET_NO_CHECK, "x\x1B%-12345X", "@JOAU=UnknownUser"},
      {1, RK_CHARSET_NO_CHECK, "del\x7F", "@JOAU=@UnknownUser"},
      // Code type 5 sends the owner with no form mark: one that starts with
      // a mark reads as another form, and "$" and base 85 as any owner.
      {5, 0, "$F`_>8", "@JOAU=UnknownUser"},
      {5, 0, "#CF)Q", "@JOAU=UnknownUser"},
      {5, 0, "@root", "@JOAU=UnknownUser"},
      // Its base-85 form spells "@HOAD=I29000140" (code page 1252 bytes).
      {2, RK_CHARSET_NO_CHECK, "ann a\xE6\xA4\x8BX\x97@4/: 0", nullptr},
  };
  for (const Case& c : cases) {
    const OwnerRequest request = Owner(c.code_type, c.owner, c.mask);
    const CheckedCommand checked =
        MakeOwnerCommand(SettingsOf(request), HandedText{c.owner, 0}, Facts(1252));
    ASSERT_TRUE(checked.outcome.delivered) << c.owner;
    EXPECT_EQ(FindOwnerCommandFault(c.code_type, checked.outcome.command), "")
        << checked.outcome.command;
    if (c.sent != nullptr) {
      EXPECT_EQ(checked.outcome.command, c.sent);
    }
    // The substitute's command, composed by the library directly.
    const Outcome substitute = CallOwner(Owner(c.code_type, rk::kUnknownUser, c.mask), 128);
    EXPECT_EQ(checked.outcome.command, substitute.command) << c.owner;
    const std::string notices = Joined(checked.notices);
    EXPECT_NE(notices.find("@JOAU=: the owner"), std::string::npos) << notices;
    EXPECT_NE(notices.find("\"UnknownUser\" was sent in its place"), std::string::npos) << notices;
    ExpectOneLineEach(checked.notices);
  }
}

TEST(CommandRule, OwnersMayStartWithAFormMarkOnlyBehindTheirOwn) {
  EXPECT_NE(FindOwnerCommandFault(5, "@JOAU=$F`_>8").find("form mark \"$\""), std::string::npos);
  EXPECT_EQ(FindOwnerCommandFault(1, "@JOAU=@$F`_>8"), "");
  EXPECT_EQ(FindOwnerCommandFault(5, "@JOAU=root$"), "");
  EXPECT_NE(FindOwnerCommandFault(1, "@JOAU=@a\nb"), "");
}

TEST(CommandRule, HostileClientNamesAreSentAsTheSubstitute) {
  for (const char* name : {"x@HOAD=IC0A80001", "@CNAM=", "x\x1B%-12345X", "a\nPPD: x"}) {
    for (uint16_t mask : {uint16_t{0}, uint16_t{RK_CHARSET_NO_CHECK}}) {
      const HandedText handed{name, 0};
      const CheckedCommand checked = MakeClientNameCommand(1, mask, &handed, Facts(1252));
      EXPECT_EQ(checked.outcome.command, "@CNAM=UnknownHost") << name;
      EXPECT_NE(Joined(checked.notices).find("\"UnknownHost\""), std::string::npos) << name;
      ExpectOneLineEach(checked.notices);
    }
  }
}

TEST(CommandRule, CommandsWithoutCallerTextAreLeftOutWhenTheyBreakIt) {
  Outcome bad;
  bad.delivered = true;
  bad.command = "@NLPP=1\n@JOAU=@root";
  const CheckedCommand checked = CheckCommand("@NLPP=", bad);
  EXPECT_FALSE(checked.outcome.delivered);
  EXPECT_EQ(checked.outcome.command, "");
  ASSERT_EQ(checked.notices.size(), 1u);
  EXPECT_NE(checked.notices[0].find("@NLPP= left out"), std::string::npos);
  EXPECT_TRUE(CheckCommand("@NLPP=", CallNup(2, 64)).outcome.delivered);
}

// Text from a job is refused before any call where the library could not
// take it as it is.
TEST(JobText, RefusedWhereTheLibraryCouldNotTakeItAsItIs) {
  struct Case {
    std::string utf8;
    const char* notice;  // a part of the notices, or "" for text handed over
  } const cases[] = {
      {"ann", ""},
      {"", "is empty or holds a NUL byte"},
      {std::string("ann\0@JOAU=@root", 15), "is empty or holds a NUL byte"},
      {"\xFF\xFE"
       "ann",
       "invalid UTF-8 at byte offset 0"},
      {"ann\xE3\x82", "invalid UTF-8 at byte offset 3"},
  };
  for (const Case& c : cases) {
    std::vector<std::string> notices;
    const HandedText handed =
        HandOverJobText(c.utf8, 1252, "@JOAU=", "user", rk::kUnknownUser, &notices);
    ExpectOneLineEach(notices);
    if (*c.notice == '\0') {
      EXPECT_TRUE(notices.empty()) << Joined(notices);
      EXPECT_EQ(handed.bytes, c.utf8);
      continue;
    }
    EXPECT_NE(Joined(notices).find(c.notice), std::string::npos) << Joined(notices);
    EXPECT_NE(Joined(notices).find("\"UnknownUser\" was sent in its place"), std::string::npos);
    EXPECT_EQ(handed.bytes, rk::kUnknownUser);
  }
}

// What the warnings say was sent, against what the library did.
TEST(ChangeNotices, SayWhatWasSentInPlaceOfWhat) {
  const std::string long_name(40, 'a');
  struct Case {
    uint16_t code_type;
    uint16_t mask;
    std::string owner;
    size_t unmapped;
    const char* expected;  // a part of the notices, or "" for none
  } const cases[] = {
      {1, 0, "guest1", 0, ""},
      {3, 0, "guest1", 0, ""},
      {1, 0, long_name, 0, "31 of its 40 bytes were sent"},
      {2, 0, long_name, 0, "24 of its 40 bytes were sent"},
      {3, 0, long_name, 0, "24 of its 40 bytes were sent"},
      {5, 0, long_name, 0, ""},
      {5, 0, std::string(70, 'b'), 0, "63 of its 70 bytes were sent"},
      {1, 0, "tab\tuser", 0, "\"tab\\x09user\" was refused"},
      {2, 0, "   ", 0, "was refused"},
      {1, 0, "", 0, "was refused"},
      {1, RK_CHARSET_ASCII, "caf\xE9", 0, "was refused"},
      // The character test reads only what the cut keeps.
      {1, 0, long_name + "\t", 0, "31 of its 41 bytes were sent"},
      {1, 0, "a?b", 1, "1 character(s) of the owner have no form in the code page"},
      {1, RK_CHARSET_NO_CHECK, long_name, 0, ""},
  };
  for (const Case& c : cases) {
    const OwnerRequest request = Owner(c.code_type, c.owner, c.mask);
    const Outcome outcome = CallOwner(request, 128);
    ASSERT_TRUE(outcome.delivered) << c.owner;
    const std::string notices =
        Joined(DescribeOwnerChanges(request, HandedText{c.owner, c.unmapped}, outcome));
    if (*c.expected == '\0') {
      EXPECT_EQ(notices, "") << c.code_type << " " << c.owner;
    } else {
      EXPECT_NE(notices.find(c.expected), std::string::npos)
          << c.code_type << " " << c.owner << ": " << notices;
    }
  }
}

// A '?' the code page made may be past the cut: the warning says the
// characters became '?', and that they were sent only when nothing was cut.
TEST(ChangeNotices, UnmappedCharactersAreSaidToBeSentOnlyWhenNothingWasCut) {
  const std::string long_name(40, 'a');
  struct Case {
    std::string owner;
    const char* said;
    const char* not_said;
  } const cases[] = {
      {"a?b", "1 character(s) of the owner have no form in the code page and were sent as \"?\"",
       "cut"},
      {long_name + "?", "have no form in the code page and became \"?\" before the cut",
       "were sent as"},
      {"?" + long_name, "have no form in the code page and became \"?\" before the cut",
       "were sent as"},
  };
  for (const Case& c : cases) {
    const OwnerRequest request = Owner(1, c.owner, 0);
    const CheckedCommand checked =
        MakeOwnerCommand(SettingsOf(request), HandedText{c.owner, 1}, Facts(1252));
    ASSERT_TRUE(checked.outcome.delivered) << c.owner;
    const std::string notices = Joined(checked.notices);
    EXPECT_NE(notices.find(c.said), std::string::npos) << c.owner << ": " << notices;
    EXPECT_EQ(notices.find(c.not_said), std::string::npos) << c.owner << ": " << notices;
  }
}

TEST(ChangeNotices, CountTheOwnerBytesBesideAnAddressPart) {
  for (uint16_t code_type : {uint16_t{4}, uint16_t{255}}) {
    for (const char* address : {"~C0A80001", "10.0.0.1", ""}) {
      OwnerRequest request = Owner(code_type, std::string(20, 'z'), 0);
      request.has_address = true;
      request.address = address;
      const Outcome outcome = CallOwner(request, 128);
      ASSERT_TRUE(outcome.delivered) << code_type << " " << address;
      EXPECT_NE(Joined(DescribeOwnerChanges(request, HandedText{std::string(20, 'z'), 0}, outcome))
                    .find("15 of its 20 bytes were sent"),
                std::string::npos)
          << code_type << " " << address;
    }
  }
}

TEST(ChangeNotices, ClientNamesAreCutAndRefusedLikeOwners) {
  struct Case {
    std::string name;
    const char* expected;
  } const cases[] = {
      {"PC01", ""},
      {std::string(40, 'n'), "31 of its 40 bytes were sent"},
      {"a b\tc", "\"UnknownHost\" was sent in its place"},
  };
  for (const Case& c : cases) {
    ClientNameRequest request;
    request.name = CallerText{true, false, c.name, {}};
    const Outcome outcome = CallClientName(request, 128);
    ASSERT_TRUE(outcome.delivered) << c.name;
    const std::string notices =
        Joined(DescribeClientNameChanges(request, HandedText{c.name, 0}, outcome));
    if (*c.expected == '\0') {
      EXPECT_EQ(notices, "") << c.name;
    } else {
      EXPECT_NE(notices.find(c.expected), std::string::npos) << c.name << ": " << notices;
    }
  }
}

#ifndef _WIN32
// A job's owner composed for a printer's code page is the command the
// exports give a process in that code page, and the notice counts the bytes
// the cut kept: one short of the limit where it would split a character.
TEST(JobCommands, OwnersAreTheExportsCommandsForThePrintersCodePage) {
  const std::string kana = "\x83\x51";  // one double-byte character in 932
  std::string japanese;
  for (int i = 0; i < 20; ++i) japanese += kana;
  struct Case {
    unsigned code_page;
    uint16_t code_type;
    std::string owner;
    const char* notice;  // a part of the notices, or "" for none
  } const cases[] = {
      {932, 1, japanese, "30 of its 40 bytes were sent"},
      {932, 2, "a" + japanese, "23 of its 41 bytes were sent"},
      {1252, 2, "a" + japanese, "24 of its 41 bytes were sent"},
      {932, 5, japanese, ""},
      {1252, 1, "guest1", ""},
      {932, 4, "guest1", ""},
  };
  const char* saved = std::getenv("RKVTPS32_ACP");
  const std::string before = saved != nullptr ? saved : "";
  for (const Case& c : cases) {
    setenv("RKVTPS32_ACP", std::to_string(c.code_page).c_str(), 1);
    OwnerRequest request = Owner(c.code_type, c.owner, 0);
    request.has_address = c.code_type == 4;
    request.address = "~C0A80001";
    const CheckedCommand checked =
        MakeOwnerCommand(SettingsOf(request), HandedText{c.owner, 0}, Facts(c.code_page));
    const Outcome exported = CallOwner(request, 128);
    ASSERT_TRUE(checked.outcome.delivered) << c.code_page << " " << c.code_type;
    EXPECT_EQ(checked.outcome.command, exported.command) << c.code_page << " " << c.code_type;
    EXPECT_EQ(checked.outcome.status, exported.status) << c.code_page << " " << c.code_type;
    const std::string notices = Joined(checked.notices);
    if (*c.notice == '\0') {
      EXPECT_EQ(notices, "") << c.code_page << " " << c.code_type;
    } else {
      EXPECT_NE(notices.find(c.notice), std::string::npos) << checked.outcome.command << notices;
    }
  }
  if (saved != nullptr) {
    setenv("RKVTPS32_ACP", before.c_str(), 1);
  } else {
    unsetenv("RKVTPS32_ACP");
  }
}

// A job from this machine names the computer as the export does.
TEST(JobCommands, TheComputersOwnNameIsTheExportsWithoutAName) {
  const PrinterFacts system(1252);
  const CheckedCommand checked = MakeClientNameCommand(1, 0, nullptr, system);
  const Outcome exported = CallClientName(ClientNameRequest{}, 128);
  EXPECT_EQ(checked.outcome.delivered, exported.delivered);
  EXPECT_EQ(checked.outcome.command, exported.command);
  EXPECT_TRUE(checked.notices.empty());
}
#endif

#ifndef _WIN32
TEST(JobClient, EveryFormThePrintServerWrites) {
  struct Case {
    const char* host;
    bool local;
    const char* address;
    const char* name;
  } const cases[] = {
      {"", true, "", ""},
      {"localhost", true, "", ""},
      {"127.0.0.1", true, "127.0.0.1", "127.0.0.1"},
      {"127.8.9.10", true, "127.8.9.10", "127.8.9.10"},
      {"::1", true, "::1", "::1"},
      {"[v1.::1]", true, "::1", "::1"},
      {"::ffff:127.0.0.1", true, "127.0.0.1", "127.0.0.1"},
      {"[v1.::ffff:127.0.0.1]", true, "127.0.0.1", "127.0.0.1"},
      {"192.0.2.7", false, "192.0.2.7", "192.0.2.7"},
      {"::ffff:192.0.2.7", false, "192.0.2.7", "192.0.2.7"},
      {"[v1.fd00::10]", false, "fd00::10", "fd00::10"},
      {"[v1.FD00:0:0::10]", false, "fd00::10", "fd00::10"},
      {"[v1.fe80::1+eth0]", false, "fe80::1", "fe80::1"},
      {"fe80::1%eth0", false, "fe80::1", "fe80::1"},
      {"[2001:db8::7]", false, "2001:db8::7", "2001:db8::7"},
      {"laptop-ann.example", false, "", "laptop-ann.example"},
      {"[v1.not-an-address]", false, "", "[v1.not-an-address]"},
      {"x@HOAD=IC0A80001", false, "", "x@HOAD=IC0A80001"},
      {"192.0.2.7\n", false, "", "192.0.2.7\n"},
  };
  for (const Case& c : cases) {
    const JobClient client = IdentifyJobClient(c.host);
    EXPECT_EQ(client.local, c.local) << c.host;
    if (c.local) continue;  // this machine's own name and address are sent
    EXPECT_EQ(client.address, c.address) << c.host;
    EXPECT_EQ(client.name, c.name) << c.host;
  }
}
#endif

TEST(JobText, KeptAsOneLineOfUtf8WithItsControlsEscaped) {
  struct Case {
    const char* name;
    std::string text;
    size_t most;
    std::string kept;
  } const cases[] = {
      {"plain", "report.pdf", 255, "report.pdf"},
      {"empty", "", 255, ""},
      {"UTF-8 in any script",
       "\xE8\xAB\x8B\xE6\xB1\x82\xE6\x9B\xB8 \xC3\xA9t\xC3\xA9 \xF0\x9F\x96\xA8", 255,
       "\xE8\xAB\x8B\xE6\xB1\x82\xE6\x9B\xB8 \xC3\xA9t\xC3\xA9 \xF0\x9F\x96\xA8"},
      {"backslash kept", "C:\\docs\\a.txt", 255, "C:\\docs\\a.txt"},
      {"ESC sequence",
       "a\x1B]0;pwned\x07"
       "b",
       255, "a\\x1B]0;pwned\\x07b"},
      {"line breaks", "one\r\ntwo\nthree", 255, "one\\x0D\\x0Atwo\\x0Athree"},
      {"tab and DEL", "a\tb\x7F", 255, "a\\x09b\\x7F"},
      {"C1 CSI, as UTF-8",
       "a\xC2\x9B"
       "2Jb",
       255, "a\\xC2\\x9B2Jb"},
      {"no-break space is no control",
       "a\xC2\xA0"
       "b",
       255,
       "a\xC2\xA0"
       "b"},
      {"lone C1 byte",
       "a\x9B"
       "b",
       255, "a\\x9Bb"},
      {"Latin-1, not UTF-8", "caf\xE9", 255, "caf\\xE9"},
      {"overlong slash", "\xC0\xAF", 255, "\\xC0\\xAF"},
      {"surrogate", "\xED\xA0\x80", 255, "\\xED\\xA0\\x80"},
      {"past U+10FFFF", "\xF4\x90\x80\x80", 255, "\\xF4\\x90\\x80\\x80"},
      {"cut short", "ab\xE3\x81", 255, "ab\\xE3\\x81"},
      {"cut at the limit", std::string(300, 'x'), 255, std::string(255, 'x')},
      {"no escape split", "abc\x1B", 5, "abc"},
      {"no character split", "ab\xE3\x81\x82", 4, "ab"},
      {"escapes fill the limit", std::string(100, '\n'), 255,
       [] {
         std::string all;
         for (int i = 0; i < 63; ++i) all += "\\x0A";
         return all;
       }()},
  };
  for (const Case& c : cases) {
    const std::string kept = EscapeJobText(c.text, c.most);
    EXPECT_EQ(kept, c.kept) << c.name;
    EXPECT_LE(kept.size(), c.most) << c.name;
    EXPECT_EQ(EscapeJobText(kept, c.most), kept) << c.name << ": escaped again";
    ExpectOneLineEach({kept});
  }
}

#ifndef _WIN32
TEST(ClientRecord, ReadsOnlyWhatItWrites) {
  struct Case {
    const char* name;
    std::string record;
    bool read;
    bool local;
    const char* address;
  } const cases[] = {
      {"this machine", "local\n", true, true, ""},
      {"IPv4", "192.0.2.20\n", true, false, "192.0.2.20"},
      {"IPv6", "2001:db8::7\n", true, false, "2001:db8::7"},
      {"link-local", "fe80::1\n", true, false, "fe80::1"},
      {"no line feed", "192.0.2.20", false, false, ""},
      {"empty", "", false, false, ""},
      {"line feed alone", "\n", false, false, ""},
      {"two lines", "192.0.2.20\n192.0.2.21\n", false, false, ""},
      {"CR LF", "192.0.2.20\r\n", false, false, ""},
      {"blank before", " 192.0.2.20\n", false, false, ""},
      {"NUL inside", std::string("192.0.2.20\0x\n", 13), false, false, ""},
      {"upper-case IPv6", "2001:DB8::7\n", false, false, ""},
      {"long IPv6 form", "2001:db8:0:0:0:0:0:7\n", false, false, ""},
      {"IPv4 as IPv6", "::ffff:192.0.2.20\n", false, false, ""},
      {"URI form", "[v1.fd00::10]\n", false, false, ""},
      {"zone", "fe80::1%eth0\n", false, false, ""},
      {"leading zero", "192.0.2.020\n", false, false, ""},
      {"loopback", "127.0.0.1\n", false, false, ""},
      {"IPv6 loopback", "::1\n", false, false, ""},
      {"unspecified", "0.0.0.0\n", false, false, ""},
      {"IPv6 unspecified", "::\n", false, false, ""},
      {"a name", "laptop-ann.example\n", false, false, ""},
      {"another word", "Local\n", false, false, ""},
      {"command", "x@HOAD=IC0A80001\n", false, false, ""},
      {"escape", "\x1B[2J\n", false, false, ""},
      {"huge", std::string(5000, '1') + "\n", false, false, ""},
  };
  for (const Case& c : cases) {
    JobClient client;
    client.name = "untouched";
    EXPECT_EQ(ParseClientRecord(c.record, &client), c.read) << c.name;
    if (!c.read) {
      EXPECT_EQ(client.name, "untouched") << c.name;
      continue;
    }
    EXPECT_EQ(client.local, c.local) << c.name;
    EXPECT_EQ(client.address, c.address) << c.name;
    EXPECT_EQ(FormatClientRecord(client), c.record) << c.name << ": written back";
  }
}

TEST(ClientRecord, EveryConnectionItRecordsReadsBack) {
  for (const char* host :
       {"localhost", "192.0.2.20", "[v1.fd00::10]", "::ffff:198.51.100.4", "[v1.FE80:0::1+eth0]"}) {
    const JobClient written = IdentifyJobClient(host);
    JobClient read;
    ASSERT_TRUE(ParseClientRecord(FormatClientRecord(written), &read)) << host;
    EXPECT_EQ(read.local, written.local) << host;
    EXPECT_EQ(read.address, written.address) << host;
  }
}

TEST(JobClient, ANamedClientIsNeverThisMachine) {
  struct Case {
    std::string host;
    bool used;
    const char* address;
    const char* name;
    const char* why;
  } const cases[] = {
      {"192.0.2.7", true, "192.0.2.7", "192.0.2.7", ""},
      {"[v1.fd00::10]", true, "fd00::10", "fd00::10", ""},
      {"::ffff:192.0.2.7", true, "192.0.2.7", "192.0.2.7", ""},
      {"laptop-ann.example", true, "", "laptop-ann.example", ""},
      {"PC_01", true, "", "PC_01", ""},
      {"", false, "", "", "empty"},
      {"localhost", false, "", "", "this machine"},
      {"127.0.0.1", false, "", "", "this machine"},
      {"127.1.2.3", false, "", "", "this machine"},
      {"::1", false, "", "", "this machine"},
      {"[v1.::1]", false, "", "", "this machine"},
      {"::ffff:127.0.0.1", false, "", "", "this machine"},
      {"[v1.::ffff:127.0.0.1]", false, "", "", "this machine"},
      {"0.0.0.0", false, "", "", "unspecified"},
      {"::", false, "", "", "unspecified"},
      {"x@HOAD=IC0A80001", false, "", "", "neither"},
      {"pc\\x1B[2J", false, "", "", "neither"},
      {"pc\n", false, "", "", "neither"},
      {"two words", false, "", "", "neither"},
      {std::string(256, 'a'), false, "", "", "neither"},
  };
  for (const Case& c : cases) {
    JobClient client;
    client.name = "untouched";
    std::string why;
    EXPECT_EQ(IdentifyNamedJobClient(c.host, &client, &why), c.used) << c.host;
    if (c.used) {
      EXPECT_FALSE(client.local) << c.host;
      EXPECT_EQ(client.address, c.address) << c.host;
      EXPECT_EQ(client.name, c.name) << c.host;
    } else {
      EXPECT_EQ(client.name, "untouched") << c.host;
      EXPECT_NE(why.find(c.why), std::string::npos) << c.host << ": " << why;
    }
  }
}
#endif

}  // namespace
