// The clock and position commands of arbitrary search requests, as the host
// could hand them (any board bytes, counts, move words and clock fields),
// written to a real pipe and read back; then the legal-move test on the
// engine's position that results.
//
// What must hold: the record is read only within bytes 28 to 1143 (it is
// allocated at its exact size, the host's own bytes poisoned); every command
// is one printable line of the protocol's forms, the first "new"; after the
// last "force" come exactly the moves sent (all but a held-back ponder
// move), each in coordinate text; the ponder move held back is in coordinate
// text too; the side to move in the engine is 0 or 1.
//
// Input: a flags byte, then the record (missing bytes are zero). Flags: 1
// PonderMode, 2 CastleAndEP, 4 AnalyzeMode, 8 the level cache of the
// previous input stays (otherwise it is fresh, as after an open), 16 the
// same request twice in a row.
#include <fcntl.h>
#include <sanitizer/asan_interface.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "chess/move_list.h"
#include "host/adapter_state.h"
#include "host/info_block.h"
#include "platform/pipe.h"
#include "protocol/cecp/commands.h"
#include "protocol/search_request.h"

extern "C" std::int32_t CECP_CALL Func3(std::uint32_t, std::uint32_t, std::uint32_t, void*) { std::abort(); }

namespace {

namespace sr = cecp::search_request;

cecp::platform::PipeEnds& Pipe() {
    static cecp::platform::PipeEnds pipe = [] {
        cecp::platform::PipeEnds made;
        if (!cecp::platform::CreatePipeEnds(&made)) std::abort();
        int fd = static_cast<int>(made.read);
        if (fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK) != 0) std::abort();
        return made;
    }();
    return pipe;
}

// Everything written to the pipe since the last call.
std::string Sent() {
    std::string all;
    char buffer[65536];
    for (;;) {
        ssize_t n = read(static_cast<int>(Pipe().read), buffer, sizeof buffer);
        if (n <= 0) break;
        all.append(buffer, static_cast<std::size_t>(n));
    }
    return all;
}

bool IsFile(char c) { return c >= 'a' && c <= 'h'; }
bool IsRank(char c) { return c >= '1' && c <= '8'; }
bool IsSquareText(const std::string& s, std::size_t at) { return IsFile(s[at]) && IsRank(s[at + 1]); }

bool IsMoveText(const std::string& s) {
    if (s.size() != 4 && s.size() != 5) return false;
    if (!IsSquareText(s, 0) || !IsSquareText(s, 2)) return false;
    return s.size() == 4 || std::strchr("qrbn", s[4]) != nullptr;
}

// An optional minus sign and at least one digit, from at; at is moved on.
bool Number(const std::string& s, std::size_t* at) {
    if (*at < s.size() && s[*at] == '-') ++*at;
    std::size_t digits = *at;
    while (*at < s.size() && s[*at] >= '0' && s[*at] <= '9') ++*at;
    return *at > digits;
}

bool Literal(const std::string& s, std::size_t* at, const char* text) {
    std::size_t n = std::strlen(text);
    if (s.compare(*at, n, text) != 0) return false;
    *at += n;
    return true;
}

bool IsClockCommand(const std::string& s) {
    std::size_t at = 0;
    if (Literal(s, &at, "time ")) return Number(s, &at) && at == s.size();
    if (!Literal(s, &at, "level ")) return false;
    return Number(s, &at) && Literal(s, &at, " ") && Number(s, &at) && Literal(s, &at, ":") && Number(s, &at) &&
           Literal(s, &at, " ") && Number(s, &at) && at == s.size();
}

bool IsEditCommand(const std::string& s) {
    static const char* const kFixed[] = {"edit", "#", "c", ".", "castle +w00", "castle -w00", "castle +w000",
                                         "castle -w000", "castle +b00", "castle -b00", "castle +b000", "castle -b000"};
    for (const char* fixed : kFixed)
        if (s == fixed) return true;
    // A placement: the piece letter (a blank for codes of no piece type) and its square.
    if (s.size() == 3 && std::strchr(" PNBRQK", s[0]) != nullptr && IsSquareText(s, 1)) return true;
    return s.size() == 5 && s.compare(0, 3, "ep ") == 0 && IsSquareText(s, 3);
}

// count moves in the request, ponder: the last one is held back.
void CheckCommands(const std::string& sent, int count, bool ponder) {
    if (sent.empty() || sent.back() != '\n') std::abort();
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t end; (end = sent.find('\n', start)) != std::string::npos; start = end + 1) {
        lines.push_back(sent.substr(start, end - start));
    }
    if (lines.front() != "new") std::abort();
    std::size_t hard = lines.size();
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const std::string& line = lines[i];
        for (char c : line)
            if (c < 0x20 || c > 0x7e) std::abort();
        if (line == "hard") {
            if (hard != lines.size()) std::abort();  // only once, after the position
            hard = i;
        }
        if (!(line == "new" || line == "hard" || line == "easy" || line == "force" || IsClockCommand(line) ||
              IsEditCommand(line) || IsMoveText(line))) {
            std::abort();
        }
    }
    // After the position: "hard", "easy" unless pondering, then the moves in
    // force mode, all but a held-back ponder move.
    std::size_t at = hard + 1;
    if (hard == lines.size()) std::abort();
    if (!ponder && (at == lines.size() || lines[at++] != "easy")) std::abort();
    if (count > 0 && (at == lines.size() || lines[at++] != "force")) std::abort();
    const std::size_t movesSent = static_cast<std::size_t>(ponder ? count - 1 : count);
    if (lines.size() - at != movesSent) std::abort();
    for (; at < lines.size(); ++at)
        if (!IsMoveText(lines[at])) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    using cecp::g_state;
    const std::uint8_t flags = data[0];

    // The record at its exact size; the bytes the host keeps to itself are
    // poisoned, so that reading them is caught.
    auto* record = new std::uint8_t[sr::kEnd]();
    std::memcpy(record, data + 1, size - 1 < sr::kEnd ? size - 1 : sr::kEnd);
    ASAN_POISON_MEMORY_REGION(record, sr::kBoard);
    ASAN_POISON_MEMORY_REGION(record + sr::kMovesPlayed + 2, 2);

    g_state.engineStdinWrite = Pipe().write;
    g_state.engineExited = 0;
    g_state.ponderMode = (flags & 1) ? 1 : 0;
    g_state.castleAndEP = (flags & 2) ? 1 : 0;
    g_state.analyzeMode = (flags & 4) ? 1 : 0;
    g_state.analyzing = 0;
    if (!(flags & 8)) g_state.lastLevelIncrement = g_state.lastLevelSeconds = g_state.lastLevelMoves = -1;
    g_state.ponderMove.Clear();

    const cecp::SearchRequestView request(record);
    for (int round = 0; round < ((flags & 16) ? 2 : 1); ++round) {
        cecp::SendClockCommands(request);
        cecp::SendPosition(request);

        const int count = request.MoveCount();
        const bool ponder = g_state.ponderMode != 0 && request.PonderRequest() && count >= 1;
        CheckCommands(Sent(), count, ponder);
        char held[cecp::PonderMove::kTextSize];
        g_state.ponderMove.Peek(held);
        if (ponder != (held[0] != '\0')) std::abort();
        if (ponder && !IsMoveText(held)) std::abort();
        if (g_state.engineSideWhite != 0 && g_state.engineSideWhite != 1) std::abort();

        cecp::HasNoLegalMove(cecp::EnginePositionCopy());
    }

    g_state.engineStdinWrite = cecp::platform::kNoPipe;
    ASAN_UNPOISON_MEMORY_REGION(record, sr::kEnd);
    delete[] record;
    return 0;
}
