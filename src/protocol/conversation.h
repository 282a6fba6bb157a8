// Opening and closing the engine: its settings, its process, its dialect's
// greeting and goodbye.
#pragma once

#include <cstddef>

namespace cecp {

// Reads the settings, starts the engine and greets it in the dialect the
// settings name. True when the engine can be used. False when it cannot
// (nothing is left running then): problem holds why, for the user, or is
// empty when the user has already been told.
bool OpenEngine(char* problem, std::size_t size);

// Stops any search, says goodbye, and ends the engine (by force when it does
// not end within a bounded time); a search that waits on another thread ends.
void CloseEngine();

}  // namespace cecp
