#include "engine.h"

#include <algorithm>
#include <thread>
#include <utility>

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

bool contains(const std::vector<std::string>& words, std::string_view word) {
  return std::find(words.begin(), words.end(), word) != words.end();
}

std::string_view first_word(std::string_view line) {
  auto words = split_words(line);
  return words.empty() ? std::string_view() : words[0];
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
        if (!at_once(line)) handle(line);
        break;
      case Input::Status::Timeout: analysis_tick(); break;
      case Input::Status::End: ended_ = true; break;
    }
  }
}

// What a command does the moment it is read, even while a block runs; true
// when that is all it does. The order is the one `--help` documents.
bool Engine::at_once(const std::string& line) {
  if (line == "quit" && !script_.ignore_quit) platform::exit_now(0);
  std::string_view first = first_word(line);
  if ((line == "?" && script_.ignore_move_now) || contains(script_.ignored, first)) return true;
  auto rule = std::find_if(script_.rules.begin(), script_.rules.end(),
                           [&](const Rule& r) { return r.at_once && r.matches(line); });
  if (rule != script_.rules.end()) {
    // The block under way goes on afterwards with its own command, depth and time.
    follow_mode(first);
    std::string outer = std::exchange(command_, line);
    for (const Action& a : rule->actions) perform(a);
    command_ = std::move(outer);
    return true;
  }
  if (line == "?" || contains(script_.hurry, first)) {
    if (running_ > 0) hurry_ = true;
    return true;
  }
  if (line == ".") {
    if (script_.stat) send(expand(*script_.stat) + "\n");
    return true;
  }
  if (awaiting_ && contains(*awaiting_, first)) {
    awaited_ = true;
    return true;
  }
  return false;
}

// Force mode and analysis follow their commands whatever rule answers them.
void Engine::follow_mode(std::string_view first) {
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
}

void Engine::handle(const std::string& line) {
  command_ = line;
  auto words = split_words(line);
  std::string_view first = words.empty() ? std::string_view() : words[0];
  follow_mode(first);

  auto rule = std::find_if(script_.rules.begin(), script_.rules.end(),
                           [&](const Rule& r) { return !r.at_once && r.matches(line); });
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
  ++running_;
  hurry_ = false;
  depth_ = 0;
  began_ = Clock::now();
  for (const Action& a : block) {
    using K = Action::Kind;
    if (hurry_ && (a.kind == K::Sleep || a.kind == K::Think || a.kind == K::Await)) continue;
    perform(a);
  }
  --running_;
}

void Engine::perform(const Action& a) {
  using K = Action::Kind;
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
    case K::Await: await(a.words); break;
    case K::Move: play_move(a.text, a.ponder); break;
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

// Sleeps, reading commands the while: those that act at once do, the others
// wait for the block to end. "?" and the hurry words cut the pause short.
void Engine::pause(std::uint32_t ms) {
  auto deadline = Clock::now() + std::chrono::milliseconds(ms);
  while (!hurry_) {
    std::string line;
    switch (input_.next(line, deadline)) {
      case Input::Status::Timeout: return;
      case Input::Status::End: ended_ = true; break;
      case Input::Status::Line:
        if (!at_once(line)) deferred_.push_back(std::move(line));
        break;
    }
  }
}

// Waits, reading as pause does, for a command whose first word is one of the
// words. One that came earlier and still waits to be answered counts: a
// "ponderhit" that arrives while the ponder search thinks ends its wait.
void Engine::await(const std::vector<std::string>& words) {
  auto waiting = std::find_if(deferred_.begin(), deferred_.end(),
                              [&](const std::string& line) { return contains(words, first_word(line)); });
  if (waiting != deferred_.end()) {
    deferred_.erase(waiting);
    return;
  }
  awaiting_ = &words;
  awaited_ = false;
  while (!hurry_ && !awaited_) {
    std::string line;
    auto status = input_.next(line, std::nullopt);
    if (status == Input::Status::Line) {
      if (!at_once(line)) deferred_.push_back(std::move(line));
    } else if (status == Input::Status::End) {
      // Nothing can come any more; with "ignore eof" the engine waits until killed.
      ended_ = true;
      if (!script_.ignore_eof) break;
    }
  }
  awaiting_ = nullptr;
}

void Engine::play_move(const std::string& fixed, const std::string& ponder) {
  std::string move = fixed;
  if (move.empty()) {
    if (next_move_ >= script_.moves.size()) return;
    move = script_.moves[next_move_++];
  }
  const std::string& format =
      ponder.empty() ? script_.move_format : script_.ponder_format.value_or(script_.move_format + " ponder $p");
  send(expand(format, move, ponder) + "\n");
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

std::string Engine::expand(const std::string& text, const std::string& move, const std::string& ponder) const {
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
    } else if (c == 'p') {
      out += ponder;
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
