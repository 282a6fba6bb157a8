// The search: one request from its clock to the engine's move.
#include "host/adapter_state.h"
#include "host/exports.h"

extern "C" {

void CECP_CALL Eng9(void*) {}

void CECP_CALL Eng3() {}

void CECP_CALL Eng10() {}

}  // extern "C"
