// The module as the host sees it: loaded from an engines folder, all exports
// resolved by name, and the simple answers.
#include <gtest/gtest.h>

#include <string>

#include "module_loader.h"

namespace cecp::test {
namespace {

struct Installed {
    explicit Installed(const std::string& moduleName) : module(InstallModule(folder.path(), moduleName)),
                                                        loaded(module) {
        std::string missing;
        EXPECT_TRUE(loaded.loaded()) << loaded.error();
        resolved = api.Resolve(loaded, &missing);
        EXPECT_TRUE(resolved) << "missing exports: " << missing;
    }
    std::filesystem::path EngineFolder() const {
        std::string name = module.filename().string();
        return module.parent_path() / name.substr(0, name.size() - 4);
    }

    ScratchFolder folder;
    std::filesystem::path module;
    LoadedModule loaded;
    ModuleApi api;
    bool resolved = false;
};

TEST(ModuleExports, AllResolveAndAnswerTheFixedQuestions) {
    Installed m("knight.eng");
    ASSERT_TRUE(m.resolved);
    EXPECT_EQ(m.api.Eng8(), 2400);
    EXPECT_EQ(m.api.Eng12(), 67117072u);
    EXPECT_EQ(m.api.Eng4(), 0);
    EXPECT_EQ(m.api.Eng5(), 0);
    m.api.Eng11();
    EXPECT_STREQ(m.api.Eng6(), "Tervalund GmbH");
}

class DisplayNameFallback : public ::testing::TestWithParam<std::pair<const char*, const char*>> {};

TEST_P(DisplayNameFallback, IsTheModuleNameLessItsExtension) {
    Installed m(GetParam().first);
    ASSERT_TRUE(m.resolved);
    EXPECT_STREQ(m.api.Eng7(), GetParam().second);
}

INSTANTIATE_TEST_SUITE_P(Names, DisplayNameFallback,
                         ::testing::Values(std::pair{"knight.eng", "knight"}, std::pair{"x.eng", "x"},
                                           std::pair{".eng", ""}, std::pair{"abc", "abc"}));

TEST(ModuleExports, NamesComeFromTheSettingsAtEveryOpen) {
    Installed m("Bishop.eng");
    ASSERT_TRUE(m.resolved);
    // Windows works with the lower-cased module path.
#ifdef _WIN32
    const char* fallback = "bishop";
#else
    const char* fallback = "Bishop";
#endif
    EXPECT_STREQ(m.api.Eng7(), fallback);
    unsigned char infoBlock[256] = {};
    auto settings = m.EngineFolder() / "Bishop.init";

    // No engine executable is installed: the open fails, but only after the
    // settings have been read.
    WriteFile(settings, "[Parameter]\nAuthor=Ann Author\nEngine=Big Bishop\n");
    EXPECT_EQ(m.api.Eng1(infoBlock, 0, 0, 0, 0, 7), 9);
    EXPECT_STREQ(m.api.Eng6(), "Ann Author");
    EXPECT_STREQ(m.api.Eng7(), "Big Bishop");
    EXPECT_EQ(m.api.Eng5(), 0);

    // Settings without names: the defaults come back.
    WriteFile(settings, "[Support]\nAnalyzeMode=true\n");
    EXPECT_EQ(m.api.Eng1(infoBlock, 0, 0, 0, 0, 7), 9);
    EXPECT_STREQ(m.api.Eng6(), "Tervalund GmbH");
    EXPECT_STREQ(m.api.Eng7(), fallback);
    EXPECT_EQ(m.api.Eng2(), 0);
}

#ifndef _WIN32
// A module whose path does not fit the module's buffers never opens an engine
// somewhere a cut path would point, and says why.
TEST(ModuleExports, AnOverlongInstallationRefusesEveryOpenWithItsReason) {
    ScratchFolder folder;
    std::filesystem::path deep = folder.path();
    for (int i = 0; i < 6; ++i) deep /= std::string(90, static_cast<char>('a' + i));
    std::filesystem::create_directories(deep);
    auto module = InstallModule(deep, "knight.eng");
    LoadedModule loaded(module);
    ASSERT_TRUE(loaded.loaded()) << loaded.error();
    ModuleApi api;
    std::string missing;
    ASSERT_TRUE(api.Resolve(loaded, &missing));
    unsigned char infoBlock[256] = {};
    for (int attempt = 0; attempt < 2; ++attempt) {
        ::testing::internal::CaptureStderr();
        EXPECT_EQ(api.Eng1(infoBlock, 0, 0, 0, 0, 0), 9);
        std::string said = ::testing::internal::GetCapturedStderr();
        EXPECT_NE(said.find("longer than 509 characters"), std::string::npos) << said;
    }
    EXPECT_EQ(api.Eng5(), 0);
}
#endif

TEST(ModuleExports, EachCopyOfTheModuleHasItsOwnState) {
    Installed a("alpha.eng");
    Installed b("beta.eng");
    ASSERT_TRUE(a.resolved && b.resolved);
    EXPECT_STREQ(a.api.Eng7(), "alpha");
    EXPECT_STREQ(b.api.Eng7(), "beta");
}

}  // namespace
}  // namespace cecp::test
