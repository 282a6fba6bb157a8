// A dialect's reader on arbitrary engine lines, against arbitrary positions
// and search states, with an info block held or none. Each line is a C string
// at its exact size, so that a read past its end is caught (a string's spare
// capacity would hide it); now and then the input's text comes as one line of
// 100 KB. Nothing is written outside the info block (allocated at its exact
// size); every notification names a code of 329 to 333 and the block held,
// and none comes after a stop; every main line shown holds 1 to 32 moves, each
// one of the generated moves in turn from the engine's position; the flags
// stay 0 or 1, the cached main line within its room, and lines move the
// search on only to its end, or an analysis to its refusal. Protocol 2 (a
// negotiation of its own for each input, its answers taken in place of the
// engine's input): the feature reader keeps names and values in their buffers
// and takes them from the line in order, and reads numbers as switches; the
// dialect answers each feature, in order, and nothing else; it may stop
// answering a flood, but not within 100 features. UCI (all lines one search,
// started on the standard start, until a bestmove ends it): ReadUciInfo reads
// exactly the lines that start with "info", keeps the current move in its
// buffer and the main line after "pv", and takes each number from right after
// its keyword, held at its type's ends.
//
// Input: the dialect (byte % 3: classic, protocol 2, UCI); 64 board bytes,
// side, castling and en-passant bytes, a flags byte, the reported depth
// (signed); then the engine's lines, read in turn so that a move can follow
// the thinking lines of its search. Flags: 1 the start position instead of
// the board; 2 castling rights from the placement; 4 a main line already
// reported; 8 the search stopped; 16 scores from White's side; 32 White to
// move in the engine; 64 no info block held; 128 analysis on.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "chess/position.h"
#include "engine/engine_process.h"
#include "engine/engine_settings.h"
#include "engine/transport.h"
#include "host/host_link.h"
#include "host/info_block.h"
#include "move_listed.h"
#include "protocol/cecp/features.h"
#include "protocol/dialect.h"
#include "protocol/search_driver.h"
#include "protocol/search_request.h"
#include "protocol/search_state.h"
#include "protocol/uci/info.h"

namespace {

using cecp::g_host;
using cecp::g_search;
using cecp::g_settings;
using cecp::SearchPhase;
namespace ib = cecp::info_block;

constexpr std::size_t kHeader = 1 + 64 + 3 + 2;

// The search of the input under way.
struct Search {
    void* info = nullptr;    // the block held, or null
    cecp::Position position;  // the engine's
    std::uint8_t flags = 0;
} g_run;

// Sets the engine's position and the search's state from the header, the
// search under way and awaiting the engine's move.
void SetUpSearch(const std::uint8_t* header) {
    // Exactly the block's size, so that any stray field write is caught;
    // allocated once, emptied for each input.
    static unsigned char* const block = new unsigned char[ib::kMinimumSize];
    std::memset(block, 0, ib::kMinimumSize);
    const std::uint8_t flags = header[67];
    g_run.flags = flags;
    if (flags & 1) {
        g_run.position.SetStartPosition();
    } else {
        g_run.position.SetFromBoard(header, header[64] % 3, header[65], static_cast<std::int8_t>(header[66]));
        if (flags & 2) g_run.position.CastlingFromPlacement();
    }
    g_run.info = (flags & 64) ? nullptr : block;
    cecp::SetEnginePosition(g_run.position);

    g_host.infoBlock = g_run.info;
    g_host.pvReported = (flags & 4) ? 1 : 0;
    g_host.stopRequested = (flags & 8) ? 1 : 0;
    g_settings.evaluationWhite = (flags & 16) ? 1 : 0;
    g_host.engineSideWhite = (flags & 32) ? 1 : 0;
    g_settings.analyzeMode = (flags & 128) ? 1 : 0;
    g_search.phase = g_settings.analyzeMode ? SearchPhase::kAnalysing : SearchPhase::kSearching;
    g_host.reportedDepth = static_cast<std::int8_t>(header[68]);
    g_host.lastPvLength = 0;
    g_host.lastPvScore = 0;
    g_host.lastPvTime = 0;
    std::memset(g_host.lastPv, 0, sizeof g_host.lastPv);
}

void CheckSearchState() {
    if ((g_host.pvReported | g_settings.analyzeMode) & ~1) std::abort();
    const SearchPhase phase = g_search.phase;
    if (phase != SearchPhase::kSearching && phase != SearchPhase::kAnalysing && phase != SearchPhase::kRefused &&
        phase != SearchPhase::kEnded)
        std::abort();
    if (g_host.lastPvLength < 0 || g_host.lastPvLength > static_cast<int>(ib::kMainLineCapacity)) std::abort();
}

// Calls read(line) for every line of text (up to each line feed, and the
// rest after the last); a NUL byte in a line ends it, as it ends the
// module's texts. Each line is allocated at its exact size and freed after
// its reading, so that ASan sees a read past its end or a pointer kept to it.
template <typename Read>
void ForEachLine(std::string_view text, Read read) {
    for (std::size_t start = 0; start <= text.size();) {
        const std::size_t end = std::min(text.find('\n', start), text.size());
        const std::unique_ptr<char[]> line(new char[end - start + 1]);
        std::memcpy(line.get(), text.data() + start, end - start);
        line[end - start] = '\0';
        read(static_cast<const char*>(line.get()));
        start = end + 1;
    }
}

// The text as it is, or for one input in 512 (those whose bytes add up to a
// multiple of 512, which the fuzzer cannot steer, so that they stay few)
// repeated into one line of 100 KB, its line feeds made blanks.
std::string_view MaybeLong(const std::uint8_t* data, std::size_t size, std::string_view text) {
    unsigned sum = 0;
    for (std::size_t i = 0; i < size; ++i) sum += data[i];
    if (text.empty() || sum % 512 != 0) return text;
    static std::string repeated;
    repeated.clear();
    while (repeated.size() < 100 * 1024) repeated += text;
    std::replace(repeated.begin(), repeated.end(), '\n', ' ');
    return repeated;
}

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view SkipBlanks(std::string_view text) {
    while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
    return text;
}

// ---- Protocol 2's feature lines

const cecp::Dialect* const protocol2 = cecp::DialectNamed("2");
// The dialect's state for the input under way: each input is an engine of its own.
cecp::DialectState* g_open = nullptr;
// The answers of one input, which the dialect reads as one negotiation.
bool g_answering = true;
std::size_t g_answered = 0;
std::string g_answers;

void TakeAnswer(const char* command, std::size_t length) { g_answers.append(command, length); }

// The names of the features the reader finds on the line.
void ReadFeatures(const char* line, std::vector<std::string>* names) {
    // At its exact size, so that ASan sees a write past it; one for the run.
    static cecp::Feature* const feature = new cecp::Feature;
    const std::string_view text(line);
    cecp::FeatureReader reader(line);
    std::size_t at = 0;
    names->clear();
    while (reader.Next(feature)) {
        const std::size_t nameLength = strnlen(feature->name, cecp::kFeatureNameSize);
        const std::size_t valueLength = strnlen(feature->value, cecp::kFeatureValueSize);
        if (nameLength == 0 || nameLength == cecp::kFeatureNameSize || valueLength == cecp::kFeatureValueSize)
            std::abort();
        const std::string_view name(feature->name, nameLength), value(feature->value, valueLength);
        if (name.find_first_of(" \t=") != std::string_view::npos || (!feature->hasValue && !value.empty()))
            std::abort();
        // Taken from the line, one after another.
        if ((at = text.find(name, at)) == std::string_view::npos) std::abort();
        if ((at = text.find(value, at + name.size())) == std::string_view::npos) std::abort();
        at += value.size();
        // A number other than 0 at the value's start is on, whatever follows.
        const char* digits = feature->value + (feature->value[0] == '+' || feature->value[0] == '-');
        if (cecp::FeatureOn(*feature) !=
            (*digits >= '0' && *digits <= '9' && std::strtoll(feature->value, nullptr, 10) != 0))
            std::abort();
        names->emplace_back(name);
    }
}

void ReadProtocol2Line(const char* line) {
    std::string_view text(line);
    static std::vector<std::string> names;
    // A feature line is one whose first word is "feature".
    const std::string_view first = SkipBlanks(text).substr(0, 8);
    if (cecp::IsFeatureLine(line) != (first == "feature " || first == "feature\t")) std::abort();
    ReadFeatures(line, &names);

    // The dialect's reading: an answer to each feature, nothing else. It
    // looks for features after the bells that some engines put first.
    while (!text.empty() && text.front() == '\a') text.remove_prefix(1);
    if (!cecp::IsFeatureLine(text.data())) names.clear();
    else if (text.data() != line) ReadFeatures(text.data(), &names);
    g_answers.clear();
    protocol2->readLine(g_open, line);
    std::string_view answers(g_answers);
    for (const std::string& name : names) {
        if (answers.empty()) {
            // An engine that floods its features is answered no more.
            g_answering = false;
            break;
        }
        if (!g_answering) std::abort();
        ++g_answered;
        const std::size_t end = answers.find('\n');
        const std::string_view answer = answers.substr(0, end), verb = answer.substr(0, 9);
        if (end == std::string_view::npos || answer.size() < 9 || answer.substr(9) != name ||
            (verb != "accepted " && verb != "rejected "))
            std::abort();
        answers.remove_prefix(end + 1);
    }
    if (!answers.empty()) std::abort();
}

// A negotiation of its own: the greeting, with the engine already gone,
// starts one and ends it at once.
void OpenProtocol2() {
    char problem[256];
    if (g_open != nullptr) protocol2->close(g_open);
    g_open = protocol2->open();
    cecp::g_engine.exited = 1;
    if (protocol2->greet(g_open, problem, sizeof problem)) std::abort();
    cecp::g_engine.exited = 0;
    g_answering = true;
    g_answered = 0;
}

// ---- UCI's info lines

// The UCI dialect and its state, made once for the whole run as an open
// makes them.
const cecp::Dialect* const uci = cecp::DialectNamed("uci");
cecp::DialectState* const uciState = uci->open();

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

// Whether the words hold the keywords and right after them a number that,
// held at its type's ends (32 bits, or 63 and a sign), is value.
bool NumberAfter(const std::vector<std::string_view>& words, std::initializer_list<std::string_view> keywords,
                 std::int64_t value, bool wide = false) {
    for (auto at = words.begin(); words.end() - at > static_cast<std::ptrdiff_t>(keywords.size()); ++at) {
        const std::string_view number = at[static_cast<std::ptrdiff_t>(keywords.size())];
        if (!std::equal(keywords.begin(), keywords.end(), at) || !IsNumber(number)) continue;
        const long long held = std::strtoll(std::string(number).c_str(), nullptr, 10);
        if (value == (wide ? std::clamp<long long>(held, -INT64_MAX, INT64_MAX)
                           : std::clamp<long long>(held, INT32_MIN, INT32_MAX)))
            return true;
    }
    return false;
}

void CheckInfo(const char* line) {
    const std::string_view text(line);
    static std::vector<std::string_view> words;
    Split(text, &words);
    cecp::UciInfo info;
    const bool read = cecp::ReadUciInfo(line, &info);
    if (read != (!words.empty() && words[0] == "info")) std::abort();
    if (!read) return;

    // The current move is one of the line's words, ended within its buffer;
    // the main line starts at the word after "pv".
    const std::string_view move(info.currentMove, strnlen(info.currentMove, sizeof info.currentMove));
    if (move.size() == sizeof info.currentMove || (!move.empty() && std::count(words.begin(), words.end(), move) == 0))
        std::abort();
    const auto pv = std::find_if(words.begin(), words.end(), [&](auto word) { return word.data() == info.mainLine; });
    if (info.mainLine != nullptr && (pv == words.begin() || pv == words.end() || pv[-1] != "pv" || info.isString))
        std::abort();
    // Each number read follows its keyword in the line.
    if ((info.hasDepth && !NumberAfter(words, {"depth"}, info.depth)) ||
        (info.hasNodes && !NumberAfter(words, {"nodes"}, info.nodes, true)) ||
        (info.hasTime && !NumberAfter(words, {"time"}, info.milliseconds, true)) ||
        (info.hasScore && !NumberAfter(words, {"score", info.mate ? "mate" : "cp"}, info.score)) ||
        (info.multipv != 1 && !NumberAfter(words, {"multipv"}, info.multipv)) ||
        (info.currentMoveNumber != 0 && !NumberAfter(words, {"currmovenumber"}, info.currentMoveNumber)))
        std::abort();
    // Nor is the first field passed over (a later keyword without its number
    // takes it back).
    const std::string_view first = words.size() > 2 && IsNumber(words[2]) ? words[1] : "";
    if (std::count(words.begin(), words.end(), first) == 1 &&
        ((first == "depth" && !info.hasDepth) || (first == "nodes" && !info.hasNodes) ||
         (first == "time" && !info.hasTime)))
        std::abort();
}

// A search as the dialect starts it: the standard start, its clock.
void StartUciSearch() {
    namespace sr = cecp::search_request;
    static std::uint8_t* const record = new std::uint8_t[sr::kEnd]();
    record[sr::kStandardStart] = 1;
    record[sr::kWhiteToMove] = 1;
    cecp::StoreField<std::int16_t>(record, sr::kClockMode, cecp::kClockIncrement);
    cecp::StoreField<std::int32_t>(record, sr::kTimeLeft, 60);
    g_search.engineOpen = 0;  // the dialect's waits for the engine end at once
    cecp::g_engine.exited = 0;
    g_host.stopRequested = 0;
    g_search.phase = SearchPhase::kPreparing;
    uci->readLine(uciState, "bestmove");  // pays any search still owed an answer
    const cecp::SearchRequestView request(record);
    uci->startSearch(uciState, request, cecp::PlanSearch(request));
    if (g_search.phase != SearchPhase::kSearching) std::abort();
}

}  // namespace

extern "C" std::int32_t CECP_CALL Func3(std::uint32_t code, std::uint32_t, std::uint32_t, void* infoBlock) {
    if (code < cecp::kNotifyMainline || code > cecp::kNotifyNodes) std::abort();
    if (infoBlock == nullptr || infoBlock != g_run.info) std::abort();
    // Reports after a stop are dropped, whatever the stop flag says later.
    if (g_host.stopRequested != 0 || (g_run.flags & 8)) std::abort();
    if (code != cecp::kNotifyMainline) return 0;
    const int n = cecp::LoadField<std::int16_t>(infoBlock, ib::kMainLineLength);
    if (n < 1 || n > static_cast<int>(ib::kMainLineCapacity)) std::abort();
    cecp::Position line = g_run.position;
    for (int i = 0; i < n; ++i) {
        const auto move = cecp::LoadField<cecp::MoveWord>(infoBlock, ib::kMainLine + 2 * i);
        if (!cecp::fuzz::Listed(line, move)) std::abort();
        line.MakeMove(move);
    }
    return 0;
}

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    cecp::SetCommandWriter(TakeAnswer);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < kHeader) return 0;
    const int dialect = data[0] % 3;
    // UCI's search ends with its bestmove: a new one is started only then,
    // as the start's work (the position and its legal moves) would otherwise
    // cost more than most inputs.
    static bool uciSearching = false;
    if (dialect == 2 && !uciSearching) {
        StartUciSearch();
        uciSearching = true;
    }
    if (dialect == 1) OpenProtocol2();
    g_answers.clear();
    SetUpSearch(data + 1);

    static const cecp::Dialect* const classic = cecp::DialectNamed("1");
    static cecp::DialectState* const classicState = classic->open();
    const std::string_view text(reinterpret_cast<const char*>(data + kHeader), size - kHeader);
    ForEachLine(MaybeLong(data, size, text), [&](const char* line) {
        if (dialect == 0) classic->readLine(classicState, line);
        if (dialect == 1) ReadProtocol2Line(line);
        if (dialect == 2) {
            CheckInfo(line);
            uci->readLine(uciState, line);
            const std::string_view first = SkipBlanks(line).substr(0, 9);
            if (first == "bestmove" || first == "bestmove " || first == "bestmove\t") uciSearching = false;
        }
        CheckSearchState();
    });
    // Features that any engine may announce in one negotiation and have answered.
    if (dialect == 1 && !g_answering && g_answered < 100) std::abort();
    g_host.infoBlock = nullptr;
    return 0;
}
