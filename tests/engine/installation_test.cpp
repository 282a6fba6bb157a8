#include "engine/installation.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/module_path.h"

namespace cecp {
namespace {

// Paths are written with '/' and turned into the platform's separator, and
// into lower case where the platform works in it (Windows).
std::string Native(std::string path) {
    for (char& c : path) {
        if (c == '/') c = platform::kPathSeparator;
        if (platform::kLowerCasePaths && c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return path;
}

TEST(Installation, DerivesTheEnginesFolderAndFilesFromTheModulePath) {
    struct Case {
        const char* module;
        const char* folder;
        const char* fileName;
        const char* stem;  // of the executable and the settings file
    };
    const Case cases[] = {
        {"/Host/Engines/Sample.eng", "/Host/Engines/Sample/", "Sample.eng", "/Host/Engines/Sample/Sample"},
        // The name follows the last engines folder, sub-folders included.
        {"/opt/engines/host/engines/knight.eng", "/opt/engines/host/engines/knight/", "knight.eng",
         "/opt/engines/host/engines/knight/knight"},
        {"/h/engines/sub/x.eng", "/h/engines/sub/x/", "sub/x.eng", "/h/engines/sub/x/sub/x"},
        // The last four characters go, whatever they are.
        {"/h/engines/Sample.dll", "/h/engines/Sample/", "Sample.dll", "/h/engines/Sample/Sample"},
        // Without an engines folder the last component is the name.
        {"/opt/adapters/rook.eng", "/opt/adapters/rook/", "rook.eng", "/opt/adapters/rook/rook"},
    };
    for (const Case& c : cases) {
        Installation installation;
        DeriveInstallation(Native(c.module).c_str(), &installation);
        EXPECT_STREQ(installation.problem, "") << c.module;
        EXPECT_EQ(installation.engineFileName, Native(c.fileName)) << c.module;
        const std::string folder = Native(c.folder), stem = Native(c.stem);
        EXPECT_EQ(installation.engineDirectory, folder) << c.module;
        EnginePaths paths;
        ASSERT_TRUE(BuildEnginePaths(installation.engineDirectory, installation.engineFileName, &paths));
        EXPECT_EQ(paths.enginePath, stem + platform::kExecutableSuffix);
        EXPECT_EQ(paths.initPath, stem + ".init");
        EXPECT_EQ(paths.logPath, folder + "logfile.text");
    }
}

TEST(Installation, OverlongPathsAreUnusableNotCut) {
    auto problem = [](const std::string& module) {
        Installation installation;
        DeriveInstallation(Native(module).c_str(), &installation);
        if (installation.problem[0] != '\0') {
            EXPECT_STREQ(installation.engineDirectory, "") << module;
            EXPECT_STREQ(installation.engineFileName, "") << module;
        }
        return std::string(installation.problem);
    };
    EXPECT_NE(problem("/h/engines/" + std::string(600, 'a') + ".eng"), "");
    EXPECT_NE(problem("/h/engines/" + std::string(124, 'n') + ".eng").find("127"), std::string::npos);
    EXPECT_EQ(problem("/h/engines/" + std::string(123, 'n') + ".eng"), "");
    // Short enough to load, but the settings path built from it would not fit.
    EXPECT_NE(problem("/" + std::string(300, 'd') + "/engines/" + std::string(100, 'n') + ".eng"), "");
    EXPECT_NE(problem(""), "");

    EnginePaths paths;
    EXPECT_FALSE(BuildEnginePaths(Native("/" + std::string(505, 'd') + "/").c_str(), "knight.eng", &paths));
    EXPECT_STREQ(paths.initPath, "");
}

}  // namespace
}  // namespace cecp
