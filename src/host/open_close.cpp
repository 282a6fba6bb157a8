// Opening and closing the engine.
#include "engine/engine_process.h"
#include "engine/transport.h"
#include "host/adapter_state.h"
#include "host/exports.h"
#include "platform/error_report.h"
#include "protocol/dialect.h"

using cecp::g_state;

namespace {

constexpr std::size_t kProblemSize = 512;

}  // namespace

extern "C" {

std::int32_t CECP_CALL Eng1(void* infoBlock, std::uint32_t, std::uint32_t, std::uint32_t,
                            std::uint32_t, std::uint32_t openParam) {
    if (infoBlock == nullptr) return 1;
    if (g_state.engineOpen || g_state.thinking || g_state.infoBlock.load() != nullptr) return 1;
    if (g_state.engineOpen.exchange(1) != 0) return 1;  // another thread has just opened

    g_state.castleAndEP = 0;
    g_state.ponderMode = 0;
    g_state.consoleAllocated = 0;
    g_state.statusPolling = 0;
    g_state.analyzeMode = 0;
    g_state.analyzing = 0;
    g_state.statusRequestsLeft = 1;
    g_state.engineBusy = 0;

    if (!cecp::LaunchEngine()) {
        g_state.engineOpen.exchange(0);
        return 9;
    }
    g_state.infoBlock = infoBlock;
    cecp::StoreField<std::uint32_t>(infoBlock, cecp::info_block::kOpenParam, openParam);
    g_state.thinking = 0;
    g_state.lastLevelIncrement = -1;
    g_state.lastLevelSeconds = -1;
    g_state.lastLevelMoves = -1;
    char problem[kProblemSize] = "";
    if (!cecp::OpenDialect().greet(problem, sizeof problem)) {
        cecp::ShutdownEngine();
        g_state.infoBlock = nullptr;
        g_state.engineOpen.exchange(0);
        cecp::platform::ShowError(g_state.engineFileName, problem);
        return 9;
    }
    return 0;
}

std::int32_t CECP_CALL Eng2() {
    if (g_state.engineOpen == 0) return 0;
    cecp::ShutdownEngine();
    g_state.infoBlock = nullptr;
    return g_state.engineOpen.exchange(0);
}

void CECP_CALL Eng15() {
    if (g_state.engineOpen == 0) return;
    cecp::OpenDialect().reset();
}

}  // extern "C"
