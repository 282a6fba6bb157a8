// Main lines and moves as real engines write them, checked in under data/.
#include <gtest/gtest.h>

#include <ostream>
#include <sstream>
#include <string>
#include <vector>

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

std::vector<std::string> Words(const std::string& text) {
    std::istringstream in(text);
    std::vector<std::string> words;
    for (std::string word; in >> word;) words.push_back(word);
    return words;
}

void PrintTo(const EngineTranscript& t, std::ostream* os) { *os << t.name; }

class EngineLines : public testing::TestWithParam<EngineTranscript> {};

TEST_P(EngineLines, EveryMoveOfEveryMainLineAndTheEnginesMoveAreRecognised) {
    MoveTextRecogniser recogniser;
    Position position;
    MoveWord lastLineFirst = 0;
    int lines = 0, moves = 0;
    std::istringstream in(GetParam().text);
    for (std::string line; std::getline(in, line);) {
        if (line.empty() || line[0] == '#') continue;
        if (line.rfind("fen ", 0) == 0) {
            position = test::FromFen(line.substr(4));
            continue;
        }
        if (line.rfind("move ", 0) == 0) {
            MoveWord move = 0;
            ASSERT_EQ(recogniser.ParseMoveText(line.c_str() + 5, position, &move), kMoveTextOk) << line;
            EXPECT_EQ(move, lastLineFirst) << line;
            continue;
        }
        // ply score time nodes, then the main line
        std::istringstream fields(line);
        std::string skipped;
        for (int i = 0; i < 4; ++i) fields >> skipped;
        std::string mainLine;
        std::getline(fields, mainLine);
        const auto expected = Words(mainLine);
        MoveWord found[128];
        const int count = recogniser.ParseVariation(mainLine.c_str(), position, found, 128);
        EXPECT_EQ(count, static_cast<int>(expected.size())) << line;
        if (count > 0) lastLineFirst = found[0];
        ++lines;
        moves += count;
    }
    EXPECT_GT(lines, 0);
    EXPECT_GT(moves, 10);
}

INSTANTIATE_TEST_SUITE_P(Transcripts, EngineLines, testing::ValuesIn(kTranscripts),
                         [](const testing::TestParamInfo<EngineTranscript>& info) {
                             return std::string(info.param.name);
                         });

}  // namespace
}  // namespace cecp
