// The test engine's own tests, for what the other suites do not exercise
// through it: the script parser on tricky input, and (POSIX only) the
// program where a fault would let another suite's fault test pass without
// its fault.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "script.h"

namespace {

using testengine::Action;
using testengine::parse_script;
using testengine::Script;

Script parsed(const std::string& text) {
  auto result = parse_script(text);
  EXPECT_TRUE(result.script) << result.error;
  return result.script ? *result.script : Script{};
}

TEST(ScriptText, EscapesGiveTheirBytesAndTextIsKeptVerbatimAfterOneBlank) {
  auto s = parsed("at start\n  sendraw a\\r\\n\\0\\t\\a\\\\b\\x7f\\x00\n");
  ASSERT_EQ(s.start.size(), 1u);
  EXPECT_EQ(s.start[0].text, std::string("a\r\n\0\t\a\\b\x7f\0", 10));
  // Blanks after the first one and at the end belong to the text; a CR before
  // the script's own line feed does not. Placeholders are kept for printing.
  s = parsed("at start\r\n send   two  \r\n\tsend\r\n  send $$ $d $c $n $0 $9\n");
  ASSERT_EQ(s.start.size(), 3u);
  EXPECT_EQ(s.start[0].text, "  two  ");
  EXPECT_EQ(s.start[1].text, "");
  EXPECT_EQ(s.start[2].text, "$$ $d $c $n $0 $9");
}

TEST(ScriptText, MistakesAreRefusedWithTheirLine) {
  const std::pair<const char*, const char*> cases[] = {
      {"at start\nsend a\\q\n", "line 2: unknown escape \\q"},
      {"at start\nsend \\xg0\n", "line 2: \\x needs two hexadecimal digits"},
      // An escape cannot smuggle in a placeholder that is not one.
      {"at start\nsend \\x24q\n", "line 2: unknown placeholder $q"},
      {"at start\nsend 5$\n", "line 2: a $ ends the text (write $$ for one dollar sign)"},
      // A setting ends the block before it.
      {"at start\nmoves e2e4\nsend x\n", "line 3: 'send' outside a block (start one with 'at' or 'on')"},
      {"\n#\nat start\n  shout x\n", "line 4: unknown keyword 'shout'"},
      {"at start\nthink three 100 $d\n", "line 2: count 'three' is not a number"},
      {"at start\nsleep 99999999999999999999\n", "line 2: delay '99999999999999999999' is not a number"},
      {"at start\nexit 256\n", "line 2: exit code 256 is larger than 255"},
      {"at start\nflood 100 a\\nb\n", "line 2: the line of 'flood' holds a line feed"},
      {"at search\n  search\n", "line 2: 'search' inside 'at search'"},
      // A "now" block runs inside whatever block is under way: it cannot wait.
      {"now ?\n  await stop\n", "line 2: 'await' in a 'now' block (it runs at once: no sleep, think, await or search)"},
  };
  for (const auto& [script, error] : cases) {
    auto result = parse_script(script);
    EXPECT_FALSE(result.script) << "accepted: " << script;
    EXPECT_EQ(result.error, error);
  }
  // ... but an "on" block after a "now" block can wait.
  EXPECT_EQ(parsed("now isready\non go\n  sleep 10\n").rules[1].actions.size(), 1u);
}

// Settings the fault scripts of other suites use, where a slip in the
// parser would leave those scripts without their fault.
TEST(ScriptStructure, SettingsAreReadAsWritten) {
  auto s = parsed(
      "hurry stop halt\nhurry ponderhit\nignore isready\nignore ?\n"
      "on flood\n  flood 1000\n  move (none)\n");
  EXPECT_EQ(s.hurry, (std::vector<std::string>{"stop", "halt", "ponderhit"}));
  // "?" keeps its own switch: "ignore ?" still means the whole line "?".
  EXPECT_EQ(s.ignored, (std::vector<std::string>{"isready"}));
  EXPECT_TRUE(s.ignore_move_now);
  ASSERT_EQ(s.rules.size(), 1u);
  EXPECT_EQ(s.rules[0].actions[0].text, "#" + std::string(78, 'x'));
  EXPECT_EQ(s.rules[0].actions[1].text, "(none)");
}

TEST(ScriptStructure, RulesMatchAsTheirHeaderSays) {
  struct Case {
    const char* header;
    const char* command;
    bool matches;
  };
  const Case cases[] = {
      {"on go", "go now", true}, {"on go", "gone", false},
      {"on-line usermove e2e4", "usermove e2e4", true}, {"on-line usermove e2e4", "usermove e2e4 ", false},
      {"on-prefix lev", "level 40 5 0", true}, {"on-prefix lev", "le", false},
      // Texts to match take escapes but no placeholders.
      {"on-line \\t$x", "\t$x", true},
      // Further words in any order; a word named twice needs to be there once.
      {"on go ponder", "go ponder wtime 1000 btime 900", true}, {"on go ponder", "go wtime 1000 ponder", true},
      {"on go ponder", "  go \t ponder  ", true}, {"on go ponder", "go", false},
      {"on go ponder", "go ponderhit", false}, {"on go ponder", "ponder go", false},
      {"on go ponder infinite", "go infinite ponder", true}, {"on go ponder infinite", "go ponder", false},
      {"on go ponder ponder", "go ponder", true},
      {"now isready", "isready now", true}, {"now isready", "isreadyok", false},
  };
  for (const Case& c : cases) {
    auto s = parsed(std::string(c.header) + "\n");
    ASSERT_EQ(s.rules.size(), 1u) << c.header;
    EXPECT_EQ(s.rules[0].matches(c.command), c.matches) << c.header << " / " << c.command;
  }
}

}  // namespace

#ifndef _WIN32
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace {

namespace fs = std::filesystem;

// The real program on two pipes, in a fresh folder that is its working
// directory, with its transcript there.
class Engine {
 public:
  explicit Engine(const std::string& script, std::vector<std::string> extra = {}) {
    std::string name = (fs::temp_directory_path() / "testengine_test.XXXXXX").string();
    if (!::mkdtemp(name.data())) std::abort();
    dir_ = name;
    std::vector<std::string> args{TESTENGINE_PATH, "--transcript", "transcript.txt"};
    if (!script.empty()) {
      std::ofstream(dir_ / "script.txt", std::ios::binary) << script;
      args.insert(args.end(), {"--script", "script.txt"});
    }
    args.insert(args.end(), extra.begin(), extra.end());
    // A write to an engine that has gone is a failed write, not the end of the test program.
    ::signal(SIGPIPE, SIG_IGN);
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    int in[2], out[2];
    if (::pipe(in) != 0 || ::pipe(out) != 0) std::abort();
    pid_ = ::fork();
    if (pid_ == 0) {
      ::dup2(in[0], 0);
      ::dup2(out[1], 1);
      ::close(in[0]), ::close(in[1]), ::close(out[0]), ::close(out[1]);
      if (::chdir(dir_.c_str()) == 0) ::execv(argv[0], argv.data());
      ::_exit(127);
    }
    ::close(in[0]);
    ::close(out[1]);
    to_ = in[1];
    from_ = out[0];
  }

  ~Engine() {
    if (pid_ > 0) {
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, nullptr, 0);
    }
    close_input();
    ::close(from_);
    fs::remove_all(dir_);
  }

  void send(const std::string& text) { ASSERT_EQ(::write(to_, text.data(), text.size()), ssize_t(text.size())); }

  void close_input() {
    if (to_ >= 0) ::close(to_);
    to_ = -1;
  }

  // What the engine prints until it has printed `bytes` bytes or falls silent for `ms`.
  std::string read(std::size_t bytes, int ms = 5000) {
    std::string out;
    char buffer[4096];
    for (pollfd p{from_, POLLIN, 0}; out.size() < bytes && ::poll(&p, 1, ms) > 0;) {
      ssize_t n = ::read(from_, buffer, std::min(sizeof buffer, bytes - out.size()));
      if (n <= 0) break;
      out.append(buffer, std::size_t(n));
    }
    return out;
  }

  std::string read_line() {
    std::string line;
    for (std::string c; line.empty() || line.back() != '\n'; line += c)
      if ((c = read(1)).empty()) break;
    return line;
  }

  // The lines up to and including `last`, or all before falling silent for 5 s.
  std::string read_until(const std::string& last) {
    std::string out, line;
    while (line != last && !(line = read_line()).empty()) out += line;
    return out;
  }

  // The wait status once the engine has ended (killed after 5 s otherwise).
  int status() {
    int status = 0;
    for (int i = 0; i < 500 && ::waitpid(pid_, &status, WNOHANG) == 0; ++i) ::usleep(10'000);
    if (::waitpid(pid_, &status, WNOHANG) == 0) {
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, &status, 0);
    }
    pid_ = -1;
    return status;
  }

  bool alive() { return ::waitpid(pid_, nullptr, WNOHANG) == 0; }

  std::string transcript() {
    std::stringstream s;
    s << std::ifstream(dir_ / "transcript.txt", std::ios::binary).rdbuf();
    return s.str();
  }

 private:
  fs::path dir_;
  pid_t pid_ = -1;
  int to_ = -1, from_ = -1;
};

bool exited_with(int status, int code) { return WIFEXITED(status) && WEXITSTATUS(status) == code; }

// Other suites' engines that crash, stop reading, or ignore quit and the end
// of input assert only that the module copes within its bounds, which an
// engine without the fault passes too: the faults are checked here.
TEST(TestEngine, EndsOnlyAsItsScriptSays) {
  Engine crash("on boom\n  crash\n");
  crash.send("boom\n");
  const int status = crash.status();
  EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGABRT) << status;

  Engine code("at start\n  send bye\n  exit 7\n");
  EXPECT_EQ(code.read_line(), "bye\n");
  EXPECT_TRUE(exited_with(code.status(), 7));

  // Without "ignore eof" the end of input ends the engine once it has answered.
  Engine eof("on go\n  sleep 50\n  send done\n");
  eof.send("go\n");
  eof.close_input();
  EXPECT_EQ(eof.read_line(), "done\n");
  EXPECT_TRUE(exited_with(eof.status(), 0));

  Engine stays("ignore quit\nignore eof\non quit\n  send not yet\n");
  stays.send("quit\n");
  EXPECT_EQ(stays.read_line(), "not yet\n");
  stays.close_input();
  ::usleep(100'000);
  EXPECT_TRUE(stays.alive());

  // "hang" reads no more: later lines reach neither the engine nor the transcript.
  Engine hang("on hang\n  hang\n");
  hang.send("hang\n");
  ::usleep(100'000);
  hang.send("after\n");
  hang.close_input();
  ::usleep(100'000);
  EXPECT_TRUE(hang.alive());
  EXPECT_EQ(hang.transcript(), "hang\n");

  // A script with --uci, and a ponder move without it, are refused.
  for (std::vector<std::string> args : {std::vector<std::string>{"--uci", "--script", "script.txt"},
                                        std::vector<std::string>{"--move", "e7e5 g1f3"}})
    EXPECT_TRUE(exited_with(Engine("", args).status(), 2)) << args[0];
}

// A ponderhit that comes while the ponder search still thinks ends its wait;
// one that comes without a search is nothing, not kept for the next.
TEST(TestEngine, AwaitTakesACommandThatCameEarlyButNotOneFromBefore) {
  Engine e("moveformat bestmove $m\nnow isready\n  send readyok\n"
           "on go ponder\n  think 2 10 info depth $d\n  await ponderhit stop\n  move e7e5 g1f3\n");
  e.send("ponderhit\nstop\nisready\n");
  EXPECT_EQ(e.read_line(), "readyok\n");
  e.send("go ponder\n");
  EXPECT_EQ(e.read_until("info depth 2\n"), "info depth 1\ninfo depth 2\n");
  EXPECT_EQ(e.read(1, 200), "");
  e.send("ponderhit\n");
  EXPECT_EQ(e.read_line(), "bestmove e7e5 ponder g1f3\n");
  e.send("go ponder\nponderhit\n");
  EXPECT_EQ(e.read_until("bestmove e7e5 ponder g1f3\n"), "info depth 1\ninfo depth 2\nbestmove e7e5 ponder g1f3\n");
}

}  // namespace
#endif
