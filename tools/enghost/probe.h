// Finding out what an engine speaks: short conversations with the program,
// each in a process of its own, through the same process and pipe code the
// module uses (src/platform).
#pragma once

#include <filesystem>
#include <string>

#include "detect.h"

namespace enghost {

struct ProbeTarget {
    std::filesystem::path executable;
    std::string arguments;                   // as the settings' CommandLine
    std::filesystem::path workingDirectory;  // where the engine finds its files
};

// Which conversations to hold. The classic one, when asked for with
// classicUnlessAnswered, is given up as soon as the engine has answered uci
// or sent features.
struct ProbePlan {
    bool uci = true, features = true, classic = true;
    bool classicUnlessAnswered = true;
};

// The bounds of the conversations, in milliseconds from each one's start.
// An engine may take seconds to start (a large hash to clear, a network to
// load, a busy machine): the answers that show a dialect are waited for
// longer than the protocols' own two seconds, and the classic stages are
// counted from the engine's first words where it is slow to say them.
struct ProbeBounds {
    int uciMs = 5000;               // for uciok
    int uciAfterFeaturesMs = 1000;  // ... after protover 2 has been answered in full
    int featuresMs = 4000;          // for features
    int featuresLongerMs = 10000;   // ... when the engine asked for longer (done=0)
    int setUpMs = 300;              // for complaints about the set-up position
    int analyseMs = 1500;           // for a thinking line, after analyze and after the first words
    int silentMs = 3500;            // ... from the start, while the engine has said nothing at all
    int moveMs = 2500;              // for a move after "go" with one second a move
    int quitMs = 1000;              // after "quit", before the program is ended by force
};

// Holds the planned conversations at once and returns what they found. Every
// program started is ended (told to quit, then by force) before it returns,
// at once when the program is interrupted (interrupt.h).
// False with a message when the program cannot be started at all.
bool ProbeEngine(const ProbeTarget& target, const ProbePlan& plan, const ProbeBounds& bounds, Findings* out,
                 std::string* error);

}  // namespace enghost
