// Standard input, read line by line on a thread of its own so that nothing is
// lost while the engine sleeps, thinks or floods. Each line goes to the
// transcript as soon as it arrives.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <deque>
#include <mutex>
#include <optional>
#include <string>

namespace testengine {

class Input {
 public:
  using Clock = std::chrono::steady_clock;
  enum class Status { Line, Timeout, End };

  // The transcript may be null; it must stay open for the life of the process.
  explicit Input(std::FILE* transcript) : transcript_(transcript) {}

  // Starts reading. The reading thread runs until the end of input; the
  // process ends without joining it.
  void start();

  // The next line, without its line feed and a carriage return before it.
  // End is reported once, after the last line; later calls wait for the
  // deadline. Without a deadline, waits for as long as it takes.
  Status next(std::string& line, std::optional<Clock::time_point> deadline);

  // Stops reading: at most the read under way completes; its line and any
  // later ones are neither transcribed nor delivered.
  void stop_reading() { stopped_ = true; }

 private:
  void read_all();
  void deliver(std::string raw);

  std::FILE* transcript_;
  std::atomic<bool> stopped_{false};
  std::mutex mutex_;
  std::condition_variable ready_;
  std::deque<std::string> lines_;
  bool ended_ = false;
  bool end_reported_ = false;
};

}  // namespace testengine
