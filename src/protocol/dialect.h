// The engine's dialect: what is said to the engine and how its lines are read.
//
// What the host sees does not depend on the dialect: the exports, the wait in
// Eng9 and its bounds, and the progress reports are one piece of code. Each
// dialect is a table of the operations below, in a folder of its own, chosen
// at every open from the setting "Protocol" of the engine's settings file:
// the classic conversation (empty, absent or 1), protocol version 2 (2) and
// UCI (uci). Nothing outside the dialects names one.
//
// Each operation takes the dialect's own state (what it learned of the
// engine, what the engine owes it), which the dialect makes at open and drops
// at close; nothing outside the dialect looks inside it.
//
// Every operation runs with no lock of the module held, unless it says so;
// those that send commands which must not fall into a search's set-up take
// the CommandSequence lock themselves. None may call the host (a report or a
// notification) while it holds that lock: a host may answer a notification
// by calling an export that takes it.
#pragma once

#include <cstddef>

#include "protocol/search_request.h"

namespace cecp {

// What a search request started in the engine.
enum class SearchStart {
    kNothing,    // no search: the position has no legal move, or a stop came first
    kSearching,  // a search or an analysis: Eng9 waits for its end
    kPondering,  // a search on the host's expected reply: Eng10 or Eng3 will follow
};

// The base of every dialect's state.
struct DialectState {};

struct Dialect {
    // How the log and messages name the dialect.
    const char* name;

    // Eng1, before the engine starts: the state of a conversation with a new
    // engine.
    DialectState* (*open)();

    // Eng2, once the engine and its reader have ended and no operation runs
    // any more: drops the state.
    void (*close)(DialectState* state);

    // Eng1, on the host's thread, once the engine runs and its reader reads:
    // greets the engine and, where the dialect negotiates, waits (bounded) for
    // its answers and sends the settings' engine options. False when the
    // engine cannot be used; problem then holds why, for the user.
    bool (*greet)(DialectState* state, char* problem, std::size_t size);

    // Eng9, on the host's thread: everything from the clock to the start of
    // the search, keeping the engine's position (EnginePositionCopy) in step
    // with what the engine is told, and awaitingMove set while an answer is
    // awaited. May wait (bounded) for an engine that is still busy with an
    // earlier search. Returns what it started.
    SearchStart (*startSearch)(DialectState* state, const SearchRequestView& request);

    // Eng9's wait, on the host's thread, every 100 ms or so while an answer
    // is awaited: requests the dialect repeats (the status of an analysis).
    void (*tick)(DialectState* state);

    // Eng9, on the host's thread, once the wait has ended, before the host
    // reads its record: reports what the dialect held back until then.
    void (*endSearch)(DialectState* state);

    // Eng3, on any host thread, once per search (stopRequested has just been
    // set): stops an analysis or a ponder search, or asks for the move now.
    void (*stop)(DialectState* state);

    // Eng10, on any host thread, under the CommandSequence lock: the host
    // has played the expected reply. True when a ponder search under way took
    // the confirmation; false when none has started (the driver keeps the
    // confirmation for a search still being set up).
    bool (*ponderHit)(DialectState* state);

    // Eng15, on any host thread, with an engine open.
    void (*reset)(DialectState* state);

    // The reader thread, for every line of the engine's output (without its
    // line end, leading blanks kept).
    void (*readLine)(DialectState* state, const char* line);

    // Eng2, on the host's thread, after a running search has been stopped:
    // the goodbye, after which the engine is given a bounded time to end.
    void (*sayGoodbye)(DialectState* state);
};

// How long a search waits for the engine's answer to a request to move now
// or to stop, before it gives up on the engine.
constexpr int kMoveNowPatienceMilliseconds = 5000;

// Stamps a request to move now or to stop, before its command is sent: the
// engine may answer before the command's write returns, and its move is
// recognised as the answer by this stamp. The search gives up on the engine
// patienceMilliseconds later.
void AskForMoveNow(int patienceMilliseconds = kMoveNowPatienceMilliseconds);

// The dialect that the setting's value names (case and surrounding blanks do
// not matter), or null when it names none.
const Dialect* DialectNamed(const char* value);

// The open engine's dialect and its state, held for one operation: the close
// drops the state only once no operation holds it. Without an open engine it
// holds nothing (false).
class DialectUse {
public:
    DialectUse();
    ~DialectUse();
    DialectUse(const DialectUse&) = delete;
    DialectUse& operator=(const DialectUse&) = delete;
    explicit operator bool() const { return state_ != nullptr; }
    // Only while the use holds a state.
    const Dialect& dialect() const { return *dialect_; }
    DialectState* state() const { return state_; }

private:
    const Dialect* dialect_ = nullptr;
    DialectState* state_ = nullptr;
};

// Makes the open engine's dialect and state those given (state null: none
// open); the state given before is returned once no operation on another
// thread holds it (null when this thread holds it: it is never dropped).
DialectState* SwapOpenDialect(const Dialect* dialect, DialectState* state);

}  // namespace cecp
