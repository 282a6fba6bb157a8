// The one module-wide record: flags, handles, texts, buffers and caches.
//
// It lives in static storage from load to unload and is constant-initialised,
// so every field holds its value at load before any code of the module runs.
// Flags shared between the host's threads and the reader thread are 32-bit
// atomics, each written and read whole; the host's records are reached only
// through the addresses the host gave.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>

#include "chess/move_text.h"
#include "chess/move_word.h"
#include "chess/position.h"
#include "engine/engine_config.h"
#include "engine/reader_context.h"
#include "platform/handle.h"

namespace cecp {

struct Dialect;

using Flag = std::atomic<std::int32_t>;

constexpr int kPathBufferSize = 512;      // every path: at most 511 characters
constexpr int kNameBufferSize = 128;      // file, author and display names
constexpr int kPvCacheSize = 128;

// The held-back ponder move in coordinate text (four characters and maybe a
// promotion letter), packed into one atomic word: Eng3 and Eng10 may race on
// another thread, and exactly one of them takes and sends it.
class PonderMove {
public:
    static constexpr std::size_t kTextSize = 8;  // at most 7 characters and a NUL

    void Set(const char* text) {
        std::uint64_t word = 0;
        for (std::size_t i = 0; i + 1 < kTextSize && text[i] != '\0'; ++i) {
            word |= static_cast<std::uint64_t>(static_cast<unsigned char>(text[i])) << (8 * i);
        }
        packed.store(word);
    }
    void Clear() { packed.store(0); }
    bool Empty() const { return packed.load() == 0; }
    // Empties the move; true (with its text in out) when there was one.
    bool Take(char (&out)[kTextSize]) { return Unpack(packed.exchange(0), out); }
    void Peek(char (&out)[kTextSize]) const { Unpack(packed.load(), out); }

private:
    static bool Unpack(std::uint64_t word, char (&out)[kTextSize]) {
        for (std::size_t i = 0; i < kTextSize; ++i) out[i] = static_cast<char>((word >> (8 * i)) & 0xff);
        out[kTextSize - 1] = '\0';
        return word != 0;
    }
    std::atomic<std::uint64_t> packed{0};
};

struct AdapterState {
    // Host link and lifecycle.
    std::atomic<void*> infoBlock{nullptr};
    Flag engineOpen{0};
    Flag thinking{0};

    // Search state.
    Flag stopRequested{0};
    Flag awaitingMove{0};
    Flag pvReported{0};
    Flag reportedDepth{0};
    Flag analyzing{0};
    Flag statusPolling{0};
    Flag statusRequestsLeft{1};
    // When Eng3 last asked the engine to move now or stop (steady
    // milliseconds, 0 when it has not in this search), and how long the
    // search then waits for its answer before it gives up on the engine.
    std::atomic<std::int64_t> moveNowSentAt{0};
    Flag moveNowPatience{0};
    // The engine may still be busy with a search whose answer the module no
    // longer waits for (it refused to move now, or never answered): what it
    // still says of that search belongs to no search.
    Flag engineBusy{0};
    // The engine refused the command that started this search (an analysis
    // it does not know): nothing runs in it, and a stop given up on leaves
    // it idle, not busy.
    Flag searchRefused{0};
    PonderMove ponderMove;
    // The host confirmed the pondered reply while the search was still being
    // set up, before its ponder move was held back: it is sent as soon as the
    // engine has been told to ponder.
    Flag ponderHitEarly{0};
    Flag engineSideWhite{1};
    std::int32_t lastLevelIncrement = -1;
    std::int32_t lastLevelSeconds = -1;
    std::int32_t lastLevelMoves = -1;

    // The main line last shown to the host in this search; it stands until
    // another line is shown. While lastPvRepeatable is set (a deeper
    // iteration began, or a line could not be read), the next line is shown
    // even when it repeats this one.
    MoveWord lastPv[kPvCacheSize] = {};
    Flag lastPvLength{0};
    Flag lastPvRepeatable{0};
    Flag lastPvScore{0};
    Flag lastPvTime{0};

    // Configuration and installation.
    // The open engine's dialect (null: none open, the classic conversation).
    std::atomic<const Dialect*> dialect{nullptr};
    // The settings' engine options, as EngineConfig holds them.
    char engineOptions[kOptionsTextSize] = {};
    Flag analyzeMode{0};
    Flag ponderMode{0};
    Flag castleAndEP{0};
    Flag evaluationWhite{0};
    char engineDirectory[kPathBufferSize] = {};
    char engineFileName[kNameBufferSize] = {};
    char authorName[kNameBufferSize] = {};
    char engineName[kNameBufferSize] = {};
    // Why the module's own path cannot serve for an engine (empty when it can).
    char installProblem[kPathBufferSize] = {};

    // Engine process and transport.
    platform::Handle engineProcess = platform::kNoProcess;
    // Read by SendCommand on any host thread while the shutdown may take it.
    std::atomic<platform::Handle> engineStdinWrite{platform::kNoPipe};
    platform::Handle engineStdoutWrite = platform::kNoPipe;
    ReaderContext reader;
    platform::Handle readerThread = 0;  // joined by the shutdown
    Flag readerRunning{0};
    // The engine process has ended (or could not be watched any more): no
    // move will come, and nothing more is written to it.
    Flag engineExited{0};
    // The engine's input was full the last time a command waited for room.
    Flag engineInputStalled{0};
    Flag consoleAllocated{0};
    std::atomic<platform::Handle> consoleBuffer{platform::kNoFile};
    std::atomic<platform::Handle> logFile{platform::kNoFile};
    // Writers to the engine's input, the console or the log that are under
    // way: the shutdown closes those handles only once none is.
    Flag handleUsers{0};

    // Chess rules.
    Position enginePosition;
    MoveTextRecogniser moveTextCache;
};

extern AdapterState g_state;

// The engine's position is rebuilt by each search request on a host thread
// while the reader thread may still be reading engine output against it:
// both sides go through these two calls.
Position EnginePositionCopy();
void SetEnginePosition(const Position& position);

}  // namespace cecp
