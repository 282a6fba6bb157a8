#!/bin/sh
# enghost against the scripted test engine: games that engines lose by their
# faults, with the right reason in bounded time; what install finds out of
# each dialect and of no engine; check with each capability refused in turn;
# a pondering engine's hits, misses and clock; a match's faults, bad input
# and Ctrl-C. No engine may be left running.
# usage: enghost_testengine.sh BIN_DIR [LAUNCHER...]
#   (LAUNCHER: wine-run.sh, or the emulator of a 32-bit build)
set -u
bin=$1
shift
run="$*"
exe=""
[ -f "$bin/enghost.exe" ] && exe=.exe
enghost="$bin/enghost$exe"
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
cd "$scratch" || exit 1
# Windows programs get paths relative to this folder, which wine maps.
cp "$bin/testengine$exe" "testengine$exe"
failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}
# Natively the test engines still running are counted through /proc; under
# wine they are wine's processes, and not looked for.
engines_running() {
  if [ -n "$exe" ] || [ ! -d /proc/self ]; then echo 0; return; fi
  count=0
  for link in /proc/[0-9]*/exe; do
    [ "$(readlink "$link" 2>/dev/null)" = "$scratch/testengine" ] && count=$((count + 1))
  done
  echo "$count"
}
setting() { # SETTINGS_FILE KEY: the key's line
  grep "^$2=" "$1" | tr -d '\r'
}
# scripted NAME SCRIPT INSTALL_OPTIONS...: the test engine with SCRIPT.txt
# installed as NAME, without a probe.
scripted() {
  name=$1 script=$2
  shift 2
  $run "$enghost" install "$name" --exe "testengine$exe" --args="--script $script.txt" --file "$script.txt" \
    --no-probe "$@" >"install-$name.out" 2>&1 || { fail "install $name"; cat "install-$name.out"; }
}

# --- Games ------------------------------------------------------------------

# dies answers 1. e4 with e5, and dies when told of White's second move;
# deaf thinks for a minute, and "?" does not cut it short.
printf 'on-line g1f3\n  crash\nat search\n  move e7e5\n' > dies.txt
printf 'at search\n  move e8e6\n' > illegal.txt
printf 'ignore ?\nat search\n  sleep 60000\n  move e7e5\n' > deaf.txt

for name in dies illegal deaf; do scripted "$name" "$name"; done

# game NAME MOVES RESULT REASON SECONDS: a person (MOVES on standard input)
# plays White against engine NAME; the game must end with RESULT, give REASON
# and take at most SECONDS.
game() {
  start=$(date +%s)
  printf "$2" | timeout 60 $run "$enghost" play human "engines/$1.eng" --st 1 >"$1.out" 2>&1
  status=$?
  took=$(($(date +%s) - start))
  problem=""
  [ "$status" -eq 0 ] || problem="exit status $status"
  grep -q "^\[Result \"$3\"\]" "$1.out" || problem="$problem; no result $3"
  grep -q "$4" "$1.out" || problem="$problem; no reason \"$4\""
  [ "$took" -le "$5" ] || problem="$problem; took $took s, more than $5"
  if [ -n "$problem" ]; then
    echo "FAIL: $1: $problem"
    cat "$1.out"
    failures=$((failures + 1))
  else
    echo "ok: $1 ($took s): $(grep '^Result ' "$1.out")"
  fi
}

game dies 'e4\nNf3\n' "1-0" "Black's engine died" 30
game illegal 'e4\n' "1-0" "no move that the module recognised" 30
game deaf 'e4\n' "1-0" "did not move, not even when told" 30
# A "quit" typed while the engine thinks ends the game then, not after its move.
game deaf 'e4\nquit\n' '\*' "left unfinished while Black's engine thought" 15

# --- install: what the engine speaks ------------------------------------------

uci_args="--uci --move e2e4"
# The classic conversation: no features, analysis, a move on go.
printf 'analyze 50 $d 10 5 100 e5d6 e8d7\nat search\n  move e2e4\n' > classic.txt
{ cat classic.txt; printf 'on castle\n  send Error (unknown command): castle\n'; } > nocastle.txt
printf '# Answers nothing at all.\n' > silent.txt
printf '# Not an engine: ends at once.\nat start\n  exit 0\n' > noengine.txt

# probe NAME INSTALL_OPTIONS...: install NAME through the probe, in the
# background; probed NAME STATUS MAX_SECONDS then wants that exit status
# within that time. The probes mostly wait: several run at once.
probe() {
  name=$1
  shift
  (
    start=$(date +%s)
    $run "$enghost" install "$name" --exe "testengine$exe" "$@" >"install-$name.out" 2>&1
    echo "$? $(($(date +%s) - start))" >"install-$name.status"
  ) &
}
probed() {
  name=$1 want=$2 most=$3
  read -r status took <"install-$name.status"
  [ "$status" -eq "$want" ] || { fail "install $name: exit status $status, not $want"; cat "install-$name.out"; }
  [ "$took" -le "$most" ] || fail "install $name took $took s, more than $most"
  printf '%s\n' "install $name ($took s): $(grep -v '^  \|^installed\|^probing' "install-$name.out" | tr '\r\n' '  ')"
}
# expect NAME KEY=VALUE...: the settings NAME was installed with.
expect() {
  name=$1
  shift
  for pair in "$@"; do
    line=$(setting "engines/$name/$name.init" "${pair%%=*}")
    [ "$line" = "$pair" ] || fail "install $name: \"$line\" where $pair was expected"
  done
}

probe p2
probe uci --args="$uci_args"
probe classic --args="--script classic.txt" --file classic.txt
probe nocastle --args="--script nocastle.txt" --file nocastle.txt
probe silent --args="--script silent.txt" --file silent.txt
probe noengine --args="--script noengine.txt" --file noengine.txt
wait
# Choices override what was found; options go to [Options].
probe forced --protocol uci --no-ponder --display-name Forced
probe options --option Hash=64 --option "Skill Level = 5" --option hash=32
probe badoption --option Hash
probe badprotocol --protocol 3
wait

probed p2 0 15
expect p2 Protocol=2 AnalyzeMode=true PonderMode=true CastleAndEP=false Engine=testengine
probed uci 0 15
expect uci Protocol=uci AnalyzeMode=true PonderMode=true Engine=testengine Author=cecp-adapter
probed classic 0 15
expect classic Protocol=1 AnalyzeMode=true PonderMode=false CastleAndEP=true
probed nocastle 0 15
expect nocastle Protocol=1 AnalyzeMode=true CastleAndEP=false
# One that answers nothing is given up on within a few seconds.
probed silent 0 12
expect silent Protocol=1 AnalyzeMode=false PonderMode=false CastleAndEP=false
grep -q "^warning: it answered nothing" install-silent.out || fail "install silent: no warning"
probed noengine 2 15
grep -q "not a chess engine" install-noengine.out || fail "install noengine: not called a non-engine"
[ ! -e engines/noengine.eng ] || fail "install noengine: installed all the same"
# A module that is none is refused before anything is written.
printf 'no module\n' > fake.eng
$run "$enghost" install fake --exe "testengine$exe" --module fake.eng --no-probe >install-fake.out 2>&1
[ $? -eq 2 ] && grep -q "is not an engine module" install-fake.out && [ ! -e engines/fake ] ||
  { fail "install --module fake.eng: not refused"; cat install-fake.out; }
probed forced 0 15
expect forced Protocol=uci PonderMode=false AnalyzeMode=true Engine=Forced
grep -q "^warning: it did not answer uci" install-forced.out || fail "install forced: no warning about uci"
probed options 0 15
expect options Protocol=2 hash=32 "Skill Level=5"
grep -q "^warning: the engine announced no option \"Skill Level\"" install-options.out ||
  fail "install options: no warning about an option the engine does not have"
[ "$(grep -c -i '^hash=' engines/options/options.init)" -eq 1 ] || fail "install options: Hash written twice"
probed badoption 2 15
probed badprotocol 2 15
[ "$(engines_running)" -eq 0 ] || fail "install left $(engines_running) engine processes running"

# --- check: each capability on its own ----------------------------------------

# The test engine's "await" lets a move wait for the command that asks for it.
# Every search of enghost check in the classic conversation, answered as
# it should be: the set-up position by its own move, the long think cut
# short by "?", the ponder search answered when 8...Nh6 comes or on "?".
# The searches after the first are in a middlegame where Nc3 (b1c3) is legal.
good_script() {
  cat <<'SCRIPT'
analyze 100 $d 10 5 100 b1c3 d7d6
on-line Kg8
  await go
  move d1d8
on-line time 3000
  sleep 10000
SCRIPT
  [ "$1" = hit ] || printf 'on-line ponder g8h6\n  await g8h6\n  move b1c3\n'
  printf 'at search\n  move b1c3\n'
}
good_script all > good.txt
# The first search (from the start position) answered from a book.
{ printf 'on-line xboard\n  await go\n  send 0 0 0 0 e2e4 e7e5\n  move e2e4\n'; good_script all; } > book.txt
# Each refusal: the capability it breaks; an engine that an analysis leaves
# deaf fails the next capability only after an analysis.
{ printf 'on-line xboard\n  await go\n  move e7e5\n'; good_script all; } > start.txt
{ printf 'on edit\n  send Error (unknown command): edit\n'; good_script all | sed '/^on-line Kg8/,/d1d8/d'; } > setup.txt
{ printf 'now-line ?\n  send Error (unknown command): ?\n'; good_script all; } > movenow.txt
good_script all | grep -v '^analyze' > analysis.txt
{ printf 'on-line ponder g8h6\n  await g8h6\n  sleep 10000\n  move b1c3\n'; good_script hit; } > hit.txt
{ printf 'on-line g8e7\n  crash\n'; good_script all; } > miss.txt
{ printf 'on-line exit\n  hang\n'; good_script all; } > deafened.txt
for name in good book start setup movenow analysis hit miss deafened; do scripted "$name" "$name" --analyze --ponder; done
scripted opens good --analyze --ponder
# An engine that cannot be started: its program is no program.
rm -f "engines/opens/opens$exe"
echo "not a program" > "engines/opens/opens$exe"

# Many at once: each check waits far more than it works. Under wine, where
# starting a program is work of its own, five at a time, so that the
# answers the checks time are not late for want of the processor.
batch=10
[ -n "$exe" ] && batch=5
started=0
for name in good book start setup movenow analysis hit miss deafened opens; do
  $run "$enghost" check "engines/$name.eng" >"check-$name.out" 2>&1 &
  started=$((started + 1))
  [ $((started % batch)) -ne 0 ] || wait
done
wait
# refused NAME CAPABILITY: the check of NAME fails that capability's line alone.
refused() {
  if ! grep -q "^PROBLEM $2" "check-$1.out" || [ "$(grep -c '^PROBLEM' "check-$1.out")" -ne 1 ] ||
      ! tail -1 "check-$1.out" | grep -q '^1 problem found'; then
    fail "check $1: not one problem, with \"$2\""
    cat "check-$1.out"
  else
    printf '%s\n' "check $1: $(grep '^PROBLEM' "check-$1.out" | tr -d '\r')"
  fi
}
for name in good book; do
  if [ "$(grep -c '^ok ' "check-$name.out")" -ne 8 ] ||
      [ "$(tail -1 "check-$name.out" | tr -d '\r')" != "everything checked works" ]; then
    fail "check $name: not every capability works"
    cat "check-$name.out"
  fi
done
grep -q '^ok      plays from the start position: e4 after .* (from its book' check-book.out ||
  fail "check book: the book move is not named as such"
refused start "plays from the start position"
refused setup "plays from a set-up position.*the engine said \"Error (unknown command): edit\""
refused movenow "moves at once when told: .*the engine said \"Error (unknown command): ?\""
refused analysis "analyses"
refused hit "ponder hit"
refused miss "ponder miss"
refused deafened "ponder hit: it works on a freshly started engine (pondered on 8...Nh6.*), but not after the check of analyses"
refused opens "opens"
[ "$(engines_running)" -eq 0 ] || fail "check left $(engines_running) engine processes running"

# --- Pondering: hits and misses, and the clock --------------------------------

# White, a UCI engine, answers a search with 1. Nf3 expecting ...Nf6 at once,
# and a ponder search with Ng1 expecting ...Nc6, 0.5 s after ponderhit or
# stop. Black takes its knight out and back, twice, 1.5 s a move. White's
# ponder searches: on 1... Nf6 (a hit: 2. Ng1 is the ponder search's move),
# on 2... Nc6 (missed: Black plays 2... Ng8), on 3... Nf6 (a hit), and on
# 4... Nc6, cut short by the threefold repetition after 4... Ng8: four
# searches, two hits, one miss. White's clock runs from Black's move: a hit
# is charged its 0.5 s and not the 1.5 s the ponder search ran before it
# (the bound leaves a loaded machine most of a second), a miss the 0.5 s
# its stop takes.
cat > ponderer.txt <<'SCRIPT'
moveformat bestmove $m
on uci
  send id name Ponderer
  send option name Ponder type check default false
  send uciok
now isready
  send readyok
on go ponder
  await ponderhit stop
  sleep 500
  move f3g1 b8c6
at search
  move g1f3 g8f6
SCRIPT
cat > shuffler.txt <<'SCRIPT'
moves g8f6 f6g8 g8f6 f6g8
on protover
  send feature myname="Shuffler" ping=1 usermove=1 sigint=0 sigterm=0 done=1
on ping
  send pong $1
at search
  sleep 1500
  move
SCRIPT
scripted ponderer ponderer --protocol uci --ponder --display-name Ponderer
scripted shuffler shuffler --protocol 2 --no-ponder
counted="4 searches, 2 hits (50 %), 1 miss, after a hit"
$run "$enghost" play engines/ponderer.eng engines/shuffler.eng --tc 60 --ponder >ponder-play.out 2>&1
# The seconds a move of White's was charged, as the move's line shows them.
charged() { sed -n "s/^$1  *\(ponder hit, \)*\([0-9.]*\) s, \(depth\|without a search\).*/\2/p" ponder-play.out; }
hit=$(charged "2\. Ng1")
miss=$(charged "3\. Nf3")
if ! grep -q "^Result 1/2-1/2: drawn by threefold" ponder-play.out ||
    ! grep -q "^ponder  Ponderer (White): $counted" ponder-play.out; then
  fail "play: the pondering engine's hits and misses are not counted as played"
  cat ponder-play.out
elif ! awk -v hit="$hit" -v miss="$miss" 'BEGIN { exit !(hit >= 0.5 && hit < 1.4 && miss >= 0.5) }'; then
  fail "play: a hit charged ${hit} s and a miss ${miss} s, not 0.5 s or so each from the opponent's move"
  cat ponder-play.out
fi
# The same count in a match, after the table.
$run "$enghost" match engines/ponderer.eng engines/shuffler.eng --games 1 --tc 60 --ponder >ponder-match.out 2>&1
if ! sed -n '/^engine  /,$p' ponder-match.out | grep -q "^ponder  Ponderer: $counted"; then
  fail "match: the pondering engine's hits and misses are not counted after the table"
  cat ponder-match.out
fi
printf '%s\n' "pondering: $(grep '^ponder ' ponder-play.out | tr -d '\r'); a hit charged $hit s, a miss $miss s"

# --- match --------------------------------------------------------------------

# Faults: every game of "dies" and "illegal" ends by a fault of one of them.
$run "$enghost" match engines/dies.eng engines/illegal.eng --games 2 --st 1 --pgn faults.pgn >match.out 2>&1
status=$?
[ "$status" -eq 1 ] || fail "match of faulty engines: exit status $status, not 1"
[ "$(grep -c '^game [12]/2 ' match.out)" -eq 2 ] || fail "match of faulty engines: not a line per game"
grep -q '^games that did not end by the rules of chess or by a clock:' match.out || fail "match: no list of faults"
[ "$(grep -c '^  game [12] (' match.out)" -eq 2 ] || fail "match: not both games listed as faults"
[ "$(grep -c '^\[Result ' faults.pgn)" -eq 2 ] || fail "match: not both games in the PGN"
printf '%s\n' "match of faulty engines: $(grep -A2 '^games that did not' match.out | tail -2 | tr '\r\n' '  ')"

# An SPRT stops on its own: "knight" never loses to "illegal", and is taken
# to be 200 Elo the better after 8 games (the ratio after 7 is 2.93, the
# bound log(0.95/0.05) 2.94). Engines named as installed.
printf 'at search\n  move g1f3\n' > knight.txt
scripted knight knight
$run "$enghost" match knight illegal --sprt elo0=0 elo1=200 --games 100 --st 1 >sprt.out 2>&1
[ "$(grep -c '^game [0-9]*/100 .*  LLR ' sprt.out)" -eq 8 ] || { fail "sprt: not 8 games, each with its LLR"; cat sprt.out; }
grep -q '^SPRT elo0=0 elo1=200 alpha=0.05 beta=0.05, from single games: H1 (elo1) accepted after 8 games (LLR 3.35 (-2.94, 2.94))' sprt.out ||
  { fail "sprt: no decision for H1 after 8 games"; cat sprt.out; }
# A gauntlet: knight against each of the others, and no other pair.
$run "$enghost" match knight illegal dies --gauntlet --games 2 --st 1 >gauntlet.out 2>&1
[ "$(grep -c '^game [1-4]/4 ' gauntlet.out)" -eq 4 ] || { fail "gauntlet: not 4 games"; cat gauntlet.out; }
grep -q '^game [0-9]*/4  \(illegal - dies\|dies - illegal\) ' gauntlet.out && fail "gauntlet: two of the others met"
printf '%s\n' "sprt: $(grep '^SPRT' sprt.out)" "gauntlet: $(grep -c '^game ' gauntlet.out) games"

# bad NAME EXPECTED_TEXT ARGUMENTS...: refused with exit status 2 and the text.
bad() {
  name=$1 text=$2
  shift 2
  $run "$enghost" match "$@" >"bad-$name.out" 2>&1
  status=$?
  if [ "$status" -ne 2 ] || ! grep -q "$text" "bad-$name.out"; then
    fail "match with $name: exit status $status, or no \"$text\""
    cat "bad-$name.out"
  fi
}
printf '[Event "x"]\n\n1. e4 e5 2. Ke3 *\n' > illegal.pgn
bad nogames "games" engines/dies.eng engines/illegal.eng --games 0
bad concurrency "concurrency 999: this machine runs" engines/dies.eng engines/illegal.eng --concurrency 999
bad openings "cannot read the openings file" engines/dies.eng engines/illegal.eng --openings no-such.epd
bad badopening "game 1 (x): move 2. Ke3" engines/dies.eng engines/illegal.eng --openings illegal.pgn
bad noengine "no module at" engines/dies.eng engines/nothing.eng
bad oneengine "engines" engines/dies.eng
bad sprtthree "sprt tests two engines, not 3" knight illegal dies --sprt elo0=0 elo1=5
bad sprtwords "elo0 must be below elo1" knight illegal --sprt elo0=5 elo1=0
bad tcst "excludes" knight illegal --tc 5 --st 2

# An engine that leaves a process of its own behind when it quits (as
# polyglot may leave its engine): closing it ends that process too, natively.
if [ -z "$exe" ]; then
  marker=$((40000 + $$ % 10000))
  printf '#!/bin/sh\nsleep %s &\nwhile read -r line; do [ "$line" = quit ] && exit 0; done\n' "$marker" >leaver
  chmod +x leaver
  $run "$enghost" install leaver --exe ./leaver >/dev/null 2>&1
  $run "$enghost" check engines/leaver.eng >/dev/null 2>&1
  sleep 0.3
  left=$(ps -eo args | grep -c "^sleep $marker\$")
  [ "$left" -eq 0 ] || fail "install and check left $left processes of the engine's running"
  for pid in $(ps -eo pid,args | awk -v m="$marker" '$2 == "sleep" && $3 == m { print $1 }'); do kill "$pid"; done
fi

# Ctrl-C in the middle of a match: every engine is closed, natively (under
# wine a signal does not reach the program as a console's Ctrl-C).
if [ -z "$exe" ]; then
  $run "$enghost" match engines/deaf.eng engines/deaf.eng engines/deaf.eng --games 2 --concurrency 2 --tc 60 \
    >interrupt.out 2>&1 &
  pid=$!
  waited=0
  while [ "$(engines_running)" -lt 4 ] && [ "$waited" -lt 100 ]; do
    sleep 0.1
    waited=$((waited + 1))
  done
  [ "$(engines_running)" -ge 4 ] || fail "match: the engines of two games did not start"
  start=$(date +%s)
  kill -INT "$pid"
  wait "$pid"
  status=$?
  took=$(($(date +%s) - start))
  [ "$status" -eq 130 ] || { fail "interrupted match: exit status $status, not 130"; cat interrupt.out; }
  [ "$took" -le 15 ] || fail "interrupted match took $took s to end"
  grep -q "(interrupted)" interrupt.out || fail "interrupted match: not said"
  sleep 0.5
  [ "$(engines_running)" -eq 0 ] || fail "interrupted match left $(engines_running) engines running"
  echo "interrupted match: exit $status after $took s"
fi

[ "$failures" -eq 0 ]
