#!/usr/bin/env bash
# The bootstrap's choice of the borrowed packages' Debian revisions: any
# revision of the pinned upstream version is taken and named in one line;
# another upstream version stops the set-up with one line.
source "$(dirname "${BASH_SOURCE[0]}")/../../scripts/bootstrap.sh"
set +e
trap - ERR
failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}

# What the index offers, as apt-cache madison lists it, one package a line.
OFFERED=""
offered_versions() { awk -v name="$1" '$1 == name { for (i = 2; i <= NF; i++) print $i }' <<<"$OFFERED"; }
BORROWED_PACKAGES=(libglfw3=3.4 libminiaudio-dev=0.11.22)
errors=$(mktemp)
trap 'rm -f "$errors"' EXIT

# offered | status | the one line expected (stdout when taken, stderr when refused)
cases=(
  "libglfw3 3.4-3|libminiaudio-dev 0.11.22+dfsg-1|0|bootstrap: taking libglfw3 3.4-3, libminiaudio-dev 0.11.22+dfsg-1 from trixie into .deps/"
  "libglfw3 3.3.10-1 3.4-3+deb13u1 3.4-3|libminiaudio-dev 0.11.22+dfsg1-2|0|bootstrap: taking libglfw3 3.4-3+deb13u1, libminiaudio-dev 0.11.22+dfsg1-2 from trixie into .deps/"
  "libglfw3 1:3.4-1|libminiaudio-dev 0.11.22-4|0|bootstrap: taking libglfw3 1:3.4-1, libminiaudio-dev 0.11.22-4 from trixie into .deps/"
  "libglfw3 3.5-1 3.4~rc1-1|libminiaudio-dev 0.11.22+dfsg-1|1|bootstrap: libglfw3 3.4, the tested upstream version, is not in trixie's archive, which offers 3.5-1 3.4~rc1-1; test with that version and change BORROWED_PACKAGES in scripts/bootstrap.sh"
  "libglfw3 3.4-3|libminiaudio-dev 0.11.23+dfsg-1 0.11.22+git1-1|1|bootstrap: libminiaudio-dev 0.11.22, the tested upstream version, is not in trixie's archive, which offers 0.11.23+dfsg-1 0.11.22+git1-1; test with that version and change BORROWED_PACKAGES in scripts/bootstrap.sh"
  "|libminiaudio-dev 0.11.22+dfsg-1|1|bootstrap: libglfw3 3.4, the tested upstream version, is not in trixie's archive, which offers nothing; test with that version and change BORROWED_PACKAGES in scripts/bootstrap.sh"
)
for case in "${cases[@]}"; do
  IFS='|' read -r glfw miniaudio status line <<<"$case"
  OFFERED=$(printf '%s\n%s\n' "$glfw" "$miniaudio")
  out=$( (choose_borrowed_revisions 2>"$errors" && echo "${BORROWED_TAKEN[*]}") )
  got=$?
  err=$(cat "$errors")
  [ "$got" = "$status" ] || fail "$glfw / $miniaudio: status $got, expected $status"
  if [ "$status" = 0 ]; then
    # What is downloaded is what the line names.
    taken=$(sed 's/^bootstrap: taking //; s/ from trixie.*//; s/, /\n/g' <<<"$line" | sed 's/ /=/' | paste -sd ' ')
    [ "$out" = "$line"$'\n'"$taken" ] || fail "$glfw / $miniaudio: said and took '$out'"
    [ -z "$err" ] || fail "$glfw / $miniaudio: complained '$err'"
  else
    [ "$err" = "$line" ] || fail "$glfw / $miniaudio: said '$err'"
  fi
done

[ "$failures" = 0 ] && echo "all ${#cases[@]} cases pass"
exit $((failures > 0))
