// enghost's own rules: adjudication, standard notation, FEN and typed moves,
// the clock fields of a search request, the PGN it writes; what an engine's
// answers to the install probe mean and the settings written from them; the
// openings, the schedule and the score table of a match, and the line that
// sums up an engine's pondering.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "board.h"
#include "clock.h"
#include "detect.h"
#include "engine/engine_config.h"
#include "installation.h"
#include "openings.h"
#include "output.h"
#include "pgn.h"
#include "settings_file.h"
#include "standings.h"

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

void PrintTo(const EndCase& c, std::ostream* out) { *out << c.name; }

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

// The module's reader refuses what is not FEN (tests/chess); enghost refuses
// too the positions that no game can start from.
TEST(Fen, BadPositionsAreRefusedWithTheReason) {
    struct Case {
        const char* fen;
        const char* says;
    } cases[] = {
        {"rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq", "6 fields"},
        {"rnbqqbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1", "exactly one king"},
        {"rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBN1 w KQkq - 0 1", "castling right K"},
        {"rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq e3 0 1", "en-passant square e3"},
        {"P3k3/8/8/8/8/8/8/4K3 w - - 0 1", "first or last rank"},
        {"4k3/8/8/8/8/8/8/4K2r b - - 0 1", "not to move is in check"},
    };
    for (const Case& c : cases) {
        std::string error;
        EXPECT_FALSE(Board::FromFen(c.fen, &error)) << c.fen;
        EXPECT_NE(error.find(c.says), std::string::npos) << c.fen << ": " << error;
    }
}

// From Black's side: rank 1 on top, the h-file on the left; the last move's
// squares in brackets.
TEST(Diagram, ShowsTheBoardFromThePersonsSideWithTheLastMoveMarked) {
    const Board afterE4 = Played(Board(), {"e4"});
    std::string error;
    const cecp::MoveWord c5 = *afterE4.ParseTypedMove("c5", &error);
    const Board board = Played(afterE4, {"c5"});
    EXPECT_EQ(board.Diagram(false, c5),
              "    h  g  f  e  d  c  b  a\n"
              " 1  R  N  B  K  Q  B  N  R  1\n"
              " 2  P  P  P  .  P  P  P  P  2\n"
              " 3  .  .  .  .  .  .  .  .  3\n"
              " 4  .  .  .  P  .  .  .  .  4\n"
              " 5  .  .  .  .  . [p] .  .  5\n"
              " 6  .  .  .  .  .  .  .  .  6\n"
              " 7  p  p  p  p  p [.] p  p  7\n"
              " 8  r  n  b  k  q  b  n  r  8\n"
              "    h  g  f  e  d  c  b  a\n");
    const std::string top = "    a  b  c  d  e  f  g  h\n 8  r  n  b  q  k  b  n  r  8\n 7  p  p  .  p  p  p  p  p  7\n";
    EXPECT_EQ(board.Diagram(true, 0).substr(0, top.size()), top);
}

TEST(SanLine, NumbersTheMovesFromEitherSide) {
    const Board board = Played(Board(), {"e4"});
    std::string error;
    const cecp::MoveWord line[] = {*board.ParseTypedMove("e7e5", &error), cecp::MakeMoveWord(6, 21),
                                   cecp::MakeMoveWord(0, 63)};
    // The third move is not legal: the line stops before it.
    EXPECT_EQ(board.SanLine(line, 3), "1... e5 2. Nf3");
}

// Mates from the module's band (30000 - n for a mate in n), and counts at
// three significant figures, their unit changing where rounding reaches 1000.
TEST(Output, ScoresAndCountsAsPeopleReadThem) {
    const std::pair<int, const char*> scores[] = {{35, "+0.35"},       {-120, "-1.20"},   {-5, "-0.05"},
                                                  {29233, "+292.33"}, {29234, "+M766"}, {29995, "+M5"},
                                                  {-29997, "-M3"},     {30000, "+M0"},    {30001, "+300.01"}};
    for (const auto& [centipawns, text] : scores) EXPECT_EQ(enghost::ScoreText(centipawns), text) << centipawns;
    const std::pair<std::int64_t, const char*> counts[] = {
        {0, "0"},          {999, "999"},        {1000, "1.00k"},       {2449900, "2.45M"}, {12345, "12.3k"},
        {999499, "999k"}, {999500, "1.00M"}, {123456789012, "123G"}, {-7, "-7"}};
    for (const auto& [count, text] : counts) EXPECT_EQ(enghost::CountText(count), text) << count;
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

// --- What the engine's answers mean -------------------------------------

TEST(Probe, RefusalsOfACommandAreToldFromOtherLines) {
    struct Case {
        const char* line;
        const char* command;
        bool refuses;
    } cases[] = {
        {"Error (unknown command): uci", "uci", true},
        {"Unknown command: 'protover 2'. Type help for more information.", "protover", true},
        {"Invalid move: uci", "uci", true},
        {"Illegal move: castle +w00", "castle", true},
        {"Error (unknown command): analyze", "analyze", true},
        // The same words in announcements and in other answers are no refusal.
        {"option name UCI_Chess960 type check default false", "uci", false},
        {"uciok", "uci", false},
        {"id name Unknown uci engine", "uci", false},
        {"feature option=\"Error log -check 0\"", "protover", false},
        {"Error (unknown command): ping", "uci", false},
        {"tellics say unknown", "uci", false},
    };
    for (const Case& c : cases) EXPECT_EQ(enghost::RejectsCommand(c.line, c.command), c.refuses) << c.line;
}

TEST(Probe, UciAnswerGivesNameAuthorAndTheOptionsWithBlanksInTheirNames) {
    enghost::UciAnswer answer;
    for (const char* line : {"id name  Stockfish 15.1 ",
                             "option name Skill Level type spin default 20 min 0 max 20",
                             "option name Clear Hash type button", "option name Ponder type check default false",
                             "option name type type string default x"})
        answer.Read(line);
    EXPECT_FALSE(answer.ok);
    answer.Read("uciok\r");
    EXPECT_TRUE(answer.ok);
    EXPECT_EQ(answer.name, "Stockfish 15.1");
    EXPECT_EQ(answer.options, (std::vector<std::string>{"Skill Level", "Clear Hash", "Ponder", "type"}));
    EXPECT_TRUE(answer.ponderOption);
    EXPECT_FALSE(answer.rejected);

    enghost::UciAnswer noPonder;
    noPonder.Read("option name Ponderosa type check default false");
    EXPECT_FALSE(noPonder.ponderOption);
}

TEST(Probe, FeaturesWithQuotedValuesSeveralToALine) {
    enghost::FeatureAnswer answer;
    answer.Read("feature done=0");
    EXPECT_TRUE(answer.waitLonger);
    answer.Read("feature myname=\"Fairy-Max 5.0b\" setboard=0 ping=1");
    answer.Read("feature option=\"Resign Threshold -spin 800 200 1200\" analyze=0");
    EXPECT_FALSE(answer.done);
    answer.Read("feature done=1");
    EXPECT_TRUE(answer.anyFeature);
    EXPECT_TRUE(answer.done);
    EXPECT_EQ(answer.Value("myname"), "Fairy-Max 5.0b");
    EXPECT_EQ(answer.Value("analyze"), "0");
    EXPECT_EQ(answer.Value("san"), std::nullopt);
    EXPECT_EQ(answer.options, std::vector<std::string>{"Resign Threshold"});
}

TEST(Probe, ClassicLinesThinkingAndMoves) {
    struct Case {
        const char* line;
        std::optional<std::string> thinking, move;
    } cases[] = {
        {"10. -120 300 5000 1. Nf3 Nf6", "1. Nf3 Nf6", std::nullopt},
        {"3& +5 0 406", "", std::nullopt},
        {"1. ... e7e5", std::nullopt, "e7e5"},
        {"Illegal move: e2e5", std::nullopt, std::nullopt},
        {"# 16+16 pieces", std::nullopt, std::nullopt},
        {"12 abc 3 4 e2e4", std::nullopt, std::nullopt},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(enghost::ThinkingLine(c.line), c.thinking) << c.line;
        EXPECT_EQ(enghost::MoveLine(c.line), c.move) << c.line;
    }
    // The set-up position has none of the start position's moves.
    EXPECT_TRUE(enghost::LineStartsLegally(enghost::kProbeSetUpFen, "1. exd6 Kd7"));
    EXPECT_TRUE(enghost::LineStartsLegally(enghost::kProbeSetUpFen, "e1g1"));
    EXPECT_FALSE(enghost::LineStartsLegally(enghost::kProbeSetUpFen, "e2e4 e7e5"));
    EXPECT_FALSE(enghost::LineStartsLegally(enghost::kProbeSetUpFen, "b1c3"));
    EXPECT_FALSE(enghost::LineStartsLegally(enghost::kProbeSetUpFen, ""));
}

enghost::Findings UciWithoutPonderOption() {
    enghost::Findings f;
    f.uciAsked = f.featuresAsked = true;
    f.uci.ok = true;
    f.uci.name = "Engine U";
    return f;
}

enghost::Findings FeatureFindings(const char* analyze) {
    enghost::Findings f;
    f.uciAsked = f.featuresAsked = true;
    f.features.Read(std::string("feature myname=\"Engine X\" done=1") + analyze);
    return f;
}

enghost::Findings ClassicFindings(bool thinking, bool legalLine) {
    enghost::Findings f;
    f.uciAsked = f.featuresAsked = f.classicAsked = true;
    f.classic.thinking = thinking;
    f.classic.legalLine = legalLine;
    f.classic.moved = f.classic.legalMove = true;
    return f;
}

// What the probes of enghost_testengine.sh cannot show: an engine of each
// dialect that lacks what the test engine has (those runs install a UCI
// engine with a ponder option, a protocol 2 engine that analyses, classic
// engines that take or refuse castle, and a dialect chosen by hand), and one
// that speaks UCI and protocol 2 both, as fairy-stockfish and polyglot do.
TEST(Probe, SettingsFollowTheDialectFound) {
    enghost::Findings both = UciWithoutPonderOption();
    both.features.Read("feature myname=\"Engine X\" done=1");
    const std::pair<enghost::Findings, const char*> cases[] = {
        {UciWithoutPonderOption(), "uci analyse Engine U"},
        {both, "uci analyse Engine U"},
        {FeatureFindings(" analyze=0"), "2 ponder Engine X"},
        // Thinking in another position: the set-up was not taken.
        {ClassicFindings(true, false), "1 analyse "},
        {ClassicFindings(false, false), "1 "},
    };
    for (const auto& [findings, settings] : cases) {
        const enghost::DecidedSettings s = enghost::Decide(findings, {});
        EXPECT_EQ(std::string(enghost::DialectSetting(s.dialect)) + (s.analyze ? " analyse" : "") +
                      (s.ponder ? " ponder" : "") + (s.castleAndEP ? " castle" : "") + " " + s.engine,
                  settings);
    }
}

// An engine that ends at "uci" but answers protover is an engine. (One that
// answers nothing, one that ends everywhere and a dialect chosen against the
// findings are installed in enghost_testengine.sh.)
TEST(Probe, AnEngineThatEndsOnlyAtUciIsStillAnEngine) {
    enghost::Findings crashOnUci = FeatureFindings("");
    crashOnUci.uciEnded = true;
    EXPECT_FALSE(enghost::AnsweredNothing(crashOnUci));
    EXPECT_FALSE(enghost::EndedEverywhere(crashOnUci));
}

// The module's reader of the setting, its only test: what install writes is
// read back by it in every game of the shell suites.
TEST(Probe, ProtocolSettingAsTheModuleReadsIt) {
    using enghost::Dialect;
    const std::pair<const char*, std::optional<Dialect>> cases[] = {
        {"", Dialect::kClassic},     {"1", Dialect::kClassic}, {" 2\t", Dialect::kProtocol2},
        {"UCI", Dialect::kUci},      {"3", std::nullopt},      {"xboard", std::nullopt},
        {"u ci", std::nullopt},      {"12", std::nullopt},
    };
    auto read = [](const char* value) -> std::optional<Dialect> {
        Dialect dialect;
        return cecp::ReadDialectSetting(value, &dialect) ? std::optional(dialect) : std::nullopt;
    };
    for (const auto& [value, dialect] : cases) EXPECT_EQ(read(value), dialect) << value;
}

// --- The installation and its settings file -----------------------------

// A place the module cannot use is refused, not installed. (The places it
// uses are those of every install in the shell suites.)
TEST(Installation, APlaceTheModuleCannotUseIsRefused) {
    enghost::Installation found;
    std::string error;
    EXPECT_FALSE(enghost::InstallationOf(std::filesystem::absolute("elsewhere") / "knight.eng", &found, &error));
    EXPECT_FALSE(enghost::InstallationOf(std::filesystem::absolute(std::string(600, 'x')) / "engines" / "knight.eng",
                                         &found, &error));
    EXPECT_NE(error.find("longer than"), std::string::npos) << error;
}

// (Plain options, and one given twice, are installed in enghost_testengine.sh.)
TEST(SettingsFile, EngineOptionsFromTheCommandLine) {
    const std::pair<const char*, const char*> cases[] = {
        {"SyzygyPath=", "SyzygyPath|"},
        {"EvalFile=a=b.nnue", "EvalFile|a=b.nnue"},
        {"Book File=C:\\books\\my book.bin", "Book File|C:\\books\\my book.bin"},
        {"=64", "refused"}, {"[Hash]=64", "refused"}, {";Hash=64", "refused"}, {"Hash=6\n4", "refused"},
        {"Name=\"quoted\"", "refused"},
    };
    for (const auto& [text, read] : cases) {
        std::string error;
        const auto option = enghost::ParseEngineOption(text, &error);
        EXPECT_EQ(option ? option->first + "|" + option->second : error.find("bad --option") == 0 ? "refused" : error,
                  read)
            << text;
    }
}

// What install writes, read back by the module's own settings reader.
TEST(SettingsFile, ReadsBackAsWrittenThroughTheModulesReader) {
    enghost::SettingsFile file;
    file.commandLine = "--threads 1 \"a b\"";
    file.engine = "Stockfish 15.1";
    file.options = {{"Hash", "64"}, {"Skill Level", "5"}, {"EvalFile", "a=b.nnue"}, {"SyzygyPath", ""}};
    const std::filesystem::path path =
        std::filesystem::temp_directory_path() / ("enghost_test_settings_" + std::to_string(std::rand()) + ".init");
    {
        std::ofstream out(path, std::ios::binary);
        out << enghost::SettingsText(file);
    }
    cecp::EngineConfig read;
    cecp::ReadEngineConfig(path.string().c_str(), &read);
    std::filesystem::remove(path);
    EXPECT_EQ(read.commandLine, file.commandLine);
    EXPECT_EQ(read.engine, file.engine);
    std::vector<enghost::EngineOption> options;
    cecp::ForEachEngineOption(
        read.options,
        [](const char* name, const char* value, void* list) {
            static_cast<std::vector<enghost::EngineOption>*>(list)->push_back({name, value});
        },
        &options);
    EXPECT_EQ(options, file.options);

    // Without options there is no [Options] section.
    EXPECT_EQ(enghost::SettingsText(enghost::SettingsFile{}).find("[Options]"), std::string::npos);
}

// check switches the log on in its copy of a settings file as users write
// them: the module must read it on, and the rest as it was.
TEST(SettingsFile, ASettingSetInTextTheModuleReadsBack) {
    enghost::SettingsFile installed;
    installed.commandLine = "-x";
    struct Case {
        std::string text;
        const char* commandLine;  // as read after the change
    };
    const Case cases[] = {
        {enghost::SettingsText(installed), "-x"},
        {"; by hand\r\n[parameter]\r\nlogfile = false\r\nCommandLine=-x\r\n[Options]\r\nLogfile=x\r\n", "-x"},
        {"[Support]\nPonderMode=true\n[Parameter]\nCommandLine=-x", "-x"},  // no line end at the end
        {"[Support]\nCommandLine=-x\n", ""},                                 // no [Parameter]
        {"", ""},
    };
    const std::filesystem::path path =
        std::filesystem::temp_directory_path() / ("enghost_test_with_" + std::to_string(std::rand()) + ".init");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        std::ofstream(path, std::ios::binary) << enghost::WithSetting(c.text, "Parameter", "Logfile", "true");
        cecp::EngineConfig read;
        cecp::ReadEngineConfig(path.string().c_str(), &read);
        EXPECT_TRUE(cecp::ReadLogfileSwitch(path.string().c_str()));
        EXPECT_STREQ(read.commandLine, c.commandLine);
    }
    std::filesystem::remove(path);
}

// --- Openings --------------------------------------------------------------

// "read N:" and each opening as its name, "*" when it starts from the
// standard position, and the position after its moves; or the file's error.
std::string OpeningsRead(const std::string& text) {
    std::string error;
    const auto openings = enghost::ParseOpenings(text, &error);
    if (!openings) return error;
    std::string read = "read " + std::to_string(openings->size()) + ":\n";
    for (const enghost::Opening& opening : *openings) {
        Board board = opening.start;
        for (cecp::MoveWord move : opening.moves) board.Play(move);
        read += opening.name + (opening.standardStart ? " * " : " ") + board.Fen() + "\n";
    }
    return read;
}

TEST(Openings, EpdAndPgnAreReadAndBadFilesRefusedNamingWhereTheyAreWrong) {
    const std::pair<const char*, const char*> cases[] = {
        {"# comment\n"
         "rnbqkbnr/pppp1ppp/8/4p3/4P3/8/PPPP1PPP/RNBQKBNR w KQkq e6 id \"Open Game\"; hmvc 0; fmvn 2;\r\n\n"
         "r3k2r/8/8/3pP3/8/8/8/R3K2R w KQkq d6 3 20\nrnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq -\n",
         "read 3:\nOpen Game rnbqkbnr/pppp1ppp/8/4p3/4P3/8/PPPP1PPP/RNBQKBNR w KQkq - 0 2\n"
         "position 2 r3k2r/8/8/3pP3/8/8/8/R3K2R w KQkq d6 3 20\n"
         "position 3 * rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1\n"},
        // Comments, nested variations, annotations and move numbers glued to moves.
        {"% an escaped line\n[Event \"Ruy Lopez\"]\n[Opening \"Ruy \\\"Spanish\\\" Lopez\"]\n\n"
         "1.e4 e5 {the open game} 2. Nf3 (2. f4 exf4 (2... d5)) 2... Nc6 $1 3. Bb5! a6 ; to the end\n"
         "4. Ba4 Nf6 5. O-O *\n\n"
         "[Event \"?\"]\n[SetUp \"1\"]\n[FEN \"4k3/8/8/8/8/8/4P3/4K3 w - - 0 1\"]\n\n1. e4 Kd7 1/2-1/2\n"
         "[Event \"no moves\"]\n\n*\n",
         "read 3:\nRuy \"Spanish\" Lopez * r1bqkb1r/1ppp1ppp/p1n2n2/4p3/B3P3/5N2/PPPP1PPP/RNBQ1RK1 b kq - 3 5\n"
         "opening 2 8/3k4/8/8/4P3/8/8/4K3 w - - 1 2\n"
         "no moves * rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1\n"},
        {"", "holds no opening"},
        {"# only a comment\n\n", "holds no opening"},
        {"[Event \"a\"]\n1. d4 *\n[Event \"b\"]\n1. e4 e5 2. Nf3 Nf3 *\n", "game 2 (b): move 2... Nf3"},
        {"[FEN \"8/8/8/8/8/8/8/8 w - - 0 1\"]\n*\n", "its FEN tag"},
        {"1. e4 {never closed\n", "never closed"},
        {"1. e4 (1. d4 d5\n", "variation that is never closed"},
        {"[Event \"x\n", "malformed tag pair"},
        {"rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq -\nrnbqkbnr/pppppppp/8 w\n", "line 2"},
        {"rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNX w KQkq -\n", "line 1: "},
    };
    for (const auto& [text, read] : cases) {
        const std::string got = OpeningsRead(text);
        EXPECT_NE(got.find(read), std::string::npos) << text << "\n" << got;
    }
}

// --- The match's arithmetic ----------------------------------------------

TEST(Standings, EloOfKnownScores) {
    // 75 %: +191, the interval from the spread of three wins and a loss.
    const enghost::EloEstimate threeOfFour = enghost::EstimateElo({3, 0, 1});
    EXPECT_NEAR(*threeOfFour.elo, 190.85, 0.01);
    // sd = sqrt((3 * 0.25^2 + 0.75^2) / 4) = 0.433, margin 1.96 * 0.433 / 2 =
    // 0.424: the lower bound is the Elo of a score of 0.326.
    EXPECT_NEAR(*threeOfFour.lower, -126.46, 0.01);
    EXPECT_EQ(threeOfFour.upper, std::nullopt);  // beyond a score of 1
    EXPECT_EQ(enghost::EloText({3, 0, 1}), "+191 (95 %: -126 to +inf)");

    // Draws narrow the interval: ten draws give exactly 0.
    EXPECT_EQ(enghost::EloText({0, 10, 0}), "0 (95 %: 0 to 0)");
    EXPECT_EQ(enghost::EloText({5, 0, 5}), "0 (95 %: -252 to +252)");
    EXPECT_EQ(enghost::EloText({3, 0, 0}), "no finite value (every game won)");
    EXPECT_EQ(enghost::EloText({0, 0, 2}), "no finite value (every game lost)");
    EXPECT_EQ(enghost::EloText({}), "no games");
}

// Each game as white-black/opening, in the order played.
std::string Schedule(const std::vector<std::pair<int, int>>& pairs, int gamesPerPair, int openings) {
    std::string text;
    for (const enghost::Pairing& g : enghost::Schedule(pairs, gamesPerPair, openings))
        text += std::to_string(g.white) + "-" + std::to_string(g.black) + "/" + std::to_string(g.opening) + " ";
    return text;
}

// Each pair plays an opening twice, once with each colour, and every new
// pair of games of the match takes the next opening, over again when they
// run out; without any there is none. A gauntlet pairs the first engine
// with each other, and only those.
TEST(Standings, ScheduleAlternatesColoursAndMovesOnToTheNextOpeningWithEachPairOfGames) {
    using enghost::GauntletPairs, enghost::RoundRobinPairs;
    EXPECT_EQ(Schedule(RoundRobinPairs(3), 4, 14),
              "0-1/0 0-2/1 1-2/2 1-0/0 2-0/1 2-1/2 0-1/3 0-2/4 1-2/5 1-0/3 2-0/4 2-1/5 ");
    EXPECT_EQ(Schedule(RoundRobinPairs(2), 6, 2), "0-1/0 1-0/0 0-1/1 1-0/1 0-1/0 1-0/0 ");
    EXPECT_EQ(Schedule(RoundRobinPairs(2), 2, 0), "0-1/-1 1-0/-1 ");
    EXPECT_EQ(Schedule(RoundRobinPairs(1), 2, 0), "");
    EXPECT_EQ(Schedule(GauntletPairs(4), 2, 5), "0-1/0 0-2/1 0-3/2 1-0/0 2-0/1 3-0/2 ");
}

// Summed over games as the match sums them: the median of an even count is
// the mean of the middle two; shares are rounded, counts singular at one.
TEST(Standings, PonderLineSumsGamesAndGivesMeanAndMedianAfterAHit) {
    enghost::PonderStats first{20, 10, 9, {100, 1500, 40}};
    const enghost::PonderStats second{11, 7, 3, {200}};
    first.Add(second);
    EXPECT_EQ(enghost::PonderText("Stockfish", first),
              "ponder  Stockfish: 31 searches, 17 hits (55 %), 12 misses, after a hit 0.46 s on average "
              "(median 0.15 s)");

    EXPECT_EQ(enghost::PonderText("X", {1, 0, 1, {}}), "ponder  X: 1 search, 0 hits (0 %), 1 miss");
    EXPECT_EQ(enghost::PonderText("X", {}), "ponder  X: 0 searches");
}

}  // namespace
