#include "board.h"

#include <algorithm>

#include "chess/move_list.h"
#include "chess/move_text.h"
#include "chess/notation.h"

namespace enghost {

using cecp::MoveWord;
using cecp::Position;

namespace {

std::vector<MoveWord> Legal(const Position& position) {
    cecp::MoveList list;
    const int count = list.Generate(position);
    std::vector<MoveWord> moves;
    for (int i = 0; i < count; ++i)
        if (cecp::IsLegalMove(position, list.moves[i])) moves.push_back(list.moves[i]);
    return moves;
}

std::string SquareText(int square) { return {cecp::FileLetter(square), cecp::RankDigit(square)}; }

// Why no game can be played from a position read from FEN; empty when one can.
std::string UnplayableBecause(const Position& position) {
    int kings[2] = {};
    for (int square = 0; square < cecp::kSquareCount; ++square) {
        const int code = position.squares[square];
        if (cecp::TypeOf(code) == cecp::kPawn && (cecp::RankOf(square) == 0 || cecp::RankOf(square) == 7))
            return "a pawn on the first or last rank";
        if (cecp::TypeOf(code) == cecp::kKing) ++kings[cecp::IsBlack(code) ? 1 : 0];
    }
    if (kings[0] != 1 || kings[1] != 1) return "each side needs exactly one king";
    Position placement = position;
    placement.CastlingFromPlacement();
    for (int bit = 0; bit < 4; ++bit)
        if (position.castlingRights & ~placement.castlingRights & (1 << bit))
            return std::string("castling right ") + "KQkq"[bit] + " needs its king and rook on their home squares";
    const int ep = position.epSquare, side = position.sideToMove;
    // The pawn that has just moved two squares stands in front of the square it passed.
    if (ep != 0 && (cecp::RankOf(ep) != (side == 0 ? 5 : 2) || position.squares[ep] != 0 ||
                    position.squares[side == 0 ? ep - 8 : ep + 8] != (side == 0 ? cecp::kBlackPawn : cecp::kWhitePawn)))
        return "no pawn can just have passed the en-passant square " + SquareText(ep);
    // The side that has just moved cannot have left its king in check.
    Position other = position;
    other.sideToMove = 1 - side;
    other.epSquare = 0;
    if (cecp::SideToMoveInCheck(other)) return "the side not to move is in check";
    return "";
}

// Whether text has the shape of a move in coordinate or standard notation;
// the recogniser itself is lenient with stray letters.
bool LooksLikeMove(const std::string& text) {
    auto file = [](char c) { return c >= 'a' && c <= 'h'; };
    auto rank = [](char c) { return c >= '1' && c <= '8'; };
    auto promotion = [](char c) { return std::string("QRBNqrbn").find(c) != std::string::npos; };
    const std::string& t = text;
    if (t == "O-O" || t == "O-O-O" || t == "0-0" || t == "0-0-0" || t == "o-o" || t == "o-o-o") return true;
    std::size_t i = 0;
    // Coordinate: e2e4, e2-e4, e7e8q, e7e8=Q.
    if (t.size() >= 4 && file(t[0]) && rank(t[1])) {
        i = 2;
        if (i < t.size() && (t[i] == '-' || t[i] == 'x')) ++i;
        if (i + 1 < t.size() && file(t[i]) && rank(t[i + 1])) {
            i += 2;
            if (i < t.size() && t[i] == '=') ++i;
            if (i < t.size() && promotion(t[i])) ++i;
            if (i == t.size()) return true;
        }
    }
    // A piece: Nf3, Nbd2, R1e2, Qh4xe1, Nxf3.
    if (!t.empty() && std::string("NBRQK").find(t[0]) != std::string::npos) {
        std::string rest = t.substr(1);
        rest.erase(std::remove(rest.begin(), rest.end(), 'x'), rest.end());
        if (rest.size() < 2 || rest.size() > 4) return false;
        const std::size_t n = rest.size();
        if (!file(rest[n - 2]) || !rank(rest[n - 1])) return false;
        for (std::size_t k = 0; k + 2 < n; ++k)
            if (!file(rest[k]) && !rank(rest[k])) return false;
        return true;
    }
    // A pawn: e4, exd5, e8=Q, e8Q, exd8=N.
    if (!t.empty() && file(t[0])) {
        i = 1;
        if (i < t.size() && t[i] == 'x') {
            ++i;
            if (i >= t.size() || !file(t[i])) return false;
            ++i;
        }
        if (i >= t.size() || !rank(t[i])) return false;
        ++i;
        if (i < t.size() && t[i] == '=') ++i;
        if (i < t.size() && std::string("QRBN").find(t[i]) != std::string::npos) ++i;
        return i == t.size();
    }
    return false;
}

}  // namespace

std::string CoordinateText(MoveWord move) {
    std::string text = SquareText(cecp::MoveFrom(move)) + SquareText(cecp::MoveTo(move));
    if (cecp::IsPromotion(move)) text += cecp::PromotionLetter(cecp::MovePromotion(move));
    return text;
}

const char* GameEndText(GameEnd end) {
    switch (end) {
    case GameEnd::kCheckmate: return "checkmate";
    case GameEnd::kStalemate: return "stalemate";
    case GameEnd::kThreefold: return "threefold repetition";
    case GameEnd::kFiftyMoves: return "fifty-move rule";
    case GameEnd::kInsufficientMaterial: return "insufficient material";
    case GameEnd::kNone: break;
    }
    return "";
}

Board::Board() {
    position_.SetStartPosition();
    history_.push_back(RepetitionKey());
}

std::optional<GameStart> StartFromFen(const std::string& fen, std::string* error) {
    GameStart start;
    if (fen.empty()) return start;
    auto parsed = Board::FromFen(fen, error);
    if (!parsed) return std::nullopt;
    start.board = *parsed;
    start.standard = start.board.Fen() == kStartFen;
    return start;
}

std::optional<Board> Board::FromFen(const std::string& fen, std::string* error) {
    Board board;
    char problem[cecp::kFenProblemSize];
    std::string why;
    if (!cecp::ReadFen(fen.c_str(), &board.position_, &board.halfMoveClock_, &board.fullMove_, problem))
        why = problem;
    else
        why = UnplayableBecause(board.position_);
    if (!why.empty()) {
        *error = "bad FEN \"" + fen + "\": " + why;
        return std::nullopt;
    }
    board.history_.assign(1, board.RepetitionKey());
    return board;
}

std::string Board::Fen() const {
    char text[cecp::kFenTextSize];
    cecp::WriteFen(position_, halfMoveClock_, fullMove_, text);
    return text;
}

std::string Board::Diagram(bool fromWhitesSide, MoveWord lastMove) const {
    // The placement, rank 8 first, as the module's FEN writer gives it.
    const std::string fen = Fen();
    char cells[8][8];  // [rank][file], rank 0 the first
    int rank = 7, file = 0;
    for (const char c : fen.substr(0, fen.find(' '))) {
        if (c == '/') {
            --rank;
            file = 0;
        } else if (c >= '1' && c <= '8') {
            for (int k = 0; k < c - '0' && file < 8; ++k) cells[rank][file++] = '.';
        } else if (rank >= 0 && file < 8) {
            cells[rank][file++] = c;
        }
    }
    auto fileAt = [&](int column) { return fromWhitesSide ? column : 7 - column; };
    std::string files = "   ";
    for (int column = 0; column < 8; ++column) files += std::string(" ") + static_cast<char>('a' + fileAt(column)) + " ";
    files.pop_back();  // no blank at the end of a line
    std::string text = files + "\n";
    for (int row = 0; row < 8; ++row) {
        const int r = fromWhitesSide ? 7 - row : row;
        const char digit = static_cast<char>('1' + r);
        text += std::string(" ") + digit + " ";
        for (int column = 0; column < 8; ++column) {
            const int f = fileAt(column), square = cecp::MakeSquare(f, r);
            const bool marked = lastMove != 0 && (square == cecp::MoveFrom(lastMove) || square == cecp::MoveTo(lastMove));
            text += marked ? '[' : ' ';
            text += cells[r][f];
            text += marked ? ']' : ' ';
        }
        text += std::string(" ") + digit + "\n";
    }
    return text + files + "\n";
}

std::vector<MoveWord> Board::LegalMoves() const { return Legal(position_); }

bool Board::IsLegal(MoveWord move) const {
    const auto moves = LegalMoves();
    return std::find(moves.begin(), moves.end(), move) != moves.end();
}

bool Board::InCheck() const { return cecp::SideToMoveInCheck(position_); }

std::string Board::San(MoveWord move) const {
    char text[cecp::kSanTextSize];
    cecp::WriteSan(position_, move, text);
    return text;
}

std::string Board::SanLine(const MoveWord* moves, int count) const {
    Board board = *this;
    std::string line;
    for (int i = 0; i < count; ++i) {
        if (!board.IsLegal(moves[i])) break;
        if (!line.empty()) line += ' ';
        if (board.WhiteToMove())
            line += std::to_string(board.fullMove_) + ". ";
        else if (i == 0)
            line += std::to_string(board.fullMove_) + "... ";
        line += board.San(moves[i]);
        board.Play(moves[i]);
    }
    return line;
}

std::optional<MoveWord> Board::ParseTypedMove(const std::string& typed, std::string* error) const {
    std::string text = typed;
    while (!text.empty() && std::string("+#!?").find(text.back()) != std::string::npos) text.pop_back();
    if (!LooksLikeMove(text)) {
        *error = "\"" + typed + "\" is not a move (write e2e4, Nf3, exd5, O-O or e8=Q)";
        return std::nullopt;
    }
    cecp::MoveTextRecogniser recogniser;
    MoveWord move = 0;
    const int result = recogniser.ParseMoveText(text.c_str(), position_, &move);
    if (result == cecp::kMoveTextAmbiguous) {
        *error = "\"" + typed + "\" fits more than one move: say which piece (e.g. Nbd2 or R1e2)";
        return std::nullopt;
    }
    if (result != cecp::kMoveTextOk || !IsLegal(move)) {
        *error = "\"" + typed + "\" is not a legal move in this position";
        return std::nullopt;
    }
    if (cecp::IsPromotion(move) && text.find_first_of("QRBNqrbn", 1) == std::string::npos) {
        *error = "\"" + typed + "\" promotes: add the piece, e.g. " + typed + "=Q";
        return std::nullopt;
    }
    return move;
}

void Board::Play(MoveWord move) {
    const int from = cecp::MoveFrom(move), to = cecp::MoveTo(move);
    const bool irreversible = cecp::TypeOf(position_.squares[from]) == cecp::kPawn || position_.squares[to] != 0;
    if (!WhiteToMove()) ++fullMove_;
    position_.MakeMove(move);
    if (irreversible) {
        halfMoveClock_ = 0;
        history_.clear();
    } else {
        ++halfMoveClock_;
    }
    history_.push_back(RepetitionKey());
}

std::string Board::RepetitionKey() const {
    // Same pieces, same side to move, same rights to castle and capture en
    // passant: the same position for the repetition rule.
    std::string key(reinterpret_cast<const char*>(position_.squares), cecp::kSquareCount);
    key += static_cast<char>(position_.sideToMove);
    key += static_cast<char>(position_.castlingRights);
    key += static_cast<char>(cecp::EnPassantCaptureSquare(position_));
    return key;
}

GameEnd Board::Adjudicate() const {
    if (cecp::HasNoLegalMove(position_)) return InCheck() ? GameEnd::kCheckmate : GameEnd::kStalemate;

    int minors = 0, knights = 0, bishopColours = 0;
    bool mating = false;
    for (int square = 0; square < cecp::kSquareCount; ++square) {
        const int type = cecp::TypeOf(position_.squares[square]);
        if (type == cecp::kPawn || type == cecp::kRook || type == cecp::kQueen) mating = true;
        if (type == cecp::kKnight) ++minors, ++knights;
        if (type == cecp::kBishop) {
            ++minors;
            bishopColours |= 1 << ((cecp::FileOf(square) + cecp::RankOf(square)) & 1);
        }
    }
    // Mate cannot be forced, nor even helped, with a lone minor piece, or
    // with bishops that all run on squares of one colour.
    if (!mating && (minors <= 1 || (knights == 0 && bishopColours != 3))) return GameEnd::kInsufficientMaterial;

    if (halfMoveClock_ >= 100) return GameEnd::kFiftyMoves;
    if (std::count(history_.begin(), history_.end(), history_.back()) >= 3) return GameEnd::kThreefold;
    return GameEnd::kNone;
}

}  // namespace enghost
