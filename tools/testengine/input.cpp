#include "input.h"

#include <thread>

#include "platform.h"

namespace testengine {

void Input::start() { std::thread([this] { read_all(); }).detach(); }

void Input::read_all() {
  std::string pending;
  char buffer[4096];
  for (;;) {
    std::size_t n = stopped_ ? 0 : platform::read_input(buffer, sizeof buffer);
    if (stopped_) return;
    if (n == 0) break;
    pending.append(buffer, n);
    std::size_t start = 0;
    for (std::size_t lf; (lf = pending.find('\n', start)) != std::string::npos; start = lf + 1)
      deliver(pending.substr(start, lf + 1 - start));
    pending.erase(0, start);
  }
  if (!pending.empty()) deliver(std::move(pending));
  std::lock_guard lock(mutex_);
  ended_ = true;
  ready_.notify_all();
}

// raw is the line as received, with its line feed if it had one.
void Input::deliver(std::string raw) {
  if (stopped_) return;
  if (transcript_) {
    std::fwrite(raw.data(), 1, raw.size(), transcript_);
    std::fflush(transcript_);
  }
  if (!raw.empty() && raw.back() == '\n') raw.pop_back();
  if (!raw.empty() && raw.back() == '\r') raw.pop_back();
  std::lock_guard lock(mutex_);
  lines_.push_back(std::move(raw));
  ready_.notify_all();
}

Input::Status Input::next(std::string& line, std::optional<Clock::time_point> deadline) {
  std::unique_lock lock(mutex_);
  auto ready = [this] { return !lines_.empty() || (ended_ && !end_reported_); };
  if (deadline) {
    if (!ready_.wait_until(lock, *deadline, ready)) return Status::Timeout;
  } else {
    ready_.wait(lock, ready);
  }
  if (lines_.empty()) {
    end_reported_ = true;
    return Status::End;
  }
  line = std::move(lines_.front());
  lines_.pop_front();
  return Status::Line;
}

}  // namespace testengine
