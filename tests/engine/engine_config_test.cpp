#include "engine/engine_config.h"

#include <gtest/gtest.h>

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

EngineConfig ReadFrom(const std::string& content) {
    test::ScratchFolder folder;
    auto path = folder.path() / "engine.init";
    test::WriteFile(path, content);
    EngineConfig config;
    ReadEngineConfig(path.string().c_str(), &config);
    return config;
}

TEST(EngineConfig, ReadsEverySetting) {
    EngineConfig c = ReadFrom(
        "[Support]\nAnalyzeMode=true\nPonderMode=TRUE\nCastleAndEP=untrue\nEvaluationWhite=yes\n"
        "[Parameter]\nCommandLine=-Hash 64 \"Two Words\"\nAuthor=A. Uthor\nEngine=Knight 2\n"
        "Debug=true\nLogfile=true\n");
    EXPECT_TRUE(c.analyzeMode);
    EXPECT_TRUE(c.ponderMode);
    EXPECT_TRUE(c.castleAndEP);
    EXPECT_FALSE(c.evaluationWhite);
    EXPECT_STREQ(c.commandLine, "-Hash 64 \"Two Words\"");
    EXPECT_STREQ(c.author, "A. Uthor");
    EXPECT_STREQ(c.engine, "Knight 2");
}

TEST(EngineConfig, OnlyAnEngineNameLeavesEverythingElseOff) {
    EngineConfig c = ReadFrom("[Parameter]\nEngine=Solo\n");
    EXPECT_FALSE(c.analyzeMode || c.ponderMode || c.castleAndEP || c.evaluationWhite);
    EXPECT_STREQ(c.commandLine, "");
    EXPECT_STREQ(c.author, "");
    EXPECT_STREQ(c.engine, "Solo");
}

TEST(EngineConfig, MissingFileGivesDefaults) {
    test::ScratchFolder folder;
    EngineConfig c;
    ReadEngineConfig((folder.path() / "missing.init").string().c_str(), &c);
    EXPECT_FALSE(c.analyzeMode || c.ponderMode || c.castleAndEP || c.evaluationWhite);
    EXPECT_STREQ(c.commandLine, "");
    EXPECT_STREQ(c.engine, "");
    EXPECT_FALSE(ReadDebugSwitch((folder.path() / "missing.init").string().c_str()));
}

TEST(EngineConfig, CutsValuesAtTheirLimits) {
    EngineConfig c = ReadFrom("[Parameter]\nCommandLine=" + std::string(700, 'c') + "\nAuthor=" +
                              std::string(300, 'a') + "\nEngine=" + std::string(126, 'e') + "\n");
    EXPECT_EQ(std::string(c.commandLine), std::string(509, 'c'));
    EXPECT_EQ(std::string(c.author), std::string(125, 'a'));
    EXPECT_EQ(std::string(c.engine), std::string(125, 'e'));
}

TEST(EngineConfig, SwitchBeyondItsLimitIsOff) {
    // "Debug" is read up to 125 characters: a "true" past them is not seen.
    test::ScratchFolder folder;
    auto path = folder.path() / "engine.init";
    test::WriteFile(path, "[Parameter]\nDebug=" + std::string(125, 'x') + "true\nLogfile=" +
                              std::string(121, 'x') + "true\n");
    EXPECT_FALSE(ReadDebugSwitch(path.string().c_str()));
    EXPECT_TRUE(ReadLogfileSwitch(path.string().c_str()));
}

}  // namespace
}  // namespace cecp
