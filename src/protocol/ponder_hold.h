// Pondering the host's way, for the dialects in which the engine searches the
// position after the expected reply as if it were on move (protocol 2, UCI):
// a move the engine finds before the host has confirmed the reply (Eng10) is
// held back and reported the moment the confirmation comes; one it finds
// after the host gave up on the reply (Eng3) belongs to no search.
//
// Each such dialect owns one hold. The reader (the engine's move), Eng10 and
// Eng3 on host threads, and Eng9 use it under its own lock; no report is
// made under that lock.
#pragma once

#include <mutex>

namespace cecp {

class PonderHold {
public:
    // Eng9, before the ponder search starts: the move is held from now on.
    void Begin();

    // Eng9, when the host confirmed the reply while the search was being set
    // up (BeginEngineSearch said so): the search goes on as confirmed.
    void ConfirmAtStart();

    // The reader's way with the engine's move: the answer when no ponder
    // search waits for confirmation; kept until the host confirms or gives up
    // while one does; dropped, ending the search, once the host has given up
    // on the reply.
    void TakeOrHold(const char* move);

    // Eng10: true when a ponder search waited for the confirmation. When the
    // engine had already moved, the wait ends at once and End reports the
    // move; otherwise the search goes on (engineStillSearching).
    bool Confirm(bool* engineStillSearching);

    // Eng3 during a ponder search: true when a ponder search waited for the
    // confirmation. When the engine had already moved, the move is dropped
    // and the wait ends at once; otherwise engineStillSearching, and its move
    // will be dropped when it comes.
    bool Miss(bool* engineStillSearching);

    // Eng9, after the wait: reports a move held until the confirmation, and
    // ends the hold.
    void End();

    // Eng3 with an answer awaited: a ponder search whose reply was not
    // played ends, its move dropped when it comes (the engine is asked for
    // it with command, and given missPatienceMilliseconds); any other search
    // is asked for its move now with command.
    void Stop(const char* command, int missPatienceMilliseconds);

private:
    enum class State { kNone, kUnconfirmed, kConfirmed, kConfirmedWithMove, kMissed };
    enum class HeldMove { kTake, kHeld, kDropped };

    HeldMove Hold(const char* move);
    bool Settle(State confirmedOrMissed, bool* engineStillSearching);

    std::mutex mutex_;
    State state_ = State::kNone;
    char move_[64] = "";
    bool moveHeld_ = false;
};

}  // namespace cecp
