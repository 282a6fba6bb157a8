// The position a search request starts from, as the module's board, for the
// dialects that give it to the engine whole (as FEN).
#pragma once

#include "chess/position.h"
#include "protocol/search_request.h"

namespace cecp {

// The standard start, or the request's board with its side to move (any
// non-zero byte is White), the castling rights it names where the placement
// allows them, and its en-passant square where a capture there is legal.
Position RequestStartPosition(const SearchRequestView& request);

}  // namespace cecp
