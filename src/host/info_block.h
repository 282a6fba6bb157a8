// The host's progress record and the notifications that announce its changes.
//
// The module writes only the fields below and reads only the two host words
// that travel with every notification; every other byte is the host's.
#pragma once

#include <cstddef>
#include <cstdint>

#include "chess/move_word.h"
#include "host/host_record.h"

namespace cecp {

namespace info_block {
constexpr std::size_t kNotifyParam2 = 8;         // u32, host word, 3rd argument of Func3
constexpr std::size_t kNotifyParam1 = 16;        // u32, host word, 2nd argument of Func3
constexpr std::size_t kInfoKind = 20;            // u32, 2 before every main-line notification
constexpr std::size_t kScore = 24;               // i16
constexpr std::size_t kMainLineLength = 26;      // i16, at most kMainLineCapacity
constexpr std::size_t kMainLine = 28;            // kMainLineCapacity move words
constexpr std::size_t kMainLineCapacity = 32;
constexpr std::size_t kMainLineTime = 92;        // i32
constexpr std::size_t kDepth = 96;               // i16, low half of the depth reported
constexpr std::size_t kDepthExtra = 98;          // i16
constexpr std::size_t kCurrentMoveNumber = 100;  // i16
constexpr std::size_t kRootMoveCount = 102;      // i16
constexpr std::size_t kCurrentMove = 104;        // move word
constexpr std::size_t kNodesAux = 106;           // u16, always 0
constexpr std::size_t kOpenParam = 108;          // u32, sixth argument of Eng1
constexpr std::size_t kNodes = 112;              // i64, low half first
constexpr std::size_t kMinimumSize = 120;

static_assert(kMainLine + kMainLineCapacity * sizeof(MoveWord) == kMainLineTime);
static_assert(kMainLineLength + 2 == kMainLine && kScore + 2 == kMainLineLength);
static_assert(kMainLineTime + 4 == kDepth && kDepth + 2 == kDepthExtra);
static_assert(kDepthExtra + 2 == kCurrentMoveNumber && kCurrentMoveNumber + 2 == kRootMoveCount);
static_assert(kRootMoveCount + 2 == kCurrentMove && kCurrentMove + 2 == kNodesAux);
static_assert(kNodesAux + 2 == kOpenParam && kOpenParam + 4 == kNodes);
static_assert(kNodes + 8 == kMinimumSize);
}  // namespace info_block

enum Notification : std::uint32_t {
    kNotifyMainline = 329,
    kNotifyNewSearch = 330,
    kNotifyCurrentMove = 331,
    kNotifyDepth = 332,
    kNotifyNodes = 333,
};

// Calls the host's Func3 with code, the record's words at bytes 16 and 8 as
// they are at this moment, and the record's address.
void SendNotification(void* infoBlock, Notification code);

}  // namespace cecp

#ifdef _WIN32
#define CECP_CALL __cdecl
#define CECP_IMPORTED
#else
#define CECP_CALL
#define CECP_IMPORTED __attribute__((visibility("default")))
#endif

// The host library's notification entry (Kalvo32.dll on Windows; on Linux the
// host executable exports it). Its result is never used.
extern "C" CECP_IMPORTED std::int32_t CECP_CALL Func3(std::uint32_t code, std::uint32_t param1,
                                        std::uint32_t param2, void* infoBlock);
