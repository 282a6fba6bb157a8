#include "chess/move_list.h"

namespace cecp {

namespace {

// Edge bits of a square: every step and ray carries the bits of the edges over
// which it would leave the board, so one AND tells whether it may start.
constexpr std::uint8_t kRank8 = 0x01, kRank7 = 0x02, kFileA = 0x04, kFileB = 0x08, kRank1 = 0x10,
                       kRank2 = 0x20, kFileH = 0x40, kFileG = 0x80;

constexpr std::uint8_t EdgeBits(int square) {
    const int file = FileOf(square), rank = RankOf(square);
    return static_cast<std::uint8_t>((rank == 7 ? kRank8 : 0) | (rank == 6 ? kRank7 : 0) |
                                     (file == 0 ? kFileA : 0) | (file == 1 ? kFileB : 0) |
                                     (rank == 0 ? kRank1 : 0) | (rank == 1 ? kRank2 : 0) |
                                     (file == 7 ? kFileH : 0) | (file == 6 ? kFileG : 0));
}

constexpr std::uint8_t kEdgeFlags[kSquareCount] = {
    0x14, 0x18, 0x10, 0x10, 0x10, 0x10, 0x90, 0x50,  // rank 1
    0x24, 0x28, 0x20, 0x20, 0x20, 0x20, 0xa0, 0x60,  // rank 2
    0x04, 0x08, 0x00, 0x00, 0x00, 0x00, 0x80, 0x40,  //
    0x04, 0x08, 0x00, 0x00, 0x00, 0x00, 0x80, 0x40,  //
    0x04, 0x08, 0x00, 0x00, 0x00, 0x00, 0x80, 0x40,  //
    0x04, 0x08, 0x00, 0x00, 0x00, 0x00, 0x80, 0x40,  //
    0x06, 0x0a, 0x02, 0x02, 0x02, 0x02, 0x82, 0x42,  // rank 7
    0x05, 0x09, 0x01, 0x01, 0x01, 0x01, 0x81, 0x41,  // rank 8
};

struct Direction {
    std::int8_t offset;
    std::uint8_t mask;
};

constexpr Direction kKnightSteps[8] = {{-10, 0x1c}, {6, 0x0d},  {-6, 0xd0},  {10, 0xc1},
                                       {-17, 0x34}, {15, 0x07}, {-15, 0x70}, {17, 0x43}};
constexpr Direction kKingSteps[8] = {{-9, 0x14}, {-1, 0x04}, {7, 0x05}, {-8, 0x10},
                                     {8, 0x01},  {-7, 0x50}, {1, 0x40}, {9, 0x41}};
constexpr Direction kBishopRays[4] = {{-9, 0x14}, {-7, 0x50}, {9, 0x41}, {7, 0x05}};
constexpr Direction kRookRays[4] = {{-1, 0x04}, {-8, 0x10}, {1, 0x40}, {8, 0x01}};

// The generators index the board with no bounds check of their own: these
// compile-time checks prove that the table is what its bits say and that a
// mask lets a step through exactly when it lands on the board one file and
// rank step away. Exactly, not only safely: PieceReaching finds a
// piece's moves by stepping back from their target, which gives the
// generator's answer only when the masks follow the board's edges.
constexpr bool EdgeTableMatchesBits() {
    for (int square = 0; square < kSquareCount; ++square)
        if (kEdgeFlags[square] != EdgeBits(square)) return false;
    return true;
}

template <int N>
constexpr bool MasksFollowTheEdges(const Direction (&steps)[N]) {
    for (const Direction& step : steps) {
        const int fileStep = ((step.offset + 64 + 3) & 7) - 3;  // -2..+2 for our offsets
        const int rankStep = (step.offset - fileStep) / 8;
        for (int square = 0; square < kSquareCount; ++square) {
            const int file = FileOf(square) + fileStep, rank = RankOf(square) + rankStep;
            const bool onBoard = file >= 0 && file <= 7 && rank >= 0 && rank <= 7;
            if (((kEdgeFlags[square] & step.mask) == 0) != onBoard) return false;
        }
    }
    return true;
}

// Stepping back from a target along a step or ray takes the opposite one.
template <int N>
constexpr bool OppositesIncluded(const Direction (&steps)[N]) {
    for (const Direction& step : steps) {
        bool found = false;
        for (const Direction& other : steps) found |= other.offset == -step.offset;
        if (!found) return false;
    }
    return true;
}

static_assert(EdgeTableMatchesBits());
static_assert(MasksFollowTheEdges(kKnightSteps) && MasksFollowTheEdges(kKingSteps) &&
              MasksFollowTheEdges(kBishopRays) && MasksFollowTheEdges(kRookRays));
static_assert(OppositesIncluded(kKnightSteps) && OppositesIncluded(kKingSteps) && OppositesIncluded(kBishopRays) &&
              OppositesIncluded(kRookRays));

// At least the number of moves that Generate lists for the pieces of the
// colour on the squares below end. While it stays within the capacity, no
// list fills up before those squares' moves are in.
int MostMovesBelow(const Position& position, int colour, int end) {
    int most = 0;
    for (int square = 0; square < end; ++square) {
        const int code = position.squares[square];
        most += ColourOf(code) == colour ? MoveList::kMostMoves[TypeOf(code)] : 0;
    }
    return most;
}

}  // namespace

MoveList::MoveList()
    : count(0),
      generators{&MoveList::GenerateNone, &MoveList::GeneratePawn, &MoveList::GenerateKnight,
                 &MoveList::GenerateBishop, &MoveList::GenerateRook, &MoveList::GenerateQueen,
                 &MoveList::GenerateKing, &MoveList::GenerateNone} {
    moves[0] = 0;
}

MoveWord MoveList::MoveAt(int index) const {
    if (index < 0 || index >= kCapacity) return moves[0];
    return moves[index];
}

void MoveList::Prepare(const Position& positionToList) {
    count = 0;
    capacity = kCapacity;
    position = &positionToList;
    epSquare = static_cast<std::uint8_t>(positionToList.epSquare);
    castlingRights = static_cast<std::uint8_t>(positionToList.castlingRights);
}

int MoveList::Generate(const Position& positionToList) {
    Prepare(positionToList);
    const int sideColour = positionToList.sideToMove != 0 ? kBlackBit : 0;

    // A full list ends the generation here: AddMove jumps back from inside a
    // generator. The frames it leaves (GenerateAll, AddMove, AddPromotions,
    // Step, Slide and the Generate* members) hold only integers, pointers and
    // member function pointers, so no destructor is skipped; nothing is read
    // after the jump but members of this object. The walk over the board lives
    // in a function of its own so that no local of this frame is changed
    // between setjmp and longjmp.
    if (setjmp(abortPoint) != 0) return count;
    GenerateAll(sideColour);
    return count;
}

template <typename Keep>
int MoveList::GenerateKept(const Position& positionToList, Keep keep) {
    const int listed = Generate(positionToList);
    int kept = 0;
    for (int i = 0; i < listed; ++i)
        if (keep(moves[i])) moves[kept++] = moves[i];
    count = kept;
    return kept;
}

int MoveList::GenerateFrom(const Position& positionToList, int square) {
    Prepare(positionToList);
    if (!IsSquare(square)) return 0;
    const int code = positionToList.squares[square];
    const int sideColour = positionToList.sideToMove != 0 ? kBlackBit : 0;
    if (TypeOf(code) == kNoPiece || ColourOf(code) != sideColour) return 0;
    if (MostMovesBelow(positionToList, sideColour, square) + kMostMoves[TypeOf(code)] > kCapacity) {
        // The whole list might fill up before this square's moves are in
        // (only boards no game reaches have that many): take them from it.
        return GenerateKept(positionToList, [square](MoveWord move) { return MoveFrom(move) == square; });
    }
    // One piece lists at most 27 moves: AddMove never reaches the capacity,
    // so it never jumps, and this frame needs no jump point.
    fromSquare = static_cast<std::int8_t>(square);
    pieceType = static_cast<std::uint8_t>(TypeOf(code));
    pieceColour = static_cast<std::uint8_t>(ColourOf(code));
    const Generator generator = generators[pieceType];
    (this->*generator)();
    return count;
}

int MoveList::GenerateOfType(const Position& positionToList, int type) {
    Prepare(positionToList);
    if (type <= kNoPiece || type > kKing) return 0;
    const int sideColour = positionToList.sideToMove != 0 ? kBlackBit : 0;
    const auto ofType = [&positionToList, type, sideColour](int square) {
        const int code = positionToList.squares[square];
        return TypeOf(code) == type && ColourOf(code) == sideColour;
    };
    int last = kSquareCount - 1;
    while (last >= 0 && !ofType(last)) --last;
    if (last >= 0 && MostMovesBelow(positionToList, sideColour, last) + kMostMoves[type] > kCapacity) {
        // The whole list might fill up before the last such piece's moves are
        // in (only boards no game reaches have that many): take them from it.
        return GenerateKept(positionToList, [&positionToList, type](MoveWord move) {
            return TypeOf(positionToList.squares[MoveFrom(move)]) == type;
        });
    }
    // Those pieces' moves are all in the list, and AddMove never jumps: this
    // frame needs no jump point.
    const Generator generator = generators[type];
    for (int square = 0; square <= last; ++square) {
        if (!ofType(square)) continue;
        fromSquare = static_cast<std::int8_t>(square);
        pieceType = static_cast<std::uint8_t>(type);
        pieceColour = static_cast<std::uint8_t>(sideColour);
        (this->*generator)();
    }
    return count;
}

void MoveList::GenerateAll(int sideColour) {
    for (int square = 0; square < kSquareCount; ++square) {
        const int code = position->squares[square];
        pieceType = static_cast<std::uint8_t>(TypeOf(code));
        pieceColour = static_cast<std::uint8_t>(ColourOf(code));
        if (pieceType != kNoPiece && pieceColour == sideColour) {
            fromSquare = static_cast<std::int8_t>(square);
            const Generator generator = generators[pieceType];
            (this->*generator)();
        }
    }
}

void MoveList::AddMove(int to, int code) {
    if (count >= capacity) std::longjmp(abortPoint, 1);
    moves[count++] = MakeMoveWord(fromSquare, to, code);
}

void MoveList::AddPromotions(int to) {
    AddMove(to, kPromoteQueen);
    AddMove(to, kPromoteRook);
    AddMove(to, kPromoteBishop);
    AddMove(to, kPromoteKnight);
}

void MoveList::Step(int offset, int mask) {
    if (kEdgeFlags[fromSquare] & mask) return;
    const int to = fromSquare + offset;
    const int target = position->squares[to];
    if (target == 0 || ColourOf(target) != pieceColour) AddMove(to, 0);
}

void MoveList::Slide(int offset, int mask) {
    if (kEdgeFlags[fromSquare] & mask) return;
    for (int to = fromSquare + offset;; to += offset) {
        const int target = position->squares[to];
        if (target != 0) {
            if (ColourOf(target) != pieceColour) AddMove(to, 0);
            return;
        }
        AddMove(to, 0);
        if (kEdgeFlags[to] & mask) return;
    }
}

void MoveList::GenerateNone() {}

void MoveList::GeneratePawn() {
    const int from = fromSquare;
    const int rank = RankOf(from), file = FileOf(from);
    const std::uint8_t* board = position->squares;
    if (pieceColour == 0) {
        // A pawn on its last rank cannot be there in a game; it has no move
        // rather than a step off the board.
        if (rank == 7) return;
        if (board[from + 8] == 0) {
            if (rank == 1 && board[from + 16] == 0) AddMove(from + 16, 0);
            if (rank == 6)
                AddPromotions(from + 8);
            else
                AddMove(from + 8, 0);
        }
        if (file > 0 && IsBlack(board[from + 7])) {
            if (rank == 6)
                AddPromotions(from + 7);
            else
                AddMove(from + 7, 0);
        }
        if (file < 7 && IsBlack(board[from + 9])) {
            if (rank == 6)
                AddPromotions(from + 9);
            else
                AddMove(from + 9, 0);
        }
        // The file tests keep a stray en-passant square from wrapping round the
        // board's edge; an occupied one would only repeat a capture listed above.
        if (epSquare != 0 && rank == 4 &&
            ((epSquare == from + 7 && file > 0) || (epSquare == from + 9 && file < 7)) &&
            board[epSquare] == 0)
            AddMove(epSquare, 0);
    } else {
        if (rank == 0) return;
        if (board[from - 8] == 0) {
            if (rank == 6 && board[from - 16] == 0) AddMove(from - 16, 0);
            if (rank == 1)
                AddPromotions(from - 8);
            else
                AddMove(from - 8, 0);
        }
        const auto white = [](int code) { return code != 0 && !IsBlack(code); };
        if (file > 0 && white(board[from - 9])) {
            if (rank == 1)
                AddPromotions(from - 9);
            else
                AddMove(from - 9, 0);
        }
        if (file < 7 && white(board[from - 7])) {
            if (rank == 1)
                AddPromotions(from - 7);
            else
                AddMove(from - 7, 0);
        }
        if (epSquare != 0 && rank == 3 &&
            ((epSquare == from - 9 && file > 0) || (epSquare == from - 7 && file < 7)) &&
            board[epSquare] == 0)
            AddMove(epSquare, 0);
    }
}

void MoveList::GenerateKnight() {
    for (const Direction& step : kKnightSteps) Step(step.offset, step.mask);
}

void MoveList::GenerateBishop() {
    for (const Direction& ray : kBishopRays) Slide(ray.offset, ray.mask);
}

void MoveList::GenerateRook() {
    for (const Direction& ray : kRookRays) Slide(ray.offset, ray.mask);
}

void MoveList::GenerateQueen() {
    GenerateBishop();
    GenerateRook();
}

void MoveList::GenerateKing() {
    for (const Direction& step : kKingSteps) Step(step.offset, step.mask);
    const std::uint8_t* board = position->squares;
    if (pieceColour == kBlackBit && fromSquare == 60) {
        if ((castlingRights & kBlackShort) && board[63] == kBlackRook && board[62] == 0 && board[61] == 0)
            AddMove(62, 0);
        if ((castlingRights & kBlackLong) && board[56] == kBlackRook && board[57] == 0 && board[58] == 0 &&
            board[59] == 0)
            AddMove(58, 0);
    } else if (pieceColour == 0 && fromSquare == 4) {
        if ((castlingRights & kWhiteShort) && board[7] == kWhiteRook && board[6] == 0 && board[5] == 0)
            AddMove(6, 0);
        if ((castlingRights & kWhiteLong) && board[0] == kWhiteRook && board[1] == 0 && board[2] == 0 &&
            board[3] == 0)
            AddMove(2, 0);
    }
}

namespace {

// A move of the mover's king two files along its rank onto the c- or g-file:
// the move that Position::MakeMove plays as castling.
bool IsCastling(const Position& afterMove, MoveWord move) {
    const int from = MoveFrom(move), to = MoveTo(move);
    return TypeOf(afterMove.squares[to]) == kKing && (to - from == 2 || from - to == 2) &&
           RankOf(from) == RankOf(to) && (FileOf(to) == 6 || FileOf(to) == 2);
}

bool AnyMoveOnto(const MoveList& list, int count, int a, int b, int c) {
    for (int i = 0; i < count; ++i) {
        const int to = MoveTo(list.moves[i]);
        if (to == a || to == b || to == c) return true;
    }
    return false;
}

// The square of a piece of the side to move that has a move of its
// pseudo-legal list onto the target, or -1 when none has, found by reading
// the generator's rules backwards from there: the pieces that could step,
// slide or push onto it, judged by the same bytes and conditions as the
// generator judges them, whatever stands on the board. It knows nothing of
// a full list: that is the caller's business.
int PieceReaching(const Position& position, int target) {
    constexpr int kNone = -1;
    if (!IsSquare(target)) return kNone;
    const std::uint8_t* board = position.squares;
    const int side = position.sideToMove != 0 ? kBlackBit : 0;
    const auto owns = [side](int code, int type) { return TypeOf(code) == type && ColourOf(code) == side; };
    const std::uint8_t edges = kEdgeFlags[target];
    const int targetCode = board[target];

    // Steps and slides land on an empty square or on one of the other colour.
    if (targetCode == 0 || ColourOf(targetCode) != side) {
        for (const Direction& step : kKnightSteps)
            if (!(edges & step.mask) && owns(board[target + step.offset], kKnight)) return target + step.offset;
        for (const Direction& step : kKingSteps)
            if (!(edges & step.mask) && owns(board[target + step.offset], kKing)) return target + step.offset;
        // The first byte that is not 0 along each ray stops the slide.
        const auto sliderOn = [&](const Direction& ray, int type) {
            for (int square = target; !(kEdgeFlags[square] & ray.mask);) {
                square += ray.offset;
                const int code = board[square];
                if (code != 0) return owns(code, type) || owns(code, kQueen) ? square : kNone;
            }
            return kNone;
        };
        for (const Direction& ray : kBishopRays)
            if (const int from = sliderOn(ray, kBishop); from != kNone) return from;
        for (const Direction& ray : kRookRays)
            if (const int from = sliderOn(ray, kRook); from != kNone) return from;
    }

    // Pawns, with GeneratePawn's conditions seen from the pawn's square: none
    // moves from its last rank, captures need a piece of the other colour (for
    // a Black pawn any byte but 0 without the Black bit), pushes an empty
    // square, and en passant the position's square, empty.
    const bool white = side == 0;
    const int forward = white ? 8 : -8;
    const int lastRank = white ? 7 : 0;
    const auto pawnAt = [&](int square) {
        return IsSquare(square) && owns(board[square], kPawn) && RankOf(square) != lastRank;
    };
    // The pawn that would capture towards the a-file stands one file to the
    // right of the target, and the other one file to the left.
    const int fromRight = target - forward + 1, fromLeft = target - forward - 1;
    const bool rightCaptures = pawnAt(fromRight) && FileOf(fromRight) > 0;
    const bool leftCaptures = pawnAt(fromLeft) && FileOf(fromLeft) < 7;
    const bool capturable = white ? IsBlack(targetCode) : targetCode != 0 && !IsBlack(targetCode);
    if (capturable && (rightCaptures || leftCaptures)) return rightCaptures ? fromRight : fromLeft;
    if (targetCode == 0) {
        if (pawnAt(target - forward)) return target - forward;
        const int doubleFrom = target - 2 * forward;
        if (pawnAt(doubleFrom) && RankOf(doubleFrom) == (white ? 1 : 6) && board[target - forward] == 0)
            return doubleFrom;
        const int ep = static_cast<std::uint8_t>(position.epSquare);
        const int epRank = white ? 4 : 3;
        if (ep != 0 && ep == target) {
            if (rightCaptures && RankOf(fromRight) == epRank) return fromRight;
            if (leftCaptures && RankOf(fromLeft) == epRank) return fromLeft;
        }
    }

    // Castling needs no look of its own: it lands on g1 or c1 (g8, c8) only
    // when the rook on h1 or a1 (h8, a8) can slide there too.
    return kNone;
}

// Whether the list of the side to move holds every move of the piece on the
// square: it does unless the moves listed before them might fill it up.
bool ListHoldsMovesOf(const Position& position, int square) {
    const int side = position.sideToMove != 0 ? kBlackBit : 0;
    return MostMovesBelow(position, side, square) + MoveList::kMostMoves[TypeOf(position.squares[square])] <=
           MoveList::kCapacity;
}

}  // namespace

bool KingSafeAfterMove(const Position& afterMove, MoveWord move) {
    // White has just moved when Black is to move.
    const int king = afterMove.sideToMove != 0 ? afterMove.whiteKingSquare : afterMove.blackKingSquare;
    int reaching;
    if (!IsCastling(afterMove, move)) {
        reaching = PieceReaching(afterMove, king);
    } else {
        // As KingSafeAfterMoveByList puts it: a copy of the king on its home
        // square, the rook on the square crossed. (The copy is not the side
        // to move's: it adds no moves to its list.)
        const int from = MoveFrom(move), to = MoveTo(move);
        Position probe = afterMove;
        probe.squares[from] = afterMove.squares[to];
        reaching = PieceReaching(probe, from);
        if (reaching < 0) reaching = PieceReaching(probe, (from + to) / 2);
        if (reaching < 0) reaching = PieceReaching(probe, to);
    }
    // A list that fills up loses its last moves, perhaps the one that
    // reached: only on such a board can the list answer otherwise.
    if (reaching < 0 || ListHoldsMovesOf(afterMove, reaching)) return reaching < 0;
    return KingSafeAfterMoveByList(afterMove, move);
}

bool KingSafeAfterMoveByList(const Position& afterMove, MoveWord move) {
    const int king = afterMove.sideToMove != 0 ? afterMove.whiteKingSquare : afterMove.blackKingSquare;
    MoveList list;
    if (!IsCastling(afterMove, move)) {
        const int count = list.Generate(afterMove);
        return !AnyMoveOnto(list, count, king, king, king);
    }
    // Castling also needs the king's home square and the square it crossed to
    // be safe. A copy of the king put back on its home square makes the
    // opponent's pawns "capture" there too; the crossed square holds the rook.
    // The extra piece blocks no line into the other two squares that the
    // castled king and rook do not block already.
    const int from = MoveFrom(move), to = MoveTo(move);
    Position probe = afterMove;
    probe.squares[from] = afterMove.squares[to];
    const int count = list.Generate(probe);
    return !AnyMoveOnto(list, count, from, (from + to) / 2, to);
}

bool IsLegalMove(const Position& position, MoveWord move) {
    Position copy = position;
    copy.MakeMove(move);
    return KingSafeAfterMove(copy, move);
}

bool HasNoLegalMove(const Position& position) {
    MoveList list;
    const int count = list.Generate(position);
    for (int i = 0; i < count; ++i)
        if (IsLegalMove(position, list.moves[i])) return false;
    return true;
}

bool SideToMoveInCheck(const Position& position) {
    // KingSafeAfterMove looks at the king of the side that has just moved;
    // handing the move to the opponent with a null move asks about ours.
    Position probe = position;
    probe.sideToMove = position.sideToMove == 0 ? 1 : 0;
    probe.epSquare = 0;
    return !KingSafeAfterMove(probe, MakeMoveWord(0, 0));
}

int EnPassantCaptureSquare(const Position& position) {
    const int target = position.epSquare;
    if (target <= 0 || target >= kSquareCount) return 0;
    // The pawn that has just passed the target stands in front of it, and
    // the squares it crossed are empty.
    const bool white = position.sideToMove == 0;
    const int passed = white ? target - 8 : target + 8;
    const int start = white ? target + 8 : target - 8;
    if (RankOf(target) != (white ? 5 : 2) || position.squares[target] != 0 || position.squares[start] != 0 ||
        position.squares[passed] != (white ? kBlackPawn : kWhitePawn))
        return 0;
    MoveList list;
    const int count = list.Generate(position);
    for (int i = 0; i < count; ++i) {
        const MoveWord move = list.moves[i];
        const int from = MoveFrom(move);
        if (MoveTo(move) == target && TypeOf(position.squares[from]) == kPawn && FileOf(from) != FileOf(target) &&
            IsLegalMove(position, move))
            return target;
    }
    return 0;
}

}  // namespace cecp
