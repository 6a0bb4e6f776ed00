#!/bin/bash
# The mail window over an inbox of 100,000 mails beside the sqlite3 shell
# running the same queries on the same file (the shell's own query time,
# .timer, warm cache): folder click to the first screen painted, the whole
# listing, a sort change, a search.
#   bench/mail_list_window.sh [BUILD_DIR] [RUNS]
set -euo pipefail
build=${1:-build/bench}
runs=${2:-7}
scratch=$(mktemp -d /tmp/qm-maillist-XXXXXX)
trap 'rm -rf "$scratch"' EXIT
db=$("$build/bin/bench_mailmanager" --make "$scratch/data" | tail -n 1)

"$build/bin/bench_maillist" "$scratch/data" "$runs" 2>/dev/null | grep -v '^ *\*\|^$\|Init\|GL\|Surface\|QSG\|Using\|No suitable'

sqlite_ms() {   # the median of the shell's own time for one query, in ms
  local query=$1 times=()
  for ((i = 0; i < runs; i++)); do
    times+=($(printf '.timer on\n%s;\n' "$query" | sqlite3 "$db" | sed -n 's/^Run Time: real \([0-9.]*\).*/\1/p' | tail -n 1))
  done
  printf '%s\n' "${times[@]}" | sort -n | sed -n "$(((runs + 1) / 2))p" | awk '{printf "%.1f", $1 * 1000}'
}
columns="select [id], [From], [To], [Subject] from [Mail] where [Type] = 2"
echo
echo "sqlite3 shell on the same file (ms):"
printf '  %-32s %8s\n' "first screen, date order" "$(sqlite_ms "$columns order by [Date] desc limit 10")"
printf '  %-32s %8s\n' "whole listing, date order" "$(sqlite_ms "$columns order by +[Date] desc")"
printf '  %-32s %8s\n' "first screen, subject order" "$(sqlite_ms "$columns order by [Subject], [Date] desc limit 10")"
printf '  %-32s %8s\n' "whole listing, subject order" "$(sqlite_ms "$columns order by [Subject], [Date] desc")"
printf '  %-32s %8s\n' "search (three columns, like)" "$(sqlite_ms "$columns and ([Subject] like '%Quotation 4242%' or [From] like '%Quotation 4242%' or [To] like '%Quotation 4242%') order by +[Date] desc")"
