#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>

#include "platform/descriptor_posix.h"
#include "platform/pipe.h"

namespace cecp::platform {

int KeepDescriptor(int fd) {
    if (fd < 0) return -1;
    if (fd <= 2) {
        int moved = fcntl(fd, F_DUPFD_CLOEXEC, 3);
        close(fd);
        return moved;
    }
    int flags = fcntl(fd, F_GETFD);
    if (flags < 0 || fcntl(fd, F_SETFD, flags | FD_CLOEXEC) < 0) {
        close(fd);
        return -1;
    }
    return fd;
}

bool CreatePipeEnds(PipeEnds* out) {
    *out = PipeEnds{};
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) return false;
    int read = KeepDescriptor(fds[0]);
    int write = KeepDescriptor(fds[1]);
    if (read < 0 || write < 0) {
        int saved = errno;
        if (read >= 0) close(read);
        if (write >= 0) close(write);
        errno = saved;
        return false;
    }
    out->read = read;
    out->write = write;
    return true;
}

// The child's ends are put on its standard streams by the process start;
// here every end is close-on-exec alike. Only the module's own end of the
// input does not block: the child's end is a description of its own.
bool CreateInputPipe(PipeEnds* out) {
    if (!CreatePipeEnds(out)) return false;
    int flags = fcntl(static_cast<int>(out->write), F_GETFL);
    if (flags < 0 || fcntl(static_cast<int>(out->write), F_SETFL, flags | O_NONBLOCK) < 0) {
        int saved = errno;
        close(static_cast<int>(out->read));
        close(static_cast<int>(out->write));
        *out = PipeEnds{};
        errno = saved;
        return false;
    }
    return true;
}
bool CreateOutputPipe(PipeEnds* out) { return CreatePipeEnds(out); }

Handle DuplicatePipeEnd(Handle pipe) {
    int copy = fcntl(static_cast<int>(pipe), F_DUPFD_CLOEXEC, 3);
    return copy < 0 ? kNoPipe : copy;
}

namespace {

std::int64_t MonotonicMilliseconds() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<std::int64_t>(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

// Writes all bytes; a descriptor that does not block waits for room until
// the deadline (or for ever with none, milliseconds < 0).
WriteOutcome WriteAll(Handle pipe, const void* data, std::size_t size, int milliseconds) {
    // A pipe without reader raises SIGPIPE in the writing thread: block it
    // for the write and take back a signal that the write raised, so that
    // the host's own handling of SIGPIPE never sees the engine's death.
    sigset_t pipeSignal, previous, pending;
    sigemptyset(&pipeSignal);
    sigaddset(&pipeSignal, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &pipeSignal, &previous);
    sigpending(&pending);
    bool alreadyPending = sigismember(&pending, SIGPIPE) == 1;

    const std::int64_t deadline = MonotonicMilliseconds() + (milliseconds < 0 ? 0 : milliseconds);
    const char* bytes = static_cast<const char*>(data);
    WriteOutcome outcome = WriteOutcome::kWritten;
    while (size > 0) {
        ssize_t written = write(static_cast<int>(pipe), bytes, size);
        if (written < 0) {
            if (errno == EINTR) continue;
            if (errno == EAGAIN || errno == EWOULDBLOCK) {
                // Up to the pipe's atomic size a write goes in whole or not at
                // all, so a command is never left half written here.
                std::int64_t left = deadline - MonotonicMilliseconds();
                if (milliseconds >= 0 && left <= 0) {
                    outcome = WriteOutcome::kTimedOut;
                    break;
                }
                pollfd room{static_cast<int>(pipe), POLLOUT, 0};
                poll(&room, 1, milliseconds < 0 ? -1 : static_cast<int>(left));
                continue;
            }
            outcome = WriteOutcome::kFailed;
            break;
        }
        bytes += written;
        size -= static_cast<std::size_t>(written);
    }
    if (outcome == WriteOutcome::kFailed && errno == EPIPE && !alreadyPending) {
        int saved = errno;
        timespec now{};
        while (sigtimedwait(&pipeSignal, nullptr, &now) < 0 && errno == EINTR) {
        }
        errno = saved;
    }
    pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    return outcome;
}

}  // namespace

bool WritePipe(Handle pipe, const void* data, std::size_t size) {
    return WriteAll(pipe, data, size, -1) == WriteOutcome::kWritten;
}

WriteOutcome WritePipeWithin(Handle pipe, const void* data, std::size_t size, int milliseconds) {
    return WriteAll(pipe, data, size, milliseconds < 0 ? 0 : milliseconds);
}

namespace {

long ReadOnce(int fd, void* buffer, std::size_t size) {
    for (;;) {
        ssize_t got = read(fd, buffer, size);
        if (got > 0) return static_cast<long>(got);
        if (got == 0) return 0;
        if (errno != EINTR) return -1;
    }
}

}  // namespace

long ReadPipe(Handle pipe, void* buffer, std::size_t size, Handle process) {
    int fd = static_cast<int>(pipe);
    if (process == kNoProcess) return ReadOnce(fd, buffer, size);
    // The process handle is a pidfd: readable once the process has ended.
    pollfd watch[2] = {{fd, POLLIN, 0}, {static_cast<int>(process), POLLIN, 0}};
    for (;;) {
        if (poll(watch, 2, -1) < 0) {
            if (errno == EINTR) continue;
            return -1;
        }
        // What the engine wrote before it ended is in the pipe by now: the
        // pipe comes first, so no last line is lost.
        if (watch[0].revents != 0) return ReadOnce(fd, buffer, size);
        if (watch[1].revents != 0) {
            pollfd rest = {fd, POLLIN, 0};
            while (poll(&rest, 1, 0) < 0 && errno == EINTR) {
            }
            return rest.revents != 0 ? ReadOnce(fd, buffer, size) : 0;
        }
    }
}

void ClosePipe(Handle pipe) {
    if (pipe != kNoPipe) close(static_cast<int>(pipe));
}

}  // namespace cecp::platform
