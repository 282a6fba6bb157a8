// The clock and position commands of arbitrary search requests (any board
// bytes, counts, move words and clock fields), taken in place of the
// engine's input, then the legal-move test on the engine's position. The
// record is read only within its bytes 28 to 1143 (the host's own are
// poisoned); every command is one printable line of the protocol's forms,
// the first "new"; after the last "force" come exactly the moves sent (all
// but a held-back ponder move), each in coordinate text, as is the held move.
//
// Input: a flags byte, then the record. Flags: 1 PonderMode, 2 CastleAndEP,
// 4 AnalyzeMode, 8 the level cache of the previous input stays, 16 the same
// request twice in a row.
#include <sanitizer/asan_interface.h>

#include <algorithm>
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

bool IsSquareText(std::string_view s, std::size_t at) {
    return s.size() >= at + 2 && s[at] >= 'a' && s[at] <= 'h' && s[at + 1] >= '1' && s[at + 1] <= '8';
}

bool IsMoveText(std::string_view s) {
    return (s.size() == 4 || (s.size() == 5 && std::strchr("qrbn", s[4]) != nullptr)) && IsSquareText(s, 0) &&
           IsSquareText(s, 2);
}

// The text is the pattern, '#' in it standing for a number (an optional
// minus sign and digits).
bool Matches(std::string_view s, std::string_view pattern) {
    std::size_t at = 0;
    for (const char c : pattern) {
        if (c != '#') {
            if (at == s.size() || s[at++] != c) return false;
            continue;
        }
        if (at < s.size() && s[at] == '-') ++at;
        const std::size_t digits = at;
        while (at < s.size() && s[at] >= '0' && s[at] <= '9') ++at;
        if (at == digits) return false;
    }
    return at == s.size();
}

bool IsEditCommand(std::string_view s) {
    // "castle", a sign, the colour and the side: "castle +w00", "castle -b000";
    // a placement: the piece letter (a blank for codes of no piece type) and its square.
    return s == "edit" || s == "#" || s == "c" || s == "." ||
           ((s.size() == 11 || s.size() == 12) && s.substr(0, 7) == "castle " && (s[7] == '+' || s[7] == '-') &&
            (s[8] == 'w' || s[8] == 'b') && s.substr(9) == std::string_view("000", s.size() - 9)) ||
           (s.size() == 3 && std::strchr(" PNBRQK", s[0]) != nullptr && IsSquareText(s, 1)) ||
           (s.size() == 5 && s.substr(0, 3) == "ep " && IsSquareText(s, 3));
}

// count moves in the request, ponder: the last one is held back.
void CheckCommands(std::string_view sent, int count, bool ponder) {
    if (sent.empty() || sent.back() != '\n') std::abort();
    static std::vector<std::string_view> lines;
    lines.clear();
    for (std::size_t start = 0, end; (end = sent.find('\n', start)) != std::string_view::npos; start = end + 1)
        lines.push_back(sent.substr(start, end - start));
    if (lines.front() != "new" || std::count(lines.begin(), lines.end(), "hard") != 1) std::abort();
    for (const std::string_view line : lines) {
        if (!(IsMoveText(line) || line == "new" || line == "hard" || line == "easy" || line == "force" ||
              Matches(line, "time #") || Matches(line, "level # #:# #") || IsEditCommand(line)))
            std::abort();
    }
    // After the position: "hard", "easy" unless pondering, then the moves in
    // force mode, all but a held-back ponder move.
    std::size_t at = std::find(lines.begin(), lines.end(), "hard") - lines.begin() + 1;
    if (!ponder && (at == lines.size() || lines[at++] != "easy")) std::abort();
    if (count > 0 && (at == lines.size() || lines[at++] != "force")) std::abort();
    if (lines.size() - at != static_cast<std::size_t>(ponder ? count - 1 : count)) std::abort();
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

    cecp::g_engine.exited = 0;
    g_settings.ponderMode = (flags & 1) ? 1 : 0;
    g_settings.castleAndEP = (flags & 2) ? 1 : 0;
    g_settings.analyzeMode = (flags & 4) ? 1 : 0;
    static cecp::CecpClock clock;
    static cecp::PonderMove heldReply;
    if (!(flags & 8)) cecp::ForgetLevelSent(clock);
    heldReply.Clear();

    const cecp::SearchRequestView request(record);
    for (int round = 0; round < ((flags & 16) ? 2 : 1); ++round) {
        g_sent.clear();
        cecp::SendClockCommands(clock, request);
        const int count = request.MoveCount();
        const bool ponder = g_settings.ponderMode != 0 && request.PonderRequest() && count >= 1;
        cecp::SendPosition(request, ponder, heldReply);
        CheckCommands(g_sent, count, ponder);
        char held[cecp::PonderMove::kTextSize];
        heldReply.Peek(held);
        if ((ponder ? !IsMoveText(held) : held[0] != '\0') || (cecp::g_host.engineSideWhite & ~1))
            std::abort();

        cecp::HasNoLegalMove(cecp::EnginePositionCopy());
    }

    ASAN_UNPOISON_MEMORY_REGION(record, sr::kEnd);
    return 0;
}
