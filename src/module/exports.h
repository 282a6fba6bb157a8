// The functions the host calls, exported by name with the C calling
// convention. Each takes 32-bit argument slots but for ShowNodes' 64-bit node
// count, which takes two. Eng13 and Eng14 do not exist.
#pragma once

#include <cstdint>

#include "chess/move_word.h"
#include "host/info_block.h"

#if defined(_WIN32)
#define CECP_EXPORT  // the module's .def file names the exports
#else
#define CECP_EXPORT __attribute__((visibility("default")))
#endif

extern "C" {
// Opens the engine: 0 opened, 1 refused, 9 the engine failed to start.
CECP_EXPORT std::int32_t CECP_CALL Eng1(void* infoBlock, std::uint32_t arg2, std::uint32_t arg3,
                                        std::uint32_t arg4, std::uint32_t arg5,
                                        std::uint32_t openParam);
// Closes the engine: 1 an engine was closed, 0 none was open.
CECP_EXPORT std::int32_t CECP_CALL Eng2();
// Stops the search, or makes the engine move now.
CECP_EXPORT void CECP_CALL Eng3();
// 1 while a search request runs.
CECP_EXPORT std::int32_t CECP_CALL Eng4();
// 1 while an engine is open.
CECP_EXPORT std::int32_t CECP_CALL Eng5();
CECP_EXPORT const char* CECP_CALL Eng6();  // author
CECP_EXPORT const char* CECP_CALL Eng7();  // display name
CECP_EXPORT std::int32_t CECP_CALL Eng8();
// Runs one search request; returns when it is over.
CECP_EXPORT void CECP_CALL Eng9(void* searchRequest);
// The expected reply, on which the engine ponders, has been played.
CECP_EXPORT void CECP_CALL Eng10();
CECP_EXPORT void CECP_CALL Eng11();
CECP_EXPORT std::uint32_t CECP_CALL Eng12();
// Sends "reset" to an open engine.
CECP_EXPORT void CECP_CALL Eng15();
CECP_EXPORT void CECP_CALL ShowNodes(std::int64_t nodes);
CECP_EXPORT void CECP_CALL ShowDepth(std::int32_t depth, std::int16_t depthExtra);
CECP_EXPORT void CECP_CALL ShowMove(cecp::MoveWord move, std::int16_t number, std::int16_t count);
CECP_EXPORT void CECP_CALL ShowMainline(const cecp::MoveWord* moves, std::int32_t count,
                                        std::int16_t score);
}
