#include "protocol/uci/info.h"

#include <cstddef>
#include <cstring>

namespace cecp {
namespace {

// Words are parted by blanks.
constexpr char kBlanks[] = " \t";

// The words of a line, one after another, without copying them.
class Words {
public:
    explicit Words(const char* line) : at_(line) {}

    // The next word; false at the line's end.
    bool Next(const char** word, std::size_t* length) {
        at_ += std::strspn(at_, kBlanks);
        if (*at_ == '\0') return false;
        *word = at_;
        *length = std::strcspn(at_, kBlanks);
        at_ += *length;
        return true;
    }
    // The next word without taking it.
    bool Peek(const char** word, std::size_t* length) const {
        Words copy = *this;
        return copy.Next(word, length);
    }
    // The rest of the line after the blanks, or null when nothing is left.
    const char* Rest() {
        at_ += std::strspn(at_, kBlanks);
        return *at_ != '\0' ? at_ : nullptr;
    }

private:
    const char* at_;
};

bool Is(const char* word, std::size_t length, const char* keyword) {
    return std::strlen(keyword) == length && std::memcmp(word, keyword, length) == 0;
}

// A decimal number with an optional sign, held at [low, high]; false when
// the word is not one.
bool NumberOf(const char* word, std::size_t length, std::int64_t low, std::int64_t high, std::int64_t* out) {
    std::size_t i = 0;
    bool negative = false;
    if (i < length && (word[i] == '+' || word[i] == '-')) negative = word[i++] == '-';
    if (i == length) return false;
    const std::int64_t limit = negative ? -low : high;
    std::int64_t value = 0;
    for (; i < length; ++i) {
        if (word[i] < '0' || word[i] > '9') return false;
        int digit = word[i] - '0';
        value = value > (limit - digit) / 10 ? limit : value * 10 + digit;
    }
    *out = negative ? -value : value;
    return true;
}

// Takes the next word as the keyword's number when it is one.
bool TakeNumber(Words* words, std::int64_t low, std::int64_t high, std::int64_t* out) {
    const char* word = nullptr;
    std::size_t length = 0;
    if (!words->Peek(&word, &length) || !NumberOf(word, length, low, high, out)) return false;
    words->Next(&word, &length);
    return true;
}

constexpr std::int64_t kInt32Low = -2147483647 - 1, kInt32High = 2147483647;
constexpr std::int64_t kInt64High = 0x7fffffffffffffff;

}  // namespace

bool ReadUciInfo(const char* line, UciInfo* info) {
    *info = UciInfo{};
    Words words(line);
    const char* word = nullptr;
    std::size_t length = 0;
    if (!words.Next(&word, &length) || !Is(word, length, "info")) return false;
    std::int64_t number = 0;
    while (words.Next(&word, &length)) {
        if (Is(word, length, "depth")) {
            if ((info->hasDepth = TakeNumber(&words, kInt32Low, kInt32High, &number))) {
                info->depth = static_cast<std::int32_t>(number);
            }
        } else if (Is(word, length, "nodes")) {
            if ((info->hasNodes = TakeNumber(&words, -kInt64High, kInt64High, &number))) info->nodes = number;
        } else if (Is(word, length, "time")) {
            if ((info->hasTime = TakeNumber(&words, -kInt64High, kInt64High, &number))) info->milliseconds = number;
        } else if (Is(word, length, "multipv")) {
            if (TakeNumber(&words, kInt32Low, kInt32High, &number)) info->multipv = static_cast<std::int32_t>(number);
        } else if (Is(word, length, "currmovenumber")) {
            if (TakeNumber(&words, kInt32Low, kInt32High, &number)) {
                info->currentMoveNumber = static_cast<std::int32_t>(number);
            }
        } else if (Is(word, length, "score")) {
            const char* kind = nullptr;
            std::size_t kindLength = 0;
            if (!words.Peek(&kind, &kindLength)) continue;
            bool cp = Is(kind, kindLength, "cp"), mate = Is(kind, kindLength, "mate");
            if (!cp && !mate) continue;
            words.Next(&kind, &kindLength);
            if (!TakeNumber(&words, kInt32Low, kInt32High, &number)) continue;
            info->hasScore = true;
            info->mate = mate;
            info->score = static_cast<std::int32_t>(number);
        } else if (Is(word, length, "lowerbound") || Is(word, length, "upperbound")) {
            info->bound = true;
        } else if (Is(word, length, "currmove")) {
            const char* move = nullptr;
            std::size_t moveLength = 0;
            if (!words.Next(&move, &moveLength)) break;
            if (moveLength < sizeof info->currentMove) {
                std::memcpy(info->currentMove, move, moveLength);
                info->currentMove[moveLength] = '\0';
            }
        } else if (Is(word, length, "pv")) {
            info->mainLine = words.Rest();
            break;
        } else if (Is(word, length, "string")) {
            info->isString = true;
            break;
        }
        // Anything else (seldepth, nps, hashfull, tbhits, wdl, refutation and
        // words of engines' own) is passed over word by word; its numbers are
        // not keywords.
    }
    return true;
}

}  // namespace cecp
