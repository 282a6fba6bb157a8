// enghost's own rules: adjudication, standard notation, FEN and typed moves,
// the clock fields of a search request, the PGN it writes.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "board.h"
#include "clock.h"
#include "pgn.h"

namespace {

using enghost::Board;
using enghost::GameEnd;

Board FromFen(const std::string& fen) {
    std::string error;
    auto board = Board::FromFen(fen, &error);
    EXPECT_TRUE(board) << error;
    return board ? *board : Board();
}

// Plays moves typed in standard or coordinate notation.
Board Played(Board board, const std::vector<std::string>& moves) {
    for (const std::string& text : moves) {
        std::string error;
        auto move = board.ParseTypedMove(text, &error);
        EXPECT_TRUE(move) << text << ": " << error;
        if (!move) break;
        board.Play(*move);
    }
    return board;
}

struct EndCase {
    const char* name;
    const char* fen;
    std::vector<std::string> moves;
    GameEnd end;
};

class Adjudication : public testing::TestWithParam<EndCase> {};

TEST_P(Adjudication, EndsTheGameForTheRightReason) {
    const EndCase& c = GetParam();
    EXPECT_EQ(Played(FromFen(c.fen), c.moves).Adjudicate(), c.end);
}

INSTANTIATE_TEST_SUITE_P(
    KnownPositions, Adjudication,
    testing::Values(
        EndCase{"FoolsMate", enghost::kStartFen, {"f3", "e5", "g4", "Qh4#"}, GameEnd::kCheckmate},
        EndCase{"BackRankMate", "6k1/5ppp/8/8/8/8/8/3R2K1 w - - 0 1", {"Rd8"}, GameEnd::kCheckmate},
        EndCase{"CheckIsNotMate", "6k1/5pp1/8/8/8/8/8/3R2K1 w - - 0 1", {"Rd8"}, GameEnd::kNone},
        EndCase{"Stalemate", "7k/5Q2/6K1/8/8/8/8/8 b - - 0 1", {}, GameEnd::kStalemate},
        EndCase{"StalemateByMove", "7k/8/6K1/8/8/8/8/5Q2 w - - 0 1", {"Qf7"}, GameEnd::kStalemate},
        EndCase{"KnightsDanceThreeTimes", enghost::kStartFen,
                {"Nf3", "Nf6", "Ng1", "Ng8", "Nf3", "Nf6", "Ng1", "Ng8"}, GameEnd::kThreefold},
        EndCase{"TwiceIsNotThreefold", enghost::kStartFen, {"Nf3", "Nf6", "Ng1", "Ng8"}, GameEnd::kNone},
        // The first position had the right to capture en passant: it differs
        // from the later ones with the same pieces.
        EndCase{"EnPassantRightMakesADifferentPosition", "4k3/8/8/8/3p4/8/4P3/4K3 w - - 0 1",
                {"e4", "Kd7", "Kd2", "Ke8", "Ke1", "Kd7", "Kd2", "Ke8", "Ke1"}, GameEnd::kNone},
        EndCase{"FiftyMoves", "4k3/8/8/8/8/8/R7/4K3 w - - 99 80", {"Rb2"}, GameEnd::kFiftyMoves},
        EndCase{"CaptureResetsTheFiftyMoves", "4k3/8/8/8/8/8/r6R/4K3 w - - 99 80", {"Rxa2"},
                GameEnd::kNone},
        EndCase{"MateOnTheHundredthHalfMove", "7k/8/6K1/8/8/8/8/R7 w - - 99 80", {"Ra8#"}, GameEnd::kCheckmate},
        EndCase{"BareKings", "4k3/8/8/8/8/8/8/4K3 w - - 0 1", {}, GameEnd::kInsufficientMaterial},
        EndCase{"LoneKnight", "4k3/8/8/8/8/8/8/4KN2 w - - 0 1", {}, GameEnd::kInsufficientMaterial},
        EndCase{"BishopsOnOneColour", "4kb2/8/8/8/8/8/8/2B1K3 w - - 0 1", {}, GameEnd::kInsufficientMaterial},
        EndCase{"BishopsOnBothColours", "4k1b1/8/8/8/8/8/8/2B1K3 w - - 0 1", {}, GameEnd::kNone},
        EndCase{"TwoKnightsCanStillMate", "4k3/8/8/8/8/8/8/1N2KN2 w - - 0 1", {}, GameEnd::kNone},
        EndCase{"APawnCanStillMate", "4k3/8/8/8/8/8/4P3/4K3 w - - 0 1", {}, GameEnd::kNone}),
    [](const testing::TestParamInfo<EndCase>& info) { return info.param.name; });

struct SanCase {
    const char* fen;
    const char* coordinate;
    const char* san;
};

class StandardNotation : public testing::TestWithParam<SanCase> {};

TEST_P(StandardNotation, NamesTheMoveAsPgnDoes) {
    const SanCase& c = GetParam();
    const Board board = FromFen(c.fen);
    std::string error;
    auto move = board.ParseTypedMove(c.coordinate, &error);
    ASSERT_TRUE(move) << error;
    EXPECT_EQ(board.San(*move), c.san);
    // Typing the notation back gives the same move.
    auto again = board.ParseTypedMove(c.san, &error);
    ASSERT_TRUE(again) << c.san << ": " << error;
    EXPECT_EQ(*again, *move);
}

INSTANTIATE_TEST_SUITE_P(
    Moves, StandardNotation,
    testing::Values(SanCase{enghost::kStartFen, "e2e4", "e4"}, SanCase{enghost::kStartFen, "g1f3", "Nf3"},
                    SanCase{"4k3/8/8/3p4/4P3/8/8/4K3 w - - 0 1", "e4d5", "exd5"},
                    SanCase{"4k3/8/8/3pP3/8/8/8/4K3 w - d6 0 1", "e5d6", "exd6"},
                    SanCase{"r3k2r/8/8/8/8/8/8/R3K2R w KQkq - 0 1", "e1g1", "O-O"},
                    SanCase{"r3k2r/8/8/8/8/8/8/R3K2R b KQkq - 0 1", "e8c8", "O-O-O"},
                    SanCase{"4k3/8/8/8/8/8/8/R4RK1 w - - 0 1", "a1d1", "Rad1"},
                    SanCase{"4k3/8/8/8/8/R7/8/R3K3 w - - 0 1", "a3a2", "R3a2"},
                    SanCase{"4k3/8/8/8/8/8/8/1N1NK3 w - - 0 1", "b1c3", "Nbc3"},
                    SanCase{"1k6/8/8/8/Q2Q4/8/8/Q3K3 w - - 0 1", "a4d1", "Qa4d1"},
                    SanCase{"1n2k3/P7/8/8/8/8/8/4K3 w - - 0 1", "a7b8q", "axb8=Q+"},
                    SanCase{"4k3/P7/8/8/8/8/8/4K3 w - - 0 1", "a7a8n", "a8=N"},
                    SanCase{"6k1/5ppp/8/8/8/8/8/3R2K1 w - - 0 1", "d1d8", "Rd8#"}));

TEST(TypedMoves, WrongInputGetsAClearMessage) {
    const Board board;
    struct Case {
        const char* text;
        const char* says;
    } cases[] = {
        {"hello", "is not a move"},  {"e2e5", "not a legal move"}, {"Nf4", "not a legal move"},
        {"", "is not a move"},       {"e9e4", "is not a move"},    {"O-O", "not a legal move"},
    };
    for (const Case& c : cases) {
        std::string error;
        EXPECT_FALSE(board.ParseTypedMove(c.text, &error)) << c.text;
        EXPECT_NE(error.find(c.says), std::string::npos) << c.text << ": " << error;
    }
    std::string error;
    const Board twoKnights = FromFen("4k3/8/8/8/8/8/8/1N1NK3 w - - 0 1");
    EXPECT_FALSE(twoKnights.ParseTypedMove("Nc3", &error));
    EXPECT_NE(error.find("more than one"), std::string::npos) << error;
    const Board promotion = FromFen("4k3/P7/8/8/8/8/8/4K3 w - - 0 1");
    EXPECT_FALSE(promotion.ParseTypedMove("a8", &error));
    EXPECT_NE(error.find("promotes"), std::string::npos) << error;
}

TEST(Fen, BadPositionsAreRefusedWithTheReason) {
    struct Case {
        const char* fen;
        const char* says;
    } cases[] = {
        {"", "6 fields"},
        {"rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq", "6 fields"},
        {"rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP w KQkq - 0 1", "8 ranks"},
        {"rnbqkbnr/pppppppp/54/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1", "more than 8 squares"},
        {"rnbqkbnr/ppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1", "does not have 8 squares"},
        {"rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNX w KQkq - 0 1", "not a piece letter"},
        {"rnbqqbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1", "exactly one king"},
        {"rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR x KQkq - 0 1", "w or b"},
        {"rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkx - 0 1", "KQkq"},
        {"rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBN1 w KQkq - 0 1", "castling right K"},
        {"rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq e3 0 1", "en-passant square e3"},
        {"rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq z9 0 1", "en-passant square must be"},
        {"rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - x 1", "half-move clock"},
        {"rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 0", "move number"},
        {"P3k3/8/8/8/8/8/8/4K3 w - - 0 1", "first or last rank"},
        {"4k3/8/8/8/8/8/8/4K2r b - - 0 1", "not to move is in check"},
    };
    for (const Case& c : cases) {
        std::string error;
        EXPECT_FALSE(Board::FromFen(c.fen, &error)) << c.fen;
        EXPECT_NE(error.find(c.says), std::string::npos) << c.fen << ": " << error;
    }
}

TEST(Fen, ReadsAndWritesTheSamePosition) {
    for (const char* fen : {enghost::kStartFen, "r3k2r/8/8/3pP3/8/8/8/R3K2R w Kq d6 7 31",
                            "8/8/8/4k3/8/8/8/4KQ2 b - - 0 1"})
        EXPECT_EQ(FromFen(fen).Fen(), fen);
    EXPECT_EQ(FromFen("8/8/8/4k3/8/8/8/4KQ2 w - -").Fen(), "8/8/8/4k3/8/8/8/4KQ2 w - - 0 1");
    EXPECT_EQ(Played(Board(), {"e4", "c5", "Nf3"}).Fen(),
              "rnbqkbnr/pp1ppppp/8/2p5/4P3/5N2/PPPP1PPP/RNBQKB1R b KQkq - 1 2");
}

TEST(SanLine, NumbersTheMovesFromEitherSide) {
    const Board board = Played(Board(), {"e4"});
    std::string error;
    const cecp::MoveWord line[] = {*board.ParseTypedMove("e7e5", &error), cecp::MakeMoveWord(6, 21),
                                   cecp::MakeMoveWord(0, 63)};
    // The third move is not legal: the line stops before it.
    EXPECT_EQ(board.SanLine(line, 3), "1... e5 2. Nf3");
}

TEST(Clock, FieldsGiveTheModuleTheLevelOfTheGame) {
    // Base plus increment: the module works out the base as
    // used - played * increment + left, and must find it unchanged.
    enghost::SideClock increment(*enghost::TimeControl::Parse("60+2", nullptr));
    increment.Charge(3400);
    increment.Charge(1500);
    auto f = increment.Fields();
    EXPECT_EQ(f.mode, 2);
    EXPECT_EQ(f.timeLeft, 59);  // 60 - 4.9 + 4 = 59.1 s
    EXPECT_EQ(f.movesPlayed, 2);
    EXPECT_EQ(f.timeUsed - f.movesPlayed * f.increment + f.timeLeft, 60);

    // Moves per period: the period's moves and time add up to the control,
    // and a new period starts with the time carried over.
    enghost::SideClock period(*enghost::TimeControl::Parse("2/10", nullptr));
    period.Charge(4000);
    f = period.Fields();
    EXPECT_EQ(f.mode, 3);
    EXPECT_EQ(f.movesToGo + f.movesPlayed, 2);
    EXPECT_EQ(f.timeUsed + f.timeLeft, 10);
    period.Charge(3000);
    f = period.Fields();
    EXPECT_EQ(f.timeLeft, 13);
    EXPECT_EQ(f.movesToGo, 2);
    EXPECT_EQ(f.timeUsed + f.timeLeft, 10);

    // A fixed time is one move in that time, every move afresh.
    enghost::SideClock fixed(enghost::TimeControl::FixedPerMove(5));
    EXPECT_TRUE(fixed.Charge(4900));
    EXPECT_FALSE(fixed.Charge(5100));
    f = fixed.Fields();
    EXPECT_EQ(f.mode, 3);
    EXPECT_EQ(f.timeLeft, 5);
    EXPECT_EQ(f.movesToGo, 1);
}

TEST(Clock, BadTimeControlsAreRefused) {
    for (const char* text : {"", "abc", "0", "60+", "+5", "40/", "/300", "40/300+2", "1.5", "-60"}) {
        std::string error;
        EXPECT_FALSE(enghost::TimeControl::Parse(text, &error)) << text;
        EXPECT_NE(error.find("bad time control"), std::string::npos);
    }
    for (const char* text : {"60", "300+2", "40/300"})
        EXPECT_EQ(enghost::TimeControl::Parse(text, nullptr)->PgnText(), text);
}

TEST(Pgn, HasTagsMoveNumbersCommentsAndResult) {
    enghost::PgnGame game;
    game.tags = {{"Event", "Test \"quoted\""}, {"Result", "0-1"}};
    game.firstMoveNumber = 12;
    game.blackMovesFirst = true;
    game.moves = {{"Nf6", "+0.31/14 1.20s"}, {"Nc3", ""}, {"Nc6", ""}, {"Bb5", "a long comment with } in it"}};
    game.result = "0-1";
    game.reason = "White's engine died";
    const std::string text = enghost::WritePgn(game);
    EXPECT_EQ(text,
              "[Event \"Test \\\"quoted\\\"\"]\n[Result \"0-1\"]\n\n"
              "12... Nf6 {+0.31/14 1.20s} 13. Nc3 Nc6 14. Bb5 {a long comment with ) in it}\n"
              "{White's engine died} 0-1\n\n");

    // Long games are cut into lines of at most 79 characters.
    enghost::PgnGame longGame;
    for (int i = 0; i < 200; ++i) longGame.moves.push_back({"Nf3", "+0.10/10 0.50s"});
    for (std::size_t start = 0, end; (end = enghost::WritePgn(longGame).find('\n', start)) != std::string::npos;
         start = end + 1)
        EXPECT_LE(end - start, 79u);
}

}  // namespace
