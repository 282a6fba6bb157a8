#include "search_record.h"

namespace enghost {

SearchRecord GameRequest(const Board& start, bool standardStart, const std::vector<cecp::MoveWord>& moves,
                         const cecp::SearchClock& clock, bool ponder) {
    SearchRecord record;
    cecp::SearchRequestWriter writer(record.bytes);
    const cecp::Position& position = start.position();
    writer.SetStart(position.squares, start.WhiteToMove(), position.epSquare, position.castlingRights, standardStart);
    writer.SetMoves(moves.data(), moves.size());
    writer.SetClock(clock);
    writer.SetPonderRequest(ponder);
    return record;
}

}  // namespace enghost
