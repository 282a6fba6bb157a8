#include "engine/transport.h"

#include <atomic>
#include <cstring>

#include "engine/echo.h"
#include "engine/engine_process.h"
#include "engine/handle_use.h"
#include "platform/log_file.h"
#include "platform/pipe.h"
#include "platform/process.h"
#include "platform/thread.h"

namespace cecp {
namespace {

constexpr int kEndOfStreamPauseMilliseconds = 200;
constexpr int kCommandWaitMilliseconds = 1000;

std::mutex g_commandSequenceMutex;
// Set on the reader thread, whose commands answer the engine's own lines.
thread_local bool t_onReaderThread = false;
std::atomic<std::uint64_t> g_commandsSent{0};
// Taken by the reader thread as each read comes back.
thread_local std::uint64_t t_commandsBeforeLine = UINT64_MAX;
std::atomic<CommandWriter> g_commandWriter{nullptr};

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// Echoes and hands on text[0, length) as one line. The byte at text[length]
// (a line feed, the NUL slot at the buffer's end, or a carriage return held
// back from a piece) serves as the line's end meanwhile and is put back.
void HandLine(ReaderContext* context, char* text, std::int32_t length) {
    if (context->cutPending != 0) {
        context->cutPending = 0;
        // The long line ended exactly where its last piece did.
        if (length == 0) return;
    }
    char saved = text[length];
    if (g_engine.consoleBuffer.load() != platform::kNoFile || g_engine.logFile.load() != platform::kNoFile) {
        text[length] = '\n';
        char* begin = text;
        while (IsBlank(*begin)) ++begin;
        EchoLine(begin, static_cast<std::size_t>(text + length + 1 - begin));
    }
    text[length] = '\0';
    if (context->handLine != nullptr) context->handLine(text);
    text[length] = saved;
}

}  // namespace

CommandSequence::CommandSequence() : lock_(g_commandSequenceMutex) {}
CommandSequence::~CommandSequence() = default;

void SetCommandWriter(CommandWriter writer) { g_commandWriter = writer; }

std::uint64_t CommandsSent() { return g_commandsSent; }

std::uint64_t CommandsSentBeforeLine() { return t_commandsBeforeLine; }

void SendCommand(const char* command) {
    HandleUse use;
    platform::Handle input = g_engine.stdinWrite.load();
    CommandWriter writer = g_commandWriter.load();
    if ((input == platform::kNoPipe && writer == nullptr) || g_engine.exited != 0) return;
    ++g_commandsSent;
    std::size_t length = std::strlen(command);
    // The log has the command before the engine can answer it: written after
    // the pipe, an answer read meanwhile stood above its command.
    platform::Handle log = g_engine.logFile.load();
    if (log != platform::kNoFile) {
        // Mark and command in one write where they fit, so that a line of the
        // reader's never falls between them.
        char entry[512];
        if (sizeof kCommandMark - 1 + length <= sizeof entry) {
            std::memcpy(entry, kCommandMark, sizeof kCommandMark - 1);
            std::memcpy(entry + sizeof kCommandMark - 1, command, length);
            platform::WriteBytes(log, entry, sizeof kCommandMark - 1 + length);
        } else {
            platform::WriteBytes(log, kCommandMark, sizeof kCommandMark - 1);
            platform::WriteBytes(log, command, length);
        }
    }
    if (writer != nullptr) {
        writer(command, length);
        return;
    }
    // An engine that has stopped reading lets its input fill up: a command
    // then waits a while for room and is dropped, and until the engine reads
    // again later commands are dropped at once, so that no host thread (nor
    // the shutdown) is held by it.
    bool stalled = g_engine.inputStalled != 0;
    platform::WriteOutcome outcome =
        platform::WritePipeWithin(input, command, length, stalled ? 0 : kCommandWaitMilliseconds);
    g_engine.inputStalled = outcome == platform::WriteOutcome::kTimedOut ? 1 : 0;
    // A host's command lets the engine read it before the host goes on; the
    // reader's answers (protocol 2's to every feature announced) need not,
    // and giving up the time slice for each would slow the reading of an
    // engine that announces them by the million to a crawl. A command that
    // was dropped gives the engine nothing to read.
    if (!t_onReaderThread && outcome == platform::WriteOutcome::kWritten) platform::YieldTimeSlice();
}

void FoldLineEnds(ReaderContext* context, std::int32_t received) {
    char* buffer = context->readBuffer;
    int previous = context->lastReceived;
    std::int32_t kept = context->writePos;
    const std::int32_t end = context->writePos + received;
    // A byte folds into the line feed before it when the two are a line
    // feed and a carriage return, in either order.
    const auto keep = [&](int byte) {
        if ((byte == '\n' && previous == '\r') || (byte == '\r' && previous == '\n')) {
            if (kept > 0) buffer[kept - 1] = '\n';
        } else {
            buffer[kept++] = static_cast<char>(byte);
        }
        previous = byte;
    };
    for (std::int32_t i = context->writePos; i < end;) {
        // Up to the next carriage return only the first byte can fold; the
        // rest moves up as it stands.
        const void* carriage = std::memchr(buffer + i, '\r', static_cast<std::size_t>(end - i));
        const std::int32_t run =
            carriage != nullptr ? static_cast<std::int32_t>(static_cast<const char*>(carriage) - buffer) : end;
        keep(static_cast<unsigned char>(buffer[i++]));
        if (i >= run) continue;
        previous = static_cast<unsigned char>(buffer[run - 1]);
        std::memmove(buffer + kept, buffer + i, static_cast<std::size_t>(run - i));
        kept += run - i;
        i = run;
    }
    context->lastReceived = previous;
    buffer[kept] = '\0';
    context->writePos = kept;
}

void DispatchLines(ReaderContext* context) {
    char* buffer = context->readBuffer;
    std::int32_t end = context->writePos;
    std::int32_t start = 0;
    for (std::int32_t i = 0; i < end; ++i) {
        if (buffer[i] != '\n') continue;
        HandLine(context, buffer + start, i - start);
        start = i + 1;
    }
    std::int32_t rest = end - start;
    if (start > 0) std::memmove(buffer, buffer + start, static_cast<std::size_t>(rest));
    context->writePos = rest;
    buffer[rest] = '\0';

    if (rest == kReadBufferSize) {
        // No line end in the whole buffer: the line goes on in pieces. A
        // carriage return at the very end may be half of a line end that the
        // next read completes, so it stays for the folding to see.
        std::int32_t piece = buffer[rest - 1] == '\r' ? rest - 1 : rest;
        HandLine(context, buffer, piece);
        std::memmove(buffer, buffer + piece, static_cast<std::size_t>(rest - piece));
        context->writePos = rest - piece;
        buffer[context->writePos] = '\0';
        context->cutPending = 1;
    }
    if (context->readCount == 0 && context->writePos > 0) {
        HandLine(context, buffer, context->writePos);
        context->writePos = 0;
        buffer[0] = '\0';
    }
}

void ReaderThread(void* argument) {
    auto* context = static_cast<ReaderContext*>(argument);
    g_engine.readerRunning = 1;
    t_onReaderThread = true;
    platform::LowerThreadPriority();
    while (context->keepReading != 0) {
        long got = platform::ReadPipe(context->pipeRead, context->readBuffer + context->writePos,
                                      static_cast<std::size_t>(kReadBufferSize - context->writePos),
                                      context->process);
        t_commandsBeforeLine = g_commandsSent;
        // Once the shutdown has begun, what this read brought is not handed on.
        if (context->keepReading == 0) break;
        if (got > 0) {
            FoldLineEnds(context, static_cast<std::int32_t>(got));
            context->readCount = static_cast<std::int32_t>(got);
        } else {
            context->readCount = got == 0 ? 0 : -1;
        }
        DispatchLines(context);
        if (context->readCount == 0) {
            // The engine is gone: no move will come, and nothing more is
            // written to it. An ended child is reaped at once.
            g_engine.exited = 1;
            if (platform::WaitProcess(context->process, 0)) platform::ReapProcess(context->process);
            if (context->handEnd != nullptr) context->handEnd();
            for (int waited = 0; waited < kEndOfStreamPauseMilliseconds && context->keepReading != 0; waited += 10) {
                platform::SleepMilliseconds(10);
            }
            break;
        }
        // A failing read is tried again, but never in a busy loop.
        if (context->readCount < 0) platform::SleepMilliseconds(1);
    }
    platform::ClosePipe(context->pipeRead);
    context->pipeRead = platform::kNoPipe;
    g_engine.readerRunning = 0;
}

}  // namespace cecp
