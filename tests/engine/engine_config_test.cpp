#include "engine/engine_config.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "module_loader.h"

namespace cecp {
namespace {

class Switch : public ::testing::TestWithParam<std::pair<const char*, bool>> {};

TEST_P(Switch, IsOnWhenTheValueContainsTrue) {
    EXPECT_EQ(IsSwitchOn(GetParam().first), GetParam().second) << GetParam().first;
}

INSTANTIATE_TEST_SUITE_P(Values, Switch,
                         ::testing::Values(std::pair{"true", true}, std::pair{"TRUE", true},
                                           std::pair{"True", true}, std::pair{"untrue", true},
                                           std::pair{"it is tRuE!", true}, std::pair{"tru", false},
                                           std::pair{"1", false}, std::pair{"yes", false},
                                           std::pair{"on", false}, std::pair{"", false},
                                           std::pair{"t r u e", false}, std::pair{"ttrue", true}));

// The settings file written with content (none when null), and read.
struct Read {
    explicit Read(const char* content) {
        if (content != nullptr) test::WriteFile(path, content);
        ReadEngineConfig(path.string().c_str(), &config);
    }
    test::ScratchFolder folder;
    std::filesystem::path path = folder.path() / "engine.init";
    EngineConfig config;
};

TEST(EngineConfig, ReadsEachSettingFromItsSection) {
    Read r("[Support]\nAnalyzeMode=true\nPonderMode=TRUE\nCastleAndEP=untrue\nEvaluationWhite=yes\n"
           "[Parameter]\nCommandLine=-Hash 64 \"Two Words\"\nAuthor=A. Uthor\nEngine=Knight 2\n");
    const EngineConfig& c = r.config;
    EXPECT_TRUE(c.analyzeMode && c.ponderMode && c.castleAndEP);
    EXPECT_FALSE(c.evaluationWhite);
    EXPECT_STREQ(c.commandLine, "-Hash 64 \"Two Words\"");
    EXPECT_STREQ(c.author, "A. Uthor");
    EXPECT_STREQ(c.engine, "Knight 2");
}

TEST(EngineConfig, WhatIsMissingIsOffOrEmpty) {
    for (const char* content : {"[Parameter]\nEngine=Solo\n", static_cast<const char*>(nullptr)}) {
        Read r(content);
        const EngineConfig& c = r.config;
        EXPECT_FALSE(c.analyzeMode || c.ponderMode || c.castleAndEP || c.evaluationWhite);
        EXPECT_STREQ(c.commandLine, "");
        EXPECT_STREQ(c.author, "");
        EXPECT_STREQ(c.engine, content != nullptr ? "Solo" : "");
        EXPECT_FALSE(ReadDebugSwitch(r.path.string().c_str()));
    }
}

TEST(EngineConfig, CutsValuesAtTheirLimits) {
    const std::string content = "[Parameter]\nCommandLine=" + std::string(700, 'c') + "\nAuthor=" +
                                std::string(300, 'a') + "\nEngine=" + std::string(126, 'e') + "\n";
    Read r(content.c_str());
    EXPECT_EQ(std::string(r.config.commandLine), std::string(509, 'c'));
    EXPECT_EQ(std::string(r.config.author), std::string(125, 'a'));
    EXPECT_EQ(std::string(r.config.engine), std::string(125, 'e'));
    // A switch is read up to 125 characters too: a "true" past them is not seen.
    const std::string switches =
        "[Parameter]\nDebug=" + std::string(125, 'x') + "true\nLogfile=" + std::string(121, 'x') + "true\n";
    Read s(switches.c_str());
    EXPECT_FALSE(ReadDebugSwitch(s.path.string().c_str()));
    EXPECT_TRUE(ReadLogfileSwitch(s.path.string().c_str()));
}

}  // namespace
}  // namespace cecp
