// What `testengine --help` prints, and the script it follows without --script.
#pragma once

#include <string>
#include <string_view>

namespace testengine {

std::string help_text();

// The built-in script; move, when not empty, answers every search.
std::string default_script(std::string_view move);

// The built-in script of --uci; move (by default the null move 0000, and
// perhaps a ponder move after it) answers every search.
std::string default_uci_script(std::string_view move);

}  // namespace testengine
