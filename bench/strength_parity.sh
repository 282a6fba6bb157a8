#!/usr/bin/env bash
# Strength parity: does playing through the module cost an engine strength?
# Each pairing is one engine installed twice behind the module, in two ways,
# playing a match against itself; the score gives the Elo difference
# between the two ways, with its 95 % interval. Not part of the test suite:
# a full run takes about an hour and a half. --help tells the rest.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
program=$(basename "$0")

usage() {
  cat <<EOF
usage: $program [--games N] [--tc TC] [--concurrency K] [--only PAIRINGS]
                [--logs DIR] [--build DIR]

Plays three pairings, each an engine against itself installed behind the
module in two ways, with enghost match, and tells whether playing through
the module one way or the other costs strength:

  protocol  Fairy-Stockfish (protocol 2) against Fairy-Stockfish (UCI), both
            with Threads=1 and Hash=16. Goal: 0 Elo, the interval includes 0.
  classic   fairymax in the classic conversation against fairymax in
            protocol 2 (started through tests/support/fairymax_fixed_layout.sh,
            with address-space randomisation off, where fairymax 5.0b does not
            crash on its first unknown command). Goal: 0 Elo, or a cost that
            comes from the classic conversation itself, which tells the
            engine less than protocol 2 does; the log and the games tell
            which.
  ponder    Stockfish that ponders against Stockfish that does not, both with
            Threads=1 and Hash=16, played with --ponder. Goal: a gain, the
            interval above 0. Its games are always played one at a time, so
            that the pondering engine has a processor of its own while the
            other thinks; with two processors, leave the machine alone
            meanwhile.

Every game starts from one of the openings of examples/openings.pgn, each
played once with each colour. The engines are installed in a scratch folder
that is removed at the end. Each match's whole output (a line per game, the
table, the ponder statistics) is kept in DIR/PAIRING.log and its games in
DIR/PAIRING.pgn; the summary goes to DIR/summary.txt too.

At the end a table gives, for each pairing, the games counted, the first
engine's wins, draws and losses and its score, the Elo difference of the
first engine to the second with its 95 % interval (from enghost match's
table), the goal, and whether the interval meets it; then the ponder
statistics of the pondering Stockfish: ponder searches, hits (their share of
the searches), misses, and the time charged for a move after a hit.

Options:
  --games N        games per pairing (default 200)
  --tc TC          time control, enghost's --tc: BASE or BASE+INC in seconds
                   (default 5)
  --concurrency K  games at a time in the protocol and classic pairings
                   (default 1; at most the machine's processor threads); the
                   ponder pairing always plays one at a time
  --only LIST      only these pairings, comma-separated: protocol, classic,
                   ponder
  --logs DIR       where the logs are kept (default: a new folder
                   \${TMPDIR:-/tmp}/strength-parity-DATE-TIME)
  --build DIR      the build folder whose bin/enghost plays (default: the
                   environment's CECP_BUILD, else build/native, which is
                   built with the native preset when it has no enghost yet)
  -h, --help       this text

Time: at --tc 5 a game takes eight to ten seconds: 200 games a pairing take
about half an hour one at a time, the default run an hour and a half;
--concurrency 2 halves the first two pairings (about an hour in all).

The engines are Debian's: /usr/games/stockfish, /usr/games/fairy-stockfish
and /usr/games/fairymax (scripts/install-deps installs them).

Exit status: 0 when every match was played with no engine at fault, 1 when
an engine was at fault in some game (listed in the log) or a match could not
be played, 2 for bad input, 130 when interrupted (Ctrl-C ends the match
under way after closing its engines; the logs so far are kept).
EOF
}

# die MESSAGE [STATUS]
die() {
  echo "$program: $1" >&2
  exit "${2:-1}"
}
bad() { die "$1 (see --help)" 2; }

games=200
tc=5
concurrency=1
only=protocol,classic,ponder
logs=""
build=${CECP_BUILD:-}
while [ $# -gt 0 ]; do
  case $1 in
  -h | --help)
    usage
    exit 0
    ;;
  --games | --tc | --concurrency | --only | --logs | --build)
    [ $# -ge 2 ] || bad "$1 needs a value"
    case $1 in
    --games) games=$2 ;;
    --tc) tc=$2 ;;
    --concurrency) concurrency=$2 ;;
    --only) only=$2 ;;
    --logs) logs=$2 ;;
    --build) build=$2 ;;
    esac
    shift 2
    ;;
  *) bad "unknown argument \"$1\"" ;;
  esac
done

[[ $games =~ ^[1-9][0-9]*$ ]] || bad "--games $games: give a whole number, 1 or more"
[[ $tc =~ ^[1-9][0-9]*(\+[0-9]+)?$ ]] || bad "--tc $tc: give BASE or BASE+INC in whole seconds (5, 10+1)"
threads=$(nproc 2>/dev/null || echo 1)
if ! [[ $concurrency =~ ^[1-9][0-9]*$ ]] || [ "$concurrency" -gt "$threads" ]; then
  bad "--concurrency $concurrency: give 1 to $threads (the machine's processor threads)"
fi
selected=()
IFS=, read -r -a wanted <<<"$only"
for key in "${wanted[@]}"; do
  case $key in
  protocol | classic | ponder) [[ " ${selected[*]-} " == *" $key "* ]] || selected+=("$key") ;;
  *) bad "--only: \"$key\" is none of protocol, classic, ponder" ;;
  esac
done
[ ${#selected[@]} -gt 0 ] || bad "--only: name a pairing"

# enghost, built first where it is the default build's and missing.
if [ -z "$build" ]; then
  build=$root/build/native
  if [ ! -x "$build/bin/enghost" ]; then
    echo "=== building the native preset (build/native has no enghost yet)"
    (cd "$root" && cmake --preset native && cmake --build --preset native)
  fi
fi
enghost=$build/bin/enghost
[ -x "$enghost" ] ||
  die "no enghost in $build/bin: build it (cmake --build --preset native), or name another build with --build"

# The engines of the pairings chosen.
stockfish=/usr/games/stockfish
fairy_stockfish=/usr/games/fairy-stockfish
fairymax=/usr/games/fairymax
fairymax_wrapper=$root/tests/support/fairymax_fixed_layout.sh
missing=()
for key in "${selected[@]}"; do
  case $key in
  protocol) [ -x "$fairy_stockfish" ] || missing+=("$fairy_stockfish") ;;
  classic) [ -x "$fairymax" ] || missing+=("$fairymax") ;;
  ponder) [ -x "$stockfish" ] || missing+=("$stockfish") ;;
  esac
done
[ ${#missing[@]} -eq 0 ] ||
  die "${missing[*]}: not installed; scripts/install-deps installs them (Debian's stockfish, fairy-stockfish, fairymax)"

if [ -z "$logs" ]; then
  logs=${TMPDIR:-/tmp}/strength-parity-$(date +%Y%m%d-%H%M%S)
fi
mkdir -p "$logs" || die "cannot make the logs folder $logs"
logs=$(cd "$logs" && pwd)
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
engines=$scratch/engines

# install NAME ARGS...: an engine behind a copy of the module, in the scratch
# folder; what install says goes to the log.
install() {
  local name=$1
  shift
  echo "--- enghost install $name $*" >>"$logs/install.log"
  "$enghost" install "$name" --engines "$engines" "$@" >>"$logs/install.log" 2>&1 ||
    die "could not install $name: see $logs/install.log"
}

echo "strength parity: ${selected[*]}; $games games a pairing at --tc $tc; logs in $logs"
rm -f "$logs/install.log"
for key in "${selected[@]}"; do
  case $key in
  protocol)
    # In protocol 2 Fairy-Stockfish announces neither option (install warns,
    # and sends them all the same); these are its defaults, so the two play
    # with the same either way.
    install fairy-stockfish-p2 --exe "$fairy_stockfish" --protocol 2 --option Threads=1 --option Hash=16 \
      --display-name "Fairy-Stockfish (protocol 2)"
    install fairy-stockfish-uci --exe "$fairy_stockfish" --protocol uci --option Threads=1 --option Hash=16 \
      --display-name "Fairy-Stockfish (UCI)"
    ;;
  classic)
    # The engine program is the wrapper, which starts fairymax with the
    # layout fixed.
    install fairymax-classic --exe "$fairymax_wrapper" --protocol 1 --display-name "Fairymax (classic)"
    install fairymax-p2 --exe "$fairymax_wrapper" --protocol 2 --display-name "Fairymax (protocol 2)"
    ;;
  ponder)
    install stockfish-ponder --exe "$stockfish" --ponder --option Threads=1 --option Hash=16 \
      --display-name "Stockfish (ponder)"
    install stockfish-no-ponder --exe "$stockfish" --no-ponder --option Threads=1 --option Hash=16 \
      --display-name "Stockfish (no ponder)"
    ;;
  esac
done

# The row of the table a match's log ends with for the engine shown as NAME:
# "NAME  games  wins  draws  losses  score %  ELO (95 %: LOW to HIGH)".
table_row() {
  awk -v name="$2" 'index($0, name "  ") == 1 { row = $0 } END { print row }' "$1"
}

# meets GOAL LOW HIGH: whether an interval (whole Elo, or -inf/+inf) meets the goal.
elo_number() {
  case $1 in
  -inf) echo -999999 ;;
  +inf) echo 999999 ;;
  *) echo "$1" ;;
  esac
}
meets() {
  local goal=$1 low high
  low=$(elo_number "$2")
  high=$(elo_number "$3")
  case $goal in
  zero) if [ "$low" -le 0 ] && [ "$high" -ge 0 ]; then echo "yes: includes 0"; else echo "no: excludes 0"; fi ;;
  cost)
    if [ "$low" -le 0 ] && [ "$high" -ge 0 ]; then
      echo "yes: includes 0"
    elif [ "$high" -lt 0 ]; then
      echo "a cost: below 0"
    else
      echo "no: above 0"
    fi
    ;;
  gain)
    if [ "$low" -gt 0 ]; then
      echo "yes: above 0"
    elif [ "$high" -lt 0 ]; then
      echo "no: below 0"
    else
      echo "not shown: includes 0"
    fi
    ;;
  esac
}

rows=()
notes=()
status=0
# pairing KEY LABEL FIRST SECOND GOAL GOAL_TEXT CONCURRENCY [MATCH_OPTIONS...]
pairing() {
  local key=$1 label=$2 first=$3 second=$4 goal=$5 goal_text=$6 at_a_time=$7
  shift 7
  local log=$logs/$key.log pgn=$logs/$key.pgn
  local first_name second_name
  first_name=$(sed -n 's/^Engine=//p' "$engines/$first/$first.init" | tr -d '\r')
  second_name=$(sed -n 's/^Engine=//p' "$engines/$second/$second.init" | tr -d '\r')
  rm -f "$log" "$pgn"
  echo
  echo "=== $label: $first_name against $second_name, $games games, $at_a_time at a time ($log)"
  local played=0
  # tee -i: Ctrl-C goes to enghost, which closes its engines and ends the
  # match; its last lines still reach the log.
  "$enghost" match "$engines/$first.eng" "$engines/$second.eng" --games "$games" --tc "$tc" \
    --openings "$root/examples/openings.pgn" --concurrency "$at_a_time" --pgn "$pgn" "$@" 2>&1 |
    tee -i "$log" || played=$?
  if [ "$played" -eq 130 ]; then
    echo "$program: interrupted; the logs so far are in $logs" >&2
    exit 130
  fi
  [ "$played" -eq 0 ] || status=1

  local row rest g w d l pct elo low high verdict
  row=$(table_row "$log" "$first_name")
  if [ -z "$row" ]; then
    rows+=("$(printf '%-32s  %s' "$label" "no result: the match ended with status $played, see $log")")
    return
  fi
  rest=${row:${#first_name}}
  read -r g w d l pct _ elo <<<"$rest"
  if [ "$g" -eq 0 ]; then
    rows+=("$(printf '%-32s  %5s  %s' "$label" 0 "no game counted, see $log")")
    return
  fi
  if [[ $elo =~ ^([+-]?[0-9]+)\ \(95\ %:\ ([+-]?[0-9]+|-inf)\ to\ ([+-]?[0-9]+|\+inf)\)$ ]]; then
    low=${BASH_REMATCH[2]}
    high=${BASH_REMATCH[3]}
    elo="${BASH_REMATCH[1]} ($low to $high)"
  elif [[ $elo == *"every game won"* ]]; then
    low=+inf high=+inf elo="+inf (every game won)"
  else
    low=-inf high=-inf elo="-inf (every game lost)"
  fi
  verdict=$(meets "$goal" "$low" "$high")
  rows+=("$(printf '%-32s  %5s  %-12s  %5s %%  %-22s  %-40s  %s' "$label" "$g" "$w/$d/$l" "$pct" "$elo" \
    "$goal_text" "$verdict")")
  local faults
  faults=$(sed -n '/^games that did not end by the rules/,$p' "$log" | grep -c '^  game ' || true)
  [ "$faults" -eq 0 ] || notes+=("$label: $faults games ended otherwise than by the rules or a clock, listed in $log")
  if [ "$key" = ponder ]; then
    while IFS= read -r line; do notes+=("$line"); done < <(grep '^ponder  ' "$log" || true)
  fi
}

for key in "${selected[@]}"; do
  case $key in
  protocol)
    pairing protocol "Fairy-Stockfish protocol 2 - UCI" fairy-stockfish-p2 fairy-stockfish-uci zero "0 Elo" \
      "$concurrency"
    ;;
  classic)
    pairing classic "Fairymax classic - protocol 2" fairymax-classic fairymax-p2 cost \
      "0 Elo or the classic conversation's cost" "$concurrency"
    ;;
  ponder)
    pairing ponder "Stockfish ponder - no ponder" stockfish-ponder stockfish-no-ponder gain "a gain" 1 --ponder
    ;;
  esac
done

{
  echo
  echo "strength parity at --tc $tc (the first engine's score; Elo: first to second, 95 % interval)"
  printf '%-32s  %5s  %-12s  %7s  %-22s  %-40s  %s\n' pairing games W/D/L score "Elo (95 %)" goal "met?"
  printf '%s\n' "${rows[@]}"
  [ ${#notes[@]} -eq 0 ] || printf '%s\n' "${notes[@]}"
  echo "logs: $logs"
} | tee "$logs/summary.txt"
exit "$status"
