#include "protocol/ponder_hold.h"

#include <cstring>

#include "protocol/engine_move.h"
#include "protocol/search_driver.h"

namespace cecp {

PonderHold::HeldMove PonderHold::Hold(const char* move) {
    std::lock_guard lock(mutex_);
    switch (state_) {
    case State::kUnconfirmed: {
        std::size_t length = std::strlen(move);
        if (length >= sizeof move_) length = sizeof move_ - 1;
        std::memcpy(move_, move, length);
        move_[length] = '\0';
        moveHeld_ = true;
        return HeldMove::kHeld;
    }
    case State::kMissed:
    case State::kConfirmedWithMove:
        return HeldMove::kDropped;
    default:
        return HeldMove::kTake;
    }
}

void PonderHold::Begin() {
    std::lock_guard lock(mutex_);
    state_ = State::kUnconfirmed;
    moveHeld_ = false;
}

void PonderHold::ConfirmAtStart() {
    bool engineStillSearching = true;
    Confirm(&engineStillSearching);
}

void PonderHold::TakeOrHold(const char* move) {
    switch (Hold(move)) {
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

// The host's word on the reply: confirmed (with the move the engine already
// found, or while it still searches) or missed.
bool PonderHold::Settle(State word, bool* engineStillSearching) {
    {
        std::lock_guard lock(mutex_);
        if (state_ != State::kUnconfirmed) return false;
        *engineStillSearching = !moveHeld_;
        state_ = word == State::kConfirmed && moveHeld_ ? State::kConfirmedWithMove : word;
    }
    if (!*engineStillSearching) EndMoveWait();
    return true;
}

bool PonderHold::Confirm(bool* engineStillSearching) { return Settle(State::kConfirmed, engineStillSearching); }

bool PonderHold::Miss(bool* engineStillSearching) { return Settle(State::kMissed, engineStillSearching); }

void PonderHold::Stop(const char* command, int missPatienceMilliseconds) {
    bool engineStillSearching = true;
    if (!Miss(&engineStillSearching)) {
        SendMoveNow(command);
    } else if (engineStillSearching) {
        SendMoveNow(command, missPatienceMilliseconds);
    }
}

void PonderHold::End() {
    char move[sizeof move_];
    bool report = false;
    {
        std::lock_guard lock(mutex_);
        report = state_ == State::kConfirmedWithMove;
        if (report) std::memcpy(move, move_, sizeof move);
        state_ = State::kNone;
        moveHeld_ = false;
    }
    if (report) TakeEngineMove(move);
}

}  // namespace cecp
