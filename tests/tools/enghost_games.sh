#!/bin/sh
# enghost with real engines through the module: short games between
# fairymax, stockfish behind polyglot and gnuchess -u behind polyglot (one
# pondering, one from a set-up position), each checked by pgn-extract; an
# analysis by stockfish; enghost check on each engine and on gnuchess -x; a
# small match. (What install makes of each dialect's answers, real engines'
# lines among them, is enghost_test's and enghost_testengine.sh's.)
# The games run one after another: two at once left engines short of time on
# a loaded machine (fairymax ignores "?"), which made the results flaky.
# usage: enghost_games.sh BIN_DIR EXAMPLES_DIR [LAUNCHER...]
#   (LAUNCHER: the emulator of a 32-bit build)
set -u
bin=$1
examples=$2
shift 2
run="$*"
games=/usr/games
for program in fairymax fairy-stockfish polyglot stockfish gnuchess pgn-extract; do
  [ -x "$games/$program" ] || { echo "SKIP: $games/$program is not installed"; exit 0; }
done
enghost="$bin/enghost"
support=$(cd "$(dirname "$0")/../support" && pwd)
# fairymax with its layout fixed, where the system allows (see the script).
fairymax=$support/fairymax_fixed_layout.sh
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
cd "$scratch" || exit 1
# enghost's own folders (probes, private copies of modules) go here too, so
# that an engine left running is found by its working folder.
mkdir tmp
TMPDIR=$scratch/tmp
export TMPDIR
engines_running() {
  count=0
  for link in /proc/[0-9]*/cwd; do
    case "$(readlink "$link" 2>/dev/null)" in "$scratch"/*) count=$((count + 1)) ;; esac
  done
  echo "$count"
}
# no_engine_left WHAT: after WHAT, no engine may run; one that an engine
# started itself (polyglot's) is given a few seconds to follow it.
no_engine_left() {
  waited=0
  while [ "$(engines_running)" -gt 0 ] && [ "$waited" -lt 50 ]; do
    sleep 0.1
    waited=$((waited + 1))
  done
  [ "$(engines_running)" -eq 0 ] || fail "$1 left $(engines_running) engines running"
}
failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}

# These engines are installed for the classic conversation as the options
# say, without a probe; each keeps a log (engines/NAME/logfile.text).
install() {
  $run "$enghost" install "$@" --log --no-probe >/dev/null || fail "install $1"
}
install fm --exe "$fairymax" --analyze --display-name Fairy-Max
install fmp --exe "$fairymax" --ponder --display-name "Fairy-Max pondering"
install sf --exe "$games/polyglot" --args stockfish-polyglot.ini --file "$examples/stockfish-polyglot.ini" \
  --analyze --display-name Stockfish
install sfp --exe "$games/polyglot" --args stockfish-polyglot.ini --file "$examples/stockfish-polyglot.ini" \
  --ponder --display-name "Stockfish pondering"
install gc --exe "$games/polyglot" --args gnuchess-polyglot.ini --file "$examples/gnuchess-polyglot.ini" \
  --analyze --display-name "GNU Chess"
install gx --exe "$games/gnuchess" --args=-x --display-name "GNU Chess -x"

# fairymax 5.0b, where its layout cannot be fixed, now and then crashes on
# the first unknown command it reads, the greeting's "kelto": its first
# search then finds it dead. A game or check that ends so is played again,
# at most twice; a death later in a game is not.
greeting_crash() { # OUTPUT_FILE
  # A game: the death came at the first search; a check: at any capability,
  # as check opens fairymax anew after one it fails.
  grep -q "engine died during its search\|^PROBLEM .*: the engine ended (it crashed or quit)" "$1" &&
    [ "$(grep -c ' s, depth ' "$1")" -le 1 ]  # the moves shown as they were played
}

# play N WHITE BLACK OPTIONS...: one game, its PGN in gameN.pgn.
play() {
  n=$1 white=$2 black=$3
  shift 3
  for attempt in 1 2 3; do
    rm -f engines/*/logfile.text "game$n.pgn"
    $run "$enghost" play "engines/$white.eng" "engines/$black.eng" --pgn "game$n.pgn" --round "$n" "$@" \
      >"game$n.out" 2>&1 || echo "exit status $?" >>"game$n.out"
    case "$white $black" in *fm*) greeting_crash "game$n.out" || break ;; *) break ;; esac
    [ "$attempt" -lt 3 ] && echo "game $n: fairymax died at its first search (attempt $attempt): played again"
  done
}
started=$(date +%s)
# Each engine plays both colours; each kind of clock, pondering and a set-up
# position come once at least.
play 1 fm fm --tc 3 --max-moves 40
play 2 sf fm --tc 3 --max-moves 40
play 3 gc fm --tc 3 --max-moves 40
play 4 gc sf --tc 3+1 --max-moves 25
play 5 fmp fmp --ponder --tc 3 --max-moves 40
play 6 fm fm --tc 4 --fen "8/8/8/4k3/8/8/8/4KQ2 w - - 0 1"
play 7 sfp sfp --ponder --tc 3 --max-moves 25
play 8 gc gc --tc 40/3 --max-moves 30
play 9 fm gc --st 1 --max-moves 5
play 10 gc fm --tc 3 --max-moves 40 --fen "r1bqkbnr/pppp1ppp/2n5/4p3/4P3/5N2/PPPP1PPP/RNBQKB1R w KQkq - 2 3"

echo "10 games in $(($(date +%s) - started)) s"

for n in 1 2 3 4 5 6 7 8 9 10; do
  pgn="game$n.pgn"
  if [ ! -s "$pgn" ]; then
    fail "game $n wrote no PGN"
    cat "game$n.out"
    continue
  fi
  verdict=$("$games/pgn-extract" -r "$pgn" 2>&1)
  if echo "$verdict" | grep -q "Failed to make move" || ! echo "$verdict" | grep -q "1 game matched out of 1"; then
    fail "game $n: pgn-extract finds a fault"
    echo "$verdict"
    cat "$pgn"
  fi
  grep -q '^\[Result "\(1-0\|0-1\|1/2-1/2\|\*\)"\]' "$pgn" || fail "game $n has no result tag"
  grep -q "exit status" "game$n.out" && fail "game $n: $(grep 'exit status' "game$n.out")"
  echo "game $n: $(grep '^\[White ' "$pgn" | cut -d'"' -f2) - $(grep '^\[Black ' "$pgn" | cut -d'"' -f2): $(grep '^Result ' "game$n.out")"
done
grep -q '^\[FEN "8/8/8/4k3/8/8/8/4KQ2 w - - 0 1"\]' game6.pgn || fail "game 6 lacks its FEN tag"
grep -q '^\[SetUp "1"\]' game6.pgn || fail "game 6 lacks its SetUp tag"
grep -q "ponder hit" game5.out || fail "game 5 had no ponder hit"

# Analysis: reports arrive and their main lines are legal (enghost prints
# them in standard notation only as far as they are legal).
$run "$enghost" analyse engines/sf.eng --moves e4 e5 Nf3 --time 3 </dev/null >analysis.out 2>&1 ||
  fail "analysis: exit status $?"
lines=$(grep -c '^depth' analysis.out)
[ "$lines" -ge 5 ] || fail "analysis: only $lines reports"
grep -q '^best line after' analysis.out || fail "analysis: no best line"
grep '^depth' analysis.out | grep -qv ' 2\.\.\. ' && fail "analysis: a main line that is not Black's from the position"
tail -1 analysis.out
pgn_line=$(grep '^best line' analysis.out | sed 's/.*  //' | sed 's/[0-9]*\.\.\. //; s/ [0-9]*\. / /g')
echo "[Event \"analysis\"]
[SetUp \"1\"]
[FEN \"rnbqkbnr/pppp1ppp/8/4p3/4P3/5N2/PPPP1PPP/RNBQKB1R b KQkq - 1 2\"]

$pgn_line *" >analysis.pgn
"$games/pgn-extract" -r analysis.pgn 2>&1 | grep -q "Failed to make move" && fail "analysis: illegal main line"

# check: fairymax works, but for "?", which fairymax 5.0b does not know;
# stockfish behind polyglot cannot take a set-up position; gnuchess -x must be
# told about in plain words, quickly, with a failure status.
# check_engine NAME: enghost check, again when fairymax crashed at its start.
check_engine() {
  start=$(date +%s)
  for attempt in 1 2 3; do
    $run "$enghost" check "engines/$1.eng" >"check-$1.out" 2>&1
    status=$?
    case $1 in *fm*) greeting_crash "check-$1.out" || break ;; *) break ;; esac
    [ "$attempt" -lt 3 ] && echo "check $1: fairymax died at its first search (attempt $attempt): checked again"
  done
  took=$(($(date +%s) - start))
  echo "check $1: exit $status in $took s: $(grep '^PROBLEM' "check-$1.out" | cut -c9-60 | tr '\n' '|') $(tail -1 "check-$1.out")"
  [ "$took" -le 40 ] || fail "check $1 took $took s"
}
# gnuchess -x answers nothing: its check waits more than it works, and runs
# beside the others.
check_engine gx >check-gx.summary &
for name in fm sf gc; do check_engine "$name"; done
unexpected=$(grep '^PROBLEM' check-fm.out | grep -v '^PROBLEM moves at once when told')
[ -z "$unexpected" ] || { fail "check fm: $unexpected"; cat check-fm.out; }
grep -q "^PROBLEM plays from a set-up position" check-sf.out || fail "check sf: the set-up position was not reported"

wait
cat check-gx.summary
grep -q '^FAIL' check-gx.summary && fail "check gx: too slow"
for name in gc gx; do
  grep -q "^ok      plays from the start position\|^PROBLEM" "check-$name.out" || fail "check $name says nothing plain"
done
grep -q "^PROBLEM" check-gx.out || fail "check gx: no problem named"
grep -q '^check gx: exit 1 ' check-gx.summary || fail "check gx: its problems not in its exit status"
no_engine_left check

# A small match: three engines, two games a pair, two at a time, from the
# shipped openings. Its PGN must satisfy pgn-extract, its table the games'
# results, and its Elo figures the logistic model.
start=$(date +%s)
$run "$enghost" match engines/fm.eng engines/sf.eng engines/gc.eng --games 2 --concurrency 2 --tc 2 \
  --openings "$examples/openings.pgn" --pgn match.pgn >match.out 2>&1
status=$?
echo "match: exit $status in $(($(date +%s) - start)) s"
sed -n '/games played in/,$p' match.out
if [ "$status" -ne 0 ]; then
  # fairymax's crash at its greeting is a fault the match reports; nothing else may be.
  others=$(sed -n '/^games that did not end/,$p' match.out | grep '^  game' | grep -v "engine died during its search")
  [ "$status" -eq 1 ] && [ -z "$others" ] || { fail "match: exit status $status"; cat match.out; }
fi
verdict=$("$games/pgn-extract" -r match.pgn 2>&1)
echo "$verdict" | grep -q "6 games matched out of 6" && ! echo "$verdict" | grep -q "Failed to make move" ||
  { fail "match: pgn-extract finds a fault"; echo "$verdict"; }
[ "$(grep -c '^game [1-6]/6 ' match.out)" -eq 6 ] || fail "match: not a line for every game"
# Wins, draws and losses of each engine from the PGN, against the table.
for name in "Fairy-Max" "Stockfish" "GNU Chess"; do
  from_pgn=$(awk -v name="$name" '
    /^\[White "/ { white = substr($0, 9, length($0) - 10) }
    /^\[Black "/ { black = substr($0, 9, length($0) - 10) }
    /^\[Result "/ {
      result = substr($0, 10, length($0) - 11)
      if (white != name && black != name) next
      if (result == "1/2-1/2") d++
      else if ((result == "1-0") == (white == name) && result != "*") w++
      else if (result != "*") l++
    }
    END { printf "%d %d %d %d", w + d + l, w, d, l }' match.pgn)
  row=$(grep "^$name  " match.out | head -1)
  from_table=$(echo "$row" | sed "s/^$name *//" | awk '{ printf "%s %s %s %s", $1, $2, $3, $4 }')
  [ "$from_pgn" = "$from_table" ] || fail "match: $name has \"$from_table\" in the table, \"$from_pgn\" in the PGN"
  # The Elo figure: -400 log10(1 / score - 1), none at 0 or 100 %.
  expected=$(echo "$from_pgn" | awk '{
    s = ($2 + $3 / 2) / $1
    if (s <= 0 || s >= 1) print "no finite value"
    else { e = -400 * log(1 / s - 1) / log(10); r = (e < 0) ? -int(-e + 0.5) : int(e + 0.5); print (r > 0 ? "+" r : r) " (95 %" }
  }')
  echo "$row" | grep -q -- "$expected" || fail "match: $name's Elo is not \"$expected\": $row"
done
no_engine_left match

echo "done in $(($(date +%s) - started)) s"
[ "$failures" -eq 0 ]
