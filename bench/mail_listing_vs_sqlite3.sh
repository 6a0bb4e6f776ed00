#!/bin/bash
# Lists an inbox of 100,000 mails in each sort order as a whole process,
# through the mail manager and through the sqlite3 shell running the same
# query on the same file, RUNS times each, and prints the median wall time.
#   bench/mail_listing_vs_sqlite3.sh [BUILD_DIR] [RUNS]
set -euo pipefail
build=${1:-build/bench}
runs=${2:-5}
tool="$build/bin/bench_mailmanager"
scratch=$(mktemp -d /tmp/qm-listing-XXXXXX)
trap 'rm -rf "$scratch"' EXIT
db=$("$tool" --make "$scratch/data" | tail -n 1)

queries=(
  "select [id], [From], [To], [Subject] from [Mail] where [Type] = 2 order by [Date] desc"
  "select [id], [From], [To], [Subject] from [Mail] where [Type] = 2 order by [Subject], [Date] desc"
  "select [id], [From], [To], [Subject] from [Mail] where [Type] = 2 order by [Size], [Date] desc"
  "select [id], [From], [To], [Subject] from [Mail] where [Type] = 2 order by [SeenFlag], [Date] desc"
  "select [id], [From], [To], [Subject] from [Mail] where [Type] = 2 order by [SeenFlag] desc, [Date] desc"
)

median_ms() {   # runs "$@" $runs times, prints the median wall time in ms
  local times=()
  for ((i = 0; i < runs; i++)); do
    local start end
    start=$(date +%s%N)
    "$@" >/dev/null
    end=$(date +%s%N)
    times+=($(((end - start) / 1000000)))
  done
  printf '%s\n' "${times[@]}" | sort -n | sed -n "$(((runs + 1) / 2))p"
}

printf '%-6s %12s %12s\n' mode manager_ms sqlite3_ms
for mode in 0 1 2 3 4; do
  printf '%-6s %12s %12s\n' "$mode" "$(median_ms "$tool" --list "$scratch/data" "$mode")" \
    "$(median_ms sqlite3 "$db" "${queries[$mode]}")"
done
