#!/bin/sh
# enghost against the scripted test engine: an engine that dies mid-game, one
# whose move is illegal, one that never moves after "?". Each game must end
# with the right result and reason, in bounded time.
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

cat > dies.txt <<'SCRIPT'
# Answers 1. e4 with e5, and dies when told of White's second move.
on-line g1f3
  crash
at search
  move e7e5
SCRIPT
cat > illegal.txt <<'SCRIPT'
at search
  move e8e6
SCRIPT
cat > deaf.txt <<'SCRIPT'
# Thinks for a minute, and "?" does not cut it short.
ignore ?
at search
  sleep 60000
  move e7e5
SCRIPT

for name in dies illegal deaf; do
  if ! $run "$enghost" install "$name" --exe "testengine$exe" --args="--script $name.txt" --file "$name.txt" \
      >install.out 2>&1; then
    echo "FAIL: install $name:"
    cat install.out
    exit 1
  fi
done

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

[ "$failures" -eq 0 ]
