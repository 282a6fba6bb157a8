// An installed engine as the module finds it: the paths it derives from its
// own, and its settings file read by the module's own reader.
#pragma once

#include <filesystem>
#include <string>

#include "engine/engine_config.h"

namespace enghost {

// Where an installed engine's files are, as the module derives them
// (engine/installation.h).
struct Installation {
    std::filesystem::path module;      // .../engines/NAME.eng
    std::filesystem::path folder;      // .../engines/NAME
    std::filesystem::path executable;  // .../engines/NAME/NAME (NAME.exe on Windows)
    std::filesystem::path settings;    // .../engines/NAME/NAME.init
    std::string name;
};
// The files a module at modulePath (in a folder named engines) would use,
// whether they exist or not; false with a message when it could use none.
bool InstallationOf(const std::filesystem::path& modulePath, Installation* out, std::string* error);
// The module an engine is asked for by: a path to a module as given, else a
// bare name (stockfish, or stockfish.eng) means the module that enghost
// install NAME wrote, engines/NAME.eng.
std::filesystem::path ModulePathOf(const std::string& engine);
// The installation of an engine asked for by a module's path or an installed
// name; false with a message when the module or its engine is not where the
// module will look.
bool FindInstallation(const std::string& engine, Installation* out, std::string* error);

// The engine's settings file, read by the module's own reader.
cecp::EngineConfig ReadSettings(const Installation& installation);

}  // namespace enghost
