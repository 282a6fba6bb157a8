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

struct SearchPlan;

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
    // with what the engine is told. The search begins with BeginEngineSearch
    // just before the command that starts it; without that call (the
    // position has no legal move, or the host stopped first) nothing is
    // awaited and the request returns.
    void (*startSearch)(DialectState* state, const SearchRequestView& request, const SearchPlan& plan);

    // Eng9's wait, on the host's thread, every 100 ms or so while an answer
    // is awaited: requests the dialect repeats (the status of an analysis).
    void (*tick)(DialectState* state);

    // Eng9, on the host's thread, once the wait has ended, before the host
    // reads its record: reports what the dialect held back until then.
    void (*endSearch)(DialectState* state);

    // Eng3, on any host thread, once per search that the engine runs (the
    // host's stop has just been noted): stops an analysis or a ponder
    // search, or asks for the move now.
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

    // Answers of earlier searches. The engine may still owe the answer of a
    // search the module gave up on (it would not move now, or not in time);
    // each dialect knows such an answer its own way (protocol 2 by its pong,
    // UCI by counting its bestmoves, the classic conversation by the next
    // move line), and what the engine still says of that search belongs to
    // no search.
    //
    // Eng9, before anything of the new search is sent: the engine still owes
    // such an answer and the dialect cannot tell it from the new search's.
    bool (*owesEarlierAnswer)(DialectState* state);
    // ... then, before the driver waits (bounded) for it: asks the engine
    // to give that answer now.
    void (*hurryEarlierAnswer)(DialectState* state);
    // ... and when it has not come by the wait's end: the dialect goes on
    // as if it had (the engine is searched all the same).
    void (*forgetEarlierAnswer)(DialectState* state);
    // A search ends without its answer (GiveUpOnAnswer): the engine owes it
    // to no search.
    void (*answerAbandoned)(DialectState* state);
};

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
