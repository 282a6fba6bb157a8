// A module state with an info block held and the host's notifications
// recorded, for tests that drive the reporting and interpretation directly.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "chess/position.h"
#include "engine/engine_process.h"
#include "engine/engine_settings.h"
#include "host/host_link.h"
#include "host/info_block.h"
#include "host_side.h"
#include "protocol/cecp/commands.h"
#include "protocol/cecp/interpret.h"
#include "protocol/engine_move.h"
#include "protocol/search_driver.h"
#include "search_request_builder.h"

namespace cecp::test {

class ReportingTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::memset(info, 0, sizeof info);
        g_host.infoBlock = info;
        g_host.stopRequested = 0;
        g_host.reportedDepth = 0;
        g_host.pvReported = 0;
        g_host.lastPvLength = 0;
        g_host.lastPvScore = 0;
        g_host.lastPvTime = 0;
        g_settings.evaluationWhite = 0;
        g_host.engineSideWhite = 1;
        g_search.phase = SearchPhase::kSearching;
        g_settings.analyzeMode = 0;
        Position start;
        start.SetStartPosition();
        SetEnginePosition(start);
        HostClearNotifications();
    }
    void TearDown() override {
        g_host.infoBlock = nullptr;
        g_search.phase = SearchPhase::kIdle;
    }

    // A line read as the CECP dialects read it, with this test's clock.
    void InterpretLine(const char* line) {
        InterpretCecpLine(line, CecpLines{ThinkingForm::kShort, &clock, TakeMove, nullptr});
    }
    static void TakeMove(void*, const char* move) { TakeEngineMove(move); }

    std::vector<std::uint32_t> Codes() const {
        std::vector<std::uint32_t> codes;
        for (int i = 0; i < HostNotificationCount(); ++i) codes.push_back(HostNotificationAt(i).code);
        return codes;
    }
    template <typename T>
    T Field(std::size_t offset) const {
        return LoadField<T>(info, offset);
    }
    // The main line in the record as coordinate moves.
    std::vector<MoveWord> MainLine() const {
        std::vector<MoveWord> moves;
        int n = Field<std::int16_t>(info_block::kMainLineLength);
        for (int i = 0; i < n; ++i) moves.push_back(Field<MoveWord>(info_block::kMainLine + 2 * i));
        return moves;
    }
    void SetPosition(const Position& position) { SetEnginePosition(position); }

    alignas(8) unsigned char info[256];
    CecpClock clock;
};


}  // namespace cecp::test
