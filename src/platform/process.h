// Starting, watching and ending a child process.
#pragma once

#include <cstddef>

#include "platform/handle.h"

namespace cecp::platform {

struct ProcessStart {
    const char* executable = "";        // full path
    const char* arguments = "";         // the text after the executable, as written
    const char* workingDirectory = "";  // the child's; this process keeps its own
    Handle standardInput = kNoPipe;     // the child's read end
    Handle standardOutput = kNoPipe;    // the child's write end, for output and error
};

// Starts the child one step below normal priority, in a process group of its
// own and without a console. Windows: CreateProcessA, suspended, then
// resumed. POSIX: fork and exec, the arguments split as Windows splits a
// command line, the executable first; a child that cannot run its executable
// (missing, not executable, no such directory) is a failure here, not a child
// that ends at once. Returns the process handle, or kNoProcess with the
// system's error code in *error.
Handle StartProcess(const ProcessStart& start, int* error);

// Waits up to milliseconds for the process to end; true when it has.
bool WaitProcess(Handle process, int milliseconds);

// Ends the process by force (it may already have ended).
void EndProcess(Handle process);

// Releases the handle. On POSIX an ended child is reaped here at the latest,
// so none stays a zombie; a running one is left running.
void CloseProcess(Handle process);

// Collects an ended child's exit status so that it does not stay a zombie,
// without releasing the handle; nothing when it still runs.
void ReapProcess(Handle process);

// Splits a command line into words as Windows programs do: blanks and tabs
// separate words; double quotes group blanks into a word and are removed;
// 2n backslashes before a quote give n backslashes and the quote groups,
// 2n+1 give n backslashes and a literal quote; other backslashes are kept.
// Writes each word NUL-terminated into out, one after another, and returns
// the number of words; returns -1 when out (of size bytes) is too small.
int SplitCommandLine(const char* line, char* out, std::size_t size);

}  // namespace cecp::platform
