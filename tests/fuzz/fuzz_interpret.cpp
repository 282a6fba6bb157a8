// The classic dialect's reader on arbitrary lines, against arbitrary
// positions and search states, with an info block held or none: nothing is
// read or written outside the block or the line, and every report and line
// leaves what search_state.h checks.
//
// Input: the header of search_state.h, then the engine's lines, read in turn
// so that a move can follow the thinking lines of its search.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "exact_lines.h"
#include "protocol/dialect.h"
#include "search_state.h"

extern "C" std::int32_t CECP_CALL Func3(std::uint32_t code, std::uint32_t, std::uint32_t, void* infoBlock) {
    cecp::fuzz::CheckReport(code, infoBlock);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < cecp::fuzz::kSearchHeader) return 0;
    cecp::fuzz::SetUpSearch(data);

    const std::string_view text(reinterpret_cast<const char*>(data + cecp::fuzz::kSearchHeader),
                                size - cecp::fuzz::kSearchHeader);
    static const cecp::Dialect* const classic = cecp::DialectNamed("1");
    static cecp::DialectState* const state = classic->open();
    cecp::fuzz::ForEachLine(text, [](const char* line) {
        classic->readLine(state, line);
        cecp::fuzz::CheckSearchState();
    });
    cecp::fuzz::EndSearch();
    return 0;
}
