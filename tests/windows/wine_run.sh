#!/bin/sh
# Runs one Windows test program under Wine for ctest.
#   wine_run.sh PROGRAM [ARGUMENT...]
# On a loaded machine Wine now and then fails to start a program at all: it
# ends at once with a failing status, having printed nothing. A program that
# ran prints at least its test framework's header, so such a start says
# nothing of the program: it is said, and made once more. Anything that
# printed stands as it ended.
out=$(mktemp)
trap 'rm -f "$out"' EXIT
wine "$@" >"$out" 2>&1
status=$?
cat "$out"
if [ "$status" -ne 0 ] && [ ! -s "$out" ]; then
  echo "wine_run: wine ended with status $status before the program printed anything; starting it once more" >&2
  wine "$@"
  status=$?
fi
exit "$status"
