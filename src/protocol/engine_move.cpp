#include "protocol/engine_move.h"

#include "host/host_link.h"
#include "host/reporting.h"
#include "protocol/search_driver.h"

namespace cecp {

void TakeEngineMove(const char* answer) {
    // After a request to move now the search waits for exactly this move: the
    // record must not go on showing a line from before the stop, or even from
    // the previous search when none came in this one.
    bool answersMoveNow = CurrentPhase() == SearchPhase::kMovingNow;
    auto report = answersMoveNow ? ReportMoveAfterStop : ReportMainLine;
    if (g_host.pvReported == 0) {
        g_host.pvReported = 1;
        ReportDepth(1, 0);
        ReportNodes(1);
        report(answer, 1, 1);
    } else {
        MoveWord given[2] = {};
        int found = RecogniseMoves(answer, given, 2);
        MoveWord shown[2] = {};
        int shownLength = ShownMainLine(shown, 2);
        // The host ponders on the second move of the line it is left with: a
        // line of the move alone is replaced when the engine named a reply.
        bool shownStands = shownLength > 0 && shown[0] == given[0] && (shownLength >= 2 || found < 2);
        if (found > 0 && !shownStands) report(answer, CachedScore(), CachedTime());
    }
    EndMoveWait();
}

}  // namespace cecp
