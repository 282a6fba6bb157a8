// Search progress: what the engine says about a running search becomes fields
// of the host's info block and notifications through Func3.
//
// The exports ShowNodes, ShowDepth, ShowMove and ShowMainline, which the
// host may call itself, are the four Report operations below.
// Reports come from the reader thread (the engine's lines) and from the
// host's threads; each report writes its fields and calls Func3 under one
// lock, so that reports never interleave.
#pragma once

#include <cstdint>

#include "chess/move_word.h"

namespace cecp {

constexpr int kMainLineMoves = 128;  // moves recognised per main-line text

// The node count; notified from depth 5 on. Nothing after a stop.
void ReportNodes(std::int64_t nodes);
// A depth deeper than the last reported one, notified.
void ReportDepth(std::int32_t depth, std::int16_t depthExtra);
// The root move searched, its number and the number of root moves; notified
// from depth 6 on.
void ReportCurrentMove(MoveWord move, std::int16_t number, std::int16_t count);
// A main line of moves as the host gives it (count cut to the record's room).
void ReportMainLineMoves(const MoveWord* moves, std::int32_t count, std::int16_t score);

// Opens the reporting of a new search: empties the cached main line and tells
// the host that a new search begins.
void BeginSearchReport();

// The search's own lines begin (the engine is about to be told to search, or
// no search begins): whatever was shown before, the mark that a line was
// shown and the depth reached are forgotten, so that a line of an earlier
// search read meanwhile cannot stand for this one.
void ForgetShownLine();

// Recognises the moves of a main line in the engine's notation against the
// engine's position and shows them, unless they equal the line last shown
// (and no repeat is allowed). A line without a recognisable move is echoed as
// "Move illegal: " to console and log, shows nothing and leaves the line
// last shown standing, but lets the next line repeat it.
void ReportMainLine(const char* text, std::int32_t score, std::int32_t time);

// The same for the move with which the engine answers a request to move now:
// it is the host's answer, so it is shown although the stop silences every
// other report.
void ReportMoveAfterStop(const char* text, std::int32_t score, std::int32_t time);

// Recognises up to capacity moves of a main line in the engine's notation
// against the engine's position; the number recognised. Safe on any thread.
int RecogniseMoves(const char* text, MoveWord* moves, int capacity);

// The main line last shown in this search: up to capacity of its moves; the
// number of its moves (0 when none was shown).
int ShownMainLine(MoveWord* moves, int capacity);

// The score as the host shows it: the mate band 32001..32767 (and its
// negative) squeezed to 29234..30000, the protocol's mate scores 100000 + n
// mapped into that band too, and anything else held within 16 bits.
std::int16_t MapMateScore(std::int32_t score);

// The next line is shown even when it repeats the line last shown (a deeper
// iteration reached the same line), which stands until then.
void AllowMainLineRepeat();

// Returns once no report is being written on another thread, so that every
// report made so far is visible to the caller in the host's record.
void SettleReports();

// The score and time of the last thinking line, reused for the final move.
void RememberLineScoreAndTime(std::int32_t score, std::int32_t time);
std::int32_t CachedScore();
std::int32_t CachedTime();

}  // namespace cecp
