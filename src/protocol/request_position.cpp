#include "protocol/request_position.h"

#include "chess/move_list.h"

namespace cecp {

Position RequestStartPosition(const SearchRequestView& request) {
    Position position;
    if (request.StandardStart()) {
        position.SetStartPosition();
        return position;
    }
    position.SetFromBoard(request.Board(), request.WhiteToMove() != 0 ? 0 : 1, 0, request.EpSquare());
    position.CastlingFromPlacement();
    position.castlingRights &= request.Castling();
    if (EnPassantCaptureSquare(position) == 0) position.epSquare = 0;
    return position;
}

}  // namespace cecp
