#!/usr/bin/env bash
# Start-up time of the client to its first window, and its memory at rest.
#   bench/startup.sh [path/to/quillmar] [runs]
# Runs the client headless (QT_QPA_PLATFORM=offscreen unless set) in a
# scratch folder with its own HOME and XDG folders, times spawn -> the log
# line "主窗口已显示", then reads VmRSS after a second at rest.
set -euo pipefail
binary=$(readlink -f "${1:-build/release/bin/quillmar}")
runs=${2:-10}
scratch=$(mktemp -d /tmp/qm-startup-XXXXXX)
trap 'rm -rf "$scratch"' EXIT
mkdir -p "$scratch/prog" "$scratch/home" "$scratch/rt"
chmod 700 "$scratch/rt"
ln "$binary" "$scratch/prog/quillmar" 2>/dev/null || cp "$binary" "$scratch/prog/quillmar"
printf '[Log]\nLogToMode=File\nLogOutLevel=Info\n' > "$scratch/prog/QuillmarClient.cfg"
export HOME=$scratch/home XDG_RUNTIME_DIR=$scratch/rt XDG_DATA_HOME=$scratch/home/data \
       XDG_STATE_HOME=$scratch/home/state XDG_CONFIG_HOME=$scratch/home/config
export QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen}

times=() rss=()
for ((i = 0; i < runs; i++)); do
    rm -rf "$scratch/prog/Log"
    start=$(date +%s%N)
    "$scratch/prog/quillmar" >/dev/null 2>&1 &
    pid=$!
    until grep -qs '主窗口已显示' "$scratch"/prog/Log/*.csl; do sleep 0.005; done
    times+=($(( ($(date +%s%N) - start) / 1000000 )))
    sleep 1
    rss+=($(awk '/VmRSS/ {print $2}' "/proc/$pid/status"))
    kill -TERM "$pid"
    wait "$pid"
done
sorted() { printf '%s\n' "$@" | sort -n | tr '\n' ' '; }
echo "start to first window (ms), $runs runs: $(sorted "${times[@]}")"
echo "resident memory at rest (KiB): $(sorted "${rss[@]}")"
