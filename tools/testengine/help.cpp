#include "help.h"

namespace testengine {

std::string default_script(std::string_view move) {
  std::string script =
      "on protover\n"
      "  send feature myname=\"testengine\" ping=1 usermove=1 sigint=0 sigterm=0 done=1\n"
      "on ping\n"
      "  send pong $1\n";
  if (!move.empty()) script += "at search\n  move " + std::string(move) + "\n";
  return script;
}

std::string default_uci_script(std::string_view move) {
  std::string answer = "  move " + std::string(move.empty() ? "0000" : move) + "\n";
  return "moveformat bestmove $m\n"
         "hurry stop\n"
         "on uci\n"
         "  send id name testengine\n"
         "  send id author cecp-adapter\n"
         "  send option name Ponder type check default false\n"
         "  send uciok\n"
         "now isready\n"
         "  send readyok\n"
         "on go ponder\n"
         "  await ponderhit stop\n" +
         answer +
         "on go infinite\n"
         "  await stop\n" +
         answer + "at search\n" + answer;
}

std::string help_text() {
  return R"(usage: testengine [--script FILE] [--transcript FILE] [--record FILE] [--move MOVE] [--uci]

A scripted chess engine on standard input and output, for tests of the
programs that drive engines: it speaks the Chess Engine Communication Protocol
(versions 1 and 2) or UCI, as its script says.

Options (paths are relative to the working directory):
  --script FILE      follow the script in FILE (format below)
  --transcript FILE  append every line read from standard input to FILE,
                     byte for byte as received (carriage return and line feed
                     included), flushed line by line; a last line without a
                     line feed is written without one
  --record FILE      write the working directory and the arguments to FILE at
                     start, replacing it: "cwd DIR", on Windows "cmdline LINE"
                     (the command line as received), then "arg N TEXT" for
                     each argument, N counting from 0 (the program)
  --move MOVE        without --script: the move that answers every search;
                     with --uci it may be two words, the move and the move
                     to ponder on ("e7e5 g1f3")
  --uci              without --script: a UCI engine (the second script below)
  --help             print this text
Other arguments that do not start with "--" are ignored (see --record).
Exit codes: 0 on quit and at the end of input, 2 for a bad option or script.

Without --script the engine follows this script (with --move MOVE only:
"at search" and "move MOVE"):
)" + default_script("MOVE") +
         R"(
With --uci it follows this one instead, MOVE being --move or, without it,
the null move 0000:
)" + default_uci_script("MOVE") +
         R"(
THE SCRIPT
A script is read line by line. Blank lines and lines whose first non-blank
character is "#" are skipped; blanks at the start of a line are ignored. A
line is a keyword and its arguments. Where an argument is a TEXT, it is the
rest of the line after the single blank that follows the keyword (or the
number before it), kept as written, trailing blanks included. A carriage
return before the line feed of a script line is dropped.

There are settings, block headers and actions. A header starts a block; the
actions below it, up to the next header or setting, form the block. An
action outside a block is an error, as is anything malformed; the error
names the line.

Block headers
  at start            run once at start-up, before any command is read
  at search           the search: run on "go", and on a move ("usermove M"
                      or a bare move such as e2e4, e7e8q, P@e4, O-O) unless
                      in force mode or analysing; empty unless written
  on WORD [WORD...]   run on a command whose first word is WORD and whose
                      later words include each further WORD, in any order:
                      "on go ponder" matches "go ponder wtime 900" and
                      "go wtime 900 ponder"
  on-line TEXT        run on a command that is exactly TEXT
  on-prefix TEXT      run on a command that starts with TEXT
  now WORD [WORD...]  as "on", "on-line" and "on-prefix", but the block runs
  now-line TEXT       the moment the command is read, even while another
  now-prefix TEXT     block runs (see "Commands that act at once"); that
                      block then goes on undisturbed. A "now" block runs at
                      once, so it takes no sleep, think, await or search.
Rules ("on..." blocks) are tried in the order written; the first match runs
and replaces the built-in answer to that command (force mode and the end of
an analysis still follow it). A command that no rule matches gets its
built-in answer, if it has one ("go", a move, "analyze"). "now" rules are
tried apart from the "on" rules, likewise in the order written.

Actions
  send [TEXT]         print TEXT and a line feed
  sendraw TEXT        print TEXT alone, without a line feed
  sleep MS            wait MS milliseconds
  think COUNT MS TEXT print COUNT thinking lines, each MS milliseconds after
                      the one before (the first MS after the start); TEXT is
                      the line, $d in it the depth: 1, 2, ... COUNT
  move [MOVE [PONDER]]  print MOVE, or without it the next move of the
                      list ("moves"); nothing once the list is used up.
                      Printed as the move format says ("moveformat"), or
                      with PONDER, the move to ponder on, as "ponderformat"
                      says: "move e2e4 e7e5" gives "bestmove e2e4 ponder e7e5"
                      after "moveformat bestmove $m"
  await WORD...       wait until a command comes whose first word is one of
                      the WORDs, or take the first such command that came
                      earlier and still waits to be answered; no rule
                      answers it. Meanwhile the engine reads on as during
                      "sleep". "?" and the hurry words end the wait (as they
                      skip a "sleep"); so does the end of input, unless
                      "ignore eof". "await ponderhit stop" holds a ponder
                      search's move until one of the two.
  search              run the "at search" block
  flood BYTES [TEXT]  print BYTES bytes of copies of the line TEXT (by
                      default "#" and 78 "x"), each with its line feed, as
                      fast as the pipe takes them; the last copy is cut
                      short to fit but keeps its line feed
  longline BYTES [TEXT]  print one line of BYTES bytes (not counting its
                      line feed): TEXT, then "x" up to the length
  crash               end abnormally: SIGABRT on POSIX, exit code 3 on
                      Windows; nothing more is read or written
  exit CODE           end at once with exit code CODE (0 to 255)
  hang                stop reading standard input and sleep until killed:
                      lines already read stay in the transcript, later ones
                      are neither read nor transcribed; quit and the end of
                      input have no effect

Settings
  moves MOVE...       append to the move list; each "move" without a MOVE
                      takes the next. "new" starts the list over.
  moveformat TEXT     how a move is printed; by default "move $m". "$n. ... $m"
                      gives the numbered form, e.g. "12. ... Nf6".
  ponderformat TEXT   how a move with a move to ponder on ($p) is printed; by
                      default the move format followed by " ponder $p"
  movenumber N        the first move number ($n), by default 1; it grows by
                      one per move printed and starts over on "new"
  stat TEXT           answer "." with TEXT, e.g.
                      "stat stat01: $c 1000 $d 12 30"; without it "." is ignored
  analyze MS TEXT     answer "analyze" with a thinking line TEXT every MS
                      milliseconds (MS at least 1), $d the line's number, until
                      "exit"; other commands are answered meanwhile. Without
                      it "analyze" gets "Error (unknown command): analyze".
  ignore quit         "quit" is an ordinary command (rules may match it);
                      by default it ends the engine at once with exit code 0
  ignore eof          keep running at the end of input, until killed; by
                      default the engine ends with exit code 0 there, once it
                      has answered what it read before
  ignore ?            "?" does nothing; by default it cuts the block that is
                      running short: its remaining "sleep", "think" and
                      "await" are skipped, so its "move" (if any) comes at
                      once
  ignore WORD         (any other WORD) a command whose first word is WORD
                      does nothing at all: no rule answers it, it cuts no
                      block short and ends no "await"; e.g. "ignore stop",
                      "ignore isready"
  hurry WORD...       a command whose first word is one of the WORDs acts as
                      "?" does, e.g. "hurry stop" for UCI

Commands that act at once
While a block runs (sleep, think, await) the engine keeps reading. Each
command is looked at the moment it is read, whether a block runs or not,
and the first of these that applies is all it does:
  1. "quit" ends the engine at once (unless "ignore quit")
  2. an ignored command ("ignore ?", "ignore WORD") does nothing
  3. the first "now" rule that matches runs its block
  4. "?" and the hurry words cut the running block short (if one runs)
  5. "." is answered as "stat" says
  6. a command that the "await" under way waits for ends the wait
Every other command is answered in order once the block ends (at once when
none runs), by the first "on" rule that matches or by its built-in answer.
So "on" rules never see "?", ".", the hurry words or (unless ignored)
"quit"; a "now" rule does, and replaces what they do: "now ?" and a "send"
refuse "move now" while the search goes on; "now ping" and "send pong $1"
answer "ping" at once even while a block runs (as a pondering engine must),
where "on ping" answers after it (as one thinking on its move must).
"?", "." and "quit" are whole lines; the other words are a command's first
word. Force mode (no search after a move) begins with "force" and ends with
"new", "go" and "playother".

Escapes in a TEXT
  \r  carriage return   \n  line feed   \0  NUL   \t  tab   \a  bell (BEL)
  \\  backslash         \xHH  the byte with hexadecimal value HH
Any other backslash is an error. Texts to match (on-line, on-prefix) take
escapes but no placeholders: "$" is itself there.

Placeholders in a TEXT to print, filled in when it is printed
  $d  the depth of the thinking line (for "stat": of the last one printed;
      0 before the first)
  $c  centiseconds since the block under way (else the last one, or the
      analysis) began
  $n  the move number        $m  the move (in "moveformat")
  $p  the move to ponder on (in "ponderformat"; "" where there is none)
  $0  the command answered   $1 ... $9  its words after the first, "" if fewer
      (in a "now" block its own command; $d and $c stay those of the block
      under way)
  $$  a dollar sign
Any other "$" is an error; a "$" made by an escape is a placeholder too.

Examples
  # Greets at once, plays black with three moves in the numbered form,
  # thinking four lines first ("1 11 10 1000 e7e5 g1f3", "2 12 20 ..." ...).
  moves e7e5 g8f6 b8c6
  moveformat $n. ... $m
  stat stat01: $c 5000 $d 10 20
  at start
    send feature myname="scripted" usermove=1 done=1
  at search
    think 4 100 $d 1$d $d0 $d000 e7e5 g1f3
    move
  # An empty rule: "protover 2" gets no answer.
  on-line protover 2
  on level
    sendraw tellics say level\r\n
  on hint
    crash

Another script:
  # A UCI engine that ponders: "isready" is answered at once even while it
  # searches, "stop" cuts any search short, and a ponder search holds its
  # move until "ponderhit" (or "stop"), thinking on after "ponderhit".
  moveformat bestmove $m
  hurry stop
  on uci
    send id name Scripted 1.0
    send option name Hash type spin default 16 min 1 max 1024
    send uciok
  now isready
    send readyok
  on go ponder
    think 3 50 info depth $d score cp 1$d time $c0 pv e7e5 g1f3
    await ponderhit stop
    think 2 50 info depth $d score cp 20 time $c0 pv e7e5 g1f3
    move e7e5 g1f3
  at search
    think 5 50 info depth $d score cp 1$d time $d00 pv e7e5 g1f3
    move e7e5 g1f3
)";
}

}  // namespace testengine
