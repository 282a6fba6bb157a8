// What an engine's answers to enghost's probes mean, and the settings an
// installation takes from them. Pure: the conversations themselves are in
// probe.h.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "engine/engine_config.h"

namespace enghost {

// The module's three ways of talking to an engine, as the settings' Protocol
// names them (read by cecp::ReadDialectSetting).
using Dialect = cecp::DialectKind;

// "1", "2", "uci": the value of Protocol in the settings file.
const char* DialectSetting(Dialect dialect);
// "the classic conversation", "protocol 2", "UCI"
const char* DialectName(Dialect dialect);

// A line that says the engine does not know a command of ours, e.g.
// "Error (unknown command): uci", "Unknown command: 'xboard'", "Illegal move: castle".
bool RejectsCommand(const std::string& line, const std::string& command);

// The answers to "uci".
struct UciAnswer {
    bool ok = false;        // uciok came
    bool rejected = false;  // it said it does not know "uci"
    std::string name, author;
    std::vector<std::string> options;  // option names, as announced
    bool ponderOption = false;         // "option name Ponder type check"

    void Read(const std::string& line);
};

// The answers to "xboard" and "protover 2", read as the module reads them.
struct FeatureAnswer {
    bool anyFeature = false;  // a feature line came
    bool done = false;        // done=1
    bool waitLonger = false;  // done=0: the engine asks for more than the usual two seconds
    bool rejected = false;    // it said it does not know protover or xboard
    std::vector<std::pair<std::string, std::string>> features;  // in the order given, quotes removed
    std::vector<std::string> options;                            // names of option="NAME -type ..."

    void Read(const std::string& line);
    // The last value given for a feature; nothing when it was not given.
    std::optional<std::string> Value(const std::string& name) const;
};

// The answers of the classic conversation: a position set up in edit mode
// with the castling and en-passant commands, "analyze" there, then "go" from
// the start position.
struct ClassicAnswer {
    bool castleRejected = false;   // it complained about "castle" or "ep"
    bool editRejected = false;     // it does not know edit mode
    bool thinking = false;         // a thinking line came while analysing
    bool legalLine = false;        // ... whose main line starts legally in the set-up position
    bool analyzeRejected = false;  // it said it does not know "analyze"
    bool moved = false;            // a move came after "go"
    bool legalMove = false;        // ... legal in the start position

    enum class Stage { kSetUp, kAnalysing, kPlaying };
    void Read(const std::string& line, Stage stage);
};

// The probe's set-up position: castling rights on both sides and an
// en-passant capture, and none of the start position's moves legal, so that
// an engine that did not take it shows that in its main line.
inline constexpr const char* kProbeSetUpFen = "r3k2r/8/8/3pP3/8/8/8/R3K2R w KQkq d6 0 1";

// A thinking line of the classic conversation: "ply score time nodes pv...";
// the main line's text, or nothing.
std::optional<std::string> ThinkingLine(const std::string& line);
// A move of the classic conversation: "move e2e4", or "1. ... e7e5"; nothing
// for other lines.
std::optional<std::string> MoveLine(const std::string& line);
// Whether a main line's first move (SAN or coordinates, move numbers
// skipped) is legal in the position of fen.
bool LineStartsLegally(const std::string& fen, const std::string& line);

// Everything the probes saw of one engine.
struct Findings {
    bool uciAsked = false, featuresAsked = false, classicAsked = false;
    UciAnswer uci;
    FeatureAnswer features;
    ClassicAnswer classic;
    // Which conversations ended by themselves (the program quit or crashed)
    // before they were over.
    bool uciEnded = false, featuresEnded = false, classicEnded = false;
    // Whether the program said anything at all in each.
    bool uciSpoke = false, featuresSpoke = false, classicSpoke = false;
    // The classic conversation was cut short: the engine speaks another dialect.
    bool classicAbandoned = false;
};

// The installation's own choices, overriding what was found.
struct InstallChoices {
    std::optional<Dialect> protocol;
    std::optional<bool> analyze, ponder, castleAndEP;
    std::string author, displayName;
};

// The settings an installation writes.
struct DecidedSettings {
    Dialect dialect = Dialect::kClassic;
    bool analyze = false, ponder = false, castleAndEP = false;
    std::string engine, author;
    // Said to the user: a warning where the result may not work.
    std::vector<std::string> warnings;
};

// The dialect the engine speaks: UCI when it answered uci (also when it
// speaks protocol 2 as well), protocol 2 when it sent features, else the
// classic conversation.
Dialect FoundDialect(const Findings& findings);
// Whether nothing the engine said shows that it plays chess.
bool AnsweredNothing(const Findings& findings);
// Every conversation that was held ended before it was over.
bool EndedEverywhere(const Findings& findings);
DecidedSettings Decide(const Findings& findings, const InstallChoices& choices);

// A few lines saying what each conversation found.
std::vector<std::string> DescribeFindings(const Findings& findings);

}  // namespace enghost
