// The host's search request, read in place during the Eng9 call that
// receives it. Nothing outside bytes 28 to 1143 is ever read.
#pragma once

#include <cstddef>
#include <cstdint>

#include "chess/move_word.h"
#include "host/host_record.h"

namespace cecp {

namespace search_request {
constexpr std::size_t kBoard = 28;           // 64 piece-code bytes, a1 first
constexpr std::size_t kStandardStart = 92;   // u8, non-zero: the game began at the start position
constexpr std::size_t kWhiteToMove = 93;     // u8, 1 White, 0 Black
constexpr std::size_t kEpSquare = 94;        // u8, 0 none
constexpr std::size_t kCastling = 95;        // u8, castling-rights bits
constexpr std::size_t kMoves = 96;           // kMoveCapacity move words, oldest first
constexpr std::size_t kMoveCapacity = 512;
constexpr std::size_t kMoveCount = 1120;     // i16
constexpr std::size_t kClockMode = 1122;     // i16: 2 base plus increment, 3 moves in time, else none
constexpr std::size_t kTimeLeft = 1124;      // i32, seconds
constexpr std::size_t kIncrement = 1128;     // i32, seconds
constexpr std::size_t kTimeUsed = 1132;      // i32, seconds
constexpr std::size_t kMovesToGo = 1136;     // i16
constexpr std::size_t kMovesPlayed = 1138;   // i16
constexpr std::size_t kPonderRequest = 1142; // i16, non-zero: ponder on the last move
constexpr std::size_t kEnd = 1144;           // first byte never read

static_assert(kBoard + kSquareCount == kStandardStart);
static_assert(kMoves + kMoveCapacity * sizeof(MoveWord) == kMoveCount);
static_assert(kMoveCount + 2 == kClockMode && kClockMode + 2 == kTimeLeft);
static_assert(kTimeLeft + 4 == kIncrement && kIncrement + 4 == kTimeUsed);
static_assert(kTimeUsed + 4 == kMovesToGo && kMovesToGo + 2 == kMovesPlayed);
static_assert(kMovesPlayed + 4 == kPonderRequest && kPonderRequest + 2 == kEnd);
}  // namespace search_request

enum ClockMode : int {
    kClockIncrement = 2,
    kClockMovesInTime = 3,
};

// The request's fields, read in place. 16-bit fields come sign-extended.
class SearchRequestView {
public:
    explicit SearchRequestView(const void* record) : record_(record) {}

    const std::uint8_t* Board() const {
        return static_cast<const std::uint8_t*>(record_) + search_request::kBoard;
    }
    bool StandardStart() const { return U8(search_request::kStandardStart) != 0; }
    int WhiteToMove() const { return U8(search_request::kWhiteToMove); }
    int EpSquare() const { return U8(search_request::kEpSquare); }
    int Castling() const { return U8(search_request::kCastling); }
    // The number of moves in use, kept to the record's room for them.
    int MoveCount() const {
        int count = I16(search_request::kMoveCount);
        if (count < 0) return 0;
        return count > static_cast<int>(search_request::kMoveCapacity)
                   ? static_cast<int>(search_request::kMoveCapacity)
                   : count;
    }
    MoveWord Move(int index) const {
        return LoadField<MoveWord>(record_, search_request::kMoves + 2 * static_cast<std::size_t>(index));
    }
    int ClockMode() const { return I16(search_request::kClockMode); }
    std::int32_t TimeLeft() const { return LoadField<std::int32_t>(record_, search_request::kTimeLeft); }
    std::int32_t Increment() const { return LoadField<std::int32_t>(record_, search_request::kIncrement); }
    std::int32_t TimeUsed() const { return LoadField<std::int32_t>(record_, search_request::kTimeUsed); }
    std::int32_t MovesToGo() const { return I16(search_request::kMovesToGo); }
    std::int32_t MovesPlayed() const { return I16(search_request::kMovesPlayed); }
    bool PonderRequest() const { return I16(search_request::kPonderRequest) != 0; }

private:
    int U8(std::size_t offset) const { return LoadField<std::uint8_t>(record_, offset); }
    int I16(std::size_t offset) const { return LoadField<std::int16_t>(record_, offset); }
    const void* record_;
};

// The clock fields of a request, as a host gives them for the side to move.
struct SearchClock {
    std::int16_t mode = 1;  // kClockIncrement, kClockMovesInTime, else none
    std::int32_t timeLeft = 0;
    std::int32_t increment = 0;
    std::int32_t timeUsed = 0;
    std::int16_t movesToGo = 0;
    std::int16_t movesPlayed = 0;
};

// A host's side of the request: the fields written in place, as enghost and
// the tests fill a record of kEnd bytes or more.
class SearchRequestWriter {
public:
    explicit SearchRequestWriter(void* record) : record_(record) {}

    // The position the game started from: 64 piece-code bytes, a1 first.
    void SetStart(const std::uint8_t* board, bool whiteToMove, int epSquare, int castling, bool standardStart) {
        for (int square = 0; square < kSquareCount; ++square) {
            StoreField<std::uint8_t>(record_, search_request::kBoard + static_cast<std::size_t>(square), board[square]);
        }
        StoreField<std::uint8_t>(record_, search_request::kStandardStart, standardStart ? 1 : 0);
        StoreField<std::uint8_t>(record_, search_request::kWhiteToMove, whiteToMove ? 1 : 0);
        StoreField<std::uint8_t>(record_, search_request::kEpSquare, static_cast<std::uint8_t>(epSquare));
        StoreField<std::uint8_t>(record_, search_request::kCastling, static_cast<std::uint8_t>(castling));
    }
    // The moves played since, oldest first; those beyond the record's room
    // are left out.
    void SetMoves(const MoveWord* moves, std::size_t count) {
        if (count > search_request::kMoveCapacity) count = search_request::kMoveCapacity;
        for (std::size_t i = 0; i < count; ++i) StoreField<MoveWord>(record_, search_request::kMoves + 2 * i, moves[i]);
        StoreField<std::int16_t>(record_, search_request::kMoveCount, static_cast<std::int16_t>(count));
    }
    void SetClock(const SearchClock& clock) {
        StoreField<std::int16_t>(record_, search_request::kClockMode, clock.mode);
        StoreField<std::int32_t>(record_, search_request::kTimeLeft, clock.timeLeft);
        StoreField<std::int32_t>(record_, search_request::kIncrement, clock.increment);
        StoreField<std::int32_t>(record_, search_request::kTimeUsed, clock.timeUsed);
        StoreField<std::int16_t>(record_, search_request::kMovesToGo, clock.movesToGo);
        StoreField<std::int16_t>(record_, search_request::kMovesPlayed, clock.movesPlayed);
    }
    void SetPonderRequest(bool ponder) {
        StoreField<std::int16_t>(record_, search_request::kPonderRequest, ponder ? 1 : 0);
    }

private:
    void* record_;
};

}  // namespace cecp
