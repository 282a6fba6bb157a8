// Opening and closing the engine.
#include "engine/engine_process.h"
#include "engine/transport.h"
#include "host/adapter_state.h"
#include "host/exports.h"

using cecp::g_state;

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

    if (!cecp::LaunchEngine()) {
        g_state.engineOpen.exchange(0);
        return 9;
    }
    g_state.infoBlock = infoBlock;
    cecp::StoreField<std::uint32_t>(infoBlock, cecp::info_block::kOpenParam, openParam);
    g_state.thinking = 0;
    cecp::SendCommand("kelto\n");
    cecp::SendCommand("xboard\n");
    g_state.lastLevelIncrement = -1;
    g_state.lastLevelSeconds = -1;
    g_state.lastLevelMoves = -1;
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
    cecp::CommandSequence sequence;
    cecp::SendCommand("reset\n");
}

}  // extern "C"
