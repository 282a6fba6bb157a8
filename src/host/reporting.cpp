#include "host/reporting.h"

#include <cstdio>
#include <cstring>
#include <mutex>

#include "engine/echo.h"
#include "engine/engine_settings.h"
#include "host/host_link.h"
#include "host/info_block.h"

namespace cecp {
namespace {

namespace ib = info_block;

// Guards the main-line cache, reportedDepth's raise, the writes into the info
// block and the Func3 call that announces them, so that a report from the
// reader thread and one from a host thread never interleave, and a host that
// reads its record inside Func3 sees no field half written. Recursive: the
// host may call the Show exports from inside Func3. The lock is never held
// while the module waits for anything but the host's Func3.
std::recursive_mutex g_reportMutex;
using ReportLock = std::lock_guard<std::recursive_mutex>;

constexpr int kDepthForNodes = 4;        // node counts notified from depth 5 on
constexpr int kDepthForCurrentMove = 5;  // current moves notified from depth 6 on

void* HeldInfoBlock() { return g_host.infoBlock.load(); }

bool ScoreFromWhitesSide() { return g_settings.evaluationWhite != 0 && g_host.engineSideWhite == 0; }

// Writes a main line of n moves and its score into the record.
void StoreMainLine(void* info, const MoveWord* moves, int n, std::int16_t score) {
    StoreField<std::uint32_t>(info, ib::kInfoKind, 2);
    if (ScoreFromWhitesSide()) score = static_cast<std::int16_t>(-score);
    StoreField<std::int16_t>(info, ib::kScore, score);
    StoreField<std::int16_t>(info, ib::kMainLineLength, static_cast<std::int16_t>(n));
    for (int i = 0; i < n; ++i) StoreField<MoveWord>(info, ib::kMainLine + 2 * i, moves[i]);
}

void ShowMainLineText(const char* text, std::int32_t score, std::int32_t time);

void EchoUnrecognised(const char* text) {
    static constexpr char kPrefix[] = "Move illegal: ";
    char line[sizeof kPrefix + 2000 + 1];
    int length = std::snprintf(line, sizeof line, "%s%.2000s\n", kPrefix, text);
    if (length < 0) return;
    if (length >= static_cast<int>(sizeof line)) length = static_cast<int>(sizeof line) - 1;
    EchoLine(line, static_cast<std::size_t>(length));
}

}  // namespace

std::int16_t MapMateScore(std::int32_t score) {
    // Engines that count mates down from 32767 (a mate in n plies as 32767 - n).
    if (score > 32000 && score < 32768) return static_cast<std::int16_t>(score - 2767);
    if (score < -32000 && score > -32768) return static_cast<std::int16_t>(score + 2767);
    // The protocol's own convention, 100000 + n for a mate in n (fairymax
    // writes 100001 for a mate in one): into the same band, nearer mates higher.
    constexpr std::int32_t kProtocolMate = 100000, kBandWidth = 766;
    if (score >= kProtocolMate || score <= -kProtocolMate) {
        std::int32_t distance = score >= 0 ? score - kProtocolMate : -(score + kProtocolMate);
        std::int32_t mapped = 30000 - (distance < kBandWidth ? distance : kBandWidth);
        return static_cast<std::int16_t>(score >= 0 ? mapped : -mapped);
    }
    // Anything else beyond 16 bits keeps its sign: cutting it to its low half
    // would show a winning engine as a losing one.
    if (score > 32767) return 32767;
    if (score < -32768) return -32768;
    return static_cast<std::int16_t>(score);
}

void BeginSearchReport() {
    {
        ReportLock lock(g_reportMutex);
        g_host.lastPvTime = 0;
        g_host.lastPvScore = 0;
        g_host.lastPvLength = 0;
        g_host.lastPvRepeatable = 0;
        std::memset(g_host.lastPv, 0, sizeof g_host.lastPv);
        if (void* info = HeldInfoBlock()) SendNotification(info, kNotifyNewSearch);
    }
}

void ReportMainLine(const char* text, std::int32_t score, std::int32_t time) {
    if (g_host.stopRequested) return;
    ShowMainLineText(text, score, time);
}

void ReportMoveAfterStop(const char* text, std::int32_t score, std::int32_t time) {
    ShowMainLineText(text, score, time);
}

namespace {

void ShowMainLineText(const char* text, std::int32_t score, std::int32_t time) {
    MoveWord moves[kMainLineMoves];
    Position position = EnginePositionCopy();
    int k = 0;
    {
        ReportLock lock(g_reportMutex);
        k = g_host.moveTextCache.ParseVariation(text, position, moves, kMainLineMoves);
    }
    if (k < 1) {
        g_host.lastPvRepeatable = 1;
        EchoUnrecognised(text);
        return;
    }
    void* info = HeldInfoBlock();
    if (info == nullptr) return;
    {
        ReportLock lock(g_reportMutex);
        int cached = g_host.lastPvLength;
        // A line longer than the cache never counts as a repeat.
        if (g_host.lastPvRepeatable == 0 && k == cached &&
            std::memcmp(moves, g_host.lastPv, sizeof(MoveWord) * cached) == 0) {
            return;
        }
        g_host.lastPvRepeatable = 0;
        int n = k < static_cast<int>(ib::kMainLineCapacity) ? k : static_cast<int>(ib::kMainLineCapacity);
        g_host.lastPvTime = time;
        StoreField<std::int32_t>(info, ib::kMainLineTime, time);
        g_host.lastPvScore = score;
        std::memcpy(g_host.lastPv, moves, sizeof(MoveWord) * n);
        g_host.lastPvLength = n;
        StoreMainLine(info, moves, n, MapMateScore(score));
        SendNotification(info, kNotifyMainline);
    }
}

}  // namespace

int RecogniseMoves(const char* text, MoveWord* moves, int capacity) {
    Position position = EnginePositionCopy();
    ReportLock lock(g_reportMutex);
    return g_host.moveTextCache.ParseVariation(text, position, moves, capacity);
}

int ShownMainLine(MoveWord* moves, int capacity) {
    ReportLock lock(g_reportMutex);
    int n = g_host.lastPvLength;
    if (n > capacity) n = capacity;
    std::memcpy(moves, g_host.lastPv, sizeof(MoveWord) * static_cast<std::size_t>(n < 0 ? 0 : n));
    return g_host.lastPvLength;
}

void SettleReports() { ReportLock lock(g_reportMutex); }

void ForgetShownLine() {
    g_host.lastPvLength = 0;
    g_host.pvReported = 0;
    g_host.reportedDepth = 0;
}

void AllowMainLineRepeat() { g_host.lastPvRepeatable = 1; }

void RememberLineScoreAndTime(std::int32_t score, std::int32_t time) {
    g_host.lastPvScore = score;
    g_host.lastPvTime = time;
}

std::int32_t CachedScore() { return g_host.lastPvScore; }
std::int32_t CachedTime() { return g_host.lastPvTime; }

void ReportNodes(std::int64_t nodes) {
    if (g_host.stopRequested) return;
    void* info = g_host.infoBlock.load();
    if (info == nullptr) return;
    {
        ReportLock lock(g_reportMutex);
        StoreField<std::uint16_t>(info, ib::kNodesAux, 0);
        StoreField<std::int64_t>(info, ib::kNodes, nodes);
        if (g_host.reportedDepth > kDepthForNodes) SendNotification(info, kNotifyNodes);
    }
}

void ReportDepth(std::int32_t depth, std::int16_t depthExtra) {
    if (g_host.stopRequested) return;
    void* info = g_host.infoBlock.load();
    if (info == nullptr) return;
    {
        ReportLock lock(g_reportMutex);
        if (depth <= g_host.reportedDepth) return;
        g_host.reportedDepth = depth;
        StoreField<std::int16_t>(info, ib::kDepth, static_cast<std::int16_t>(depth));
        StoreField<std::int16_t>(info, ib::kDepthExtra, depthExtra);
        SendNotification(info, kNotifyDepth);
    }
}

void ReportCurrentMove(MoveWord move, std::int16_t number, std::int16_t count) {
    if (g_host.stopRequested) return;
    void* info = g_host.infoBlock.load();
    if (info == nullptr) return;
    {
        ReportLock lock(g_reportMutex);
        StoreField<MoveWord>(info, ib::kCurrentMove, move);
        StoreField<std::int16_t>(info, ib::kCurrentMoveNumber, number);
        StoreField<std::int16_t>(info, ib::kRootMoveCount, count);
        if (g_host.reportedDepth > kDepthForCurrentMove) {
            SendNotification(info, kNotifyCurrentMove);
        }
    }
}

void ReportMainLineMoves(const MoveWord* moves, std::int32_t count, std::int16_t score) {
    if (g_host.stopRequested) return;
    void* info = g_host.infoBlock.load();
    if (info == nullptr) return;
    int n = count < 0 ? 0 : (count > static_cast<int>(ib::kMainLineCapacity) ? ib::kMainLineCapacity : count);
    if (moves == nullptr) n = 0;
    {
        ReportLock lock(g_reportMutex);
        StoreMainLine(info, moves, n, score);
        SendNotification(info, kNotifyMainline);
    }
}

}  // namespace cecp
