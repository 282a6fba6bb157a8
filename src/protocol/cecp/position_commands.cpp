// The position of a search request as protocol commands.
#include <cstdint>
#include <cstring>

#include "chess/position.h"
#include "engine/engine_settings.h"
#include "engine/transport.h"
#include "host/host_link.h"
#include "protocol/cecp/commands.h"
#include "protocol/search_driver.h"
#include "protocol/search_state.h"

namespace cecp {
namespace {

constexpr char kPlacementLetters[] = " PNBRQK ";  // indexed by piece type; Black uses capitals too

void SquareText(int square, char* out) {
    out[0] = FileLetter(square);
    out[1] = RankDigit(square);
}

void SendPlacement(int code, int square) {
    char command[5] = {kPlacementLetters[code & 7], 0, 0, '\n', '\0'};
    SquareText(square, command + 1);
    SendCommand(command);
}

// An en-passant capture onto the request's square is possible for the side
// to move, judged on the host's board.
bool EnPassantPossible(const SearchRequestView& request) {
    int ep = request.EpSquare();
    const std::uint8_t* board = request.Board();
    if (ep == 0) return false;
    if (request.WhiteToMove() != 0) {
        if (ep < 40 || ep > 47) return false;
        return (ep > 40 && board[ep - 9] == kWhitePawn) || (ep < 47 && board[ep - 7] == kWhitePawn);
    }
    if (ep < 16 || ep > 23) return false;
    return (ep > 16 && board[ep + 7] == kBlackPawn) || (ep < 23 && board[ep + 9] == kBlackPawn);
}

}  // namespace

void SendEditedPosition(const SearchRequestView& request, Position* position) {
    bool whiteToMove = request.WhiteToMove() != 0;
    position->SetFromBoard(request.Board(), whiteToMove ? 0 : 1, 0, 0);
    position->CastlingFromPlacement();
    // Any non-zero byte means White, as for the position itself: the engine
    // is told the side it was edited for, and the flag stays 0 or 1.
    g_host.engineSideWhite = whiteToMove ? 1 : 0;

    if (!whiteToMove) {
        // The engine has just been reset with White to move: one move in
        // force mode hands the move to Black before the edit begins.
        SendCommand("force\n");
        SendCommand("a2a3\n");
    }
    SendCommand("edit\n");
    SendCommand("#\n");
    const std::uint8_t* board = request.Board();
    for (int square = 0; square < kSquareCount; ++square) {
        if (board[square] >= 1 && board[square] <= 7) SendPlacement(board[square], square);
    }
    SendCommand("c\n");
    for (int square = 0; square < kSquareCount; ++square) {
        if (board[square] > 8) SendPlacement(board[square], square);
    }
    if (whiteToMove) SendCommand("c\n");

    if (g_settings.castleAndEP) {
        int castling = request.Castling();
        SendCommand(castling & kWhiteShort ? "castle +w00\n" : "castle -w00\n");
        SendCommand(castling & kWhiteLong ? "castle +w000\n" : "castle -w000\n");
        SendCommand(castling & kBlackShort ? "castle +b00\n" : "castle -b00\n");
        SendCommand(castling & kBlackLong ? "castle +b000\n" : "castle -b000\n");
        if (EnPassantPossible(request)) {
            char command[7] = {'e', 'p', ' ', 0, 0, '\n', '\0'};
            SquareText(request.EpSquare(), command + 3);
            SendCommand(command);
        }
    }
    SendCommand(".\n");
}

void MoveText(MoveWord move, char* out) {
    SquareText(MoveFrom(move), out);
    SquareText(MoveTo(move), out + 2);
    int length = 4;
    if ((move >> 12) != 0) out[length++] = PromotionLetter(move >> 12);
    out[length] = '\0';
}

void SendPosition(const SearchRequestView& request, bool ponder, PonderMove& heldReply) {
    Position position;
    g_host.engineSideWhite = 1;
    if (request.StandardStart()) {
        // "new" has already put the engine at the start position.
        position.SetStartPosition();
    } else {
        SendEditedPosition(request, &position);
    }

    int count = request.MoveCount();
    SendCommand("hard\n");
    if (!ponder) SendCommand("easy\n");

    if (count > 0) {
        heldReply.Clear();
        char text[PonderMove::kTextSize];
        int sent = count;
        if (ponder) {
            MoveText(request.Move(count - 1), text);
            heldReply.Set(text);
            --sent;
        }
        SendCommand("force\n");
        for (int i = 0; i < sent; ++i) {
            MoveText(request.Move(i), text);
            std::size_t length = std::strlen(text);
            text[length] = '\n';
            text[length + 1] = '\0';
            SendCommand(text);
            position.MakeMove(request.Move(i));
            g_host.engineSideWhite = 1 - g_host.engineSideWhite;
        }
        // The expected reply is not sent, but the engine will think in the
        // position after it.
        if (ponder) position.MakeMove(request.Move(sent));
    }
    SetEnginePosition(position);
}

}  // namespace cecp
