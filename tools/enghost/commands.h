// The commands of enghost; each returns the program's exit status.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace enghost {

struct PlayOptions {
    std::string white, black;  // an installed module (engines/NAME.eng), or "human"
    std::string timeControl = "60+1";
    int secondsPerMove = 0;  // non-zero: a fixed time per move instead
    bool ponder = false;
    std::string fen;
    std::string pgnFile;  // appended to, besides standard output
    std::string event = "enghost game", site = "?", round = "1";
    int maxMoves = 0;  // 0: no limit
};
int RunPlay(const PlayOptions& options);

struct AnalyseOptions {
    std::string engine;
    std::string fen;
    std::vector<std::string> moves;
    double seconds = 0;  // 0: until Enter
};
int RunAnalyse(const AnalyseOptions& options);

struct InstallOptions {
    std::string name;
    std::string executable;
    std::string arguments;
    std::vector<std::string> files;
    // Unset: as the probe finds.
    std::optional<bool> analyze, ponder, castleAndEP;
    bool whiteScores = false, log = false, debug = false;
    std::string author, displayName;
    std::string protocol;  // "1", "2", "uci"; empty: as the probe finds
    bool probe = true;     // false: the settings come from the options alone
    std::vector<std::string> options;  // NAME=VALUE, the settings' [Options]
    std::string engines = "engines";
    std::string module;  // empty: the cecp-adapter.eng beside enghost
    bool force = false;
};
int RunInstall(const InstallOptions& options);

struct MatchOptions {
    std::vector<std::string> engines;  // installed modules (engines/NAME.eng), two or more
    bool gauntlet = false;             // the first engine against each of the others, not a round robin
    int gamesPerPair = 0;              // 0: 2, or with an SPRT at most kSprtMaxGames
    std::vector<std::string> sprt;     // "elo0=0", "elo1=5", "alpha=0.05", "beta=0.05"; empty: no SPRT
    std::string openingsFile;  // EPD or PGN; empty: every game from the start position
    int concurrency = 1;
    std::string timeControl = "60+1";
    int secondsPerMove = 0;
    bool ponder = false;
    std::string pgnFile;
    std::string event = "enghost match", site = "?";
    int maxMoves = 0;
};
// The games an SPRT plays at most when --games does not say.
inline constexpr int kSprtMaxGames = 20000;
int RunMatch(const MatchOptions& options);

struct CheckOptions {
    std::string engine;
};
int RunCheck(const CheckOptions& options);

}  // namespace enghost
