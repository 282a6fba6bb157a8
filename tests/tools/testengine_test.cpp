// The test engine's script parser on tricky input, and the program itself
// driven through pipes (POSIX only: the module's own tests run it on Windows).
#include <gtest/gtest.h>

#include <string>

#include "script.h"

namespace {

using testengine::Action;
using testengine::parse_script;
using testengine::Rule;
using testengine::Script;

Script parsed(const std::string& text) {
  auto result = parse_script(text);
  EXPECT_TRUE(result.script) << result.error;
  return result.script ? *result.script : Script{};
}

std::string error_of(const std::string& text) {
  auto result = parse_script(text);
  EXPECT_FALSE(result.script) << "accepted: " << text;
  return result.error;
}

TEST(ScriptText, EscapesGiveTheirBytes) {
  auto s = parsed("at start\n  sendraw a\\r\\n\\0\\t\\a\\\\b\\x7f\\x00\n");
  ASSERT_EQ(s.start.size(), 1u);
  EXPECT_EQ(s.start[0].kind, Action::Kind::SendRaw);
  EXPECT_EQ(s.start[0].text, std::string("a\r\n\0\t\a\\b\x7f\0", 10));
}

TEST(ScriptText, KeptVerbatimAfterOneBlank) {
  // Blanks after the first one and at the end belong to the text; a CR before
  // the script's own line feed does not.
  auto s = parsed("at start\r\n send   two  \r\n\tsend\r\n");
  ASSERT_EQ(s.start.size(), 2u);
  EXPECT_EQ(s.start[0].text, "  two  ");
  EXPECT_EQ(s.start[1].text, "");
}

TEST(ScriptText, BadEscapesAndPlaceholdersAreErrors) {
  EXPECT_EQ(error_of("at start\nsend a\\q\n"), "line 2: unknown escape \\q");
  EXPECT_EQ(error_of("at start\nsend a\\\n"), "line 2: a backslash ends the line (write \\\\ for one backslash)");
  EXPECT_EQ(error_of("at start\nsend \\x4\n"), "line 2: \\x needs two hexadecimal digits");
  EXPECT_EQ(error_of("at start\nsend \\xg0\n"), "line 2: \\x needs two hexadecimal digits");
  EXPECT_EQ(error_of("at start\nsend cost $x\n"), "line 2: unknown placeholder $x");
  EXPECT_EQ(error_of("at start\nsend 5$\n"), "line 2: a $ ends the text (write $$ for one dollar sign)");
  // An escape cannot smuggle in a placeholder that is not one.
  EXPECT_EQ(error_of("at start\nsend \\x24q\n"), "line 2: unknown placeholder $q");
  EXPECT_EQ(parsed("at start\nsend $$ $d $c $n $0 $9\n").start[0].text, "$$ $d $c $n $0 $9");
}

TEST(ScriptStructure, BlocksRulesAndSettings) {
  auto s = parsed(
      "# a comment\n"
      "\n"
      "moves e7e5 g8f6\n"
      "moves b8c6\n"
      "moveformat $n. ... $m\n"
      "movenumber 12\n"
      "stat stat01: $c 10 $d 1 2\n"
      "analyze 250 $d 0 0 0 e2e4\n"
      "ignore quit\n"
      "ignore eof\n"
      "ignore ?\n"
      "at search\n"
      "  think 3 20 $d 1$d 2 3 e2e4\n"
      "  move\n"
      "  move d7d5\n"
      "on go\n"
      "  search\n"
      "on-line usermove e2e4\n"
      "on-prefix lev\n"
      "  sleep 100\n"
      "  flood 1000\n"
      "  longline 100000 tellics \n"
      "  crash\n"
      "  exit 7\n"
      "  hang\n");
  EXPECT_EQ(s.moves, (std::vector<std::string>{"e7e5", "g8f6", "b8c6"}));
  EXPECT_EQ(s.move_format, "$n. ... $m");
  EXPECT_EQ(s.first_number, 12u);
  EXPECT_EQ(s.stat, "stat01: $c 10 $d 1 2");
  ASSERT_TRUE(s.analysis);
  EXPECT_EQ(s.analysis->ms, 250u);
  EXPECT_EQ(s.analysis->line, "$d 0 0 0 e2e4");
  EXPECT_TRUE(s.ignore_quit && s.ignore_eof && s.ignore_move_now);

  ASSERT_EQ(s.search.size(), 3u);
  EXPECT_EQ(s.search[0].kind, Action::Kind::Think);
  EXPECT_EQ(s.search[0].count, 3u);
  EXPECT_EQ(s.search[0].ms, 20u);
  EXPECT_EQ(s.search[0].text, "$d 1$d 2 3 e2e4");
  EXPECT_EQ(s.search[1].text, "");
  EXPECT_EQ(s.search[2].text, "d7d5");

  ASSERT_EQ(s.rules.size(), 3u);
  EXPECT_EQ(s.rules[0].actions[0].kind, Action::Kind::Search);
  EXPECT_TRUE(s.rules[1].actions.empty());
  const auto& last = s.rules[2].actions;
  ASSERT_EQ(last.size(), 6u);
  EXPECT_EQ(last[1].count, 1000u);
  EXPECT_EQ(last[1].text, "#" + std::string(78, 'x'));
  EXPECT_EQ(last[2].count, 100000u);
  EXPECT_EQ(last[2].text, "tellics ");
  EXPECT_EQ(last[4].count, 7u);
  EXPECT_EQ(last[5].kind, Action::Kind::Hang);
}

TEST(ScriptStructure, RulesMatchAsTheirHeaderSays) {
  auto s = parsed("on go\non-line usermove e2e4\non-prefix lev\non-line \\t$x\n");
  EXPECT_TRUE(s.rules[0].matches("go"));
  EXPECT_TRUE(s.rules[0].matches("go now"));
  EXPECT_FALSE(s.rules[0].matches("gone"));
  EXPECT_TRUE(s.rules[1].matches("usermove e2e4"));
  EXPECT_FALSE(s.rules[1].matches("usermove e2e4 "));
  EXPECT_TRUE(s.rules[2].matches("level 40 5 0"));
  EXPECT_FALSE(s.rules[2].matches("le"));
  // Texts to match take escapes but no placeholders.
  EXPECT_TRUE(s.rules[3].matches("\t$x"));
}

TEST(ScriptStructure, MalformedLinesNameTheirLine) {
  EXPECT_EQ(error_of("send hello\n"), "line 1: 'send' outside a block (start one with 'at' or 'on')");
  // A setting ends the block before it.
  EXPECT_EQ(error_of("at start\nmoves e2e4\nsend x\n"), "line 3: 'send' outside a block (start one with 'at' or 'on')");
  EXPECT_EQ(error_of("\n#\nat start\n  shout x\n"), "line 4: unknown keyword 'shout'");
  EXPECT_EQ(error_of("at start\nthink 3 100\n"), "line 2: 'think' needs a count, a delay and a line");
  EXPECT_EQ(error_of("at start\nthink three 100 $d\n"), "line 2: count 'three' is not a number");
  EXPECT_EQ(error_of("at start\nsleep -1\n"), "line 2: delay '-1' is not a number");
  EXPECT_EQ(error_of("at start\nsleep 99999999999999999999\n"), "line 2: delay '99999999999999999999' is not a number");
  EXPECT_EQ(error_of("at start\nexit 256\n"), "line 2: exit code 256 is larger than 255");
  EXPECT_EQ(error_of("at start\nmove e2e4 e7e5 d2d4\n"), "line 2: wrong number of arguments to 'move'");
  EXPECT_EQ(error_of("at start\nflood 100 a\\nb\n"), "line 2: the line of 'flood' holds a line feed");
  EXPECT_EQ(error_of("at start\nat start\n"), "line 2: a second 'at start' block");
  EXPECT_EQ(error_of("at finish\n"), "line 1: 'at' takes start or search");
  EXPECT_EQ(error_of("at search\n  search\n"), "line 2: 'search' inside 'at search'");
  EXPECT_EQ(error_of("on\n"), "line 1: wrong number of arguments to 'on'");
  EXPECT_EQ(error_of("moves\n"), "line 1: wrong number of arguments to 'moves'");
  EXPECT_EQ(error_of("ignore stop isready\n"), "line 1: wrong number of arguments to 'ignore'");
  EXPECT_EQ(error_of("analyze 0 $d\n"), "line 1: the delay of 'analyze' must be at least 1 ms");
}

TEST(ScriptStructure, DialectSettingsNowRulesAndAwait) {
  auto s = parsed(
      "moveformat bestmove $m\n"
      "ponderformat bestmove $m ponder $p\n"
      "hurry stop halt\n"
      "hurry ponderhit\n"
      "ignore isready\n"
      "ignore ?\n"
      "on go ponder\n"
      "  think 2 10 info depth $d score cp $d0 nodes $d000 time $d pv e2e4 e7e5\n"
      "  await ponderhit stop\n"
      "  move e2e4 e7e5\n"
      "now isready\n"
      "  send readyok\n"
      "  move (none)\n"
      "now-line ?\n"
      "now-prefix ping \n"
      "  send pong $1\n"
      "  crash\n");
  EXPECT_EQ(s.ponder_format, "bestmove $m ponder $p");
  EXPECT_EQ(s.hurry, (std::vector<std::string>{"stop", "halt", "ponderhit"}));
  // "?" keeps its own switch: "ignore ?" still means the whole line "?".
  EXPECT_EQ(s.ignored, (std::vector<std::string>{"isready"}));
  EXPECT_TRUE(s.ignore_move_now);

  ASSERT_EQ(s.rules.size(), 4u);
  EXPECT_FALSE(s.rules[0].at_once);
  EXPECT_EQ(s.rules[0].also, (std::vector<std::string>{"ponder"}));
  const auto& ponder = s.rules[0].actions;
  ASSERT_EQ(ponder.size(), 3u);
  EXPECT_EQ(ponder[1].kind, Action::Kind::Await);
  EXPECT_EQ(ponder[1].words, (std::vector<std::string>{"ponderhit", "stop"}));
  EXPECT_EQ(ponder[2].text, "e2e4");
  EXPECT_EQ(ponder[2].ponder, "e7e5");
  EXPECT_TRUE(s.rules[1].at_once && s.rules[2].at_once && s.rules[3].at_once);
  EXPECT_EQ(s.rules[1].actions[1].text, "(none)");
  EXPECT_EQ(s.rules[1].actions[1].ponder, "");
  EXPECT_EQ(s.rules[2].match, Rule::Match::Line);
  EXPECT_EQ(s.rules[3].match, Rule::Match::Prefix);
  EXPECT_EQ(s.rules[3].text, "ping ");
}

TEST(ScriptStructure, DialectMistakesNameTheirLine) {
  // A "now" block runs inside whatever block is under way: it cannot wait.
  for (const char* waits : {"sleep 10", "think 1 10 $d", "await stop", "search"}) {
    EXPECT_EQ(error_of(std::string("now isready\n  send readyok\n  ") + waits + "\n"),
              "line 3: '" + std::string(waits).substr(0, std::string(waits).find(' ')) +
                  "' in a 'now' block (it runs at once: no sleep, think, await or search)");
  }
  // ... but an "on" block after it can.
  EXPECT_EQ(parsed("now isready\non go\n  sleep 10\n").rules[1].actions.size(), 1u);
  EXPECT_EQ(error_of("on go\n  await\n"), "line 2: 'await' needs the first words of the commands it waits for");
  EXPECT_EQ(error_of("hurry\n"), "line 1: wrong number of arguments to 'hurry'");
  EXPECT_EQ(error_of("now\n"), "line 1: wrong number of arguments to 'now'");
  EXPECT_EQ(error_of("now-prefix\n"), "line 1: 'now-prefix' needs a text");
  EXPECT_EQ(error_of("ponderformat\n"), "line 1: wrong number of arguments to 'ponderformat'");
  EXPECT_EQ(error_of("nowhere\n"), "line 1: unknown keyword 'nowhere'");
  EXPECT_EQ(error_of("moveformat bestmove $m ponder $q\n"), "line 1: unknown placeholder $q");
}

// Which commands a rule header matches.
struct MatchCase {
  const char* header;
  const char* command;
  bool matches;
};

class RuleMatch : public ::testing::TestWithParam<MatchCase> {};

TEST_P(RuleMatch, AsItsHeaderSays) {
  auto s = parsed(std::string(GetParam().header) + "\n");
  ASSERT_EQ(s.rules.size(), 1u);
  EXPECT_EQ(s.rules[0].matches(GetParam().command), GetParam().matches);
}

INSTANTIATE_TEST_SUITE_P(
    FurtherWordsInAnyOrder, RuleMatch,
    ::testing::Values(MatchCase{"on go ponder", "go ponder", true},
                      MatchCase{"on go ponder", "go ponder wtime 1000 btime 900", true},
                      MatchCase{"on go ponder", "go wtime 1000 btime 900 ponder", true},
                      MatchCase{"on go ponder", "  go \t ponder  ", true},
                      MatchCase{"on go ponder", "go", false},
                      MatchCase{"on go ponder", "go ponderhit", false},
                      MatchCase{"on go ponder", "ponder go", false},
                      MatchCase{"on go ponder infinite", "go infinite ponder", true},
                      MatchCase{"on go ponder infinite", "go ponder", false},
                      // A word named twice needs to be there only once.
                      MatchCase{"on go ponder ponder", "go ponder", true}));

INSTANTIATE_TEST_SUITE_P(
    NowRulesAsOnRules, RuleMatch,
    ::testing::Values(MatchCase{"now isready", "isready", true}, MatchCase{"now isready", "isready now", true},
                      MatchCase{"now isready", "isreadyok", false}, MatchCase{"now ?", "?", true},
                      MatchCase{"now-line ping 1", "ping 1", true}, MatchCase{"now-line ping 1", "ping 12", false},
                      MatchCase{"now-prefix ping 1", "ping 12", true},
                      MatchCase{"now-prefix ping 1", "ping 2", false}));

}  // namespace

#ifndef _WIN32
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace {

namespace fs = std::filesystem;

// The real program on two pipes, in a fresh folder that is its working directory.
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
    // A write to an engine that has gone is a failed write, not the end of
    // the test program.
    ::signal(SIGPIPE, SIG_IGN);
    // The child reports a failed exec through a pipe that a successful exec
    // closes (close-on-exec): one read tells which happened.
    int in[2], out[2], exec_status[2];
    if (::pipe(in) != 0 || ::pipe(out) != 0 || ::pipe2(exec_status, O_CLOEXEC) != 0) std::abort();
    pid_ = ::fork();
    if (pid_ == 0) {
      ::dup2(in[0], 0);
      ::dup2(out[1], 1);
      ::close(in[0]), ::close(in[1]), ::close(out[0]), ::close(out[1]), ::close(exec_status[0]);
      int error = 0;
      if (::chdir(dir_.c_str()) == 0) {
        std::vector<char*> argv;
        for (auto& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        ::execv(argv[0], argv.data());
      }
      error = errno;
      (void)!::write(exec_status[1], &error, sizeof error);
      ::_exit(127);
    }
    ::close(in[0]);
    ::close(out[1]);
    ::close(exec_status[1]);
    int error = 0;
    if (::read(exec_status[0], &error, sizeof error) == ssize_t(sizeof error)) {
      error_ = std::string(TESTENGINE_PATH) + ": " + std::strerror(error);
    }
    ::close(exec_status[0]);
    to_ = in[1];
    from_ = out[0];
  }

  // Empty when the engine runs; why it does not otherwise. Every test asserts
  // it first, so that an engine that cannot start ends the test there.
  const std::string& start_error() const { return error_; }

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

  // Everything the engine prints until it has printed at least `bytes` bytes
  // or `ms` milliseconds have passed without any output.
  std::string read(std::size_t bytes, int ms = 5000) {
    std::string out;
    char buffer[65536];
    while (out.size() < bytes) {
      pollfd p{from_, POLLIN, 0};
      if (::poll(&p, 1, ms) <= 0) break;
      ssize_t n = ::read(from_, buffer, std::min(sizeof buffer, bytes - out.size()));
      if (n <= 0) break;
      out.append(buffer, std::size_t(n));
    }
    return out;
  }

  std::string read_line() {
    std::string line;
    while (line.empty() || line.back() != '\n') {
      std::string c = read(1);
      if (c.empty()) break;
      line += c;
    }
    return line;
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

  std::string file(const std::string& name) {
    std::ifstream f(dir_ / name, std::ios::binary);
    std::stringstream s;
    s << f.rdbuf();
    return s.str();
  }

  fs::path dir() const { return dir_; }

 private:
  fs::path dir_;
  std::string error_;
  pid_t pid_ = -1;
  int to_ = -1, from_ = -1;
};

bool exited_with(int status, int code) { return WIFEXITED(status) && WEXITSTATUS(status) == code; }

// The lines the engine prints up to and including `last`, or all it printed
// before falling silent for 5 s.
std::string read_until(Engine& e, const std::string& last) {
  std::string out, line;
  while (line != last && !(line = e.read_line()).empty()) out += line;
  return out;
}

TEST(TestEngine, PlaysAGameFromItsList) {
  Engine e(
      "moves e7e5 g8f6\n"
      "moveformat $n. ... $m\n"
      "at start\n"
      "  send feature done=1\n"
      "at search\n"
      "  think 2 10 $d 1$d $d0 $d000 $1 pv\n"
      "  move\n"
      "on ping\n"
      "  send pong $1\n");
  ASSERT_EQ(e.start_error(), "");
  EXPECT_EQ(e.read_line(), "feature done=1\n");
  e.send("usermove e2e4\r\n");
  EXPECT_EQ(e.read_line(), "1 11 10 1000 e2e4 pv\n");
  EXPECT_EQ(e.read_line(), "2 12 20 2000 e2e4 pv\n");
  EXPECT_EQ(e.read_line(), "1. ... e7e5\n");
  // In force mode a move gets no answer; go does, with the next of the list.
  e.send("force\nd2d4\nping 7\n");
  EXPECT_EQ(e.read_line(), "pong 7\n");
  e.send("go\n");
  e.read_line(), e.read_line();
  EXPECT_EQ(e.read_line(), "2. ... g8f6\n");
  // Whether a line after "quit" is still read depends on timing: none is sent.
  e.send("quit\n");
  EXPECT_TRUE(exited_with(e.status(), 0));
  EXPECT_EQ(e.read(1), "");
  EXPECT_EQ(e.file("transcript.txt"), "usermove e2e4\r\nforce\nd2d4\nping 7\ngo\nquit\n");
}

TEST(TestEngine, MoveNowAndStatusCutIntoThinking) {
  Engine e(
      "stat stat01: 100 5000 $d 3 20\n"
      "at search\n"
      "  think 1000 20 $d 0 0 0 e2e4\n"
      "  move e2e4\n");
  ASSERT_EQ(e.start_error(), "");
  e.send("go\n");
  EXPECT_EQ(e.read_line(), "1 0 0 0 e2e4\n");
  e.send(".\n");
  std::string stat = e.read_line();
  EXPECT_TRUE(stat.starts_with("stat01: 100 5000 ") && stat.ends_with(" 3 20\n") && stat != "stat01: 100 5000 0 3 20\n")
      << stat;
  auto asked = std::chrono::steady_clock::now();
  e.send("?\n");
  std::string line;
  while ((line = e.read_line()) != "move e2e4\n" && !line.empty()) {
  }
  EXPECT_EQ(line, "move e2e4\n");
  EXPECT_LT(std::chrono::steady_clock::now() - asked, std::chrono::seconds(2));
  e.close_input();
  EXPECT_TRUE(exited_with(e.status(), 0));
}

TEST(TestEngine, IgnoredMoveNowNeverMoves) {
  Engine e("ignore ?\nat search\n  think 3 200 $d 0 0 0 e2e4\n");
  ASSERT_EQ(e.start_error(), "");
  e.send("go\n?\n");
  EXPECT_EQ(e.read(39), "1 0 0 0 e2e4\n2 0 0 0 e2e4\n3 0 0 0 e2e4\n");
  EXPECT_EQ(e.read(1, 300), "");
}

TEST(TestEngine, RawBytesFloodAndLongLines) {
  Engine e(
      "on raw\n  sendraw a\\0b\\rc\\r\\n\\nd\n"
      "on flood\n  flood 5000020\n  send end\n"
      "on long\n  longline 100000 tellics \n");
  ASSERT_EQ(e.start_error(), "");
  e.send("raw\n");
  EXPECT_EQ(e.read(9), std::string("a\0b\rc\r\n\nd", 9));
  e.send("flood\n");
  // 62500 lines of 80 bytes, then one of 20, cut short but ending its line.
  std::string flood = e.read(5'000'024);
  ASSERT_EQ(flood.size(), 5'000'024u);
  EXPECT_EQ(flood.substr(0, 80), "#" + std::string(78, 'x') + "\n");
  EXPECT_EQ(flood.substr(4'999'920), "#" + std::string(78, 'x') + "\n#" + std::string(18, 'x') + "\nend\n");
  e.send("long\n");
  std::string line = e.read(100'001);
  ASSERT_EQ(line.size(), 100'001u);
  EXPECT_EQ(line.substr(0, 10), "tellics xx");
  EXPECT_EQ(line.back(), '\n');
}

TEST(TestEngine, Analysis) {
  Engine with("analyze 10 $d 5 0 $d00 e2e4\n");
  ASSERT_EQ(with.start_error(), "");
  with.send("analyze\n");
  EXPECT_EQ(with.read_line(), "1 5 0 100 e2e4\n");
  EXPECT_EQ(with.read_line(), "2 5 0 200 e2e4\n");
  with.send("exit\n");
  with.read(100000, 200);  // what was under way
  EXPECT_EQ(with.read(1, 200), "");

  Engine without("at start\n");
  ASSERT_EQ(without.start_error(), "");
  without.send("analyze\n");
  EXPECT_EQ(without.read_line(), "Error (unknown command): analyze\n");
}

TEST(TestEngine, WaysToEnd) {
  Engine crash("on boom\n  crash\n");
  ASSERT_EQ(crash.start_error(), "");
  crash.send("boom\n");
  int status = crash.status();
  EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGABRT) << status;

  Engine code("at start\n  send bye\n  exit 7\n");
  ASSERT_EQ(code.start_error(), "");
  EXPECT_EQ(code.read_line(), "bye\n");
  EXPECT_TRUE(exited_with(code.status(), 7));

  // Without "ignore eof" the end of input ends the engine once it has answered.
  Engine eof("on go\n  sleep 50\n  send done\n");
  ASSERT_EQ(eof.start_error(), "");
  eof.send("go\n");
  eof.close_input();
  EXPECT_EQ(eof.read_line(), "done\n");
  EXPECT_TRUE(exited_with(eof.status(), 0));

  Engine stays("ignore quit\nignore eof\non quit\n  send not yet\n");
  ASSERT_EQ(stays.start_error(), "");
  stays.send("quit\n");
  EXPECT_EQ(stays.read_line(), "not yet\n");
  stays.close_input();
  ::usleep(100'000);
  EXPECT_TRUE(stays.alive());
}

TEST(TestEngine, HangStopsReading) {
  Engine e("on hang\n  hang\n");
  ASSERT_EQ(e.start_error(), "");
  e.send("hang\n");
  ::usleep(100'000);
  e.send("after\n");
  e.close_input();
  ::usleep(100'000);
  EXPECT_TRUE(e.alive());
  EXPECT_EQ(e.file("transcript.txt"), "hang\n");
}

TEST(TestEngine, RefusedMoveNowLeavesTheSearchRunning) {
  // fairymax answers "?" with an error and thinks on.
  Engine e(
      "now ?\n"
      "  send Error (unknown command): $0\n"
      "now-prefix say \n"
      "  send $1 at depth $d\n"
      "at search\n"
      "  think 1000 10 $d 0 0 0 e2e4\n"
      "  move e2e4\n");
  ASSERT_EQ(e.start_error(), "");
  auto thinking = [](const std::string& line) { return line.ends_with(" 0 0 0 e2e4\n"); };
  e.send("go\n");
  EXPECT_EQ(e.read_line(), "1 0 0 0 e2e4\n");
  e.send("?\n");
  std::string seen = read_until(e, "Error (unknown command): ?\n");
  ASSERT_TRUE(seen.ends_with("Error (unknown command): ?\n")) << seen;
  EXPECT_TRUE(thinking(e.read_line()));
  EXPECT_TRUE(thinking(e.read_line()));
  // A "now" block has its own command and the depth of the search under way.
  e.send("say hi\n");
  std::string line;
  while (thinking(line = e.read_line())) {
  }
  ASSERT_TRUE(line.starts_with("hi at depth ")) << line;
  EXPECT_GE(std::stoi(line.substr(12)), 3);
  EXPECT_TRUE(thinking(e.read_line()));
}

TEST(TestEngine, PingAnsweredAfterTheMoveOrAtOnce) {
  // Thinking on its move, a protocol-2 engine answers "ping" after the move...
  Engine thinking("on ping\n  send pong $1\nat search\n  think 3 20 $d 0 0 0 e2e4\n  move e2e4\n");
  ASSERT_EQ(thinking.start_error(), "");
  thinking.send("go\nping 5\n");
  EXPECT_EQ(read_until(thinking, "pong 5\n"), "1 0 0 0 e2e4\n2 0 0 0 e2e4\n3 0 0 0 e2e4\nmove e2e4\npong 5\n");

  // ... and while pondering, at once, thinking on.
  Engine pondering("now ping\n  send pong $1\nat search\n  think 1000 10 $d 0 0 0 e2e4\n  move e2e4\n");
  ASSERT_EQ(pondering.start_error(), "");
  pondering.send("go\n");
  EXPECT_EQ(pondering.read_line(), "1 0 0 0 e2e4\n");
  pondering.send("ping 6\n");
  std::string seen = read_until(pondering, "pong 6\n");
  EXPECT_TRUE(seen.ends_with("pong 6\n") && seen.find("move") == std::string::npos) << seen;
  EXPECT_TRUE(pondering.read_line().ends_with(" 0 0 0 e2e4\n"));
}

TEST(TestEngine, DiesOrFallsSilentInTheGreeting) {
  struct Case {
    const char* script;
    const char* greeting;
    const char* answer;
    bool dies;
  };
  const Case cases[] = {
      {"on protover\n  send feature ping=1\n  crash\n", "xboard\nprotover 2\n", "feature ping=1\n", true},
      {"on uci\n  send id name Dying\n  crash\n", "uci\n", "id name Dying\n", true},
      // Never "uciok".
      {"on uci\n  send id name Silent\n", "uci\n", "id name Silent\n", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.script);
    Engine e(c.script);
    ASSERT_EQ(e.start_error(), "");
    e.send(c.greeting);
    EXPECT_EQ(e.read_line(), c.answer);
    if (c.dies) {
      int status = e.status();
      EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGABRT) << status;
    } else {
      EXPECT_EQ(e.read(1, 200), "");
      EXPECT_TRUE(e.alive());
    }
  }
}

TEST(TestEngine, UciConversation) {
  Engine e(
      "moveformat bestmove $m\n"
      "on uci\n"
      "  send id name Test $$1 engine\n"
      "  send option name NalimovPath type string default c:\\\\chess\n"
      "  send option name Ponder type check default false\n"
      "  send uciok\n"
      "on isready\n"
      "  send readyok\n"
      "on go mate\n"
      "  move (none)\n"
      "on ucinewgame\n"
      "  move a7a6\n"
      "at search\n"
      "  think 2 10 info depth $d score cp $d0 nodes $d000 time $d pv e7e5 g1f3\n"
      "  move e7e5 g1f3\n");
  ASSERT_EQ(e.start_error(), "");
  e.send("uci\n");
  EXPECT_EQ(read_until(e, "uciok\n"),
            "id name Test $1 engine\noption name NalimovPath type string default c:\\chess\n"
            "option name Ponder type check default false\nuciok\n");
  // "position" starts no search: nothing comes between the two answers.
  e.send("isready\nposition startpos moves e2e4\nisready\n");
  EXPECT_EQ(read_until(e, "readyok\n"), "readyok\n");
  EXPECT_EQ(read_until(e, "readyok\n"), "readyok\n");
  e.send("go wtime 1000 btime 1000\n");
  EXPECT_EQ(read_until(e, "bestmove e7e5 ponder g1f3\n"),
            "info depth 1 score cp 10 nodes 1000 time 1 pv e7e5 g1f3\n"
            "info depth 2 score cp 20 nodes 2000 time 2 pv e7e5 g1f3\n"
            "bestmove e7e5 ponder g1f3\n");
  e.send("go mate 1\n");
  EXPECT_EQ(e.read_line(), "bestmove (none)\n");
  // A stale move for a search the engine was never given.
  e.send("ucinewgame\n");
  EXPECT_EQ(e.read_line(), "bestmove a7a6\n");
  e.send("quit\n");
  EXPECT_TRUE(exited_with(e.status(), 0));
  EXPECT_EQ(e.file("transcript.txt"),
            "uci\nisready\nposition startpos moves e2e4\nisready\ngo wtime 1000 btime 1000\ngo mate 1\n"
            "ucinewgame\nquit\n");
}

// A pondering UCI engine: "isready" at once, "stop" cuts a search short, a
// ponder search holds its move until "ponderhit" and then thinks on.
const char* const kPondering =
    "moveformat bestmove $m\n"
    "hurry stop\n"
    "now isready\n"
    "  send readyok\n"
    "on go ponder\n"
    "  think 2 10 info depth $d\n"
    "  await ponderhit stop\n"
    "  think 2 10 info depth 1$d\n"
    "  move e7e5 g1f3\n"
    "on go infinite\n"
    "  think 1000 10 info depth $d\n"
    "  await stop\n"
    "  move d7d5\n";

TEST(TestEngine, PonderSearchHoldsItsMoveUntilPonderhitOrStop) {
  Engine e(kPondering);
  ASSERT_EQ(e.start_error(), "");
  e.send("go ponder wtime 1000 btime 1000\n");
  EXPECT_EQ(read_until(e, "info depth 2\n"), "info depth 1\ninfo depth 2\n");
  EXPECT_EQ(e.read(1, 200), "");
  e.send("isready\n");
  EXPECT_EQ(e.read_line(), "readyok\n");
  e.send("ponderhit\n");
  EXPECT_EQ(read_until(e, "bestmove e7e5 ponder g1f3\n"), "info depth 11\ninfo depth 12\nbestmove e7e5 ponder g1f3\n");

  // A ponderhit that comes while the search still thinks: it ends as it would have.
  e.send("go ponder\nponderhit\n");
  EXPECT_EQ(read_until(e, "bestmove e7e5 ponder g1f3\n"),
            "info depth 1\ninfo depth 2\ninfo depth 11\ninfo depth 12\nbestmove e7e5 ponder g1f3\n");

  // "stop": the move at once, the thinking after the wait skipped.
  e.send("go ponder\n");
  EXPECT_EQ(read_until(e, "info depth 2\n"), "info depth 1\ninfo depth 2\n");
  e.send("stop\n");
  EXPECT_EQ(e.read_line(), "bestmove e7e5 ponder g1f3\n");

  // Without a search "ponderhit" and "stop" are nothing, not kept for the next one.
  e.send("ponderhit\nstop\nisready\n");
  EXPECT_EQ(e.read_line(), "readyok\n");
  e.send("go ponder\n");
  EXPECT_EQ(read_until(e, "info depth 2\n"), "info depth 1\ninfo depth 2\n");
  EXPECT_EQ(e.read(1, 200), "");

  // The end of input ends the wait: the engine answers what it read and ends.
  e.close_input();
  EXPECT_EQ(read_until(e, "bestmove e7e5 ponder g1f3\n"), "info depth 11\ninfo depth 12\nbestmove e7e5 ponder g1f3\n");
  EXPECT_TRUE(exited_with(e.status(), 0));
}

TEST(TestEngine, InfiniteSearchAnswersIsreadyAndEndsOnStop) {
  Engine e(kPondering);
  ASSERT_EQ(e.start_error(), "");
  e.send("go infinite\n");
  EXPECT_EQ(e.read_line(), "info depth 1\n");
  e.send("isready\n");
  std::string seen = read_until(e, "readyok\n");
  EXPECT_TRUE(seen.ends_with("readyok\n") && seen.find("bestmove") == std::string::npos) << seen;
  EXPECT_TRUE(e.read_line().starts_with("info depth "));
  auto asked = std::chrono::steady_clock::now();
  e.send("stop\n");
  seen = read_until(e, "bestmove d7d5\n");
  EXPECT_TRUE(seen.ends_with("bestmove d7d5\n")) << seen;
  EXPECT_LT(std::chrono::steady_clock::now() - asked, std::chrono::seconds(2));
}

TEST(TestEngine, IgnoredCommandsDoNothingAtAll) {
  // "ignore" outranks the "hurry", "now" and "await" of the same words.
  Engine e(std::string("ignore stop\nignore isready\n") + kPondering);
  ASSERT_EQ(e.start_error(), "");
  e.send("go ponder\n");
  EXPECT_EQ(read_until(e, "info depth 2\n"), "info depth 1\ninfo depth 2\n");
  e.send("stop\nisready\n");
  EXPECT_EQ(e.read(1, 300), "");
  e.send("ponderhit\n");
  EXPECT_EQ(read_until(e, "bestmove e7e5 ponder g1f3\n"), "info depth 11\ninfo depth 12\nbestmove e7e5 ponder g1f3\n");
  EXPECT_EQ(e.file("transcript.txt"), "go ponder\nstop\nisready\nponderhit\n");
}

TEST(TestEngine, UciWithoutScript) {
  Engine e("", {"--uci", "--move", "e7e5 g1f3"});
  ASSERT_EQ(e.start_error(), "");
  e.send("uci\n");
  EXPECT_EQ(read_until(e, "uciok\n"),
            "id name testengine\nid author cecp-adapter\noption name Ponder type check default false\nuciok\n");
  e.send("isready\nucinewgame\nposition startpos moves e2e4\ngo wtime 1000 btime 1000\n");
  EXPECT_EQ(e.read_line(), "readyok\n");
  EXPECT_EQ(e.read_line(), "bestmove e7e5 ponder g1f3\n");
  e.send("position startpos moves e2e4 e7e5 g1f3\ngo ponder wtime 1000 btime 1000\n");
  EXPECT_EQ(e.read(1, 200), "");
  e.send("isready\n");
  EXPECT_EQ(e.read_line(), "readyok\n");
  e.send("ponderhit\n");
  EXPECT_EQ(e.read_line(), "bestmove e7e5 ponder g1f3\n");
  e.send("go ponder\n");
  EXPECT_EQ(e.read(1, 100), "");
  e.send("stop\n");
  EXPECT_EQ(e.read_line(), "bestmove e7e5 ponder g1f3\n");
  e.send("go infinite\n");
  EXPECT_EQ(e.read(1, 200), "");
  e.send("stop\n");
  EXPECT_EQ(e.read_line(), "bestmove e7e5 ponder g1f3\n");
  e.send("quit\n");
  EXPECT_TRUE(exited_with(e.status(), 0));

  Engine null_move("", {"--uci"});
  ASSERT_EQ(null_move.start_error(), "");
  null_move.send("go movetime 10\n");
  EXPECT_EQ(null_move.read_line(), "bestmove 0000\n");

  // Not with a script; a ponder move only for UCI.
  for (std::vector<std::string> args : {std::vector<std::string>{"--uci", "--script", "script.txt"},
                                        std::vector<std::string>{"--move", "e7e5 g1f3"}}) {
    Engine refused("", args);
    ASSERT_EQ(refused.start_error(), "");
    EXPECT_TRUE(exited_with(refused.status(), 2)) << args[0] << " " << args[1];
  }
}

TEST(TestEngine, WithoutScriptAndRecordingItsStart) {
  Engine e("", {"--move", "e7e5", "--record", "record.txt", "-xboard"});
  ASSERT_EQ(e.start_error(), "");
  e.send("protover 2\n");
  EXPECT_EQ(e.read_line(), "feature myname=\"testengine\" ping=1 usermove=1 sigint=0 sigterm=0 done=1\n");
  e.send("ping 3\nusermove e2e4\n");
  EXPECT_EQ(e.read_line(), "pong 3\n");
  EXPECT_EQ(e.read_line(), "move e7e5\n");
  e.send("quit\n");
  EXPECT_TRUE(exited_with(e.status(), 0));
  EXPECT_EQ(e.file("record.txt"), "cwd " + fs::canonical(e.dir()).string() + "\narg 0 " TESTENGINE_PATH
                                  "\narg 1 --transcript\narg 2 transcript.txt\narg 3 --move\narg 4 e7e5\n"
                                  "arg 5 --record\narg 6 record.txt\narg 7 -xboard\n");
}

}  // namespace
#endif
