#!/usr/bin/env bash
# prints_line.sh [--needs PATH] REGEX COMMAND [ARG...]: runs a benchmark script once; passes when it
# exits with 0 and a line of its output matches REGEX (grep -E). A missing PATH skips (status 77).
set -uo pipefail
if [ "${1:-}" = --needs ]; then
  [ -e "$2" ] || { echo "prints_line: no $2 (make web builds it)"; exit 77; }
  shift 2
fi
regex=$1
shift
output="$("$@" 2>&1)"
status=$?
echo "$output"
[ "$status" -eq 0 ] || { echo "prints_line: $1 exited with status $status" >&2; exit 1; }
grep -Eq -- "$regex" <<<"$output" || { echo "prints_line: no line matching $regex" >&2; exit 1; }
