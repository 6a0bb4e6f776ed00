#!/usr/bin/env bash
# Start-up of the client to its first window, as a whole process: the time
# from starting it to the log line it writes once the main window has been
# shown, over a data folder made by `bench_mailmanager --make` (100,000
# mails). Headless (offscreen); the client is stopped after each run.
#
#   bench/startup_time.sh BUILD_DIR DATA_DIR [RUNS]
set -euo pipefail
build=$1; data=$2; runs=${3:-5}
client="$build/bin/quillmar"
state=$(mktemp -d); trap 'rm -rf "$state"' EXIT
export QMC2FOLDER="$data" QT_QPA_PLATFORM=offscreen XDG_RUNTIME_DIR="$state" XDG_STATE_HOME="$state"
# The logs are beside the program, or in the state folder when it is read-only.
cat_logs() { find "$build/bin/Log" "$state/quillmar/Log" -name '*.csl' -exec cat {} + 2>/dev/null || true; }
times=()
for i in $(seq "$runs"); do
    log_before=$(cat_logs | grep -c "主窗口已显示" || true)
    start=$(date +%s%N)
    "$client" >/dev/null 2>&1 &
    pid=$!
    until [ "$(cat_logs | grep -c "主窗口已显示" || true)" -gt "$log_before" ]; do
        sleep 0.005
        kill -0 $pid 2>/dev/null || { echo "the client ended early" >&2; exit 1; }
    done
    end=$(date +%s%N)
    kill -TERM $pid; wait $pid || true
    times+=($(( (end - start) / 1000000 )))
done
sorted=($(printf '%s\n' "${times[@]}" | sort -n))
echo "start to first window: ${sorted[*]} ms (median ${sorted[$(( runs / 2 ))]} ms)"
