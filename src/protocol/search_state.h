// The open engine's conversation and the search under way, as the exports,
// the search driver and the dialects share them.
//
// The record lives in static storage from load to unload and is
// constant-initialised. Flags shared between the host's threads and the
// reader thread are 32-bit atomics, each written and read whole.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>

namespace cecp {

struct Dialect;

using Flag = std::atomic<std::int32_t>;

// The held-back ponder move in coordinate text (four characters and maybe a
// promotion letter), packed into one atomic word: Eng3 and Eng10 may race on
// another thread, and exactly one of them takes and sends it.
class PonderMove {
public:
    static constexpr std::size_t kTextSize = 8;  // at most 7 characters and a NUL

    void Set(const char* text) {
        std::uint64_t word = 0;
        for (std::size_t i = 0; i + 1 < kTextSize && text[i] != '\0'; ++i) {
            word |= static_cast<std::uint64_t>(static_cast<unsigned char>(text[i])) << (8 * i);
        }
        packed.store(word);
    }
    void Clear() { packed.store(0); }
    bool Empty() const { return packed.load() == 0; }
    // Empties the move; true (with its text in out) when there was one.
    bool Take(char (&out)[kTextSize]) { return Unpack(packed.exchange(0), out); }
    void Peek(char (&out)[kTextSize]) const { Unpack(packed.load(), out); }

private:
    static bool Unpack(std::uint64_t word, char (&out)[kTextSize]) {
        for (std::size_t i = 0; i < kTextSize; ++i) out[i] = static_cast<char>((word >> (8 * i)) & 0xff);
        out[kTextSize - 1] = '\0';
        return word != 0;
    }
    std::atomic<std::uint64_t> packed{0};
};

struct SearchState {
    Flag engineOpen{0};
    // The open engine's dialect (null: none open, the classic conversation).
    std::atomic<const Dialect*> dialect{nullptr};

    Flag thinking{0};
    Flag awaitingMove{0};
    Flag analyzing{0};
    Flag statusPolling{0};
    Flag statusRequestsLeft{1};
    // When Eng3 last asked the engine to move now or stop (steady
    // milliseconds, 0 when it has not in this search), and how long the
    // search then waits for its answer before it gives up on the engine.
    std::atomic<std::int64_t> moveNowSentAt{0};
    Flag moveNowPatience{0};
    // The engine may still be busy with a search whose answer the module no
    // longer waits for (it refused to move now, or never answered): what it
    // still says of that search belongs to no search.
    Flag engineBusy{0};
    // The engine refused the command that started this search (an analysis
    // it does not know): nothing runs in it, and a stop given up on leaves
    // it idle, not busy.
    Flag searchRefused{0};
    PonderMove ponderMove;
    // The host confirmed the pondered reply while the search was still being
    // set up, before its ponder move was held back: it is sent as soon as the
    // engine has been told to ponder.
    Flag ponderHitEarly{0};
    std::int32_t lastLevelIncrement = -1;
    std::int32_t lastLevelSeconds = -1;
    std::int32_t lastLevelMoves = -1;
};

extern SearchState g_search;

}  // namespace cecp
