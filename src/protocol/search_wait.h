// The waits of the module for its engine: a search request's wait for the
// engine's move, and the dialects' bounded waits for an answer (the end of a
// negotiation, a pong, a readyok, a move still owed).
#pragma once

#include <cstdint>

namespace cecp {

// Wakes the search's wait for the engine's answer at once, and every wait
// for an engine event (EndMoveWait calls it once the phase has moved on).
void WakeSearch();

// Sleeps until WakeSearch is called or milliseconds have passed, whichever
// comes first; a call of WakeSearch since ticket was taken ends it at once.
void WaitForMoveOrTimeout(std::uint64_t ticket, int milliseconds);
// The ticket to wait with: take it before testing the search's phase.
std::uint64_t MoveWaitTicket();

// Wakes every wait for an engine event: the reader has read something a
// dialect waits for, or the engine has ended (WakeSearch does this too).
void NotifyEngineEvent();

// Waits until done(context) holds, the engine has ended, or milliseconds
// have passed; true when done held. done is tested again at every event.
bool WaitForEngineEvent(bool (*done)(const void* context), const void* context, int milliseconds);

// The same for any callable done().
template <typename Done>
bool WaitForEngineEvent(const Done& done, int milliseconds) {
    auto call = [&done] { return static_cast<bool>(done()); };
    using Call = decltype(call);
    return WaitForEngineEvent([](const void* context) { return (*static_cast<const Call*>(context))(); }, &call,
                              milliseconds);
}

// Milliseconds of a steady clock.
std::int64_t SteadyMilliseconds();

}  // namespace cecp
