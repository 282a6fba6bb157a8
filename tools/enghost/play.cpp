// enghost play: a game between two engines, or a person and an engine.
#include <filesystem>
#include <fstream>
#include <iostream>
#include <memory>

#include "board.h"
#include "commands.h"
#include "game.h"
#include "interrupt.h"
#include "output.h"
#include "session.h"

namespace fs = std::filesystem;

namespace enghost {

int RunPlay(const PlayOptions& options) {
    std::string error;
    // The module changes the working folder on Windows: every path is made
    // absolute before an engine is opened.
    const fs::path pgnFile = options.pgnFile.empty() ? fs::path() : fs::absolute(options.pgnFile);

    GameSetup setup;
    if (options.secondsPerMove > 0) {
        setup.control = TimeControl::FixedPerMove(options.secondsPerMove);
    } else if (auto control = TimeControl::Parse(options.timeControl, &error)) {
        setup.control = *control;
    } else {
        PrintError(error);
        return 2;
    }
    auto gameStart = StartFromFen(options.fen, &error);
    if (!gameStart) {
        PrintError(error);
        return 2;
    }
    setup.start = gameStart->board;
    setup.standardStart = gameStart->standard;
    setup.maxMoves = options.maxMoves;
    setup.event = options.event;
    setup.site = options.site;
    setup.round = options.round;

    const char* colours[2] = {"White", "Black"};
    const std::string* specs[2] = {&options.white, &options.black};
    GameSide sides[2];
    std::unique_ptr<EngineSession> engines[2];
    Installation installs[2];
    bool human[2];
    for (int i = 0; i < 2; ++i) {
        human[i] = *specs[i] == "human";
        if (human[i]) {
            sides[i].name = "Human";
            continue;
        }
        if (!FindInstallation(*specs[i], &installs[i], &error)) {
            PrintError(std::string(colours[i]) + ": " + error);
            return 2;
        }
    }
    if (human[0] && human[1]) {
        PrintError("at least one side must be an engine");
        return 2;
    }
    // Between engines alone, Ctrl-C closes both before the program ends; a
    // person at the terminal keeps the usual Ctrl-C.
    if (!human[0] && !human[1]) InstallInterruptHandler();
    for (int i = 0; i < 2; ++i) {
        if (human[i]) continue;
        // Two engines never share one loaded module: the second of the same
        // file plays through a private copy.
        std::error_code same;
        const bool copy = i == 1 && !human[0] && fs::equivalent(installs[0].module, installs[1].module, same);
        engines[i] = EngineSession::Open(installs[i], copy ? ModuleCopy::kPrivate : ModuleCopy::kInstalled, &error);
        if (!engines[i]) {
            PrintError(std::string(colours[i]) + ": " + error);
            for (auto& opened : engines) Dispose(opened);
            if (AnyStuck()) ExitNow(1);
            return 1;
        }
        sides[i].engine = engines[i].get();
        sides[i].name = engines[i]->name();
        sides[i].ponders = options.ponder && engines[i]->settings().ponderMode;
        if (options.ponder && !engines[i]->settings().ponderMode)
            PrintLine("note: " + sides[i].name + " does not ponder: its settings say PonderMode=false (" +
                      installs[i].settings.string() + ")");
    }

    PrintLine(sides[0].name + " (White) against " + sides[1].name + " (Black), " + setup.control.PgnText() +
              (options.fen.empty() ? "" : ", from " + setup.start.Fen()) + (options.ponder ? ", pondering" : ""));
    const GameOutcome outcome = PlayGame(setup, sides);
    PrintLine("Result " + outcome.result + ": " + outcome.reason);
    for (int i = 0; i < 2; ++i)
        if (sides[i].ponders) PrintLine(PonderText(sides[i].name + " (" + colours[i] + ")", outcome.ponder[i]));
    PrintLine("");
    std::cout << outcome.pgn << std::flush;

    int status = 0;
    if (!pgnFile.empty()) {
        std::ofstream out(pgnFile, std::ios::app | std::ios::binary);
        out << outcome.pgn;
        out.close();
        if (!out) {
            PrintError("cannot write the game to " + pgnFile.string());
            status = 1;
        }
    }
    for (auto& engine : engines) Dispose(engine);
    if (outcome.kind == EndKind::kInterrupted) status = 130;
    if (AnyStuck()) ExitNow(status);
    return status;
}

}  // namespace enghost
