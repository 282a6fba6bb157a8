#include "protocol/ponder_hold.h"

#include <cstring>
#include <mutex>

#include "protocol/search_state.h"
#include "protocol/engine_move.h"
#include "protocol/search_wait.h"

namespace cecp {
namespace {

enum class Hold { kNone, kUnconfirmed, kConfirmed, kConfirmedWithMove, kMissed };

// Guards the hold against the reader (the engine's move), Eng10 and Eng3 on
// host threads, and Eng9. No report is made under it.
std::mutex g_holdMutex;
Hold g_hold = Hold::kNone;
char g_heldMove[64] = "";
bool g_moveHeld = false;

enum class HeldMove { kTake, kHeld, kDropped };

HeldMove HoldEngineMove(const char* move) {
    std::lock_guard lock(g_holdMutex);
    switch (g_hold) {
    case Hold::kUnconfirmed: {
        std::size_t length = std::strlen(move);
        if (length >= sizeof g_heldMove) length = sizeof g_heldMove - 1;
        std::memcpy(g_heldMove, move, length);
        g_heldMove[length] = '\0';
        g_moveHeld = true;
        return HeldMove::kHeld;
    }
    case Hold::kMissed:
    case Hold::kConfirmedWithMove:
        return HeldMove::kDropped;
    default:
        return HeldMove::kTake;
    }
}

}  // namespace

void BeginPonderHold() {
    std::lock_guard lock(g_holdMutex);
    g_hold = g_search.ponderHitEarly.exchange(0) != 0 ? Hold::kConfirmed : Hold::kUnconfirmed;
    g_moveHeld = false;
}

void TakeOrHoldEngineMove(const char* move) {
    switch (HoldEngineMove(move)) {
    case HeldMove::kTake:
        TakeEngineMove(move);
        break;
    case HeldMove::kHeld:
        break;
    case HeldMove::kDropped:
        EndMoveWait();
        break;
    }
}

bool ConfirmPonder(bool* engineStillSearching) {
    {
        std::lock_guard lock(g_holdMutex);
        if (g_hold != Hold::kUnconfirmed) return false;
        *engineStillSearching = !g_moveHeld;
        g_hold = g_moveHeld ? Hold::kConfirmedWithMove : Hold::kConfirmed;
    }
    if (!*engineStillSearching) EndMoveWait();
    return true;
}

bool MissPonder(bool* engineStillSearching) {
    {
        std::lock_guard lock(g_holdMutex);
        if (g_hold != Hold::kUnconfirmed) return false;
        *engineStillSearching = !g_moveHeld;
        g_hold = Hold::kMissed;
    }
    if (!*engineStillSearching) EndMoveWait();
    return true;
}

void EndPonderHold() {
    char move[sizeof g_heldMove];
    bool report = false;
    {
        std::lock_guard lock(g_holdMutex);
        report = g_hold == Hold::kConfirmedWithMove;
        if (report) std::memcpy(move, g_heldMove, sizeof move);
        g_hold = Hold::kNone;
        g_moveHeld = false;
    }
    if (report) TakeEngineMove(move);
}

}  // namespace cecp
