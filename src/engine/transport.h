// Commands to the engine and its output, line by line.
#pragma once

#include <cstddef>
#include <cstdint>
#include <mutex>

#include "engine/reader_context.h"

namespace cecp {

// Writes one command (NUL-terminated, ending in a line feed) to the log after
// "-> ", then to the engine in one write. Nothing is written without an
// engine, nor to one that has ended; a command that an engine which has
// stopped reading has no room for is dropped (and stays in the log).
void SendCommand(const char* command);

// Commands sent so far, each counted before it is written (a dropped one
// too): a line read after a command's count was taken may answer it.
std::uint64_t CommandsSent();
// How many commands had been counted when the read that completed the line
// now handed on came back: the line answers none counted after that. A line
// handed on by other means than the reader thread counts as read after every
// command.
std::uint64_t CommandsSentBeforeLine();

// Takes the commands in place of the engine's input: for the fuzz targets,
// which check what the module says without a pipe, whose writes and pauses
// cost far more than the commands themselves. The log still receives each
// one. Null, as at load, sends them to the engine.
using CommandWriter = void (*)(const char* command, std::size_t length);
void SetCommandWriter(CommandWriter writer);

// Held by a host thread while it sends commands that must reach the engine
// with nothing between them: a search's clock, position and start. The host
// may confirm the pondered reply, stop, or reset from another thread at any
// moment, also while a search is still being set up; those commands take the
// same lock and so follow the whole sequence, never fall into the middle of
// its moves (where the engine would play them as part of the game).
class CommandSequence {
public:
    CommandSequence();
    ~CommandSequence();
    CommandSequence(const CommandSequence&) = delete;
    CommandSequence& operator=(const CommandSequence&) = delete;

private:
    std::unique_lock<std::mutex> lock_;
};

// The reader thread's body; its argument is the ReaderContext. Reads the
// engine's output until the shutdown clears keepReading or the stream ends
// (the engine has ended), then closes pipeRead.
void ReaderThread(void* context);

// Folds the line ends of the received bytes that a read has put at writePos:
// alternating runs of carriage returns and line feeds become one line feed,
// judged by each byte as received, also where a run is split between two
// reads; a lone carriage return stays.
void FoldLineEnds(ReaderContext* context, std::int32_t received);

// Hands on every complete line of the buffer (echoed to console and log
// without its leading blanks and tabs), keeps the unfinished one, hands on a
// line that fills the whole buffer in a piece, and at the end of the stream
// the unfinished line as the last.
void DispatchLines(ReaderContext* context);

}  // namespace cecp
