#!/bin/sh
# Starts fairymax 5.0b (Debian's, in /usr/games) with address-space
# randomisation off, where the system lets a program change that.
#
# fairymax 5.0b crashes on the first command it does not know (the classic
# greeting's "kelto", or "ponder") in some of its starts: on some machines a
# few in a hundred, on others nearly half, depending on where the system put
# its program and stack. With the layout fixed it has not crashed, and the
# tests that play it through the module no longer hang on its luck. Where the
# system does not allow it (some containers forbid the personality call), it
# starts as it is, and the tests' own retries remain.
engine=/usr/games/fairymax
arch=$(uname -m)
if setarch "$arch" -R true 2>/dev/null; then
  exec setarch "$arch" -R "$engine" "$@"
fi
exec "$engine" "$@"
