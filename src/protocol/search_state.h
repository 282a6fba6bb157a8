// The open engine's conversation and the search under way, as the exports,
// the search driver and the dialects share them.
//
// The record lives in static storage from load to unload and is
// constant-initialised. Flags shared between the host's threads and the
// reader thread are 32-bit atomics, each written and read whole.
#pragma once

#include <atomic>
#include <cstdint>

namespace cecp {

struct Dialect;
struct DialectState;

using Flag = std::atomic<std::int32_t>;

struct SearchState {
    Flag engineOpen{0};
    // The open engine's dialect and its state (null: none open), and the
    // operations under way that hold them (DialectUse).
    std::atomic<const Dialect*> dialect{nullptr};
    std::atomic<DialectState*> dialectState{nullptr};
    Flag dialectUsers{0};

    Flag thinking{0};
    Flag awaitingMove{0};
    Flag analyzing{0};
    // When Eng3 last asked the engine to move now or stop (steady
    // milliseconds, 0 when it has not in this search), and how long the
    // search then waits for its answer before it gives up on the engine.
    std::atomic<std::int64_t> moveNowSentAt{0};
    Flag moveNowPatience{0};
    // The engine may still be busy with a search whose answer the module no
    // longer waits for (it refused to move now, or never answered): what it
    // still says of that search belongs to no search.
    Flag engineBusy{0};
    // The engine refused the command that started this search (an analysis
    // it does not know): nothing runs in it, and a stop given up on leaves
    // it idle, not busy.
    Flag searchRefused{0};
    // The host confirmed the pondered reply while the search was still being
    // set up, before its ponder move was held back: it is sent as soon as the
    // engine has been told to ponder.
    Flag ponderHitEarly{0};
};

extern SearchState g_search;

}  // namespace cecp
