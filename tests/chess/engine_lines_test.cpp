// Main lines and moves as real engines write them, checked in under data/.
#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "chess/move_text.h"
#include "fen.h"

namespace cecp {
namespace {

struct EngineTranscript {
    const char* name;
    const char* text;
};

// Generated from data/*.txt at configure time, so that the test needs no
// file system path (it runs under wine too).
constexpr EngineTranscript kTranscripts[] = {
#include "engine_lines.inc"
};

// "fen" sets the position; thinking lines follow (ply, score, time, nodes,
// then the main line), then the engine's "move", the first of the last line.
void ExpectEveryMoveRecognised(const std::string& transcript) {
    MoveTextRecogniser recogniser;
    Position position;
    MoveWord lastLineFirst = 0;
    int lines = 0, moves = 0;
    std::istringstream in(transcript);
    for (std::string line; std::getline(in, line);) {
        if (line.empty() || line[0] == '#') continue;
        if (line.rfind("fen ", 0) == 0) {
            position = test::FromFen(line.substr(4));
        } else if (line.rfind("move ", 0) == 0) {
            MoveWord move = 0;
            ASSERT_EQ(recogniser.ParseMoveText(line.c_str() + 5, position, &move), kMoveTextOk) << line;
            EXPECT_EQ(move, lastLineFirst) << line;
        } else {
            std::istringstream fields(line);
            std::string word, mainLine;
            for (int i = 0; i < 4; ++i) fields >> word;
            std::getline(fields, mainLine);
            int words = 0;
            for (std::istringstream split(mainLine); split >> word;) ++words;
            MoveWord found[128];
            const int count = recogniser.ParseVariation(mainLine.c_str(), position, found, 128);
            EXPECT_EQ(count, words) << line;
            if (count > 0) lastLineFirst = found[0];
            ++lines;
            moves += count;
        }
    }
    EXPECT_GT(lines, 0);
    EXPECT_GT(moves, 10);
}

TEST(EngineLines, EveryMoveOfEveryMainLineAndTheEnginesMoveAreRecognised) {
    for (const EngineTranscript& transcript : kTranscripts) {
        SCOPED_TRACE(transcript.name);
        ExpectEveryMoveRecognised(transcript.text);
    }
}

}  // namespace
}  // namespace cecp
