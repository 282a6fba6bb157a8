// The test engine's script: what it prints at start, how it answers commands
// and how it searches. The format is described by `testengine --help`
// (help.cpp); parse_script turns a script's text into this structure.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace testengine {

struct Action {
  enum class Kind { Send, SendRaw, Sleep, Think, Move, Search, Flood, LongLine, Crash, Exit, Hang, Await };
  Kind kind = Kind::Send;
  // Send, SendRaw: the bytes, escapes resolved, placeholders not yet expanded.
  // Think: the line template. Move: the fixed move, empty for the next of the
  // list. Flood, LongLine: the line text.
  std::string text;
  std::uint64_t count = 0;  // Think: lines; Flood, LongLine: bytes; Exit: code
  std::uint32_t ms = 0;     // Sleep, Think: delay
  std::string ponder;       // Move: the move to ponder on, empty for none
  std::vector<std::string> words;  // Await: the first words of the commands that end it

  // Whether the action waits, and so cannot run in a "now" block.
  bool waits() const {
    return kind == Kind::Sleep || kind == Kind::Think || kind == Kind::Await || kind == Kind::Search;
  }
};

using Block = std::vector<Action>;

struct Rule {
  enum class Match { Word, Line, Prefix };
  Match match = Match::Word;
  std::string text;
  std::vector<std::string> also;  // Word: further words the command must hold
  bool at_once = false;           // a "now" rule: runs as the command is read
  Block actions;

  bool matches(std::string_view command) const;
};

struct Analysis {
  std::uint32_t ms = 0;
  std::string line;  // template
};

struct Script {
  Block start;
  Block search;
  std::vector<Rule> rules;  // first match wins
  std::vector<std::string> moves;
  std::string move_format = "move $m";
  std::optional<std::string> ponder_format;  // by default move_format + " ponder $p"
  std::uint64_t first_number = 1;
  std::optional<std::string> stat;       // answer to "."
  std::optional<Analysis> analysis;      // answer to "analyze"
  bool ignore_quit = false;
  bool ignore_eof = false;
  bool ignore_move_now = false;
  std::vector<std::string> ignored;  // first words of commands that do nothing
  std::vector<std::string> hurry;    // first words of commands that act as "?"
};

struct ParseResult {
  std::optional<Script> script;
  std::string error;  // "line N: ..." when script is empty
};

ParseResult parse_script(std::string_view text);

// The words of a command line, split at spaces and tabs.
std::vector<std::string_view> split_words(std::string_view line);

}  // namespace testengine
