#!/bin/sh
# Runs one test program under Wine for CTest. Once in several hundred starts here a program ended in
# 0.02 s with a failure code and without a line of output, before its own code ran: every test program
# prints its first line at once. Such a start is tried again, once, and the retry is reported with the
# first start's exit code; any run that printed something stands as it is.
out=$(mktemp) || exit 1
trap 'rm -f "$out"' EXIT
wine "$@" >"$out" 2>&1
rc=$?
if [ "$rc" -ne 0 ] && [ ! -s "$out" ]; then
    echo "wine-test: $1 ended with $rc before printing anything; started again" >&2
    wine "$@" >"$out" 2>&1
    rc=$?
fi
cat "$out"
exit "$rc"
