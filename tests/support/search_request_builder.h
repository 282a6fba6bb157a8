// A host's search request, filled at its byte offsets, and moves written as
// coordinate text.
#pragma once

#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <vector>

#include "chess/move_word.h"
#include "host/host_record.h"
#include "protocol/search_request.h"

namespace cecp::test {

// A move word from coordinate text: e2e4, e7e8q.
inline MoveWord M(const char* coordinate) {
    auto square = [](const char* s) { return (s[0] - 'a') + 8 * (s[1] - '1'); };
    int promotion = 0;
    switch (coordinate[4]) {
    case 'q': promotion = kPromoteQueen; break;
    case 'r': promotion = kPromoteRook; break;
    case 'b': promotion = kPromoteBishop; break;
    case 'n': promotion = kPromoteKnight; break;
    default: break;
    }
    return MakeMoveWord(square(coordinate), square(coordinate + 2), promotion);
}

struct SearchRequestBuilder {
    SearchRequestBuilder() {
        std::memset(bytes, 0, sizeof bytes);
        Set<std::uint8_t>(search_request::kStandardStart, 1);
        Set<std::uint8_t>(search_request::kWhiteToMove, 1);
        Set<std::int16_t>(search_request::kClockMode, 1);
    }
    template <typename T>
    SearchRequestBuilder& Set(std::size_t offset, T value) {
        StoreField<T>(bytes, offset, value);
        return *this;
    }
    SearchRequestBuilder& Moves(const std::vector<const char*>& moves) {
        int i = 0;
        for (const char* move : moves) Set<MoveWord>(search_request::kMoves + 2 * i++, M(move));
        return Set<std::int16_t>(search_request::kMoveCount, static_cast<std::int16_t>(i));
    }
    SearchRequestBuilder& Increment(std::int32_t timeLeft, std::int32_t increment, std::int32_t timeUsed = 0,
                                    std::int16_t movesPlayed = 0) {
        Set<std::int16_t>(search_request::kClockMode, kClockIncrement);
        Set<std::int32_t>(search_request::kTimeLeft, timeLeft);
        Set<std::int32_t>(search_request::kIncrement, increment);
        Set<std::int32_t>(search_request::kTimeUsed, timeUsed);
        return Set<std::int16_t>(search_request::kMovesPlayed, movesPlayed);
    }
    SearchRequestBuilder& MovesInTime(std::int16_t movesToGo, std::int32_t timeLeft, std::int32_t timeUsed = 0,
                                      std::int16_t movesPlayed = 0, std::int32_t increment = 0) {
        Set<std::int16_t>(search_request::kClockMode, kClockMovesInTime);
        Set<std::int16_t>(search_request::kMovesToGo, movesToGo);
        Set<std::int32_t>(search_request::kTimeLeft, timeLeft);
        Set<std::int32_t>(search_request::kTimeUsed, timeUsed);
        Set<std::int32_t>(search_request::kIncrement, increment);
        return Set<std::int16_t>(search_request::kMovesPlayed, movesPlayed);
    }
    SearchRequestBuilder& NoClock() { return Set<std::int16_t>(search_request::kClockMode, 1); }
    SearchRequestBuilder& Ponder() { return Set<std::int16_t>(search_request::kPonderRequest, 1); }
    // A set-up position: placement bytes by square, side, castling and ep.
    SearchRequestBuilder& Board(std::initializer_list<std::pair<const char*, std::uint8_t>> pieces, bool whiteToMove,
                                int castling = 0, int ep = 0) {
        Set<std::uint8_t>(search_request::kStandardStart, 0);
        for (auto [square, code] : pieces) {
            Set<std::uint8_t>(search_request::kBoard + (square[0] - 'a') + 8 * (square[1] - '1'), code);
        }
        Set<std::uint8_t>(search_request::kWhiteToMove, whiteToMove ? 1 : 0);
        Set<std::uint8_t>(search_request::kCastling, static_cast<std::uint8_t>(castling));
        return Set<std::uint8_t>(search_request::kEpSquare, static_cast<std::uint8_t>(ep));
    }
    SearchRequestView View() const { return SearchRequestView(bytes); }

    alignas(8) unsigned char bytes[search_request::kEnd + 64];
};

}  // namespace cecp::test
