#include "protocol/engine_move.h"

#include "host/adapter_state.h"
#include "host/exports.h"
#include "host/reporting.h"
#include "protocol/search_wait.h"

namespace cecp {

void TakeEngineMove(const char* move) {
    // After a request to move now the search waits for exactly this move: the
    // record must not go on showing a line from before the stop, or even from
    // the previous search when none came in this one.
    bool answersMoveNow = g_state.stopRequested && g_state.awaitingMove && g_state.moveNowSentAt != 0;
    auto report = answersMoveNow ? ReportMoveAfterStop : ReportMainLine;
    if (g_state.pvReported == 0) {
        g_state.pvReported = 1;
        ShowDepth(1, 0);
        ShowNodes(1);
        report(move, 1, 1);
    } else {
        MoveWord recognised = 0;
        int found = RecogniseMoves(move, &recognised, 1);
        MoveWord cachedFirst = CachedFirstMove();
        if (found > 0 && !(g_state.lastPvLength != 0 && recognised == cachedFirst)) {
            report(move, CachedScore(), CachedTime());
        }
    }
    EndMoveWait();
}

}  // namespace cecp
