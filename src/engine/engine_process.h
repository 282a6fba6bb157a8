// Starting and stopping the engine process.
#pragma once

namespace cecp {

// Reads the settings, starts the engine on pipes with its reader thread and
// the optional console and log. True when the engine runs; false after the
// user has been told why it could not be started.
bool LaunchEngine();

// Stops any search, tells the engine to quit, and closes everything once the
// reader thread has ended.
void ShutdownEngine();

}  // namespace cecp
