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
      // An escape cannot smuggle in a placeholder that is not one.
      {"at start\nsend \\x24q\n", "line 2: unknown placeholder $q"},
      // A setting ends the block before it.
      {"at start\nmoves e2e4\nsend x\n", "line 3: 'send' outside a block (start one with 'at' or 'on')"},
      {"\n#\nat start\n  shout x\n", "line 4: unknown keyword 'shout'"},
      {"at start\nsleep 99999999999999999999\n", "line 2: delay '99999999999999999999' is not a number"},
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
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace {

namespace fs = std::filesystem;

struct EngineRun {
  std::string output;
  int status = -1;  // as the shell gives it: 128 + the signal that ended it, 124 when still running at the limit
  std::string transcript;
};

// The real program in a fresh working folder, reading what the shell
// commands `feed` print (they may pause between lines), ended after `limit`
// seconds when one is given.
EngineRun run_engine(const std::string& script, const std::string& feed, const std::string& limit = "") {
  std::string name = (fs::temp_directory_path() / "testengine_test.XXXXXX").string();
  if (!::mkdtemp(name.data())) std::abort();
  const fs::path dir = name;
  std::string command = "cd '" + name + "' && { " + feed + "; } | ";
  if (!limit.empty()) command += "timeout " + limit + " ";
  command += "'" TESTENGINE_PATH "' --transcript transcript.txt --script script.txt";
  std::ofstream(dir / "script.txt", std::ios::binary) << script;
  EngineRun run;
  std::FILE* pipe = ::popen(command.c_str(), "r");
  char buffer[4096];
  for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) run.output.append(buffer, n);
  const int status = ::pclose(pipe);
  run.status = WIFSIGNALED(status) ? 128 + WTERMSIG(status) : WEXITSTATUS(status);
  std::stringstream transcript;
  transcript << std::ifstream(dir / "transcript.txt", std::ios::binary).rdbuf();
  run.transcript = transcript.str();
  fs::remove_all(dir);
  return run;
}

// Other suites' engines that stop reading, or ignore quit and the end of
// input, assert only that the module copes within its bounds, which an engine
// without the fault passes too: the faults are checked here. (A crash shows
// in search_test, whose engines die in their greeting, and in the games of
// enghost_testengine.sh.)
TEST(TestEngine, EndsOnlyAsItsScriptSays) {
  struct Case {
    const char *name, *script, *feed, *limit, *output;
    const char* transcript;  // null: not looked at
    int status;
  };
  const Case cases[] = {
      {"exit gives its code", "at start\n  send bye\n  exit 7\n", ":", "", "bye\n", nullptr, 7},
      // Without "ignore eof" the end of input ends the engine once it has answered.
      {"the end of input ends it", "on go\n  sleep 50\n  send done\n", "echo go", "", "done\n", nullptr, 0},
      {"quit and the end of input ignored", "ignore quit\nignore eof\non quit\n  send not yet\n", "echo quit", "0.5",
       "not yet\n", nullptr, 124},
      // "hang" reads no more: later lines reach neither the engine nor the transcript.
      {"hang", "on hang\n  hang\n", "echo hang; sleep 0.1; echo after", "0.5", "", "hang\n", 124},
  };
  for (const Case& c : cases) {
    const EngineRun run = run_engine(c.script, c.feed, c.limit);
    EXPECT_EQ(run.status, c.status) << c.name;
    EXPECT_EQ(run.output, c.output) << c.name;
    if (c.transcript) {
      EXPECT_EQ(run.transcript, c.transcript) << c.name;
    }
  }
}

// A ponderhit that comes while the ponder search still thinks ends its wait;
// one that comes without a search is nothing, not kept for the next. The
// "readyok" of an "isready" that comes during the wait shows that it waits.
TEST(TestEngine, AwaitTakesACommandThatCameEarlyButNotOneFromBefore) {
  const EngineRun run = run_engine(
      "moveformat bestmove $m\nnow isready\n  send readyok\n"
      "on go ponder\n  think 2 10 info depth $d\n  await ponderhit stop\n  move e7e5 g1f3\n",
      "printf 'ponderhit\\nstop\\nisready\\ngo ponder\\n'; sleep 0.3; printf 'isready\\nponderhit\\ngo ponder\\nponderhit\\n'");
  EXPECT_EQ(run.output,
            "readyok\ninfo depth 1\ninfo depth 2\nreadyok\nbestmove e7e5 ponder g1f3\n"
            "info depth 1\ninfo depth 2\nbestmove e7e5 ponder g1f3\n");
}

}  // namespace
#endif
