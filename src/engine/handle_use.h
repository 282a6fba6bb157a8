// Use and release of the handles that host threads and the reader write to
// (the engine's input, the console, the log) while the shutdown closes them.
#pragma once

#include <atomic>

#include "engine/engine_process.h"
#include "platform/handle.h"

namespace cecp {

// Held around every write: the handles loaded under it stay open.
class HandleUse {
public:
    HandleUse() { g_engine.handleUsers.fetch_add(1); }
    ~HandleUse() { g_engine.handleUsers.fetch_sub(1); }
    HandleUse(const HandleUse&) = delete;
    HandleUse& operator=(const HandleUse&) = delete;
};

// Takes the handle out of its field (leaving absent there) once no writer
// can still be using it; the caller closes what it returns.
platform::Handle TakeHandle(std::atomic<platform::Handle>& field, platform::Handle absent);

}  // namespace cecp
