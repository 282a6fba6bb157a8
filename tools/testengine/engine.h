// The running engine: follows a script, answering the commands that Input
// delivers. Never returns; the process ends on quit, at the end of input or
// by an action of the script.
#pragma once

#include <deque>
#include <string>
#include <string_view>
#include <vector>

#include "input.h"
#include "script.h"

namespace testengine {

class Engine {
 public:
  Engine(const Script& script, Input& input)
      : script_(script), input_(input), number_(script.first_number) {}

  [[noreturn]] void run();

 private:
  using Clock = Input::Clock;

  bool at_once(const std::string& line);
  void follow_mode(std::string_view first);
  void handle(const std::string& line);
  void run_block(const Block& block);
  void perform(const Action& a);
  void pause(std::uint32_t ms);
  void await(const std::vector<std::string>& words);
  void play_move(const std::string& fixed, const std::string& ponder);
  void analysis_tick();
  void send(const std::string& bytes);
  void send_repeated(const std::string& text, std::uint64_t bytes);
  std::string expand(const std::string& text, const std::string& move = {}, const std::string& ponder = {}) const;
  [[noreturn]] void hang();

  const Script& script_;
  Input& input_;
  std::deque<std::string> deferred_;  // commands that came while a block ran
  std::string command_;               // the command being answered
  bool forced_ = false;
  bool ended_ = false;  // the end of input was seen
  int running_ = 0;     // nesting of blocks under way
  bool hurry_ = false;  // "?" or a hurry word came: skip to the block's move
  const std::vector<std::string>* awaiting_ = nullptr;  // the words of the "await" under way
  bool awaited_ = false;  // one of them came
  bool analyzing_ = false;
  std::size_t next_move_ = 0;
  std::uint64_t number_;
  std::uint64_t depth_ = 0;
  Clock::time_point began_ = Clock::now();
  Clock::time_point next_tick_;
};

}  // namespace testengine
