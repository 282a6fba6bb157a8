#include "engine.h"

#include <algorithm>
#include <thread>

#include "platform.h"

namespace testengine {
namespace {

bool is_square(std::string_view s) { return s.size() == 2 && s[0] >= 'a' && s[0] <= 'h' && s[1] >= '1' && s[1] <= '8'; }

// A move as a GUI sends it without "usermove": e2e4, e7e8q, P@e4, O-O, O-O-O.
bool looks_like_move(std::string_view w) {
  if (w == "O-O" || w == "O-O-O") return true;
  if (w.size() == 4 && w[1] == '@') return std::string_view("PNBRQK").find(w[0]) != std::string_view::npos && is_square(w.substr(2));
  return (w.size() == 4 || (w.size() == 5 && w[4] >= 'a' && w[4] <= 'z')) && is_square(w.substr(0, 2)) &&
         is_square(w.substr(2, 2));
}

}  // namespace

void Engine::run() {
  run_block(script_.start);
  for (;;) {
    std::string line;
    if (!deferred_.empty()) {
      line = std::move(deferred_.front());
      deferred_.pop_front();
      handle(line);
      continue;
    }
    if (ended_ && !script_.ignore_eof) platform::exit_now(0);
    auto deadline = analyzing_ ? std::optional(next_tick_) : std::nullopt;
    switch (input_.next(line, deadline)) {
      case Input::Status::Line:
        if (!interrupt(line)) handle(line);
        break;
      case Input::Status::Timeout: analysis_tick(); break;
      case Input::Status::End: ended_ = true; break;
    }
  }
}

// quit, "?" and "." take effect the moment they arrive, even while a block runs.
bool Engine::interrupt(const std::string& line) {
  if (line == "quit" && !script_.ignore_quit) platform::exit_now(0);
  if (line == "?") {
    if (running_ > 0 && !script_.ignore_move_now) hurry_ = true;
    return true;
  }
  if (line == ".") {
    if (script_.stat) send(expand(*script_.stat) + "\n");
    return true;
  }
  return false;
}

void Engine::handle(const std::string& line) {
  command_ = line;
  auto words = split_words(line);
  std::string_view first = words.empty() ? std::string_view() : words[0];
  if (first == "force") {
    forced_ = true;
  } else if (first == "new") {
    forced_ = false;
    next_move_ = 0;
    number_ = script_.first_number;
  } else if (first == "go" || first == "playother") {
    forced_ = false;
  } else if (first == "exit") {
    analyzing_ = false;
  }

  auto rule = std::find_if(script_.rules.begin(), script_.rules.end(), [&](const Rule& r) { return r.matches(line); });
  if (rule != script_.rules.end()) {
    run_block(rule->actions);
  } else if (first == "analyze") {
    if (!script_.analysis) {
      send("Error (unknown command): analyze\n");
      return;
    }
    analyzing_ = true;
    depth_ = 0;
    began_ = Clock::now();
    next_tick_ = began_ + std::chrono::milliseconds(script_.analysis->ms);
  } else if (first == "go") {
    run_block(script_.search);
  } else if (!forced_ && !analyzing_ &&
             ((words.size() == 2 && first == "usermove") || (words.size() == 1 && looks_like_move(first)))) {
    run_block(script_.search);
  }
}

void Engine::run_block(const Block& block) {
  using K = Action::Kind;
  ++running_;
  hurry_ = false;
  depth_ = 0;
  began_ = Clock::now();
  for (const Action& a : block) {
    if (hurry_ && (a.kind == K::Sleep || a.kind == K::Think)) continue;
    switch (a.kind) {
      case K::Send: send(expand(a.text) + "\n"); break;
      case K::SendRaw: send(expand(a.text)); break;
      case K::Sleep: pause(a.ms); break;
      case K::Think:
        for (std::uint64_t i = 1; i <= a.count && !hurry_; ++i) {
          pause(a.ms);
          if (hurry_) break;
          depth_ = i;
          send(expand(a.text) + "\n");
        }
        break;
      case K::Move: play_move(a.text); break;
      case K::Search: run_block(script_.search); break;
      case K::Flood: {
        std::string line = expand(a.text) + "\n";
        std::uint64_t whole = a.count / line.size() * line.size();
        send_repeated(line, whole);
        if (a.count > whole) send(line.substr(0, a.count - whole - 1) + "\n");
        break;
      }
      case K::LongLine: {
        std::string line = expand(a.text);
        if (line.size() > a.count) line.resize(a.count);
        send(line);
        send_repeated("x", a.count - line.size());
        send("\n");
        break;
      }
      case K::Crash: platform::crash();
      case K::Exit: platform::exit_now(static_cast<int>(a.count));
      case K::Hang: hang();
    }
  }
  --running_;
}

// Sleeps, reading commands the while: quit, "?" and "." act at once, the others
// wait for the block to end. "?" cuts the pause short.
void Engine::pause(std::uint32_t ms) {
  auto deadline = Clock::now() + std::chrono::milliseconds(ms);
  while (!hurry_) {
    std::string line;
    switch (input_.next(line, deadline)) {
      case Input::Status::Timeout: return;
      case Input::Status::End: ended_ = true; break;
      case Input::Status::Line:
        if (!interrupt(line)) deferred_.push_back(std::move(line));
        break;
    }
  }
}

void Engine::play_move(const std::string& fixed) {
  std::string move = fixed;
  if (move.empty()) {
    if (next_move_ >= script_.moves.size()) return;
    move = script_.moves[next_move_++];
  }
  send(expand(script_.move_format, move) + "\n");
  ++number_;
}

void Engine::analysis_tick() {
  depth_ += 1;
  send(expand(script_.analysis->line) + "\n");
  next_tick_ += std::chrono::milliseconds(script_.analysis->ms);
}

void Engine::send(const std::string& bytes) { platform::write_output(bytes.data(), bytes.size()); }

// Writes bytes bytes of copies of the text, as fast as the pipe takes them.
void Engine::send_repeated(const std::string& text, std::uint64_t bytes) {
  std::string chunk;
  while (chunk.size() < (1u << 16)) chunk += text;
  while (bytes > 0) {
    std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(bytes, chunk.size()));
    if (!platform::write_output(chunk.data(), n)) return;
    bytes -= n;
  }
}

std::string Engine::expand(const std::string& text, const std::string& move) const {
  std::string out;
  auto words = split_words(command_);
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '$' || i + 1 == text.size()) {
      out += text[i];
      continue;
    }
    char c = text[++i];
    if (c == 'd') {
      out += std::to_string(depth_);
    } else if (c == 'c') {
      auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - began_).count();
      out += std::to_string(elapsed / 10);
    } else if (c == 'n') {
      out += std::to_string(number_);
    } else if (c == 'm') {
      out += move;
    } else if (c == '0') {
      out += command_;
    } else if (c >= '1' && c <= '9') {
      auto index = static_cast<std::size_t>(c - '0');
      if (index < words.size()) out += words[index];
    } else {
      out += c;  // "$$"
    }
  }
  return out;
}

void Engine::hang() {
  input_.stop_reading();
  for (;;) std::this_thread::sleep_for(std::chrono::hours(1));
}

}  // namespace testengine
