// UCI's info lines on arbitrary lines: ReadUciInfo, then the UCI dialect's
// own reading (DialectNamed("uci")->readLine) against arbitrary positions,
// with a search under way and an info block held (or none).
//
// What must hold for any line (each a C string at its exact size: nothing
// reads past it):
// - ReadUciInfo answers true exactly for a line whose first word is "info";
//   the current move it names is ended within its buffer and is a word of
//   the line, and the main line is the rest of the line after a word "pv";
// - for a well-formed info line (each keyword followed by its value: "depth",
//   "seldepth", "multipv", "nodes", "time", "nps", "hashfull", "tbhits",
//   "currmovenumber" a number of any length, "score" "cp" or "mate" and a
//   number, "currmove" a word, "lowerbound" and "upperbound" alone, "string"
//   or "pv" and the rest of the line), every field is that of the last of
//   its keyword, numbers held at their type's ends (depth, multipv, score
//   and the move number at 32 bits, nodes and time at 63 bits and a sign);
// - what search_state.h says of every report and every line: valid codes,
//   main lines of legal moves within the record's room, nothing after a stop.
//
// Input: the header of search_state.h, then lines (up to each line feed; a
// NUL ends a line, as the module's texts end there); one input in 512 is
// repeated into one line of 100 KB (exact_lines.h). Each input's
// lines belong to one search that the dialect started on the standard start
// position (its bestmove ends it), the engine's position then set from the
// header.
#include <algorithm>
#include <climits>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

#include "engine/engine_process.h"
#include "exact_lines.h"
#include "protocol/dialect.h"
#include "protocol/search_request.h"
#include "protocol/uci/info.h"
#include "search_state.h"

extern "C" std::int32_t CECP_CALL Func3(std::uint32_t code, std::uint32_t, std::uint32_t, void* infoBlock) {
    cecp::fuzz::CheckReport(code, infoBlock);
    return 0;
}

namespace {

// The UCI dialect and its state, made once for the whole run as an open
// makes them.
const cecp::Dialect* const uci = cecp::DialectNamed("uci");
cecp::DialectState* const uciState = uci->open();

constexpr std::int64_t kInt64High = INT64_MAX;

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// The words of a line, split at blanks.
void Split(std::string_view line, std::vector<std::string_view>* words) {
    words->clear();
    std::size_t at = 0;
    while (true) {
        while (at < line.size() && IsBlank(line[at])) ++at;
        if (at == line.size()) return;
        std::size_t end = at;
        while (end < line.size() && !IsBlank(line[end])) ++end;
        words->push_back(line.substr(at, end - at));
        at = end;
    }
}

bool IsNumber(std::string_view word) {
    if (!word.empty() && (word.front() == '+' || word.front() == '-')) word.remove_prefix(1);
    return !word.empty() && word.find_first_not_of("0123456789") == std::string_view::npos;
}

// The word's number held at [low, high] (strtoll holds it at 64 bits first).
std::int64_t Held(std::string_view word, std::int64_t low, std::int64_t high) {
    const std::string text(word);
    long long value = std::strtoll(text.c_str(), nullptr, 10);
    if (value < low) value = low;
    if (value > high) value = high;
    return value;
}

bool IsOneOf(std::string_view word, std::initializer_list<std::string_view> words) {
    for (std::string_view one : words)
        if (word == one) return true;
    return false;
}

// The fields of a well-formed info line; false for any other line.
bool ReadWellFormed(std::string_view line, const std::vector<std::string_view>& words, cecp::UciInfo* info) {
    *info = cecp::UciInfo{};
    if (words.empty() || words[0] != "info") return false;
    for (std::size_t i = 1; i < words.size(); ++i) {
        const std::string_view word = words[i];
        const bool hasNext = i + 1 < words.size();
        if (word == "string") {
            info->isString = true;
            return true;
        }
        if (word == "pv") {
            if (hasNext) info->mainLine = line.data() + (words[i + 1].data() - line.data());
            return true;
        }
        if (word == "lowerbound" || word == "upperbound") {
            info->bound = true;
        } else if (word == "currmove") {
            if (!hasNext) return false;
            const std::string_view move = words[++i];
            if (move.size() < sizeof info->currentMove) {
                std::memcpy(info->currentMove, move.data(), move.size());
                info->currentMove[move.size()] = '\0';
            }
        } else if (word == "score") {
            if (i + 2 >= words.size() || !IsOneOf(words[i + 1], {"cp", "mate"}) || !IsNumber(words[i + 2])) {
                return false;
            }
            info->hasScore = true;
            info->mate = words[i + 1] == "mate";
            info->score = static_cast<std::int32_t>(Held(words[i + 2], INT32_MIN, INT32_MAX));
            i += 2;
        } else if (IsOneOf(word, {"depth", "multipv", "currmovenumber", "nodes", "time", "seldepth", "nps",
                                  "hashfull", "tbhits"})) {
            if (!hasNext || !IsNumber(words[i + 1])) return false;
            const std::string_view number = words[++i];
            if (word == "depth") {
                info->hasDepth = true;
                info->depth = static_cast<std::int32_t>(Held(number, INT32_MIN, INT32_MAX));
            } else if (word == "multipv") {
                info->multipv = static_cast<std::int32_t>(Held(number, INT32_MIN, INT32_MAX));
            } else if (word == "currmovenumber") {
                info->currentMoveNumber = static_cast<std::int32_t>(Held(number, INT32_MIN, INT32_MAX));
            } else if (word == "nodes") {
                info->hasNodes = true;
                info->nodes = Held(number, -kInt64High, kInt64High);
            } else if (word == "time") {
                info->hasTime = true;
                info->milliseconds = Held(number, -kInt64High, kInt64High);
            }
        } else {
            return false;
        }
    }
    return true;
}

bool Same(const cecp::UciInfo& a, const cecp::UciInfo& b) {
    return a.hasDepth == b.hasDepth && (!a.hasDepth || a.depth == b.depth) && a.hasNodes == b.hasNodes &&
           (!a.hasNodes || a.nodes == b.nodes) && a.hasTime == b.hasTime &&
           (!a.hasTime || a.milliseconds == b.milliseconds) && a.hasScore == b.hasScore &&
           (!a.hasScore || (a.mate == b.mate && a.score == b.score)) && a.bound == b.bound &&
           a.multipv == b.multipv && std::strcmp(a.currentMove, b.currentMove) == 0 &&
           a.currentMoveNumber == b.currentMoveNumber && a.mainLine == b.mainLine && a.isString == b.isString;
}

void CheckInfo(const char* line) {
    const std::string_view text(line);
    static std::vector<std::string_view> words;
    Split(text, &words);
    cecp::UciInfo info;
    const bool read = cecp::ReadUciInfo(line, &info);
    if (read != (!words.empty() && words[0] == "info")) std::abort();
    if (!read) return;

    const std::size_t moveLength = strnlen(info.currentMove, sizeof info.currentMove);
    if (moveLength == sizeof info.currentMove) std::abort();
    if (moveLength > 0 && std::find(words.begin(), words.end(), std::string_view(info.currentMove, moveLength)) ==
                              words.end()) {
        std::abort();
    }
    if (info.mainLine != nullptr) {
        if (info.mainLine < line || info.mainLine >= line + text.size() || IsBlank(*info.mainLine)) std::abort();
        std::string_view before = text.substr(0, static_cast<std::size_t>(info.mainLine - line));
        while (!before.empty() && IsBlank(before.back())) before.remove_suffix(1);
        if (before.size() < 3 || before.substr(before.size() - 2) != "pv" || !IsBlank(before[before.size() - 3])) {
            std::abort();
        }
        if (info.isString) std::abort();
    }
    cecp::UciInfo expected;
    if (ReadWellFormed(text, words, &expected) && !Same(info, expected)) std::abort();
}

// A search as the dialect starts it: the standard start, its clock.
void StartSearch() {
    static std::uint8_t* const record = new std::uint8_t[cecp::search_request::kEnd]();
    record[cecp::search_request::kStandardStart] = 1;
    record[cecp::search_request::kWhiteToMove] = 1;
    cecp::StoreField<std::int16_t>(record, cecp::search_request::kClockMode, cecp::kClockIncrement);
    cecp::StoreField<std::int32_t>(record, cecp::search_request::kTimeLeft, 60);
    using cecp::g_engine;
    using cecp::g_host;
    using cecp::g_search;
    g_search.engineOpen = 0;  // the dialect's waits for the engine end at once
    g_engine.exited = 0;
    g_host.stopRequested = 0;
    g_search.awaitingMove = 0;
    uci->readLine(uciState, "bestmove");  // pays any search still owed an answer
    if (uci->startSearch(uciState, cecp::SearchRequestView(record)) != cecp::SearchStart::kSearching) std::abort();
}

bool IsBestMove(std::string_view line) {
    while (!line.empty() && IsBlank(line.front())) line.remove_prefix(1);
    return line.substr(0, 8) == "bestmove" && (line.size() == 8 || IsBlank(line[8]));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < cecp::fuzz::kSearchHeader) return 0;
    // The dialect's search ends with its bestmove: a new one is started only
    // then, as the start's work (the position and its legal moves) would
    // otherwise cost more than most inputs.
    static bool searching = false;
    if (!searching) {
        StartSearch();
        searching = true;
    }
    cecp::fuzz::SetUpSearch(data);

    const std::string_view text(reinterpret_cast<const char*>(data + cecp::fuzz::kSearchHeader),
                                size - cecp::fuzz::kSearchHeader);
    cecp::fuzz::ForEachLine(cecp::fuzz::MaybeLong(data, size, text), [&](const char* line) {
        CheckInfo(line);
        uci->readLine(uciState, line);
        cecp::fuzz::CheckSearchState();
        if (IsBestMove(line)) searching = false;
    });
    cecp::fuzz::EndSearch();
    return 0;
}
