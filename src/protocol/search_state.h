// The open engine's conversation and the search under way, as the exports,
// the search driver and the dialects share them.
//
// The record lives in static storage from load to unload and is
// constant-initialised. Values shared between the host's threads and the
// reader thread are atomics, each written and read whole.
#pragma once

#include <atomic>
#include <cstdint>

namespace cecp {

struct Dialect;
struct DialectState;

using Flag = std::atomic<std::int32_t>;

// The life of one search request (Eng9), from its start to its return. The
// search driver owns the transitions (search_driver.h); the phase is the
// one answer to "what does the search wait for now".
//
//   idle -> waiting for engine -> preparing -> searching | pondering | analysing
//   pondering -> searching            the host played the expected reply
//   searching | pondering -> moving now   the host asked for the move now
//   analysing -> refused              the engine does not know the analysis
//   any of the waiting phases -> ended -> idle
enum class SearchPhase : std::int32_t {
    kIdle,              // no search request runs
    kWaitingForEngine,  // the engine still owes an earlier search's answer; it is given time
    kPreparing,         // the clock and the position are sent; no answer is awaited yet
    kSearching,         // the engine searches; its move ends the search
    kPondering,         // the engine searches on the expected reply; the host has not confirmed it
    kAnalysing,         // the engine analyses; only the host's stop ends it
    kRefused,           // the engine refused the command that started the search: nothing runs in it
    kMovingNow,         // the engine was asked for its move now; it is given a bounded time
    kEnded,             // the answer came, or none will: the request reports and returns
};

struct SearchState {
    Flag engineOpen{0};
    // The open engine's dialect and its state (null: none open), and the
    // operations under way that hold them (DialectUse).
    std::atomic<const Dialect*> dialect{nullptr};
    std::atomic<DialectState*> dialectState{nullptr};
    Flag dialectUsers{0};

    std::atomic<SearchPhase> phase{SearchPhase::kIdle};
    // What the engine was told to do when the search began (searching,
    // pondering or analysing; idle when nothing was started).
    std::atomic<SearchPhase> begunAs{SearchPhase::kIdle};
    // When the search stops waiting for an answer to move now or to stop
    // (steady milliseconds; 0 while none was asked for).
    std::atomic<std::int64_t> answerDeadline{0};
    // The host confirmed the pondered reply while the search was still being
    // set up: the search begins confirmed.
    Flag ponderHitEarly{0};
};

extern SearchState g_search;

}  // namespace cecp
