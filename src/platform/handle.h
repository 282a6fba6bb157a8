// A platform handle as the adapter's state record holds it.
//
// One integer wide enough for a Win32 HANDLE and for a POSIX descriptor, so
// that the state record is the same on both platforms. Pipes and the process
// are absent when 0; the console and the log file are absent when -1 (the
// Win32 invalid-handle value). The POSIX layer never hands out descriptors
// 0 to 2, so no real pipe is ever mistaken for an absent one.
#pragma once

#include <cstdint>

namespace cecp::platform {

using Handle = std::intptr_t;

constexpr Handle kNoPipe = 0;
constexpr Handle kNoProcess = 0;
constexpr Handle kNoFile = -1;

}  // namespace cecp::platform
