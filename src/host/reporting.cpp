// Search progress: the info block's fields and the notifications to the host.
#include "host/adapter_state.h"
#include "host/exports.h"

extern "C" {

void CECP_CALL ShowNodes(std::int64_t) {}

void CECP_CALL ShowDepth(std::int32_t, std::int16_t) {}

void CECP_CALL ShowMove(cecp::MoveWord, std::int16_t, std::int16_t) {}

void CECP_CALL ShowMainline(const cecp::MoveWord*, std::int32_t, std::int16_t) {}

}  // extern "C"
