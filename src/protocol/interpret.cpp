// Every line the engine writes: its move, thinking lines, status answers, the
// "(only move)" notice, hints and rejections.
#include "protocol/interpret.h"

#include <cstdint>
#include <cstring>

#include "host/adapter_state.h"
#include "host/exports.h"
#include "host/reporting.h"
#include "protocol/search_wait.h"

namespace cecp {
namespace {

// Words and main-line texts are held in buffers of this size; longer ones
// are cut, never overrun.
constexpr std::size_t kTextBufferSize = 2048;

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f'; }

// A reading position in a line, with the conversions of formatted input:
// numbers skip leading white space, take an optional sign and decimal digits.
class Scanner {
public:
    explicit Scanner(const char* at) : at_(at) {}

    void SkipSpace() {
        while (IsSpace(*at_)) ++at_;
    }
    // A decimal number; values beyond the range are held at its ends.
    bool Number(std::int64_t* out, std::int64_t low, std::int64_t high) {
        SkipSpace();
        const char* p = at_;
        bool negative = false;
        if (*p == '+' || *p == '-') negative = *p++ == '-';
        if (*p < '0' || *p > '9') return false;
        std::int64_t value = 0;
        const std::int64_t limit = negative ? -low : high;
        for (; *p >= '0' && *p <= '9'; ++p) {
            int digit = *p - '0';
            value = value > (limit - digit) / 10 ? limit : value * 10 + digit;
        }
        at_ = p;
        *out = negative ? -value : value;
        return true;
    }
    bool Int(std::int32_t* out) {
        std::int64_t value = 0;
        if (!Number(&value, INT32_MIN, INT32_MAX)) return false;
        *out = static_cast<std::int32_t>(value);
        return true;
    }
    bool Int64(std::int64_t* out) { return Number(out, INT64_MIN + 1, INT64_MAX); }
    // The very next character, white space included.
    bool Char(char* out) {
        if (*at_ == '\0') return false;
        *out = *at_++;
        return true;
    }
    // The rest of the line, cut to the buffer; false when nothing is left.
    bool Rest(char* out, std::size_t size) {
        if (*at_ == '\0') return false;
        CopyCut(at_, std::strlen(at_), out, size);
        return true;
    }
    // A run of non-blank characters, cut to the buffer.
    bool Word(char* out, std::size_t size) {
        SkipSpace();
        const char* end = at_;
        while (*end != '\0' && !IsSpace(*end)) ++end;
        if (end == at_) return false;
        CopyCut(at_, static_cast<std::size_t>(end - at_), out, size);
        at_ = end;
        return true;
    }
    bool Literal(const char* text) {
        std::size_t length = std::strlen(text);
        if (std::strncmp(at_, text, length) != 0) return false;
        at_ += length;
        return true;
    }

private:
    static void CopyCut(const char* from, std::size_t length, char* out, std::size_t size) {
        if (length >= size) length = size - 1;
        std::memcpy(out, from, length);
        out[length] = '\0';
    }
    const char* at_;
};

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

// The engine's move ends the search; it is reported as the main line unless
// the last line shown already begins with it.
void HandleMove(const char* move) {
    // After "?" the search waits for exactly this move: the record must not
    // go on showing a line from before the stop, or even from the previous
    // search when none came in this one.
    bool answersMoveNow = g_state.stopRequested && g_state.awaitingMove && g_state.moveNowSentAt != 0;
    auto report = answersMoveNow ? ReportMoveAfterStop : ReportMainLine;
    if (g_state.pvReported == 0) {
        g_state.pvReported = 1;
        ShowDepth(1, 0);
        ShowNodes(1);
        report(move, 1, 1);
    } else {
        MoveWord recognised = 0;
        Position position = EnginePositionCopy();
        int found = g_state.moveTextCache.ParseVariation(move, position, &recognised, 1);
        MoveWord cachedFirst = CachedFirstMove();
        if (found > 0 && !(g_state.lastPvLength != 0 && recognised == cachedFirst)) {
            report(move, CachedScore(), CachedTime());
        }
    }
    EndMoveWait();
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

// "Illegal move", "illegal move", "Unexpected", "unexpected" (the first
// letter is not compared) and "Error".
bool IsRejection(const char* line) {
    return (line[0] != '\0' && (std::strncmp(line + 1, "llegal move", 11) == 0 ||
                                std::strncmp(line + 1, "nexpected", 9) == 0)) ||
           std::strncmp(line, "Error", 5) == 0;
}

bool IsHint(const char* line) {
    Scanner scan(line);
    char word[kTextBufferSize];
    return scan.Literal("Hint:") && scan.Word(word, sizeof word);
}

// depth, a mark character, score, time, nodes, main line.
bool HandleThinkingLine(const char* line) {
    Scanner scan(line);
    std::int32_t depth = 0, score = 0, time = 0;
    std::int64_t nodes = 0;
    char mark = 0;
    static thread_local char mainLine[kTextBufferSize];
    mainLine[0] = '\0';
    if (!(scan.Int(&depth) && scan.Char(&mark) && scan.Int(&score) && scan.Int(&time) && scan.Int64(&nodes))) {
        return false;
    }
    scan.SkipSpace();
    scan.Rest(mainLine, sizeof mainLine);

    // A blank after the depth marks centiseconds.
    if (mark == ' ' || mark == '\t') time = static_cast<std::int32_t>((static_cast<std::int64_t>(time) + 50) / 100);
    if (depth > g_state.reportedDepth) {
        ShowDepth(depth, 0);
        ShowNodes(nodes);
        ForgetCachedMainLine();
    }
    if (std::strchr(mainLine, '(') != nullptr) return true;
    RememberLineScoreAndTime(score, time);
    g_state.pvReported = 1;
    ReportMainLine(mainLine, score, time);
    return true;
}

void HandleOnlyMove(const char* notice) {
    Scanner scan(notice);
    char move[kTextBufferSize] = "";
    scan.Literal("(only move)");
    scan.Word(move, sizeof move);
    ShowDepth(1, 0);
    ShowNodes(1);
    ReportMainLine(move, 0, 0);
    EndMoveWait();
}

// time, nodes, depth, moves left, total moves.
bool HandleStatusLine(const char* line) {
    Scanner scan(line);
    std::int32_t time = 0, depth = 0, left = 0, total = 0;
    std::int64_t nodes = 0;
    if (!(scan.Literal("stat01:") && scan.Int(&time) && scan.Int64(&nodes) && scan.Int(&depth) &&
          scan.Int(&left) && scan.Int(&total))) {
        return false;
    }
    ShowDepth(depth, 0);
    ShowNodes(nodes);
    ShowMove(0, static_cast<std::int16_t>(total - left), static_cast<std::int16_t>(total));
    g_state.statusRequestsLeft = -1;
    return true;
}

}  // namespace

void InterpretLine(const char* line) {
    while (*line == '\a') ++line;

    static thread_local Words words;
    ReadWords(line, &words);
    if (words.count >= 3 && std::strcmp(words.second, "...") == 0) {
        HandleMove(words.third);
        return;
    }
    if (words.count >= 2 && std::strcmp(words.first, "move") == 0) {
        HandleMove(words.second);
        return;
    }
    if (IsIgnoredMessage(line)) return;
    if (IsRejection(line)) {
        // An engine that does not know "analyze" is never asked again until
        // it is opened anew.
        if (Contains(line, "analyze")) {
            g_state.analyzeMode = 0;
            g_state.analyzing = 0;
        }
        return;
    }
    if (IsHint(line)) return;
    if (HandleThinkingLine(line)) return;
    if (const char* notice = std::strstr(line, "(only move)")) {
        HandleOnlyMove(notice);
        return;
    }
    HandleStatusLine(line);
}

}  // namespace cecp
