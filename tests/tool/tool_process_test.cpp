// The rkvtps program as a user meets it: arguments in, exit status, standard
// output and standard error out, with JSON parsed and held to the bytes.
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <nlohmann/json.hpp>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "command_facts.h"
#include "rkvtps32.h"

namespace {

using nlohmann::json;

struct ToolRun {
  int status = -1;
  std::string out;
  std::string err;
};

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

std::string TempPath(const char* what) {
  return ::testing::TempDir() + "rkvtps_" + std::to_string(getpid()) + "_" + what;
}

// Runs `command` (a program's path and its arguments) with `input` on
// standard input and the environment variables `environment`
// ("NAME=value") added. `out_path` replaces the captured standard output
// (/dev/full, say).
ToolRun RunProcess(const std::vector<std::string>& command, const std::string& input = "",
                   const std::vector<std::string>& environment = {},
                   const char* out_path = nullptr) {
  const std::string in_file = TempPath("in"), out_file = TempPath("out"),
                    err_file = TempPath("err");
  std::ofstream(in_file, std::ios::binary) << input;
  const pid_t child = fork();
  if (child == 0) {
    const int in = open(in_file.c_str(), O_RDONLY);
    const int out =
        open(out_path ? out_path : out_file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    const int err = open(err_file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    dup2(in, 0);
    dup2(out, 1);
    dup2(err, 2);
    for (const std::string& variable : environment) putenv(const_cast<char*>(variable.c_str()));
    std::vector<char*> argv;
    for (const std::string& word : command) argv.push_back(const_cast<char*>(word.c_str()));
    argv.push_back(nullptr);
    execv(argv[0], argv.data());
    _exit(127);
  }
  int wait_status = 0;
  waitpid(child, &wait_status, 0);
  ToolRun run;
  run.status = WIFEXITED(wait_status) ? WEXITSTATUS(wait_status) : 128 + WTERMSIG(wait_status);
  if (out_path == nullptr) run.out = ReadFile(out_file);
  run.err = ReadFile(err_file);
  std::remove(in_file.c_str());
  std::remove(out_file.c_str());
  std::remove(err_file.c_str());
  return run;
}

// The tool with `arguments`; `launcher` comes before it (setpriv, to run it
// as another user).
ToolRun RunTool(const std::vector<std::string>& arguments, const std::string& input = "",
                const std::vector<std::string>& environment = {}, const char* out_path = nullptr,
                const std::vector<std::string>& launcher = {}) {
  std::vector<std::string> command = launcher;
  command.push_back(RKVTPS_PROGRAM);
  command.insert(command.end(), arguments.begin(), arguments.end());
  return RunProcess(command, input, environment, out_path);
}

std::string FromHex(const std::string& hex) {
  std::string bytes;
  for (size_t i = 0; i + 1 < hex.size(); i += 2) {
    bytes += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
  }
  return bytes;
}

struct Case {
  const char* what;
  std::vector<std::string> arguments;
  int status;
  const char* out;  // the exact standard output, or null: not checked
  const char* err;  // a regular expression standard error must match
  std::vector<std::string> environment = {};
};

void Check(const Case& c, const std::string& input = "") {
  const ToolRun run = RunTool(c.arguments, input, c.environment);
  EXPECT_EQ(run.status, c.status) << c.what << "\nstderr: " << run.err;
  if (c.out != nullptr) {
    EXPECT_EQ(run.out, c.out) << c.what;
  }
  EXPECT_TRUE(std::regex_search(run.err, std::regex(c.err))) << c.what << "\nstderr: " << run.err;
}

TEST(ToolProcess, TextOutputIsTheCommandsBytes) {
  const Case cases[] = {
      {"backslash as is",
       {"owner", "--code-type", "1", "guest1\\PC01"},
       0,
       "@JOAU=@guest1\\PC01\n",
       "^$"},
      {"escaped on request",
       {"owner", "--escape", "--code-type", "1", "guest1\\PC01"},
       0,
       "@JOAU=@guest1\\x5CPC01\n",
       "^$"},
      {"Shift_JIS bytes of a UTF-8 argument",
       {"owner", "--code-type", "1", "\xE3\x82\xB2"},
       0,
       "@JOAU=@\x83\x51\n",
       "^$",
       {"RKVTPS32_ACP=932"}},
      {"raw bytes unchanged",
       {"owner", "--raw", "--code-type", "1", "--mask", "0xFFFF", "\xE3\x82\xB2"},
       0,
       "@JOAU=@\xE3\x82\xB2\n",
       "^$",
       {"RKVTPS32_ACP=932"}},
      {"Latin-1 byte of a UTF-8 argument",
       {"client-name", "--mask", "0xFFFF", "--name", "caf\xC3\xA9"},
       0,
       "@CNAM=caf\xE9\n",
       "^$",
       {"RKVTPS32_ACP=1252"}},
      {"wide export",
       {"owner", "--wide", "--code-type", "5", "--mask", "0xFFFF", "\xE3\x82\xB2"},
       0,
       "@JOAU=\x83\x51\n",
       "^$",
       {"RKVTPS32_ACP=932"}},
      {"decode shows the owner as it is", {"decode", "@JOAU=#CB6@d,F>7#s6SL4"}, 0, nullptr, "^$"},
  };
  for (const Case& c : cases) Check(c);
  const ToolRun decoded = RunTool({"decode", "@JOAU=#CB6@d,F>7#s6SL4"});
  EXPECT_NE(decoded.out.find("owner \"guest1\\PC01\""), std::string::npos) << decoded.out;
}

// Each JSON text field's _hex twin rebuilds the bytes, and the string is
// there exactly when the bytes are UTF-8.
TEST(ToolProcess, JsonRebuildsTheExactBytes) {
  const struct {
    std::vector<std::string> arguments;
    std::string acp;
    std::string command;  // empty: not known beforehand
    bool is_utf8;
    std::string owner;  // what the decoder must find, if an owner
  } cases[] = {
      {{"owner", "--code-type", "1", "guest1\\PC01"},
       "1252",
       "@JOAU=@guest1\\PC01",
       true,
       "guest1\\PC01"},
      {{"owner", "--code-type", "1", "\xE3\x82\xB2\\PC"},
       "932",
       "@JOAU=@\x83\x51\\PC",
       false,
       "\x83\x51\\PC"},
      {{"owner", "--code-type", "5", "--mask", "0xFFFF", "caf\xC3\xA9"},
       "1252",
       "@JOAU=caf\xE9",
       false,
       "caf\xE9"},
      {{"owner", "--code-type", "2", "guest1\\PC01"}, "1252", "", true, "guest1\\PC01"},
      {{"owner", "--code-type", "3", "--mask", "0xFFFF", "\xE3\x82\xB2\\PC"},
       "932",
       "",
       true,
       "\x83\x51\\PC"},
      {{"nup", "--pages", "16"}, "1252", "@NLPP=N16", true, ""},
      {{"host-address", "--address", "fd00::5"},
       "1252",
       "@HOAD=6fd000000000000000000000000000005",
       true,
       ""},
  };
  for (const auto& c : cases) {
    std::vector<std::string> arguments = c.arguments;
    arguments.push_back("--json");
    const ToolRun run = RunTool(arguments, "", {"RKVTPS32_ACP=" + c.acp});
    ASSERT_EQ(run.status, 0) << run.err;
    const json j = json::parse(run.out);
    const std::string bytes = FromHex(j.at("command_hex").get<std::string>());
    if (!c.command.empty()) {
      EXPECT_EQ(bytes, c.command);
    }
    EXPECT_EQ(j.at("size").get<int>(), static_cast<int>(bytes.size()));
    EXPECT_EQ(j.at("command").is_string(), c.is_utf8) << run.out;
    if (c.is_utf8) {
      EXPECT_EQ(j.at("command").get<std::string>(), bytes);
    }

    // The decoder's JSON gives the same bytes back, and the owner's.
    const ToolRun decoded = RunTool({"decode", "--json", "--text", bytes});
    ASSERT_EQ(decoded.status, 0) << decoded.err;
    const json d = json::parse(decoded.out).at("commands").at(0);
    EXPECT_EQ(FromHex(d.at("command_hex").get<std::string>()), bytes);
    EXPECT_EQ(d.at("name").get<std::string>(), bytes.substr(1, 4));
    if (!c.owner.empty()) {
      EXPECT_EQ(FromHex(d.at("owner_hex").get<std::string>()), c.owner);
      // These owners are ASCII or hold bytes that cannot be UTF-8.
      const bool ascii = c.owner.find_first_of("\x83\xE9") == std::string::npos;
      EXPECT_EQ(d.at("owner").is_string(), ascii);
      EXPECT_TRUE(d.at("code_types").is_array());
    }
  }
}

TEST(ToolProcess, ExitStatusSaysWhatWentWrong) {
  const Case cases[] = {
      {"unknown option", {"owner", "--bogus"}, 2, "", "^rkvtps: .*--bogus"},
      {"bad number", {"nup", "x"}, 2, "", "^rkvtps: "},
      {"number out of range", {"owner", "--code-type", "70000", "a"}, 2, "", "^rkvtps: "},
      {"missing argument", {"validate"}, 2, "", "^rkvtps: .*text"},
      {"no command", {}, 2, "", "^rkvtps: "},
      {"no layout for 3 pages", {"nup", "--pages", "3"}, 2, "", "^rkvtps: --pages"},
      {"--wide without a text", {"owner", "--wide"}, 2, "", "^rkvtps: "},
      {"refused selector", {"nup", "14"}, 1, "", "^rkvtps: RK_STATUS_BAD_NUP\n$"},
      {"size query",
       {"nup", "6", "--size", "0"},
       1,
       "",
       "^rkvtps: RK_STATUS_BUFFER_TOO_SMALL \\(size needed: 10\\)\n$"},
      {"refused address",
       {"host-address", "--address", "printserver"},
       1,
       "",
       "^rkvtps: RK_STATUS_BAD_ADDRESS\n$"},
      {"invalid owner text",
       {"validate", "--code-type", "4", "abcdefghijklmnop"},
       1,
       "",
       "^rkvtps: RK_STATUS_TOO_LONG\n$"},
      {"valid owner text", {"validate", "guest1"}, 0, "OK\n", "^$"},
      {"help", {"nup", "--help"}, 0, nullptr, "^$"},
  };
  for (const Case& c : cases) Check(c);
}

TEST(ToolProcess, FileErrorsAreOneLine) {
  const std::string directory = ::testing::TempDir();
  const Case cases[] = {
      {"missing file",
       {"decode", "--file", "/nonexistent/capture"},
       1,
       "",
       "^rkvtps: /nonexistent/capture: No such file or directory\n"},
      {"missing file as argument",
       {"decode", "/nonexistent/capture"},
       1,
       "",
       "^rkvtps: /nonexistent/capture: No such file or directory\n"},
      {"a directory", {"decode", "--file", "/"}, 1, "", "^rkvtps: /: Is a directory\n"},
      {"a read error midway",
       {"decode", "--file", "/proc/self/mem"},
       1,
       "",
       "^rkvtps: /proc/self/mem: Input/output error\n"},
  };
  for (const Case& c : cases) Check(c);

  // The other inputs are still decoded.
  const ToolRun run = RunTool({"decode", "--file", "/nonexistent", "--text", "@NLPP=N4"});
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.out.find("n-up keyword N4"), std::string::npos) << run.out;
}

// Root reads any file, so as root the tool runs as "nobody" for this case.
TEST(ToolProcess, UnreadableFileIsOneLine) {
  const std::string locked = TempPath("locked");
  std::ofstream(locked) << "@NLPP=N4";
  chmod(locked.c_str(), 0);
  std::vector<std::string> launcher;
  if (geteuid() == 0) {
    if (access("/usr/bin/setpriv", X_OK) != 0) {
      std::remove(locked.c_str());
      GTEST_SKIP() << "running as root without setpriv: no user to whom a file is unreadable";
    }
    launcher = {"/usr/bin/setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"};
  }
  const ToolRun run = RunTool({"decode", locked}, "", {}, nullptr, launcher);
  std::remove(locked.c_str());
  EXPECT_EQ(run.status, 1) << run.err;
  EXPECT_EQ(run.err, "rkvtps: " + locked + ": Permission denied\n");
}

TEST(ToolProcess, StandardInputAndFiles) {
  const std::string capture = TempPath("capture");
  std::ofstream(capture, std::ios::binary) << std::string("\x1b%-12345X@NLPP=N2\r\n\0", 19);
  const struct {
    std::vector<std::string> arguments;
    std::string input;
    const char* source;
  } cases[] = {
      {{"decode", "-"}, "@NLPP=N4\n", "standard input: offset 0: @NLPP=N4\n"},
      {{"decode"}, "@NLPP=N4", "standard input: offset 0: @NLPP=N4\n"},
      {{"decode", "--file", "-"}, "x@NLPP=N4", "standard input: offset 1: @NLPP=N4\n"},
      {{"decode", capture}, "", ": offset 9: @NLPP=N2\n"},
      {{"decode", "--file", capture}, "", ": offset 9: @NLPP=N2\n"},
  };
  for (const auto& c : cases) {
    const ToolRun run = RunTool(c.arguments, c.input);
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find(c.source), std::string::npos) << run.out;
  }
  std::remove(capture.c_str());
}

TEST(ToolProcess, DecodeExitStatusFollowsOurCommandsOnly) {
  const struct {
    std::vector<std::string> arguments;
    int status;
    int malformed;
    int ignored;
  } cases[] = {
      {{"decode", "--json", "--text", "@NLPP=N4 @LUFQ=1 @JOAU=@a"}, 0, 0, 1},
      {{"decode", "--json", "--strict", "--text", "@NLPP=N4 @LUFQ=1"}, 1, 1, 0},
      {{"decode", "--json", "--text", "@NLPP=N7"}, 1, 1, 0},
      {{"decode", "--json", "--lenient", "--text", "@NLPP=N7"}, 0, 1, 0},
      {{"decode", "--json", "--text", "nothing here"}, 0, 0, 0},
      {{"decode", "--json", "--strict", "--text", "nothing here"}, 1, 0, 0},
  };
  for (const auto& c : cases) {
    const ToolRun run = RunTool(c.arguments);
    EXPECT_EQ(run.status, c.status) << c.arguments.back();
    const json j = json::parse(run.out);
    EXPECT_EQ(j.at("malformed").get<int>(), c.malformed) << c.arguments.back();
    EXPECT_EQ(j.at("ignored").get<int>(), c.ignored) << c.arguments.back();
  }
}

TEST(ToolProcess, InvalidUtf8IsAUsageErrorNamingTheOffset) {
  const struct {
    std::string text;
    const char* offset;
  } cases[] = {
      {"\xE0\x80\x80"
       "abc",
       "0"},                       // overlong NUL
      {"ab\xF8\x88\x80", "2"},     // no such lead byte
      {"abc\xC0\xAF", "3"},        // overlong "/"
      {"\xED\xA0\x80", "0"},       // a surrogate
      {"x\xF4\x90\x80\x80", "1"},  // above U+10FFFF
      {"guest\xE3\x82", "5"},      // cut short
  };
  for (const auto& c : cases) {
    for (const char* mode : {"--wide", ""}) {
      std::vector<std::string> arguments{"owner", "--code-type", "5", "--mask", "0xFFFF"};
      if (*mode != '\0') arguments.push_back(mode);
      arguments.push_back(c.text);
      const ToolRun run = RunTool(arguments);
      EXPECT_EQ(run.status, 2) << c.offset << mode;
      EXPECT_EQ(run.out, "");
      EXPECT_NE(run.err.find(std::string("invalid UTF-8 at byte offset ") + c.offset),
                std::string::npos)
          << run.err;
    }
  }
}

TEST(ToolProcess, WarnsWhenTheLibraryChangedTheText) {
  const Case cases[] = {
      {"refused character",
       {"owner", "--code-type", "5", "tab\tx"},
       0,
       "@JOAU=UnknownUser\n",
       "^rkvtps: warning: .*\"UnknownUser\""},
      {"cut to the limit",
       {"owner", "--code-type", "1", std::string(100000, 'a')},
       0,
       nullptr,
       "^rkvtps: warning: .*cut.*31 of its 100000 bytes"},
      {"refused client name",
       {"client-name", "--name", "a\tb"},
       0,
       "@CNAM=UnknownHost\n",
       "rkvtps: warning: .*\"UnknownHost\""},
      {"no form in the code page",
       {"owner", "--code-type", "1", "\xE3\x82\xB2"},
       0,
       "@JOAU=@?\n",
       "^rkvtps: warning: OWNER: 1 character.* 1252",
       {"RKVTPS32_ACP=1252"}},
      {"nothing changed", {"owner", "--code-type", "3", "guest1"}, 0, "@JOAU=#CB6@d,F>3\n", "^$"},
      // Nothing cut: what the warnings say comes from the library's size
      // word and the text, not from reading the command back.
      {"a base-85 form that spells a command",
       {"owner", "--code-type", "2", "--mask", "0xFFFF",
        "ann a\xC3\xA6\xC2\xA4\xE2\x80\xB9X\xE2\x80\x94@4/: 0"},
       0,
       "@JOAU=$@;]s*@HOAD=I29000140\n",
       "^rkvtps: warning: the command holds a second command start \"@HOAD=\" at byte 12[^\n]*\n$",
       {"RKVTPS32_ACP=1252"}},
      {"a name that is a command start",
       {"client-name", "--name=@CNAM="},
       0,
       "@CNAM=@CNAM=\n",
       "^rkvtps: warning: the command holds a second command start \"@CNAM=\" at byte 6[^\n]*\n$"},
      {"an owner of code type 5 that reads as another form",
       {"owner", "--code-type", "5", "$F`_>8"},
       0,
       "@JOAU=$F`_>8\n",
       "^rkvtps: warning: the command holds a form mark \"\\$\" at byte 6"},
      {"cut by code type 4 beside an address",
       {"owner", "--code-type", "4", "--address", "~C0A80001", "abcdefghijklmnopqrst"},
       0,
       nullptr,
       "^rkvtps: warning: @JOAU=: the owner \"abcdefghijklmnopqrst\" was cut to the code "
       "type's limit: 15 of its 20 bytes were sent\n$"},
  };
  for (const Case& c : cases) Check(c);
}

TEST(ToolProcess, WriteErrorsFail) {
  for (const std::vector<std::string>& arguments :
       {std::vector<std::string>{"show"}, {"nup", "1"}, {"decode", "--text", "@NLPP=N4"}}) {
    const ToolRun run = RunTool(arguments, "", {}, "/dev/full");
    EXPECT_EQ(run.status, 1) << arguments[0];
    EXPECT_NE(run.err.find("rkvtps: standard output: No space left on device"), std::string::npos)
        << run.err;
  }
}

TEST(ToolProcess, VersionNamesToolAndLoadedLibrary) {
  const ToolRun run = RunTool({"--version"});
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out.rfind(std::string("rkvtps ") + RKVTPS32_VERSION_STRING + "\n", 0), 0u)
      << run.out;
  EXPECT_NE(run.out.find(std::string("library: rkvtps32 ") + RKVTPS32_VERSION_STRING + " ("),
            std::string::npos)
      << run.out;
}

TEST(ToolProcess, HelpTeachesTheTables) {
  const struct {
    const char* command;
    std::vector<const char*> lines;
  } cases[] = {
      {"nup", {"0         1", "12        N32", "13        P3", "--pages"}},
      {"owner", {"255", "'~C0A80001'", "limit"}},
      {"decode", {"--strict", "--lenient"}},
  };
  for (const auto& c : cases) {
    const ToolRun run = RunTool({c.command, "--help"});
    for (const char* line : c.lines) {
      EXPECT_NE(run.out.find(line), std::string::npos) << c.command << ": " << line;
    }
  }
}

std::string Complete(const std::string& words, int index) {
  const std::string script = std::string("source '") + RKVTPS_COMPLETION + "'; COMP_WORDS=(" +
                             words + "); COMP_CWORD=" + std::to_string(index) +
                             "; _rkvtps; echo \"${COMPREPLY[*]}\"";
  return RunProcess({"/bin/bash", "-c", script}).out;
}

// The completion is written by hand: it must offer the facts the library
// acts on, no more and no fewer.
TEST(ToolProcess, BashCompletionOffersTheLibrarysValues) {
  std::string code_types;
  for (const rk::CodeType& type : rk::kCodeTypes) {
    code_types += (code_types.empty() ? "" : " ") + std::to_string(type.code);
  }
  EXPECT_EQ(Complete("rkvtps owner --code-type ''", 3), code_types + "\n");
  EXPECT_EQ(Complete("rkvtps validate --code-type ''", 3), code_types + "\n");

  // Selectors, and the pages a sheet of each layout holds.
  std::string selectors, pages;
  std::vector<int> seen;
  char buffer[32];
  for (uint16_t selector = 0;; ++selector) {
    uint16_t size = sizeof buffer;
    int16_t status = 0;
    if (RKGetVTPSStringOfNup(selector, buffer, &size, &status) != 1) break;
    selectors += (selector == 0 ? "" : " ") + std::to_string(selector);
    // --pages names the "N" layouts (and "1"); the "P" ones only by selector.
    const char* keyword = buffer + rk::kCommandStartLength;
    if (keyword[0] == '1' || keyword[0] == 'N') {
      seen.push_back(std::atoi(keyword[0] == '1' ? keyword : keyword + 1));
    }
  }
  std::sort(seen.begin(), seen.end());
  seen.erase(std::unique(seen.begin(), seen.end()), seen.end());
  for (int count : seen) pages += (pages.empty() ? "" : " ") + std::to_string(count);
  EXPECT_EQ(Complete("rkvtps nup ''", 2), selectors + "\n");
  EXPECT_EQ(Complete("rkvtps nup --pages ''", 3), pages + "\n");
}

TEST(ToolProcess, BashCompletionOffersCommandsAndValues) {
  const struct {
    const char* words;
    int index;
    const char* offered;
  } cases[] = {
      {"rkvtps ow", 1, "owner"},
      {"rkvtps owner --code", 2, "--code-type"},
      {"rkvtps owner --code-type 2", 3, "255"},
      {"rkvtps nup --pages 1", 3, "16"},
  };
  for (const auto& c : cases) {
    const std::string script = std::string("source '") + RKVTPS_COMPLETION + "'; COMP_WORDS=(" +
                               c.words + "); COMP_CWORD=" + std::to_string(c.index) +
                               "; _rkvtps; echo \"${COMPREPLY[*]}\"";
    const std::string offered = RunProcess({"/bin/bash", "-c", script}).out;
    EXPECT_NE((" " + offered).find(std::string(" ") + c.offered), std::string::npos)
        << c.words << " -> " << offered;
  }
}

}  // namespace
