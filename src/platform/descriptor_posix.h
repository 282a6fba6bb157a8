// POSIX descriptors as the platform layer hands them out: close-on-exec and
// never 0 to 2, so that 0 stays "no pipe" and a child's standard streams are
// never clobbered.
#pragma once

namespace cecp::platform {

// Moves fd above 2 (closing the original) when it is one of 0 to 2, and sets
// close-on-exec. Returns the descriptor to use, or -1 (fd closed) on failure.
int KeepDescriptor(int fd);

}  // namespace cecp::platform
