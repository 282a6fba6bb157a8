#include "clock.h"

#include <algorithm>
#include <cctype>

namespace enghost {

namespace {

bool ParseSeconds(const std::string& text, int minimum, int* value) {
    if (text.empty() || text.size() > 6 ||
        !std::all_of(text.begin(), text.end(), [](unsigned char c) { return std::isdigit(c); }))
        return false;
    *value = std::stoi(text);
    return *value >= minimum;
}

std::int16_t Clamp16(int value) { return static_cast<std::int16_t>(std::clamp(value, -32768, 32767)); }

}  // namespace

std::optional<TimeControl> TimeControl::Parse(const std::string& text, std::string* error) {
    TimeControl control;
    const std::size_t slash = text.find('/');
    const std::size_t plus = text.find('+');
    bool ok;
    if (slash != std::string::npos) {
        control.kind = Kind::kMovesPerPeriod;
        ok = plus == std::string::npos && ParseSeconds(text.substr(0, slash), 1, &control.moves) &&
             ParseSeconds(text.substr(slash + 1), 1, &control.baseSeconds);
    } else {
        control.kind = Kind::kIncrement;
        ok = ParseSeconds(text.substr(0, plus), 1, &control.baseSeconds) &&
             (plus == std::string::npos || ParseSeconds(text.substr(plus + 1), 0, &control.increment));
    }
    if (!ok) {
        *error = "bad time control \"" + text +
                 "\": write BASE or BASE+INC in whole seconds (60, 300+2) or MOVES/BASE (40/300)";
        return std::nullopt;
    }
    return control;
}

TimeControl TimeControl::FixedPerMove(int seconds) {
    TimeControl control;
    control.kind = Kind::kFixedPerMove;
    control.perMove = seconds;
    return control;
}

std::string TimeControl::PgnText() const {
    switch (kind) {
    case Kind::kMovesPerPeriod: return std::to_string(moves) + "/" + std::to_string(baseSeconds);
    case Kind::kFixedPerMove: return "1/" + std::to_string(perMove);
    case Kind::kIncrement: break;
    }
    return std::to_string(baseSeconds) + (increment ? "+" + std::to_string(increment) : "");
}

SideClock::SideClock(const TimeControl& control)
    : control_(control),
      leftMs_(1000LL * (control.kind == TimeControl::Kind::kFixedPerMove ? control.perMove : control.baseSeconds)) {}

cecp::SearchClock SideClock::Fields() const {
    cecp::SearchClock fields;
    const int left = static_cast<int>(std::max<std::int64_t>(leftMs_, 0) / 1000);
    fields.timeLeft = left;
    switch (control_.kind) {
    case TimeControl::Kind::kIncrement:
        // The module takes the base time as used - played * increment + left:
        // used is chosen so that this is the base exactly, whatever the rounding.
        fields.mode = cecp::kClockIncrement;
        fields.increment = control_.increment;
        fields.movesPlayed = Clamp16(movesDone_);
        fields.timeUsed = control_.baseSeconds + fields.movesPlayed * control_.increment - left;
        break;
    case TimeControl::Kind::kMovesPerPeriod:
        // The period's moves and time: to go + played, used + left. Time
        // carried over from an earlier period makes used negative.
        fields.mode = cecp::kClockMovesInTime;
        fields.movesToGo = Clamp16(control_.moves - movesInPeriod_);
        fields.movesPlayed = Clamp16(movesInPeriod_);
        fields.timeUsed = control_.baseSeconds - left;
        break;
    case TimeControl::Kind::kFixedPerMove:
        // One move in the time, every move afresh.
        fields.mode = cecp::kClockMovesInTime;
        fields.movesToGo = 1;
        fields.movesPlayed = 0;
        fields.timeUsed = 0;
        fields.timeLeft = control_.perMove;
        break;
    }
    return fields;
}

bool SideClock::Charge(std::int64_t elapsedMs) {
    const bool inTime = elapsedMs <= leftMs_;
    ++movesDone_;
    switch (control_.kind) {
    case TimeControl::Kind::kIncrement:
        leftMs_ = std::max<std::int64_t>(leftMs_ - elapsedMs, 0) + 1000LL * control_.increment;
        break;
    case TimeControl::Kind::kMovesPerPeriod:
        leftMs_ = std::max<std::int64_t>(leftMs_ - elapsedMs, 0);
        if (++movesInPeriod_ == control_.moves) {
            movesInPeriod_ = 0;
            leftMs_ += 1000LL * control_.baseSeconds;
        }
        break;
    case TimeControl::Kind::kFixedPerMove: leftMs_ = 1000LL * control_.perMove; break;
    }
    return inTime;
}

}  // namespace enghost
