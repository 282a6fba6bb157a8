#include "engine/installation.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/module_path.h"

namespace cecp {
namespace {

// Paths are written with '/' and turned into the platform's separator.
std::string Native(std::string path) {
    for (char& c : path) {
        if (c == '/') c = platform::kPathSeparator;
    }
    return path;
}

// What the platform makes of mixed case: Windows works in lower case.
std::string Cased(std::string text) {
    if (platform::kLowerCasePaths) {
        for (char& c : text) {
            if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return text;
}

struct Derived {
    std::string directory, fileName, problem;
};

Derived Derive(const std::string& modulePath) {
    Installation installation;
    DeriveInstallation(Native(modulePath).c_str(), &installation);
    return {installation.engineDirectory, installation.engineFileName, installation.problem};
}

TEST(Installation, DerivesFolderAndNameFromTheModulePath) {
    Derived d = Derive("/Host/Engines/Sample.eng");
    EXPECT_EQ(d.fileName, Cased("Sample.eng"));
    EXPECT_EQ(d.directory, Native(Cased("/Host/Engines/Sample/")));
    EXPECT_EQ(d.problem, "");

    EnginePaths paths;
    ASSERT_TRUE(BuildEnginePaths(d.directory.c_str(), d.fileName.c_str(), &paths));
    std::string stem = Native(Cased("/Host/Engines/Sample/Sample"));
    EXPECT_EQ(paths.enginePath, stem + platform::kExecutableSuffix);
    EXPECT_EQ(paths.initPath, stem + ".init");
    EXPECT_EQ(paths.logPath, Native(Cased("/Host/Engines/Sample/logfile.text")));
}

TEST(Installation, TakesTheNameAfterTheLastEnginesFolder) {
    Derived d = Derive("/opt/engines/host/engines/knight.eng");
    EXPECT_EQ(d.fileName, "knight.eng");
    EXPECT_EQ(d.directory, Native("/opt/engines/host/engines/knight/"));
    // Everything after the engines folder is the name, sub-folders included.
    EXPECT_EQ(Derive("/h/engines/sub/x.eng").fileName, Native("sub/x.eng"));
}

TEST(Installation, DropsTheLastFourCharactersWhateverTheyAre) {
    Derived d = Derive("/h/engines/Sample.dll");
    EXPECT_EQ(d.fileName, Cased("Sample.dll"));
    EnginePaths paths;
    ASSERT_TRUE(BuildEnginePaths(d.directory.c_str(), d.fileName.c_str(), &paths));
    EXPECT_EQ(paths.initPath, Native(Cased("/h/engines/Sample/Sample.init")));
}

TEST(Installation, WithoutEnginesFolderTheLastComponentIsTheName) {
    Derived d = Derive("/opt/adapters/rook.eng");
    EXPECT_EQ(d.fileName, "rook.eng");
    EXPECT_EQ(d.directory, Native("/opt/adapters/rook/"));
    EXPECT_EQ(d.problem, "");
}

TEST(Installation, OverlongPathsAreUnusableNotCut) {
    Derived tooLong = Derive("/h/engines/" + std::string(600, 'a') + ".eng");
    EXPECT_NE(tooLong.problem, "");
    EXPECT_EQ(tooLong.directory, "");
    EXPECT_EQ(tooLong.fileName, "");

    Derived longName = Derive("/h/engines/" + std::string(124, 'n') + ".eng");
    EXPECT_NE(longName.problem.find("127"), std::string::npos);
    EXPECT_EQ(Derive("/h/engines/" + std::string(123, 'n') + ".eng").problem, "");

    // Short enough to load, but the settings path built from it would not fit.
    Derived longStem = Derive("/" + std::string(300, 'd') + "/engines/" + std::string(100, 'n') + ".eng");
    EXPECT_NE(longStem.problem, "");

    EXPECT_NE(Derive("").problem, "");
}

TEST(EnginePaths, RefusesPathsThatDoNotFit) {
    std::string directory = Native("/" + std::string(505, 'd') + "/");
    EnginePaths paths;
    EXPECT_FALSE(BuildEnginePaths(directory.c_str(), "knight.eng", &paths));
    EXPECT_STREQ(paths.initPath, "");
}

}  // namespace
}  // namespace cecp
