#!/usr/bin/env bash
# Runs a benchmark script once, as the tests do: passes when it exits with
# status 0 and one line of its output matches REGEX (extended, grep -E).
# With --needs PATH, a missing PATH skips the test (status 77) instead.
#
#   prints_line.sh [--needs PATH] REGEX COMMAND [ARG...]
set -uo pipefail
if [ "${1:-}" = --needs ]; then
  if [ ! -e "$2" ]; then
    echo "prints_line: no $2 (make web builds it)"
    exit 77
  fi
  shift 2
fi
regex=$1
shift
output="$(mktemp /tmp/velmora-prints-line.XXXXXX)"
trap 'rm -f "$output"' EXIT
"$@" 2>&1 | tee "$output"
status=${PIPESTATUS[0]}
if [ "$status" -ne 0 ]; then
  echo "prints_line: $1 exited with status $status" >&2
  exit 1
fi
if ! grep -Eq -- "$regex" "$output"; then
  echo "prints_line: $1 printed no line matching $regex" >&2
  exit 1
fi
