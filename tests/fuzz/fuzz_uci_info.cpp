// UCI's info lines on arbitrary lines (exact_lines.h), then the dialect's own
// reading with a search under way: ReadUciInfo reads exactly the lines that
// start with "info", keeps the current move in its buffer and the main line
// after "pv", and agrees on well-formed lines with a plain reading of the
// words (numbers held at their type's ends); every report and line leaves
// what search_state.h checks.
//
// Input: the header of search_state.h, then lines, all of one search that the
// dialect started on the standard start (its bestmove ends it).
#include <algorithm>
#include <climits>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <string>
#include <string_view>
#include <tuple>
#include <vector>

#include "engine/engine_process.h"
#include "exact_lines.h"
#include "protocol/dialect.h"
#include "protocol/search_request.h"
#include "protocol/search_driver.h"
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

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// The words of a line, split at blanks.
void Split(std::string_view line, std::vector<std::string_view>* words) {
    words->clear();
    for (std::size_t at = 0, end; at < line.size(); at = end) {
        while (at < line.size() && IsBlank(line[at])) ++at;
        for (end = at; end < line.size() && !IsBlank(line[end]);) ++end;
        if (end > at) words->push_back(line.substr(at, end - at));
    }
}

bool IsNumber(std::string_view word) {
    if (!word.empty() && (word.front() == '+' || word.front() == '-')) word.remove_prefix(1);
    return !word.empty() && word.find_first_not_of("0123456789") == std::string_view::npos;
}

// The word's number held at the type's ends: 32 bits, or 63 and a sign.
std::int64_t Held(std::string_view word, bool wide) {
    const long long value = std::strtoll(std::string(word).c_str(), nullptr, 10);
    return wide ? std::clamp<long long>(value, -INT64_MAX, INT64_MAX)
                : std::clamp<long long>(value, INT32_MIN, INT32_MAX);
}

bool IsOneOf(std::string_view word, std::initializer_list<std::string_view> words) {
    return std::find(words.begin(), words.end(), word) != words.end();
}

// The fields of a well-formed info line; false for any other line.
bool ReadWellFormed(const std::vector<std::string_view>& words, cecp::UciInfo* info) {
    *info = cecp::UciInfo{};
    if (words.empty() || words[0] != "info") return false;
    for (std::size_t i = 1; i < words.size(); ++i) {
        const std::string_view word = words[i], next = i + 1 < words.size() ? words[i + 1] : std::string_view();
        if (word == "string" || word == "pv") {
            info->isString = word == "string";
            if (word == "pv" && !next.empty()) info->mainLine = next.data();
            return true;
        } else if (word == "lowerbound" || word == "upperbound") {
            info->bound = true;
        } else if (word == "currmove" && !next.empty()) {
            if (next.size() < sizeof info->currentMove) *std::copy(next.begin(), next.end(), info->currentMove) = 0;
            ++i;
        } else if (word == "score" && IsOneOf(next, {"cp", "mate"}) && i + 2 < words.size() && IsNumber(words[i + 2])) {
            info->hasScore = true;
            info->mate = next == "mate";
            info->score = static_cast<std::int32_t>(Held(words[i += 2], false));
        } else if (IsOneOf(word, {"depth", "multipv", "currmovenumber", "nodes", "time", "seldepth", "nps", "hashfull",
                                  "tbhits"}) &&
                   IsNumber(next)) {
            const std::int64_t value = Held(words[++i], word == "nodes" || word == "time");
            if (word == "depth") info->depth = static_cast<std::int32_t>(value);
            if (word == "multipv") info->multipv = static_cast<std::int32_t>(value);
            if (word == "currmovenumber") info->currentMoveNumber = static_cast<std::int32_t>(value);
            if (word == "nodes") info->nodes = value;
            if (word == "time") info->milliseconds = value;
            info->hasDepth |= word == "depth";
            info->hasNodes |= word == "nodes";
            info->hasTime |= word == "time";
        } else {
            return false;
        }
    }
    return true;
}

// The fields that count: a value only where it was named.
auto Fields(const cecp::UciInfo& x) {
    return std::tuple(x.hasDepth, x.hasDepth ? x.depth : 0, x.hasNodes, x.hasNodes ? x.nodes : 0, x.hasTime,
                      x.hasTime ? x.milliseconds : 0, x.hasScore, x.hasScore && x.mate, x.hasScore ? x.score : 0,
                      x.bound, x.multipv, std::string_view(x.currentMove), x.currentMoveNumber, x.mainLine,
                      x.isString);
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
    if (moveLength == sizeof info.currentMove ||
        (moveLength > 0 && !std::count(words.begin(), words.end(), std::string_view(info.currentMove, moveLength))))
        std::abort();
    if (info.mainLine != nullptr) {
        if (info.mainLine < line || info.mainLine >= line + text.size() || IsBlank(*info.mainLine) || info.isString)
            std::abort();
        std::string_view before = text.substr(0, static_cast<std::size_t>(info.mainLine - line));
        while (!before.empty() && IsBlank(before.back())) before.remove_suffix(1);
        if (before.size() < 3 || before.substr(before.size() - 2) != "pv" || !IsBlank(before[before.size() - 3]))
            std::abort();
    }
    cecp::UciInfo expected;
    if (ReadWellFormed(words, &expected) && Fields(info) != Fields(expected)) std::abort();
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
    g_search.phase = cecp::SearchPhase::kPreparing;
    uci->readLine(uciState, "bestmove");  // pays any search still owed an answer
    const cecp::SearchRequestView request(record);
    uci->startSearch(uciState, request, cecp::PlanSearch(request));
    if (g_search.phase != cecp::SearchPhase::kSearching) std::abort();
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
