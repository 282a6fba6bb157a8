#include "protocol/engine_game.h"

#include <cstring>

#include "host/fixed_text.h"

namespace cecp {

EngineGame::Follow EngineGame::FollowOf(const SearchRequestView& request, const char* fen) const {
    std::lock_guard lock(mutex_);
    Follow follow;
    if (!known_ || std::strcmp(fen_, fen) != 0) return follow;
    int count = request.MoveCount();
    int common = 0;
    while (common < count_ && common < count && request.Move(common) == moves_[common]) ++common;
    if (common == count_) {
        follow.continues = true;
        follow.firstNew = common;
        return follow;
    }
    // The host played another reply than the one pondered on: the engine's
    // game goes back to before it. Any other difference (a move taken back,
    // another game) starts a new game.
    if (guessAt_ >= 0 && common == guessAt_ && count_ - common <= 2) {
        follow.continues = true;
        follow.takeBack = count_ - common;
        follow.firstNew = common;
    }
    return follow;
}

void EngineGame::Take(const SearchRequestView& request, const char* fen, bool guessed) {
    std::lock_guard lock(mutex_);
    known_ = true;
    CopyText(fen_, fen);
    count_ = request.MoveCount();
    for (int i = 0; i < count_; ++i) moves_[i] = request.Move(i);
    guessAt_ = guessed && count_ > 0 ? count_ - 1 : -1;
    givenCount_ = count_;
}

void EngineGame::Play(MoveWord move) {
    std::lock_guard lock(mutex_);
    if (!known_ || count_ != givenCount_ || count_ >= kCapacity) return;
    moves_[count_++] = move;
}

void EngineGame::Forget() {
    std::lock_guard lock(mutex_);
    known_ = false;
    count_ = 0;
    guessAt_ = -1;
    givenCount_ = 0;
}

bool EngineGame::EngineMoved() const {
    std::lock_guard lock(mutex_);
    return known_ && count_ > givenCount_;
}

}  // namespace cecp
