#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/syscall.h>
#include <sys/resource.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>

#include "platform/descriptor_posix.h"
#include "platform/process.h"

#ifndef P_PIDFD
#define P_PIDFD 3
#endif

namespace cecp::platform {
namespace {

// Through the system calls themselves: glibc's own declarations of these are
// not usable from C++ in every version.
int OpenPidfd(pid_t pid) { return static_cast<int>(syscall(SYS_pidfd_open, pid, 0)); }
void SendSignal(int pidfd, int signal) { syscall(SYS_pidfd_send_signal, pidfd, signal, nullptr, 0); }

constexpr std::size_t kArgumentBytes = 1024;
constexpr int kMaxArguments = 256;

// In the child between fork and exec only async-signal-safe calls are made:
// the host may have other threads whose locks the child inherits held.
[[noreturn]] void FailInChild(int reportPipe) {
    int error = errno;
    ssize_t ignored = write(reportPipe, &error, sizeof error);
    (void)ignored;
    _exit(127);
}

[[noreturn]] void RunChild(const ProcessStart& start, char* const* argv, int reportPipe) {
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);
    // A group of its own, like CREATE_NEW_PROCESS_GROUP: the terminal's
    // interrupt meant for the host does not reach the engine.
    setpgid(0, 0);
    // One step of niceness below the thread that started it.
    setpriority(PRIO_PROCESS, 0, getpriority(PRIO_PROCESS, 0) + 1);
    if (start.workingDirectory[0] != '\0' && chdir(start.workingDirectory) != 0) FailInChild(reportPipe);
    if (dup2(static_cast<int>(start.standardInput), 0) < 0 || dup2(static_cast<int>(start.standardOutput), 1) < 0 ||
        dup2(static_cast<int>(start.standardOutput), 2) < 0) {
        FailInChild(reportPipe);
    }
    execv(start.executable, argv);
    FailInChild(reportPipe);
}

long ReadAll(int fd, void* buffer, std::size_t size) {
    for (;;) {
        ssize_t got = read(fd, buffer, size);
        if (got >= 0 || errno != EINTR) return static_cast<long>(got);
    }
}

}  // namespace

Handle StartProcess(const ProcessStart& start, int* error) {
    *error = 0;
    // Everything the child needs is built before the fork.
    char words[kArgumentBytes];
    int count = SplitCommandLine(start.arguments, words, sizeof words);
    if (count < 0 || count + 2 > kMaxArguments) {
        *error = E2BIG;
        return kNoProcess;
    }
    char* argv[kMaxArguments];
    argv[0] = const_cast<char*>(start.executable);
    char* word = words;
    for (int i = 0; i < count; ++i) {
        argv[i + 1] = word;
        while (*word != '\0') ++word;
        ++word;
    }
    argv[count + 1] = nullptr;

    // The child reports a failed exec through this pipe; a successful exec
    // closes it (close-on-exec) without a word.
    int report[2];
    if (pipe2(report, O_CLOEXEC) != 0) {
        *error = errno;
        return kNoProcess;
    }
    report[0] = KeepDescriptor(report[0]);
    report[1] = KeepDescriptor(report[1]);
    if (report[0] < 0 || report[1] < 0) {
        *error = errno;
        if (report[0] >= 0) close(report[0]);
        if (report[1] >= 0) close(report[1]);
        return kNoProcess;
    }

    pid_t pid = fork();
    if (pid == 0) RunChild(start, argv, report[1]);
    int forkError = errno;
    close(report[1]);
    if (pid < 0) {
        close(report[0]);
        *error = forkError;
        return kNoProcess;
    }
    int childError = 0;
    long got = ReadAll(report[0], &childError, sizeof childError);
    close(report[0]);
    if (got == static_cast<long>(sizeof childError)) {
        while (waitpid(pid, nullptr, 0) < 0 && errno == EINTR) {
        }
        *error = childError != 0 ? childError : ENOEXEC;
        return kNoProcess;
    }
    int pidfd = KeepDescriptor(OpenPidfd(pid));
    if (pidfd < 0) {
        *error = errno;
        kill(pid, SIGKILL);
        while (waitpid(pid, nullptr, 0) < 0 && errno == EINTR) {
        }
        return kNoProcess;
    }
    return pidfd;
}

bool WaitProcess(Handle process, int milliseconds) {
    if (process == kNoProcess) return true;
    timespec begin{};
    clock_gettime(CLOCK_MONOTONIC, &begin);
    for (;;) {
        timespec now{};
        clock_gettime(CLOCK_MONOTONIC, &now);
        long elapsed = (now.tv_sec - begin.tv_sec) * 1000 + (now.tv_nsec - begin.tv_nsec) / 1000000;
        int left = elapsed >= milliseconds ? 0 : static_cast<int>(milliseconds - elapsed);
        pollfd watch = {static_cast<int>(process), POLLIN, 0};
        int ready = poll(&watch, 1, left);
        if (ready > 0) return true;
        if (ready == 0) return false;
        if (errno != EINTR) return true;  // nothing left to watch
    }
}

void EndProcess(Handle process) {
    if (process != kNoProcess) SendSignal(static_cast<int>(process), SIGKILL);
}

void ReapProcess(Handle process) {
    if (process == kNoProcess) return;
    siginfo_t info{};
    // The pidfd names this child alone: a child already reaped (by us or by
    // a host that reaps every child) gives ECHILD, never another process.
    while (waitid(static_cast<idtype_t>(P_PIDFD), static_cast<id_t>(process), &info, WEXITED | WNOHANG) < 0 &&
           errno == EINTR) {
    }
}

void CloseProcess(Handle process) {
    if (process == kNoProcess) return;
    ReapProcess(process);
    close(static_cast<int>(process));
}

}  // namespace cecp::platform
