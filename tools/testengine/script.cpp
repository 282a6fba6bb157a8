#include "script.h"

#include <algorithm>
#include <charconv>
#include <limits>

namespace testengine {
namespace {

constexpr std::uint64_t kMaxMs = 24ull * 60 * 60 * 1000;
constexpr std::uint64_t kMaxLines = 1'000'000;
constexpr std::uint64_t kMaxBytes = 1ull << 40;

bool is_blank(char c) { return c == ' ' || c == '\t'; }

struct Failure {
  std::string message;
};

// Resolves the backslash escapes of a script text and, unless it is a text to
// match, checks its placeholders.
std::string text_of(std::string_view raw, bool printed = true) {
  std::string out;
  for (std::size_t i = 0; i < raw.size(); ++i) {
    if (raw[i] != '\\') {
      out += raw[i];
      continue;
    }
    if (++i == raw.size()) throw Failure{"a backslash ends the line (write \\\\ for one backslash)"};
    switch (raw[i]) {
      case 'r': out += '\r'; break;
      case 'n': out += '\n'; break;
      case '0': out += '\0'; break;
      case 't': out += '\t'; break;
      case 'a': out += '\a'; break;
      case '\\': out += '\\'; break;
      case 'x': {
        unsigned value = 0;
        auto hex = raw.substr(i + 1, 2);
        auto [end, ec] = std::from_chars(hex.data(), hex.data() + hex.size(), value, 16);
        if (hex.size() != 2 || ec != std::errc{} || end != hex.data() + 2)
          throw Failure{"\\x needs two hexadecimal digits"};
        out += static_cast<char>(value);
        i += 2;
        break;
      }
      default:
        throw Failure{std::string("unknown escape \\") + raw[i]};
    }
  }
  for (std::size_t i = 0; printed && i < out.size(); ++i) {
    if (out[i] != '$') continue;
    if (++i == out.size()) throw Failure{"a $ ends the text (write $$ for one dollar sign)"};
    if (std::string_view("dcnmp$0123456789").find(out[i]) == std::string_view::npos)
      throw Failure{std::string("unknown placeholder $") + out[i]};
  }
  return out;
}

std::uint64_t number_of(std::string_view word, std::uint64_t max, const char* what) {
  std::uint64_t value = 0;
  auto [end, ec] = std::from_chars(word.data(), word.data() + word.size(), value);
  if (word.empty() || ec != std::errc{} || end != word.data() + word.size())
    throw Failure{std::string(what) + " '" + std::string(word) + "' is not a number"};
  if (value > max) throw Failure{std::string(what) + " " + std::string(word) + " is larger than " + std::to_string(max)};
  return value;
}

// Splits "a b rest of line" into its first word and the verbatim rest (after
// exactly one blank).
std::pair<std::string_view, std::string_view> first_and_rest(std::string_view s) {
  std::size_t blank = 0;
  while (blank < s.size() && !is_blank(s[blank])) ++blank;
  if (blank == s.size()) return {s, {}};
  return {s.substr(0, blank), s.substr(blank + 1)};
}

class Parser {
 public:
  Script script;

  void line(std::string_view l) {
    while (!l.empty() && is_blank(l.front())) l.remove_prefix(1);
    if (l.empty() || l.front() == '#') return;
    auto [keyword, rest] = first_and_rest(l);
    auto words = split_words(rest);
    if (setting(keyword, rest, words)) {
      block_ = nullptr;
    } else if (header(keyword, rest, words)) {
    } else if (Action a; action(keyword, rest, words, a)) {
      if (!block_) throw Failure{"'" + std::string(keyword) + "' outside a block (start one with 'at' or 'on')"};
      if (a.kind == Action::Kind::Search && block_ == &script.search)
        throw Failure{"'search' inside 'at search'"};
      if (at_once_ && a.waits())
        throw Failure{"'" + std::string(keyword) +
                      "' in a 'now' block (it runs at once: no sleep, think, await or search)"};
      block_->push_back(std::move(a));
    } else {
      throw Failure{"unknown keyword '" + std::string(keyword) + "'"};
    }
  }

 private:
  Block* block_ = nullptr;
  bool at_once_ = false;  // block_ is a "now" rule's
  bool had_start_ = false;
  bool had_search_ = false;

  static void arity(const std::vector<std::string_view>& words, std::size_t min, std::size_t max,
                    std::string_view keyword) {
    if (words.size() < min || words.size() > max)
      throw Failure{"wrong number of arguments to '" + std::string(keyword) + "'"};
  }

  bool setting(std::string_view k, std::string_view rest, const std::vector<std::string_view>& w) {
    if (k == "moves") {
      arity(w, 1, std::numeric_limits<std::size_t>::max(), k);
      for (auto m : w) script.moves.emplace_back(m);
    } else if (k == "moveformat") {
      arity(w, 1, std::numeric_limits<std::size_t>::max(), k);
      script.move_format = text_of(rest);
    } else if (k == "ponderformat") {
      arity(w, 1, std::numeric_limits<std::size_t>::max(), k);
      script.ponder_format = text_of(rest);
    } else if (k == "movenumber") {
      arity(w, 1, 1, k);
      script.first_number = number_of(w[0], 1'000'000, "move number");
    } else if (k == "stat") {
      arity(w, 1, std::numeric_limits<std::size_t>::max(), k);
      script.stat = text_of(rest);
    } else if (k == "analyze") {
      if (w.size() < 2) throw Failure{"'analyze' needs a delay and a line"};
      auto [ms, line] = first_and_rest(rest);
      auto delay = number_of(ms, kMaxMs, "delay");
      if (delay == 0) throw Failure{"the delay of 'analyze' must be at least 1 ms"};
      script.analysis = Analysis{static_cast<std::uint32_t>(delay), text_of(line)};
    } else if (k == "ignore") {
      arity(w, 1, 1, k);
      if (w[0] == "quit") script.ignore_quit = true;
      else if (w[0] == "eof") script.ignore_eof = true;
      else if (w[0] == "?") script.ignore_move_now = true;
      else script.ignored.emplace_back(w[0]);
    } else if (k == "hurry") {
      arity(w, 1, std::numeric_limits<std::size_t>::max(), k);
      script.hurry.insert(script.hurry.end(), w.begin(), w.end());
    } else {
      return false;
    }
    return true;
  }

  bool header(std::string_view k, std::string_view rest, const std::vector<std::string_view>& w) {
    if (k == "at") {
      arity(w, 1, 1, k);
      bool& had = w[0] == "start" ? had_start_ : had_search_;
      if (w[0] != "start" && w[0] != "search") throw Failure{"'at' takes start or search"};
      if (had) throw Failure{"a second 'at " + std::string(w[0]) + "' block"};
      had = true;
      block_ = w[0] == "start" ? &script.start : &script.search;
      at_once_ = false;
      return true;
    }
    // "now", "now-line" and "now-prefix" match as "on", "on-line" and
    // "on-prefix" do; only the moment their block runs differs.
    Rule rule;
    rule.at_once = k.starts_with("now");
    auto kind = rule.at_once ? k.substr(3) : k.starts_with("on") ? k.substr(2) : std::string_view("?");
    if (kind == "") {
      arity(w, 1, std::numeric_limits<std::size_t>::max(), k);
      rule.match = Rule::Match::Word;
      rule.text = std::string(w[0]);
      rule.also.assign(w.begin() + 1, w.end());
    } else if (kind == "-line") {
      rule.match = Rule::Match::Line;
      rule.text = text_of(rest, false);
    } else if (kind == "-prefix") {
      rule.match = Rule::Match::Prefix;
      rule.text = text_of(rest, false);
      if (rule.text.empty()) throw Failure{"'" + std::string(k) + "' needs a text"};
    } else {
      return false;
    }
    script.rules.push_back(std::move(rule));
    block_ = &script.rules.back().actions;
    at_once_ = script.rules.back().at_once;
    return true;
  }

  static bool action(std::string_view k, std::string_view rest, const std::vector<std::string_view>& w, Action& a) {
    using K = Action::Kind;
    if (k == "send") {
      a.kind = K::Send;
      a.text = text_of(rest);
    } else if (k == "sendraw") {
      if (rest.empty()) throw Failure{"'sendraw' needs a text"};
      a.kind = K::SendRaw;
      a.text = text_of(rest);
    } else if (k == "sleep") {
      arity(w, 1, 1, k);
      a.kind = K::Sleep;
      a.ms = static_cast<std::uint32_t>(number_of(w[0], kMaxMs, "delay"));
    } else if (k == "think") {
      if (w.size() < 3) throw Failure{"'think' needs a count, a delay and a line"};
      auto [count, after] = first_and_rest(rest);
      auto [ms, line] = first_and_rest(after);
      a.kind = K::Think;
      a.text = text_of(line);
      a.count = number_of(count, kMaxLines, "count");
      a.ms = static_cast<std::uint32_t>(number_of(ms, kMaxMs, "delay"));
    } else if (k == "move") {
      arity(w, 0, 2, k);
      a.kind = K::Move;
      if (w.size() >= 1) a.text = std::string(w[0]);
      if (w.size() == 2) a.ponder = std::string(w[1]);
    } else if (k == "await") {
      if (w.empty()) throw Failure{"'await' needs the first words of the commands it waits for"};
      a.kind = K::Await;
      a.words.assign(w.begin(), w.end());
    } else if (k == "search" || k == "crash" || k == "hang") {
      arity(w, 0, 0, k);
      a.kind = k == "search" ? K::Search : k == "crash" ? K::Crash : K::Hang;
    } else if (k == "exit") {
      arity(w, 1, 1, k);
      a.kind = K::Exit;
      a.count = number_of(w[0], 255, "exit code");
    } else if (k == "flood" || k == "longline") {
      if (w.empty()) throw Failure{"'" + std::string(k) + "' needs a byte count"};
      auto [bytes, line] = first_and_rest(rest);
      a.kind = k == "flood" ? K::Flood : K::LongLine;
      a.text = text_of(line);
      a.count = number_of(bytes, kMaxBytes, "byte count");
      if (a.kind == K::Flood && a.text.empty()) a.text = "#" + std::string(78, 'x');
      if (a.text.find('\n') != std::string::npos) throw Failure{"the line of '" + std::string(k) + "' holds a line feed"};
    } else {
      return false;
    }
    return true;
  }
};

}  // namespace

bool Rule::matches(std::string_view command) const {
  switch (match) {
    case Match::Word: {
      auto words = split_words(command);
      if (words.empty() || words[0] != text) return false;
      return std::all_of(also.begin(), also.end(), [&](const std::string& w) {
        return std::find(words.begin() + 1, words.end(), w) != words.end();
      });
    }
    case Match::Line: return command == text;
    case Match::Prefix: return command.starts_with(text);
  }
  return false;
}

std::vector<std::string_view> split_words(std::string_view line) {
  std::vector<std::string_view> words;
  std::size_t i = 0;
  while (i < line.size()) {
    while (i < line.size() && is_blank(line[i])) ++i;
    std::size_t start = i;
    while (i < line.size() && !is_blank(line[i])) ++i;
    if (i > start) words.push_back(line.substr(start, i - start));
  }
  return words;
}

ParseResult parse_script(std::string_view text) {
  Parser parser;
  std::size_t number = 0;
  while (!text.empty()) {
    ++number;
    auto end = text.find('\n');
    auto l = text.substr(0, end);
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    if (!l.empty() && l.back() == '\r') l.remove_suffix(1);
    try {
      parser.line(l);
    } catch (const Failure& f) {
      return {std::nullopt, "line " + std::to_string(number) + ": " + f.message};
    }
  }
  return {std::move(parser.script), {}};
}

}  // namespace testengine
