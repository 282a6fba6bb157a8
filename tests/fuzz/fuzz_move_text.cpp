// Move text and positions from arbitrary bytes: whatever the host and the
// engine hand over, recognition, legality and MakeMove stay on the board and
// within the caller's array, and every move recognised is one of the list.
//
// Input: 64 board bytes (any values), side, castling, en-passant and flags
// bytes, two bytes of a move word for MakeMove, then the text.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "chess/move_list.h"
#include "chess/move_text.h"
#include "chess/position.h"
#include "move_listed.h"

namespace {

constexpr std::size_t kHeader = 64 + 4 + 2;

using cecp::fuzz::Listed;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < kHeader) return 0;
    static cecp::MoveTextRecogniser recogniser;  // one for the run, as in the module

    const std::uint8_t flags = data[67];
    cecp::Position position;
    // The en-passant byte is signed so that stray negative squares come up too.
    position.SetFromBoard(data, data[64] % 3, data[65], static_cast<std::int8_t>(data[66]));
    if (flags & 1) position.CastlingFromPlacement();
    const std::string text(reinterpret_cast<const char*>(data + kHeader), size - kHeader);

    cecp::MoveWord move = 0;
    if (recogniser.ParseMoveText(text.c_str(), position, &move) == cecp::kMoveTextOk &&
        !Listed(position, move))
        std::abort();

    const int capacity = 1 + (flags >> 1) % 128;
    cecp::MoveWord* moves = new cecp::MoveWord[capacity];  // exact size: ASan sees any overrun
    const int count = recogniser.ParseVariation(text.c_str(), position, moves, capacity);
    if (count < 0 || count > capacity) std::abort();
    cecp::Position line = position;
    for (int i = 0; i < count; ++i) {
        if (!Listed(line, moves[i])) std::abort();
        line.MakeMove(moves[i]);
    }
    delete[] moves;

    cecp::HasNoLegalMove(line);
    cecp::MoveWord raw;
    std::memcpy(&raw, data + 68, sizeof raw);
    line.MakeMove(static_cast<cecp::MoveWord>(raw & 0x7fff));
    cecp::KingSafeAfterMove(line, raw);
    cecp::HasNoLegalMove(line);
    return 0;
}
