#!/usr/bin/env bash
# The bootstrap takes any Debian revision of a pinned upstream version and
# names it in one line; another upstream version stops it with one line.
source "$(dirname "${BASH_SOURCE[0]}")/../../scripts/bootstrap.sh"
set +e
trap - ERR
BORROWED_PACKAGES=(libglfw3=3.4 libminiaudio-dev=0.11.22)
offered_versions() { awk -v name="$1" '$1 == name { $1 = ""; print }' <<<"$OFFERED" | tr ' ' '\n'; }
refused="the tested upstream version, is not in trixie's archive, which offers"
# what the index offers | the status | stdout (what is taken) or stderr
cases=(
  "libglfw3 3.4-3;libminiaudio-dev 0.11.22+dfsg-1|0|bootstrap: taking libglfw3 3.4-3, libminiaudio-dev 0.11.22+dfsg-1 from trixie into .deps/"
  "libglfw3 3.3.10-1 3.4-3+deb13u1 3.4-3;libminiaudio-dev 0.11.22+dfsg1-2|0|bootstrap: taking libglfw3 3.4-3+deb13u1, libminiaudio-dev 0.11.22+dfsg1-2 from trixie into .deps/"
  "libglfw3 1:3.4-1;libminiaudio-dev 0.11.22-4|0|bootstrap: taking libglfw3 1:3.4-1, libminiaudio-dev 0.11.22-4 from trixie into .deps/"
  "libglfw3 3.5-1 3.4~rc1-1;libminiaudio-dev 0.11.22+dfsg-1|1|bootstrap: libglfw3 3.4, $refused 3.5-1 3.4~rc1-1; test with that version and change BORROWED_PACKAGES in scripts/bootstrap.sh"
  "libglfw3 3.4-3;libminiaudio-dev 0.11.23+dfsg-1 0.11.22+git1-1|1|bootstrap: libminiaudio-dev 0.11.22, $refused 0.11.23+dfsg-1 0.11.22+git1-1; test with that version and change BORROWED_PACKAGES in scripts/bootstrap.sh"
  ";libminiaudio-dev 0.11.22+dfsg-1|1|bootstrap: libglfw3 3.4, $refused nothing; test with that version and change BORROWED_PACKAGES in scripts/bootstrap.sh"
)
failures=0
for case in "${cases[@]}"; do
  IFS='|' read -r offered status line <<<"$case"
  OFFERED=${offered//;/$'\n'}
  # stdout, then a line with what is downloaded, then stderr
  got=$( (choose_borrowed_revisions && echo "${BORROWED_TAKEN[*]}") 2>&1)
  got_status=$?
  taken=$(sed -n 's/^bootstrap: taking \(.*\) from trixie.*/\1/p' <<<"$line" | sed 's/, /\n/g' | sed 's/ /=/' | paste -sd ' ')
  want=$line${taken:+$'\n'$taken}
  if [ "$got_status" != "$status" ] || [ "$got" != "$want" ]; then
    printf 'FAIL: offered %s\n  got (status %s):\n%s\n  wanted (status %s):\n%s\n' "$offered" "$got_status" "$got" "$status" "$want"
    failures=$((failures + 1))
  fi
done
echo "$((${#cases[@]} - failures)) of ${#cases[@]} cases pass"
[ "$failures" = 0 ]
