#!/usr/bin/env bash
# Every option (and tx20ctl command, simulator fault kind) that --help names must be
# in the program's manual page. Usage: man_pages_test.sh PROGRAM MANPAGE [PROGRAM MANPAGE]...
set -euo pipefail
status=0
while [ $# -ge 2 ]; do
    prog=$1 page=$2
    shift 2
    help=$("$prog" --help)
    # The page as text: roff's escaped hyphens and font changes removed.
    text=$(sed -e 's/\\-/-/g' -e 's/\\f[BIRP]//g' "$page")
    words=$(grep -oE -- '--[a-z][a-z0-9-]*' <<<"$help" | sort -u)
    # Command names: the first word of the lines under "Commands:".
    words+=" "$(awk '/^Commands:/ {on=1; next} /^$/ {on=0} on && /^  [a-z]/ {print $1}' <<<"$help")
    words+=" "$(sed -n 's/^fault kinds: //p' <<<"$help")
    for w in $words; do
        if ! grep -qE -- "(^|[^a-z-])$w([^a-z-]|$)" <<<"$text"; then
            echo "$(basename "$page"): '$w' from $(basename "$prog") --help is not described"
            status=1
        fi
    done
done
exit $status
