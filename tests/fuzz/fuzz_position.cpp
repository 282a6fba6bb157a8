// The clock and position commands of arbitrary search requests, as the host
// could hand them (any board bytes, counts, move words and clock fields),
// taken in place of the engine's input (SetCommandWriter: a pipe's writes
// and pauses cost more than the commands); then the legal-move test on the
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
#include <sanitizer/asan_interface.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "chess/move_list.h"
#include "engine/engine_process.h"
#include "engine/engine_settings.h"
#include "engine/transport.h"
#include "host/host_link.h"
#include "host/info_block.h"
#include "protocol/cecp/commands.h"
#include "protocol/search_request.h"
#include "protocol/search_state.h"

extern "C" std::int32_t CECP_CALL Func3(std::uint32_t, std::uint32_t, std::uint32_t, void*) { std::abort(); }

namespace {

namespace sr = cecp::search_request;

// Every command since the last round, as the engine would read them.
std::string g_sent;

void TakeCommand(const char* command, std::size_t length) { g_sent.append(command, length); }

bool IsFile(char c) { return c >= 'a' && c <= 'h'; }
bool IsRank(char c) { return c >= '1' && c <= '8'; }
bool IsSquareText(std::string_view s, std::size_t at) { return IsFile(s[at]) && IsRank(s[at + 1]); }

bool IsMoveText(std::string_view s) {
    if (s.size() != 4 && s.size() != 5) return false;
    if (!IsSquareText(s, 0) || !IsSquareText(s, 2)) return false;
    return s.size() == 4 || std::strchr("qrbn", s[4]) != nullptr;
}

// An optional minus sign and at least one digit, from at; at is moved on.
bool Number(std::string_view s, std::size_t* at) {
    if (*at < s.size() && s[*at] == '-') ++*at;
    std::size_t digits = *at;
    while (*at < s.size() && s[*at] >= '0' && s[*at] <= '9') ++*at;
    return *at > digits;
}

bool Literal(std::string_view s, std::size_t* at, std::string_view text) {
    if (s.substr(*at, text.size()) != text) return false;
    *at += text.size();
    return true;
}

bool IsClockCommand(std::string_view s) {
    std::size_t at = 0;
    if (Literal(s, &at, "time ")) return Number(s, &at) && at == s.size();
    if (!Literal(s, &at, "level ")) return false;
    return Number(s, &at) && Literal(s, &at, " ") && Number(s, &at) && Literal(s, &at, ":") && Number(s, &at) &&
           Literal(s, &at, " ") && Number(s, &at) && at == s.size();
}

bool IsEditCommand(std::string_view s) {
    if (s == "edit" || s == "#" || s == "c" || s == ".") return true;
    // "castle", a sign, the colour and the side: "castle +w00", "castle -b000".
    if ((s.size() == 11 || s.size() == 12) && s.substr(0, 7) == "castle " && (s[7] == '+' || s[7] == '-') &&
        (s[8] == 'w' || s[8] == 'b') && s.substr(9) == std::string_view("000", s.size() - 9)) {
        return true;
    }
    // A placement: the piece letter (a blank for codes of no piece type) and its square.
    if (s.size() == 3 && std::strchr(" PNBRQK", s[0]) != nullptr && IsSquareText(s, 1)) return true;
    return s.size() == 5 && s.substr(0, 3) == "ep " && IsSquareText(s, 3);
}

// count moves in the request, ponder: the last one is held back.
void CheckCommands(std::string_view sent, int count, bool ponder) {
    if (sent.empty() || sent.back() != '\n') std::abort();
    static std::vector<std::string_view> lines;
    lines.clear();
    std::size_t start = 0;
    for (std::size_t end; (end = sent.find('\n', start)) != std::string_view::npos; start = end + 1) {
        lines.push_back(sent.substr(start, end - start));
    }
    if (lines.front() != "new") std::abort();
    std::size_t hard = lines.size();
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const std::string_view line = lines[i];
        for (char c : line)
            if (c < 0x20 || c > 0x7e) std::abort();
        if (line == "hard") {
            if (hard != lines.size()) std::abort();  // only once, after the position
            hard = i;
        }
        if (!(IsMoveText(line) || line == "new" || line == "hard" || line == "easy" || line == "force" ||
              IsClockCommand(line) || IsEditCommand(line))) {
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

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    cecp::SetCommandWriter(TakeCommand);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    using cecp::g_engine;
    using cecp::g_host;
    using cecp::g_search;
    using cecp::g_settings;
    const std::uint8_t flags = data[0];

    // The record at its exact size (allocated once, refilled for each input);
    // the bytes the host keeps to itself are poisoned, so that reading them
    // is caught.
    static std::uint8_t* const record = new std::uint8_t[sr::kEnd];
    const std::size_t given = size - 1 < sr::kEnd ? size - 1 : sr::kEnd;
    std::memcpy(record, data + 1, given);
    std::memset(record + given, 0, sr::kEnd - given);
    ASAN_POISON_MEMORY_REGION(record, sr::kBoard);
    ASAN_POISON_MEMORY_REGION(record + sr::kMovesPlayed + 2, 2);

    g_engine.exited = 0;
    g_settings.ponderMode = (flags & 1) ? 1 : 0;
    g_settings.castleAndEP = (flags & 2) ? 1 : 0;
    g_settings.analyzeMode = (flags & 4) ? 1 : 0;
    g_search.analyzing = 0;
    static cecp::CecpClock clock;
    static cecp::PonderMove heldReply;
    if (!(flags & 8)) cecp::ForgetLevelSent(clock);
    heldReply.Clear();

    const cecp::SearchRequestView request(record);
    for (int round = 0; round < ((flags & 16) ? 2 : 1); ++round) {
        g_sent.clear();
        cecp::SendClockCommands(clock, request);
        cecp::SendPosition(request, heldReply);

        const int count = request.MoveCount();
        const bool ponder = g_settings.ponderMode != 0 && request.PonderRequest() && count >= 1;
        CheckCommands(g_sent, count, ponder);
        char held[cecp::PonderMove::kTextSize];
        heldReply.Peek(held);
        if (ponder != (held[0] != '\0')) std::abort();
        if (ponder && !IsMoveText(held)) std::abort();
        if (g_host.engineSideWhite != 0 && g_host.engineSideWhite != 1) std::abort();

        cecp::HasNoLegalMove(cecp::EnginePositionCopy());
    }

    ASAN_UNPOISON_MEMORY_REGION(record, sr::kEnd);
    return 0;
}
