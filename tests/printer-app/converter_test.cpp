// The converter on small system programs: what it copies, what it logs,
// how each kind of end is told, and that no process outlives it.
#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "converter.h"

namespace {

constexpr unsigned long long kMiB = 1024ULL * 1024;

struct Outcome {
  std::string output;
  std::vector<std::string> lines;
  std::string error;
  bool started = false;
  bool finished = false;
  pid_t pid = -1;
};

// The processes of group `group` still alive (a killed one may stay a
// zombie for a while, or for good where nothing reaps orphans).
int LivingMembers(pid_t group) {
  int living = 0;
  DIR* proc = opendir("/proc");
  if (proc == nullptr) return -1;
  while (dirent* entry = readdir(proc)) {
    std::ifstream stat(std::string("/proc/") + entry->d_name + "/stat");
    std::string line;
    if (!std::getline(stat, line)) continue;
    // pid (comm) state ppid pgrp ...: comm may hold anything but ") ".
    const size_t end = line.rfind(") ");
    if (end == std::string::npos) continue;
    std::istringstream fields(line.substr(end + 2));
    char state = 0;
    long parent = 0, pgrp = 0;
    fields >> state >> parent >> pgrp;
    if (pgrp == group && state != 'Z' && state != 'X') ++living;
  }
  closedir(proc);
  return living;
}

// True when nothing of the program's process group lives on, and the test
// has no child left to reap.
bool NothingLeft(pid_t pid) {
  const bool no_child = waitpid(-1, nullptr, WNOHANG) < 0 && errno == ECHILD;
  if (pid <= 0) return no_child;
  // SIGKILL is sent, not yet delivered: a moment to act on it.
  for (int i = 0; i < 50 && LivingMembers(pid) != 0; ++i) usleep(20000);
  return no_child && LivingMembers(pid) == 0;
}

Outcome RunProgram(
    const std::vector<std::string>& argv, const std::string& input = "",
    ConverterLimits limits = {10, 512 * kMiB},
    std::function<bool()> cancelled = [] { return false; }, ByteSink sink = nullptr) {
  Outcome run;
  Converter converter(limits);
  if (!sink) {
    sink = [&run](const char* data, size_t size) {
      run.output.append(data, size);
      return true;
    };
  }
  run.started = converter.Start(
      argv, !input.empty(), sink, [&run](const std::string& line) { run.lines.push_back(line); },
      cancelled, &run.error);
  run.pid = converter.pid();
  if (!run.started) return run;
  // In pieces, as a raster writer feeds it.
  for (size_t at = 0; at < input.size(); at += 100000) {
    if (!converter.Feed(input.data() + at, std::min<size_t>(100000, input.size() - at))) break;
  }
  run.finished = converter.Finish(&run.error);
  return run;
}

TEST(Converter, CopiesMoreThanAPipeHoldsBothWays) {
  std::string input;
  for (int i = 0; input.size() < 3 * kMiB; ++i) input += std::to_string(i) + '\n';
  const Outcome run = RunProgram({"/bin/cat"}, input);
  EXPECT_TRUE(run.finished) << run.error;
  EXPECT_EQ(run.output.size(), input.size());
  EXPECT_TRUE(run.output == input) << "the copy differs";
  EXPECT_TRUE(NothingLeft(run.pid));
}

TEST(Converter, WithoutInputReadsNothing) {
  const Outcome run = RunProgram({"/bin/cat"});
  EXPECT_TRUE(run.finished) << run.error;
  EXPECT_EQ(run.output, "");
  EXPECT_TRUE(NothingLeft(run.pid));
}

TEST(Converter, MessagesAreLoggedALineEachEscaped) {
  const Outcome run = RunProgram(
      {"/bin/sh", "-c", "printf 'one\\n\\033[2Jtwo\\r\\n\\n  \\nthree' >&2; printf out"});
  EXPECT_TRUE(run.finished) << run.error;
  EXPECT_EQ(run.output, "out");
  const std::vector<std::string> expected = {"one", "\\x1B[2Jtwo\\x0D", "three"};
  EXPECT_EQ(run.lines, expected);
  EXPECT_TRUE(NothingLeft(run.pid));
}

TEST(Converter, ANonZeroExitSaysItsStatusAndLastMessage) {
  const Outcome run =
      RunProgram({"/bin/sh", "-c", "echo first >&2; echo 'bad \033 thing' >&2; exit 3"});
  EXPECT_FALSE(run.finished);
  EXPECT_NE(run.error.find("sh failed with exit status 3"), std::string::npos) << run.error;
  EXPECT_NE(run.error.find("bad \\x1B thing"), std::string::npos) << run.error;
  EXPECT_TRUE(NothingLeft(run.pid));
}

TEST(Converter, AMissingProgramIsNotStarted) {
  const Outcome run = RunProgram({"/nonexistent/program", "x"});
  EXPECT_FALSE(run.started);
  EXPECT_NE(run.error.find("cannot run /nonexistent/program: No such file or directory"),
            std::string::npos)
      << run.error;
  EXPECT_TRUE(NothingLeft(-1));
  const Outcome relative = RunProgram({"cat"});
  EXPECT_FALSE(relative.started);
  EXPECT_NE(relative.error.find("absolute path"), std::string::npos) << relative.error;
}

TEST(Converter, TheCpuLimitStopsALoop) {
  const Outcome run = RunProgram({"/bin/sh", "-c", "while :; do :; done"}, "", {1, 512 * kMiB});
  EXPECT_FALSE(run.finished);
  EXPECT_NE(run.error.find("used up its 1 seconds of CPU time"), std::string::npos) << run.error;
  EXPECT_TRUE(NothingLeft(run.pid));
}

TEST(Converter, TheMemoryLimitStopsAGreedyProgram) {
  if (access("/usr/bin/python3", X_OK) != 0) GTEST_SKIP() << "no /usr/bin/python3 to allocate";
  const Outcome run = RunProgram({"/usr/bin/python3", "-c", "b = bytearray(400 * 1024 * 1024)"}, "",
                                 {10, 128 * kMiB});
  EXPECT_FALSE(run.finished);
  EXPECT_NE(run.error.find("MemoryError"), std::string::npos) << run.error;
  EXPECT_TRUE(NothingLeft(run.pid));
  // The same program under a limit it fits in.
  const Outcome fits = RunProgram({"/usr/bin/python3", "-c", "b = bytearray(4 * 1024 * 1024)"}, "",
                                  {10, 512 * kMiB});
  EXPECT_TRUE(fits.finished) << fits.error;
}

TEST(Converter, ACancelledJobKillsTheWholeGroup) {
  const auto start = std::chrono::steady_clock::now();
  const auto cancelled = [start] {
    return std::chrono::steady_clock::now() - start > std::chrono::milliseconds(300);
  };
  // The shell's own child holds the output open too: it must die with it.
  const Outcome run =
      RunProgram({"/bin/sh", "-c", "sleep 60 & sleep 60"}, "", {10, 512 * kMiB}, cancelled);
  EXPECT_FALSE(run.finished);
  EXPECT_NE(run.error.find("cancelled"), std::string::npos) << run.error;
  EXPECT_TRUE(NothingLeft(run.pid));
}

TEST(Converter, ACancelWhileFeedingStopsTheFeed) {
  bool cancel = false;
  Converter converter({10, 512 * kMiB});
  std::string error;
  ASSERT_TRUE(converter.Start(
      {"/bin/sleep", "60"}, true, [](const char*, size_t) { return true; },
      [](const std::string&) {}, [&cancel] { return cancel; }, &error));
  const pid_t pid = converter.pid();
  // sleep reads nothing: the pipe fills, and only the cancel ends the feed.
  const std::string block(1 << 20, 'x');
  cancel = true;
  EXPECT_FALSE(converter.Feed(block.data(), block.size()));
  EXPECT_FALSE(converter.Finish(&error));
  EXPECT_TRUE(converter.was_cancelled());
  EXPECT_TRUE(NothingLeft(pid));
}

TEST(Converter, ASinkThatRefusesStopsTheProgram) {
  int calls = 0;
  const Outcome run = RunProgram(
      {"/bin/cat", "/dev/zero"}, "", {10, 512 * kMiB}, [] { return false; },
      [&calls](const char*, size_t) { return ++calls < 3; });
  EXPECT_FALSE(run.finished);
  EXPECT_EQ(calls, 3) << "nothing more after the refusal";
  EXPECT_EQ(run.error, "the device stopped taking data");
  EXPECT_TRUE(NothingLeft(run.pid));
}

TEST(Converter, AProgramThatStopsReadingEndsTheFeed) {
  Converter converter({10, 512 * kMiB});
  std::string error;
  ASSERT_TRUE(converter.Start(
      {"/bin/sh", "-c", "echo gave up >&2; exit 2"}, true, [](const char*, size_t) { return true; },
      [](const std::string&) {}, [] { return false; }, &error));
  const pid_t pid = converter.pid();
  const std::string block(1 << 20, 'x');
  bool fed = true;
  for (int i = 0; i < 8 && fed; ++i) fed = converter.Feed(block.data(), block.size());
  EXPECT_FALSE(fed);
  EXPECT_FALSE(converter.Finish(&error));
  EXPECT_NE(error.find("exit status 2; its last message: \"gave up\""), std::string::npos) << error;
  EXPECT_TRUE(NothingLeft(pid));
}

TEST(Converter, TheProgramInheritsOnlyItsThreeStreams) {
  // A descriptor of the application's, not close-on-exec (as a device or
  // a spool file might be), well above the three.
  const int open_fd = open("/dev/null", O_RDONLY);
  ASSERT_GE(open_fd, 0);
  ASSERT_EQ(dup2(open_fd, 50), 50);
  close(open_fd);
  const Outcome run = RunProgram({"/bin/ls", "/proc/self/fd"});
  close(50);
  EXPECT_TRUE(run.finished) << run.error;
  std::istringstream lines(run.output);
  std::set<std::string> fds;
  for (std::string line; std::getline(lines, line);) fds.insert(line);
  // ls's own descriptor of the folder it lists is the one more.
  EXPECT_LE(fds.size(), 4u) << run.output;
  for (const char* fd : {"0", "1", "2"}) EXPECT_EQ(fds.count(fd), 1u) << run.output;
  EXPECT_EQ(fds.count("50"), 0u) << run.output;
}

TEST(Converter, TheEnvironmentIsOnlyWhatItIsGiven) {
  setenv("RKVTPS_CONVERTER_TEST_SECRET", "leak", 1);
  const Outcome plain = RunProgram({"/usr/bin/env"});
  EXPECT_EQ(plain.output, "PATH=/usr/bin:/bin\n");
  Outcome given;
  Converter converter({10, 512 * kMiB}, {"TMPDIR=/spool/job", "PATH=/bin"});
  ASSERT_TRUE(converter.Start(
      {"/usr/bin/env"}, false,
      [&given](const char* data, size_t size) {
        given.output.append(data, size);
        return true;
      },
      nullptr, nullptr, &given.error));
  EXPECT_TRUE(converter.Finish(&given.error)) << given.error;
  EXPECT_EQ(given.output, "TMPDIR=/spool/job\nPATH=/bin\n");
}

TEST(GhostscriptArguments, SafeQuietToStandardOutputWithTheInputLast) {
  struct Case {
    const char* format;
    bool color;
    const char* device;
  } const cases[] = {
      {"application/pdf", false, "-sDEVICE=pdfwrite"},
      {"application/postscript", true, "-sDEVICE=ps2write"},
      {"application/vnd.hp-pclxl", false, "-sDEVICE=pxlmono"},
      {"application/vnd.hp-pclxl", true, "-sDEVICE=pxlcolor"},
      {"application/vnd.hp-PCL", true, "-sDEVICE=ljet4"},
      {"image/pwg-raster", true, "-sDEVICE=pwgraster"},
  };
  for (const Case& c : cases) {
    const std::vector<std::string> arguments =
        GhostscriptArguments(*FindDeviceLanguage(c.format), c.color, 600, "/spool/-d.pdf");
    const std::set<std::string> set(arguments.begin(), arguments.end());
    EXPECT_EQ(arguments.front(), "/usr/bin/gs");
    for (const char* wanted : {"-dSAFER", "-dBATCH", "-dNOPAUSE", "-dQUIET", "-sstdout=%stderr",
                               "-sOutputFile=%stdout", "-r600", c.device}) {
      EXPECT_EQ(set.count(wanted), 1u) << c.format << " lacks " << wanted;
    }
    ASSERT_GE(arguments.size(), 2u);
    EXPECT_EQ(arguments[arguments.size() - 2], "-f") << "a name could read as an option";
    EXPECT_EQ(arguments.back(), "/spool/-d.pdf");
  }
  const std::vector<std::string> piped =
      GhostscriptArguments(*FindDeviceLanguage("application/pdf"), false, 300, "-");
  EXPECT_EQ(piped.back(), "-");
  for (const std::string& argument : piped) {
    EXPECT_EQ(argument.find("POINTS"), std::string::npos) << "a page size nobody asked for";
  }
  // A4 for pages that ask for no size; never fixed, so a PDF keeps its own.
  const std::vector<std::string> a4 = GhostscriptArguments(
      *FindDeviceLanguage("application/postscript"), false, 300, "/spool/doc.ps", 595, 841);
  const std::set<std::string> a4_set(a4.begin(), a4.end());
  EXPECT_EQ(a4_set.count("-dDEVICEWIDTHPOINTS=595"), 1u);
  EXPECT_EQ(a4_set.count("-dDEVICEHEIGHTPOINTS=841"), 1u);
  EXPECT_EQ(a4_set.count("-dFIXEDMEDIA"), 0u);
  EXPECT_EQ(a4.back(), "/spool/doc.ps");
}

}  // namespace
