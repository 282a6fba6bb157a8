// enghost: the stand-in host. It loads engine modules as the chess GUI does
// and plays, analyses, installs, checks and matches engines through them.
#include <CLI/CLI.hpp>

#include <csignal>
#include <string>

#include "commands.h"
#include "module.h"
#include "output.h"
#include "platform/version.h"

namespace {

// The clock and pondering of play and match: --tc, or --st instead, and --ponder.
void AddGameOptions(CLI::App* command, std::string* timeControl, int* secondsPerMove, bool* ponder) {
    auto* tc = command
                   ->add_option("--tc", *timeControl,
                                "Time control in whole seconds: BASE or BASE+INC (60, 300+2), or MOVES/BASE (40/300)")
                   ->capture_default_str();
    command->add_option("--st", *secondsPerMove, "A fixed time per move in seconds, instead of --tc")
        ->excludes(tc)
        ->check(CLI::Range(1, 3600));
    command->add_flag("--ponder", *ponder,
                      "Let the engines ponder on the reply they expect (where their settings allow it)");
}

// Where play and match record their games, and how long a game may last.
void AddRecordOptions(CLI::App* command, std::string* pgnFile, const char* pgnHelp, std::string* event,
                      std::string* site, int* maxMoves) {
    command->add_option("--pgn", *pgnFile, pgnHelp);
    command->add_option("--event", *event, "The PGN Event tag")->capture_default_str();
    command->add_option("--site", *site, "The PGN Site tag")->capture_default_str();
    command->add_option("--max-moves", *maxMoves, "Stop an unfinished game after this many moves each (*)")
        ->check(CLI::Range(1, 10000));
}

}  // namespace

int main(int argc, char** argv) {
#ifndef _WIN32
    // A write to an engine that has gone must fail, not end this program.
    std::signal(SIGPIPE, SIG_IGN);
#endif
    CLI::App app{"enghost: loads engine modules (.eng) as the chess GUI host does, and plays, analyses, installs, "
                 "checks and matches engines through them."};
    // At most one command; none is refused after the parse, so that --version needs none.
    app.require_subcommand(0, 1);
    app.set_version_flag("--version", std::string("enghost, cecp-adapter ") + cecp::kVersion);
    app.footer("Run enghost COMMAND --help for the options of a command.");

    enghost::PlayOptions play;
    auto* playCommand = app.add_subcommand("play", "Play a game: engine against engine, or a person against an engine");
    playCommand
        ->add_option("white", play.white, "White: an installed engine (NAME, or its module engines/NAME.eng), or human")
        ->required();
    playCommand
        ->add_option("black", play.black, "Black: an installed engine (NAME, or its module engines/NAME.eng), or human")
        ->required();
    AddGameOptions(playCommand, &play.timeControl, &play.secondsPerMove, &play.ponder);
    playCommand->add_option("--fen", play.fen, "Start from this position (FEN)");
    AddRecordOptions(playCommand, &play.pgnFile, "Also append the game to this PGN file", &play.event, &play.site,
                     &play.maxMoves);
    playCommand->add_option("--round", play.round, "The PGN Round tag")->capture_default_str();
    playCommand->footer(
        "A person types moves in coordinate (e2e4, e7e8q) or standard notation (Nf3, exd5, O-O, e8=Q), or resign, "
        "quit (leaves the game unfinished, at once, also while the engine thinks), moves (lists the legal moves) or board (shows it again); the board, "
        "from the person's side with the last move in brackets, comes before each of their moves. The game ends "
        "by checkmate, "
        "stalemate, threefold repetition, the fifty-move rule or insufficient material; an engine loses when it "
        "dies, makes a move that is illegal or not recognised, or runs out of time (it is told to move at once a "
        "second past its time, and given up five seconds later). A side that ponders is timed from its "
        "opponent's move, a ponder hit's search and a miss's stop included. Progress is shown as the game goes; "
        "with --ponder a line for each engine that may ponder gives its ponder searches, hits (their share of "
        "the searches) and misses, and the time it took to move after a hit, on average and the median; the PGN "
        "follows at the end. Exit status: 0 when the game was played, 1 when an engine could not be opened or "
        "the PGN file not written, 2 for bad input.");

    enghost::AnalyseOptions analyse;
    auto* analyseCommand = app.add_subcommand("analyse", "Analyse a position with an engine");
    analyseCommand->alias("analyze");
    analyseCommand->add_option("engine", analyse.engine, "An installed engine (NAME, or its module engines/NAME.eng)")
        ->required();
    analyseCommand->add_option("--fen", analyse.fen, "The position (FEN); by default the start position");
    analyseCommand->add_option("--moves", analyse.moves, "Moves played from that position (e2e4 or e4 e5 Nf3 ...)");
    analyseCommand->add_option("--time", analyse.seconds, "Seconds to analyse; without it, until Enter")
        ->check(CLI::PositiveNumber);
    analyseCommand->footer("The engine's settings must say AnalyzeMode=true. Each report shows depth, score (in "
                           "pawns, from the side to move), nodes, nodes per second and the main line.");

    enghost::InstallOptions install;
    auto* installCommand = app.add_subcommand("install", "Install an engine behind a copy of the module");
    installCommand->add_option("name", install.name, "The engine's name: engines/NAME.eng, engines/NAME/")->required();
    installCommand->add_option("--exe", install.executable, "The engine program (a path, or a name on the PATH)")
        ->required();
    installCommand->add_option("--args", install.arguments,
                               "The engine's arguments, the CommandLine setting (write --args=-x for one with a dash)");
    installCommand->add_option("--file", install.files, "A file to put beside the engine (e.g. a polyglot .ini)");
    installCommand->add_option("--protocol", install.protocol,
                               "How the module talks to the engine: 1 (the classic conversation), 2 (protocol 2 "
                               "with features) or uci; by default what the probe finds");
    installCommand->add_option("--option", install.options,
                               "An engine option, NAME=VALUE, sent after the greeting (the [Options] section; "
                               "repeatable, the last of a name wins)");
    // A switch given either way overrides what the probe found.
    auto both = [installCommand](const std::string& on, const std::string& off, std::optional<bool>& target,
                                 const std::string& setting, const std::string& meaning) {
        auto* yes = installCommand->add_flag_callback(on, [&target] { target = true; }, setting + " on: " + meaning);
        auto* no = installCommand->add_flag_callback(off, [&target] { target = false; }, setting + " off");
        yes->excludes(no);
    };
    both("--analyze", "--no-analyze", install.analyze, "AnalyzeMode", "the engine may analyse");
    both("--ponder", "--no-ponder", install.ponder, "PonderMode", "the engine may ponder on the expected reply");
    both("--castle-ep", "--no-castle-ep", install.castleAndEP, "CastleAndEP",
         "the engine takes castling and en-passant commands in edit mode");
    installCommand->add_flag("--white-scores", install.whiteScores,
                             "The engine gives its scores from White's side (EvaluationWhite)");
    installCommand->add_flag("--log", install.log, "Log the conversation to engines/NAME/logfile.text (Logfile)");
    installCommand->add_flag("--debug", install.debug, "Echo the engine's output on a console (Debug)");
    installCommand->add_option("--author", install.author, "The Author setting; by default what the engine says");
    installCommand->add_option("--display-name", install.displayName,
                               "The Engine setting, the name shown; by default what the engine says");
    installCommand->add_option("--engines", install.engines, "The engines folder")->capture_default_str();
    installCommand->add_option("--module", install.module,
                               "The module to copy; by default the cecp-adapter.eng beside enghost");
    installCommand->add_flag("--force", install.force, "Replace an engine of that name");
    bool noProbe = false;
    installCommand->add_flag("--no-probe", noProbe,
                             "Do not start the engine: the settings come from the options alone (the classic "
                             "conversation unless --protocol says otherwise)");
    installCommand->footer(
        "Before it writes the settings, install starts the engine a few times at once and asks what it speaks: "
        "uci (answered by uciok: UCI), xboard and protover 2 (answered by features: protocol 2), and, when "
        "neither, the classic conversation (does it analyse, take a set-up position with castle and ep, move "
        "when told). UCI wins over protocol 2 when an engine answers both. From the answers it writes Protocol, "
        "AnalyzeMode (UCI: on; protocol 2: the analyze feature; classic: when it analysed), PonderMode (UCI: when "
        "the engine announces the Ponder option; protocol 2: on; classic: off), CastleAndEP (classic only), and "
        "Engine and Author from what the engine says of itself (UCI id name and id author, protocol 2 myname). "
        "--protocol chooses the dialect (the probe still asks the engine's name); the switches and --author and "
        "--display-name override what was found. The probe takes a few seconds at most: an engine that answers nothing is installed with the "
        "classic conversation and a warning, and one that ends at once everywhere is not installed. Every "
        "program started is told to quit and then ended by force, at once on Ctrl-C. Exit status: 0 installed, "
        "1 the files could not be written, 2 bad input (no such program, not a chess engine, a bad option), 130 "
        "interrupted.");

    enghost::MatchOptions match;
    auto* matchCommand =
        app.add_subcommand("match", "Play a round robin or a gauntlet between installed engines, or an SPRT");
    matchCommand
        ->add_option("engines", match.engines, "Two or more installed engines (NAMEs, or their modules engines/NAME.eng)")
        ->required()
        ->expected(2, -1);
    matchCommand->add_flag("--gauntlet", match.gauntlet, "The first engine plays each of the others, not a round robin");
    matchCommand->add_option("--games", match.gamesPerPair,
                             "Games of every pair of engines (default 2; with --sprt the most it plays, default " +
                                 std::to_string(enghost::kSprtMaxGames) + ")")
        ->check(CLI::Range(1, 100000));
    matchCommand
        ->add_option("--sprt", match.sprt,
                     "A sequential probability ratio test for two engines: elo0=E0 elo1=E1 [alpha=A] [beta=B] "
                     "(alpha and beta default to 0.05); the match stops when it decides")
        ->expected(1, 4);
    matchCommand->add_option("--openings", match.openingsFile,
                             "Start positions: an EPD file (a position a line) or a PGN file (each game's moves "
                             "are played first); examples/openings.pgn has a balanced set");
    matchCommand->add_option("--concurrency", match.concurrency,
                             "Games played at a time (at most the machine's processor threads)")
        ->capture_default_str();
    AddGameOptions(matchCommand, &match.timeControl, &match.secondsPerMove, &match.ponder);
    AddRecordOptions(matchCommand, &match.pgnFile, "Append every game to this PGN file as it ends", &match.event,
                     &match.site, &match.maxMoves);
    matchCommand->footer(
        "Every pair of engines (with --gauntlet, the first engine and each other) plays --games games, colours "
        "alternating; with --openings each opening is played once with each colour, and each new pair of games "
        "of the match takes the next opening (over again when they run out). Each game loads its own copies of the modules and plays as enghost play does, without "
        "showing the moves. A line tells of every finished game: its number, the pairing, the result, how it "
        "ended and the running score. At the end a table gives each engine's games, wins, draws, losses, score "
        "and the Elo difference to its opponents (the logistic model, -400 log10(1/score - 1), with a 95 % "
        "interval from the standard error of the score over the games; a score of 0 or 100 % has no finite "
        "value), the result of every pair of engines where more than two play, with --ponder a line for each engine that may ponder (as enghost play gives it, summed over "
        "the engine's games), and lists every game that did not end by the rules of chess or by a clock: an "
        "engine that could not be opened, died, moved illegally or unrecognisably, or did not move when told (these count "
        "as losses where a game was begun), and games stopped by --max-moves (not counted). With --sprt, each "
        "game's line adds the log-likelihood ratio of H1 (elo1) against H0 (elo0) and its bounds, "
        "log(beta/(1-alpha)) and log((1-beta)/alpha), from the first engine's game pairs (pentanomial) with "
        "--openings, else from its wins, draws and losses (trinomial); no game is begun once it crosses a bound, "
        "and the table says which hypothesis it accepted. Ctrl-C stops the "
        "match: every engine of every running game is closed first. Exit status: 0 when no engine was at "
        "fault, 1 when one was or the PGN file could not be written, 2 for bad input, 130 when interrupted.");

    enghost::CheckOptions check;
    auto* checkCommand = app.add_subcommand("check", "Check each capability of an installed engine");
    checkCommand->add_option("engine", check.engine, "An installed engine (NAME, or its module engines/NAME.eng)")
        ->required();
    checkCommand->footer(
        "Checks each capability on its own, one line each (ok, PROBLEM or note), then a verdict: it opens (the "
        "dialect of its settings' Protocol, the name and author the engine gives, and how long it took to settle "
        "after its start, waited for up to five seconds before anything is timed); it plays from the start "
        "position and from a set-up position (one second each; the move must be legal there, and come without "
        "being asked for; a move from the engine's book is named so); it moves at once when told during a long "
        "think; it analyses (when its settings say AnalyzeMode=true); a ponder hit ends with a legal move, and a "
        "ponder miss stops at once and the next search plays normally (when its settings say PonderMode=true); "
        "it closes. What needs a search is checked in a middlegame no opening book holds. A problem quotes what "
        "the engine said of it (an Error line, an illegal move, a refusal), read from a log the check keeps in a "
        "private copy of the installation. An engine that a capability leaves unusable (dead, or deaf to the "
        "request to move) is opened anew for the next; a capability that fails after another is checked again "
        "on a freshly started engine, and the line says which it was. Exit status 0 when "
        "everything its settings claim works, 1 when a problem was found, 130 when interrupted (Ctrl-C closes "
        "the engine first).");

    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        const int code = app.exit(e);
        return code == 0 ? 0 : 2;
    }

    if (app.get_subcommands().empty()) {
        enghost::PrintError("a command is needed: play, analyse, match, install or check (see enghost --help)");
        return 2;
    }
    std::string error;
    if (!installCommand->parsed() && !enghost::PrepareHostLibrary(&error)) {
        enghost::PrintError(error);
        return 2;
    }
    if (playCommand->parsed()) return enghost::RunPlay(play);
    if (analyseCommand->parsed()) return enghost::RunAnalyse(analyse);
    if (matchCommand->parsed()) return enghost::RunMatch(match);
    if (installCommand->parsed()) {
        install.probe = !noProbe;
        return enghost::RunInstall(install);
    }
    return enghost::RunCheck(check);
}
