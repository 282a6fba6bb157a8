#include "board.h"

#include <algorithm>
#include <cctype>
#include <sstream>

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

int SquareFromText(const std::string& text) {
    if (text.size() != 2 || text[0] < 'a' || text[0] > 'h' || text[1] < '1' || text[1] > '8') return -1;
    return cecp::MakeSquare(text[0] - 'a', text[1] - '1');
}

bool ParseCount(const std::string& text, int minimum, int* value) {
    if (text.empty() || text.size() > 6 ||
        !std::all_of(text.begin(), text.end(), [](unsigned char c) { return std::isdigit(c); }))
        return false;
    *value = std::stoi(text);
    return *value >= minimum;
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
    std::istringstream words(fen);
    std::vector<std::string> fields;
    for (std::string word; words >> word;) fields.push_back(word);
    auto fail = [&](const std::string& message) -> std::optional<Board> {
        *error = "bad FEN \"" + fen + "\": " + message;
        return std::nullopt;
    };
    if (fields.size() != 4 && fields.size() != 6)
        return fail("it needs 6 fields (placement, side, castling, en passant, half-move clock, move "
                    "number) or the first 4");

    std::uint8_t squares[cecp::kSquareCount] = {};
    int rank = 7, file = 0, whiteKings = 0, blackKings = 0;
    for (char c : fields[0]) {
        if (c == '/') {
            if (file != 8) return fail("rank " + std::to_string(rank + 1) + " does not have 8 squares");
            if (--rank < 0) return fail("more than 8 ranks");
            file = 0;
        } else if (c >= '1' && c <= '8') {
            file += c - '0';
            if (file > 8) return fail("rank " + std::to_string(rank + 1) + " has more than 8 squares");
        } else {
            const char lower = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
            const std::size_t type = std::string(" pnbrqk").find(lower);
            if (type == std::string::npos || type == 0)
                return fail(std::string("'") + c + "' is not a piece letter");
            if (file >= 8) return fail("rank " + std::to_string(rank + 1) + " has more than 8 squares");
            const bool black = c == lower;
            if (type == cecp::kPawn && (rank == 0 || rank == 7)) return fail("a pawn on the first or last rank");
            if (type == cecp::kKing) ++(black ? blackKings : whiteKings);
            squares[cecp::MakeSquare(file, rank)] = cecp::MakePiece(static_cast<int>(type), black);
            ++file;
        }
    }
    if (rank != 0 || file != 8) return fail("the placement does not describe 8 ranks of 8 squares");
    if (whiteKings != 1 || blackKings != 1) return fail("each side needs exactly one king");

    if (fields[1] != "w" && fields[1] != "b") return fail("the side to move must be w or b");
    const int side = fields[1] == "w" ? 0 : 1;

    int castling = 0;
    if (fields[2] != "-") {
        for (char c : fields[2]) {
            const std::size_t index = std::string("KQkq").find(c);
            if (index == std::string::npos) return fail("castling rights are - or letters of KQkq");
            const int bit = 1 << index;
            if (castling & bit) return fail(std::string("castling right ") + c + " given twice");
            castling |= bit;
        }
    }
    struct Need { int bit; int king; int rook; std::uint8_t kingCode, rookCode; const char* text; };
    const Need needs[] = {
        {cecp::kWhiteShort, 4, 7, cecp::kWhiteKing, cecp::kWhiteRook, "K needs the white king on e1 and a rook on h1"},
        {cecp::kWhiteLong, 4, 0, cecp::kWhiteKing, cecp::kWhiteRook, "Q needs the white king on e1 and a rook on a1"},
        {cecp::kBlackShort, 60, 63, cecp::kBlackKing, cecp::kBlackRook, "k needs the black king on e8 and a rook on h8"},
        {cecp::kBlackLong, 60, 56, cecp::kBlackKing, cecp::kBlackRook, "q needs the black king on e8 and a rook on a8"},
    };
    for (const Need& need : needs)
        if ((castling & need.bit) && (squares[need.king] != need.kingCode || squares[need.rook] != need.rookCode))
            return fail(std::string("castling right ") + need.text);

    int ep = 0;
    if (fields[3] != "-") {
        ep = SquareFromText(fields[3]);
        if (ep < 0) return fail("the en-passant square must be - or a square such as e3");
        // The pawn that has just moved two squares stands in front of it.
        const int expectedRank = side == 0 ? 5 : 2;
        const int pawnSquare = side == 0 ? ep - 8 : ep + 8;
        const std::uint8_t pawn = side == 0 ? cecp::kBlackPawn : cecp::kWhitePawn;
        if (cecp::RankOf(ep) != expectedRank || squares[pawnSquare] != pawn || squares[ep] != 0)
            return fail("no pawn can just have passed the en-passant square " + fields[3]);
    }

    int halfMove = 0, fullMove = 1;
    if (fields.size() == 6) {
        if (!ParseCount(fields[4], 0, &halfMove)) return fail("the half-move clock must be a number");
        if (!ParseCount(fields[5], 1, &fullMove)) return fail("the move number must be a number from 1");
    }

    Board board;
    board.position_.SetFromBoard(squares, side, castling, ep);
    board.halfMoveClock_ = halfMove;
    board.fullMove_ = fullMove;
    // The side that has just moved cannot have left its king in check.
    Position other = board.position_;
    other.sideToMove = 1 - side;
    other.epSquare = 0;
    if (cecp::SideToMoveInCheck(other)) return fail("the side not to move is in check");
    board.history_.assign(1, board.RepetitionKey());
    return board;
}

std::string Board::Fen() const {
    char text[cecp::kFenTextSize];
    cecp::WriteFen(position_, halfMoveClock_, fullMove_, text);
    return text;
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
