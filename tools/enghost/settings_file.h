// The settings file an installation writes (engines/NAME/NAME.init), and the
// engine options given on enghost's command line.
#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace enghost {

using EngineOption = std::pair<std::string, std::string>;  // NAME, VALUE

struct SettingsFile {
    bool analyze = false, ponder = false, castleAndEP = false, evaluationWhite = false;
    std::string protocol;  // "1", "2", "uci"
    std::string commandLine, author, engine;
    bool debug = false, log = false;
    std::vector<EngineOption> options;  // the [Options] section, in order
};

// Two names alike but for the case of their letters, as the profile reader
// matches sections and keys (and Windows file names, engine options).
bool SameName(const std::string& a, const std::string& b);

// The file's text: [Support], [Parameter] and, when there are options, [Options].
std::string SettingsText(const SettingsFile& settings);

// A settings file's text with KEY=VALUE in [SECTION]: the key's lines there
// dropped (names match without regard to case, as the profile reader's) and
// the setting written below the section's first header, or the section added
// at the end. Every other line stays as it was, line ends included.
std::string WithSetting(const std::string& text, const std::string& section, const std::string& key,
                        const std::string& value);

// "NAME=VALUE" as given to --option: the name is what comes before the first
// '=', both trimmed of blanks. Nothing and a message for a text the settings
// file cannot hold as such (no '=', no name, a name that a profile reader
// would take for a section or a comment, a line break).
std::optional<EngineOption> ParseEngineOption(const std::string& text, std::string* error);

// Adds an option, replacing one of the same name (names match without regard
// to case, as the profile reader matches keys): the last given wins.
void SetEngineOption(std::vector<EngineOption>& options, EngineOption option);

// A setting's value as written: a value that could not be read back as it
// is (blanks at its ends, quotes around it, a line break) is refused.
bool WritableValue(const std::string& value);

}  // namespace enghost
