// The clock of a search request as "level" and "time" commands.
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "engine/engine_settings.h"
#include "engine/transport.h"
#include "host/host_link.h"
#include "protocol/cecp/commands.h"

namespace cecp {
namespace {

// The host's numbers are taken as 32-bit values whose arithmetic wraps, so
// that no field value, however odd, makes the computation undefined.
std::int32_t Add(std::int32_t a, std::int32_t b) {
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(a) + static_cast<std::uint32_t>(b));
}
std::int32_t Sub(std::int32_t a, std::int32_t b) {
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(a) - static_cast<std::uint32_t>(b));
}
std::int32_t Mul(std::int32_t a, std::int32_t b) {
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(a) * static_cast<std::uint32_t>(b));
}

// Within a second of the level sent last counts as the same level.
bool NearLastSeconds(const CecpClock& clock, std::int32_t seconds) {
    std::int32_t last = clock.lastLevelSeconds;
    return Sub(last, 1) <= seconds && seconds <= Add(last, 1);
}

// A seconds part of 59 becomes the next whole minute.
std::int32_t RoundedBase(std::int32_t seconds) { return seconds % 60 == 59 ? Add(seconds, 1) : seconds; }

// Status requests of a search without clock: about one a second (a pass of
// Eng9's wait is 100 ms).
constexpr int kPassesPerStatusRequest = 10;

// Practically unlimited: ten moves in 500 hours, 500 hours left.
constexpr char kUnlimitedLevel[] = "level 10 30000:0 0\n";
constexpr std::int32_t kUnlimitedCentiseconds = 180000000;

}  // namespace

ClockPlan PlanClock(CecpClock& clock, const SearchRequestView& request) {
    ClockPlan plan;
    clock.statusPolling = false;
    char* command = plan.level;
    constexpr std::size_t kCommandSize = sizeof plan.level;

    switch (request.ClockMode()) {
    case kClockIncrement: {
        std::int32_t increment = request.Increment();
        std::int32_t base = Add(Sub(request.TimeUsed(), Mul(request.MovesPlayed(), increment)), request.TimeLeft());
        if (!(NearLastSeconds(clock, base) && increment == clock.lastLevelIncrement)) {
            base = RoundedBase(base);
            clock.lastLevelMoves = 0;
            clock.lastLevelSeconds = base;
            clock.lastLevelIncrement = increment;
            std::snprintf(command, kCommandSize, "level 0 %d:%d %d\n", static_cast<int>(base / 60),
                          static_cast<int>(base % 60), static_cast<int>(increment));
        }
        plan.centiseconds = Mul(request.TimeLeft(), 100);
        plan.timed = true;
        break;
    }
    case kClockMovesInTime: {
        std::int32_t base = Add(request.TimeUsed(), request.TimeLeft());
        std::int32_t moves = Add(request.MovesToGo(), request.MovesPlayed());
        if (!(NearLastSeconds(clock, base) && moves == clock.lastLevelMoves &&
              request.Increment() == clock.lastLevelIncrement)) {
            base = RoundedBase(base);
            clock.lastLevelSeconds = base;
            clock.lastLevelMoves = moves;
            clock.lastLevelIncrement = 0;
            std::snprintf(command, kCommandSize, "level %d %d:%d 0\n", static_cast<int>(moves),
                          static_cast<int>(base / 60), static_cast<int>(base % 60));
        }
        plan.centiseconds = Mul(request.TimeLeft(), 100);
        plan.timed = true;
        break;
    }
    default:
        // An analysis goes without level; a search without clock gets one
        // it will never reach.
        if (g_settings.analyzeMode == 0) {
            std::memcpy(plan.level, kUnlimitedLevel, sizeof kUnlimitedLevel);
            plan.centiseconds = kUnlimitedCentiseconds;
            plan.timed = true;
        }
        clock.statusPolling = true;
        break;
    }
    return plan;
}

void ForgetLevelSent(CecpClock& clock) {
    clock.lastLevelIncrement = -1;
    clock.lastLevelSeconds = -1;
    clock.lastLevelMoves = -1;
}

void SendTimeCommand(const char* name, std::int32_t centiseconds) {
    char command[32];
    std::snprintf(command, sizeof command, "%s %d\n", name, static_cast<int>(centiseconds));
    SendCommand(command);
}

void RestartStatusRequests(CecpClock& clock) { clock.statusPasses = kPassesPerStatusRequest; }

void TickStatusRequests(CecpClock& clock) {
    ++clock.statusPasses;
    if (clock.statusPolling && clock.statusRequestsLeft != 0 && clock.statusPasses >= kPassesPerStatusRequest) {
        --clock.statusRequestsLeft;
        clock.statusPasses = 0;
        SendCommand(".\n");
    }
}

void SendClockCommands(CecpClock& clock, const SearchRequestView& request) {
    SendCommand("new\n");
    ClockPlan plan = PlanClock(clock, request);
    if (plan.level[0] != '\0') SendCommand(plan.level);
    if (plan.timed) SendTimeCommand("time", plan.centiseconds);
}

}  // namespace cecp
