// Every line the engine writes: its move, thinking lines, status answers, the
// "(only move)" notice, hints and rejections.
#include "protocol/cecp/interpret.h"

#include <cstdint>
#include <cstring>

#include "engine/engine_settings.h"
#include "host/host_link.h"
#include "host/reporting.h"
#include "protocol/cecp/commands.h"
#include "protocol/engine_move.h"
#include "protocol/line_scanner.h"
#include "protocol/search_driver.h"
#include "protocol/search_wait.h"

namespace cecp {
namespace {

// Words and main-line texts are held in buffers of this size; longer ones
// are cut, never overrun.
constexpr std::size_t kTextBufferSize = 2048;

struct Words {
    char first[kTextBufferSize];
    char second[kTextBufferSize];
    char third[kTextBufferSize];
    int count = 0;
};

void ReadWords(const char* line, Words* words) {
    Scanner scan(line);
    char* slots[] = {words->first, words->second, words->third};
    words->count = 0;
    for (char* slot : slots) {
        if (!scan.Word(slot, kTextBufferSize)) break;
        ++words->count;
    }
}

bool Contains(const char* line, const char* text) { return std::strstr(line, text) != nullptr; }

// Messages of engines that run remote or missing programs (polyglot among
// them) that must not be taken for anything else.
bool IsIgnoredMessage(const char* line) {
    static const char* const kIgnored[] = {"unknown host",       "No remote directory", "not found",
                                           "No such file",       "can't alloc",         "Permission denied"};
    for (const char* text : kIgnored) {
        if (Contains(line, text)) return true;
    }
    return false;
}

bool IsHint(const char* line) {
    Scanner scan(line);
    char word[kTextBufferSize];
    return scan.Literal("Hint:") && scan.Word(word, sizeof word);
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Where the main line of an extended thinking line begins, the text after
// the nodes given: the optional numbers (selective depth, speed, table-base
// hits) come before a tab, so the main line starts after the last tab that
// no other word precedes, or at the first word when there is no such tab.
const char* ExtendedMainLine(const char* afterNodes) {
    const char* start = nullptr;
    const char* at = afterNodes;
    for (;;) {
        while (*at == ' ' || *at == '\t') {
            if (*at == '\t') start = at + 1;
            ++at;
        }
        const char* word = at;
        if (*at == '+' || *at == '-') ++at;
        bool number = IsDigit(*at);
        while (IsDigit(*at)) ++at;
        if (!number || !(*at == '\0' || *at == ' ' || *at == '\t')) {
            at = word;
            break;
        }
        if (*at == '\0') break;
    }
    if (start == nullptr) start = afterNodes;
    while (IsSpace(*start)) ++start;
    return start;
}

// depth, a mark character, score, time, nodes, main line.
bool HandleThinkingLine(const char* line, ThinkingForm form) {
    Scanner scan(line);
    std::int32_t depth = 0, score = 0, time = 0;
    std::int64_t nodes = 0;
    char mark = 0;
    static thread_local char mainLine[kTextBufferSize];
    mainLine[0] = '\0';
    if (!(scan.Int(&depth) && scan.Char(&mark) && scan.Int(&score) && scan.Int(&time) && scan.Int64(&nodes))) {
        return false;
    }
    if (form == ThinkingForm::kExtended) {
        Scanner rest(ExtendedMainLine(scan.Here()));
        rest.Rest(mainLine, sizeof mainLine);
    } else {
        scan.SkipSpace();
        scan.Rest(mainLine, sizeof mainLine);
    }

    // A blank after the depth marks centiseconds.
    if (mark == ' ' || mark == '\t') time = static_cast<std::int32_t>((static_cast<std::int64_t>(time) + 50) / 100);
    if (depth > g_host.reportedDepth) {
        ReportDepth(depth, 0);
        ReportNodes(nodes);
        AllowMainLineRepeat();
    }
    if (std::strchr(mainLine, '(') != nullptr) return true;
    RememberLineScoreAndTime(score, time);
    g_host.pvReported = 1;
    ReportMainLine(mainLine, score, time);
    return true;
}

void HandleOnlyMove(const char* notice) {
    Scanner scan(notice);
    char move[kTextBufferSize] = "";
    scan.Literal("(only move)");
    scan.Word(move, sizeof move);
    ReportDepth(1, 0);
    ReportNodes(1);
    ReportMainLine(move, 0, 0);
    EndMoveWait();
}

// time, nodes, depth, moves left, total moves.
bool HandleStatusLine(const char* line, CecpClock* clock) {
    Scanner scan(line);
    std::int32_t time = 0, depth = 0, left = 0, total = 0;
    std::int64_t nodes = 0;
    if (!(scan.Literal("stat01:") && scan.Int(&time) && scan.Int64(&nodes) && scan.Int(&depth) &&
          scan.Int(&left) && scan.Int(&total))) {
        return false;
    }
    ReportDepth(depth, 0);
    ReportNodes(nodes);
    ReportCurrentMove(0, static_cast<std::int16_t>(total - left), static_cast<std::int16_t>(total));
    if (clock != nullptr) clock->statusRequestsLeft = -1;
    return true;
}

// The rejection names "?" as the command it refuses: "Error (unknown
// command): ?", as fairymax answers.
bool RefusesMoveNow(const char* line) {
    const char* end = line + std::strlen(line);
    while (end > line && IsSpace(end[-1])) --end;
    return end - line >= 2 && end[-1] == '?' && (end[-2] == ' ' || end[-2] == ':');
}

// The words of the move line, when it is one.
const Words* ReadMoveLine(const char* line) {
    static thread_local Words words;
    ReadWords(line, &words);
    if (words.count >= 3 && std::strcmp(words.second, "...") == 0) return &words;
    if (words.count >= 2 && std::strcmp(words.first, "move") == 0) return &words;
    return nullptr;
}

const char* MoveWordOf(const Words& words) {
    return std::strcmp(words.second, "...") == 0 && words.count >= 3 ? words.third : words.second;
}

}  // namespace

// "Illegal move" or "illegal move": the first letter is not compared.
bool IsIllegalMoveLine(const char* line) { return line[0] != '\0' && std::strncmp(line + 1, "llegal move", 11) == 0; }

// An illegal-move line, "Unexpected", "unexpected" and "Error".
bool IsRejection(const char* line) {
    return IsIllegalMoveLine(line) || (line[0] != '\0' && std::strncmp(line + 1, "nexpected", 9) == 0) ||
           std::strncmp(line, "Error", 5) == 0;
}

const char* SkipBells(const char* line) {
    while (*line == '\a') ++line;
    return line;
}

bool IsMoveLine(const char* line) { return ReadMoveLine(SkipBells(line)) != nullptr; }

void SettleOwedMove(std::atomic<bool>& moveOwed, const char* line) {
    if (!IsMoveLine(line)) return;
    moveOwed = false;
    NotifyEngineEvent();
}

bool IsSearchLine(const char* line) {
    line = SkipBells(line);
    if (ReadMoveLine(line) != nullptr) return true;
    Scanner scan(line);
    std::int64_t number = 0;
    if (scan.Int64(&number)) return true;  // a thinking line
    return std::strstr(line, "(only move)") != nullptr || std::strncmp(line, "stat01:", 7) == 0;
}

void InterpretCecpLine(const char* line, const CecpLines& lines) {
    line = SkipBells(line);
    if (const Words* words = ReadMoveLine(line)) {
        lines.takeMove(lines.context, MoveWordOf(*words));
        return;
    }
    if (IsIgnoredMessage(line)) return;
    if (IsRejection(line)) {
        // An engine that does not know "analyze" is never asked again until
        // it is opened anew.
        if (Contains(line, "analyze")) {
            g_settings.analyzeMode = 0;
            AnalysisRefused();
        }
        // An engine that refuses to move now goes on thinking: the search
        // ends at once with the last line shown standing, and the move the
        // engine still owes belongs to no search.
        if (RefusesMoveNow(line) && CurrentPhase() == SearchPhase::kMovingNow) GiveUpOnAnswer();
        return;
    }
    if (IsHint(line)) return;
    if (HandleThinkingLine(line, lines.form)) return;
    if (const char* notice = std::strstr(line, "(only move)")) {
        HandleOnlyMove(notice);
        return;
    }
    HandleStatusLine(line, lines.clock);
}

}  // namespace cecp
