#include "search_record.h"

#include "host/host_record.h"

namespace enghost {

namespace sr = cecp::search_request;
using cecp::StoreField;

void SearchRecord::SetGame(const Board& start, bool standardStart, const std::vector<cecp::MoveWord>& moves) {
    const cecp::Position& position = start.position();
    for (int square = 0; square < cecp::kSquareCount; ++square)
        StoreField<std::uint8_t>(bytes_, sr::kBoard + square, position.squares[square]);
    StoreField<std::uint8_t>(bytes_, sr::kStandardStart, standardStart ? 1 : 0);
    StoreField<std::uint8_t>(bytes_, sr::kWhiteToMove, start.WhiteToMove() ? 1 : 0);
    StoreField<std::uint8_t>(bytes_, sr::kEpSquare, static_cast<std::uint8_t>(position.epSquare));
    StoreField<std::uint8_t>(bytes_, sr::kCastling, static_cast<std::uint8_t>(position.castlingRights));
    const int count = static_cast<int>(moves.size()) < kMoveCapacity ? static_cast<int>(moves.size()) : kMoveCapacity;
    for (int i = 0; i < count; ++i) StoreField<cecp::MoveWord>(bytes_, sr::kMoves + 2 * i, moves[i]);
    StoreField<std::int16_t>(bytes_, sr::kMoveCount, static_cast<std::int16_t>(count));
}

void SearchRecord::SetClock(const ClockFields& clock) {
    StoreField<std::int16_t>(bytes_, sr::kClockMode, clock.mode);
    StoreField<std::int32_t>(bytes_, sr::kTimeLeft, clock.timeLeft);
    StoreField<std::int32_t>(bytes_, sr::kIncrement, clock.increment);
    StoreField<std::int32_t>(bytes_, sr::kTimeUsed, clock.timeUsed);
    StoreField<std::int16_t>(bytes_, sr::kMovesToGo, clock.movesToGo);
    StoreField<std::int16_t>(bytes_, sr::kMovesPlayed, clock.movesPlayed);
}

void SearchRecord::SetPonder(bool ponder) { StoreField<std::int16_t>(bytes_, sr::kPonderRequest, ponder ? 1 : 0); }

}  // namespace enghost
