// The commands of a search request in the Chess Engine Communication
// Protocol, shared by its classic conversation and by version 2: the clock,
// then the position.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>

#include "chess/move_word.h"
#include "chess/position.h"
#include "protocol/search_request.h"

namespace cecp {

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

// What a CECP conversation remembers of the clock from search to search: the
// time control sent last, and the status requests of a search without clock.
struct CecpClock {
    std::int32_t lastLevelIncrement = -1;
    std::int32_t lastLevelSeconds = -1;
    std::int32_t lastLevelMoves = -1;
    // Eng9's thread only.
    bool statusPolling = false;
    int statusPasses = 0;
    // Status requests the engine may still be sent; -1 once it has answered
    // one (the reader), after which there is no limit.
    std::atomic<int> statusRequestsLeft{1};
};

// The clock of a request: a "level" (empty while the time control is the one
// sent last) and the engine's time for "time", or for a request without a
// clock an unlimited level or the preparation of an analysis (analyzing set),
// with the status requests of a search without clock switched on.
struct ClockPlan {
    char level[64] = {};
    std::int32_t centiseconds = 0;
    bool timed = false;  // a "time" is due
};
ClockPlan PlanClock(CecpClock& clock, const SearchRequestView& request);

// The time control sent last is forgotten: the next clock sends its "level"
// whatever it is (a new game, a new engine).
void ForgetLevelSent(CecpClock& clock);

// "time N", "otim N".
void SendTimeCommand(const char* name, std::int32_t centiseconds);

// The status requests of a search without clock ("."), about one a second
// from the start of the search for as long as the engine answers them: the
// start, then every pass of Eng9's wait.
void RestartStatusRequests(CecpClock& clock);
void TickStatusRequests(CecpClock& clock);

// "new", then the clock as planned, the time right after the level.
void SendClockCommands(CecpClock& clock, const SearchRequestView& request);

// The position of the request (the start position, or a set-up position in
// edit mode), "hard"/"easy", and the moves played in force mode; the
// engine's position follows every move, and a ponder search holds its last
// move back (heldReply: the classic conversation's ponder move).
void SendPosition(const SearchRequestView& request, bool ponder, PonderMove& heldReply);

// The set-up position of the request in edit mode, with the castling and
// en-passant commands when the settings allow them; position becomes the
// board the engine was given (castling rights as edit mode assumes them).
void SendEditedPosition(const SearchRequestView& request, Position* position);

// Coordinate text of a move: from and to squares and, for a promotion, its
// letter (e7e8q). out needs room for 6 characters.
void MoveText(MoveWord move, char* out);

}  // namespace cecp
