#!/usr/bin/env bash
# The bootstrap takes any Debian revision of a pinned upstream version and
# names it in one line; another upstream version stops it with one line.
source "$(dirname "${BASH_SOURCE[0]}")/../../scripts/bootstrap.sh"
set +e
trap - ERR
BORROWED_PACKAGES=(libglfw3=3.4 libminiaudio-dev=0.11.22)
offered_versions() { awk -v name="$1" '$1 == name { $1 = ""; print }' <<<"$OFFERED" | tr ' ' '\n'; }
refused="the tested upstream version, is not in trixie's archive, which offers"
fix="test with that version and change BORROWED_PACKAGES in scripts/bootstrap.sh"
# what the index offers | the status | what is said, then taken
cases=(
  "libglfw3 3.3.10-1 3.4-3+deb13u1 3.4-3;libminiaudio-dev 0.11.22+dfsg1-2|0|bootstrap: taking libglfw3 3.4-3+deb13u1, libminiaudio-dev 0.11.22+dfsg1-2 from trixie into .deps/;libglfw3=3.4-3+deb13u1 libminiaudio-dev=0.11.22+dfsg1-2"
  "libglfw3 1:3.4-1;libminiaudio-dev 0.11.22-4|0|bootstrap: taking libglfw3 1:3.4-1, libminiaudio-dev 0.11.22-4 from trixie into .deps/;libglfw3=1:3.4-1 libminiaudio-dev=0.11.22-4"
  "libglfw3 3.5-1 3.4~rc1-1;libminiaudio-dev 0.11.22+dfsg-1|1|bootstrap: libglfw3 3.4, $refused 3.5-1 3.4~rc1-1; $fix"
  "libglfw3 3.4-3;libminiaudio-dev 0.11.23+dfsg-1 0.11.22+git1-1|1|bootstrap: libminiaudio-dev 0.11.22, $refused 0.11.23+dfsg-1 0.11.22+git1-1; $fix"
  ";libminiaudio-dev 0.11.22+dfsg-1|1|bootstrap: libglfw3 3.4, $refused nothing; $fix"
)
failures=0
for case in "${cases[@]}"; do
  IFS='|' read -r offered status want <<<"$case"
  OFFERED=${offered//;/$'\n'}
  got=$( (choose_borrowed_revisions && echo "${BORROWED_TAKEN[*]}") 2>&1)
  got="$?|${got//$'\n'/;}"
  [ "$got" = "$status|$want" ] || { printf 'FAIL: offered %s\n  got:  %s\n  want: %s\n' "$offered" "$got" "$status|$want"; failures=$((failures + 1)); }
done
echo "$((${#cases[@]} - failures)) of ${#cases[@]} cases pass"
[ "$failures" = 0 ]
