// Ctrl-C as an orderly stop. Once the handler is installed, the first Ctrl-C
// (or SIGTERM, or a console's Ctrl-Break) asks every running search and game
// to end, so that every engine is closed before the program ends; a second
// ends the program at once.
#pragma once

namespace enghost {

// To be called before the program starts any thread of its own.
void InstallInterruptHandler();
bool Interrupted();

}  // namespace enghost
