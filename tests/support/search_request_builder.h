// A host's search request, filled at its byte offsets, and moves written as
// coordinate text.
#pragma once

#include <cstdint>
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

// A request written through the host's writer (SearchRequestWriter), with
// single fields set as a careless host might (Set).
struct SearchRequestBuilder {
    SearchRequestBuilder() {
        const std::uint8_t empty[kSquareCount] = {};
        Writer().SetStart(empty, true, 0, 0, true);
        Writer().SetClock(SearchClock{});
    }
    template <typename T>
    SearchRequestBuilder& Set(std::size_t offset, T value) {
        StoreField<T>(bytes, offset, value);
        return *this;
    }
    SearchRequestBuilder& Moves(const std::vector<const char*>& moves) {
        std::vector<MoveWord> words;
        for (const char* move : moves) words.push_back(M(move));
        Writer().SetMoves(words.data(), words.size());
        return *this;
    }
    SearchRequestBuilder& Increment(std::int32_t timeLeft, std::int32_t increment, std::int32_t timeUsed = 0,
                                    std::int16_t movesPlayed = 0) {
        Writer().SetClock({kClockIncrement, timeLeft, increment, timeUsed, 0, movesPlayed});
        return *this;
    }
    SearchRequestBuilder& MovesInTime(std::int16_t movesToGo, std::int32_t timeLeft, std::int32_t timeUsed = 0,
                                      std::int16_t movesPlayed = 0, std::int32_t increment = 0) {
        Writer().SetClock({kClockMovesInTime, timeLeft, increment, timeUsed, movesToGo, movesPlayed});
        return *this;
    }
    SearchRequestBuilder& NoClock() { return Set<std::int16_t>(search_request::kClockMode, 1); }
    SearchRequestBuilder& Ponder() {
        Writer().SetPonderRequest(true);
        return *this;
    }
    // A set-up position: placement bytes by square, side, castling and ep.
    SearchRequestBuilder& Board(std::initializer_list<std::pair<const char*, std::uint8_t>> pieces, bool whiteToMove,
                                int castling = 0, int ep = 0) {
        std::uint8_t board[kSquareCount] = {};
        for (auto [square, code] : pieces) board[(square[0] - 'a') + 8 * (square[1] - '1')] = code;
        Writer().SetStart(board, whiteToMove, ep, castling, false);
        return *this;
    }
    SearchRequestView View() const { return SearchRequestView(bytes); }
    SearchRequestWriter Writer() { return SearchRequestWriter(bytes); }

    alignas(8) unsigned char bytes[search_request::kEnd + 64] = {};
};

}  // namespace cecp::test
