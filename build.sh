#!/usr/bin/env bash
# The project's two commands:
#   ./build.sh run  [program arguments]   install, build Release, start the client
#   ./build.sh test [ctest arguments]     install, build Debug -O1 with ASan/UBSan, run the suite
# and one more:
#   ./build.sh bench                      install, build Release with benchmarks, run them
#   ./build.sh fuzz [target] [seconds]    install, build the libFuzzer targets with clang, fuzz
#   ./build.sh demo                       install, build Release, run mail servers for a demo account
set -euo pipefail
cd "$(dirname "$(readlink -f "$0")")"

verb=${1:-}
[ $# -gt 0 ] && shift

install_packages() {
    local want missing=() pkg
    want=$(sed -n "s/^$1:[[:space:]]*//p" packages.list)
    [ -n "$want" ] || { echo "build.sh: no package list for '$1'" >&2; exit 2; }
    for pkg in $want; do
        dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed' || missing+=("$pkg")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "build.sh: installing ${missing[*]}"
    local sudo=()
    [ "$(id -u)" -eq 0 ] || sudo=(sudo)
    "${sudo[@]}" apt-get update -qq
    # Servers the tests need (Dovecot) are packages whose installation would
    # also start them as system services; the tests run their own on
    # loopback, so service starts are refused while we install (unless the
    # machine already has its own policy).
    local policy=/usr/sbin/policy-rc.d own_policy= rc=0
    if [ ! -e "$policy" ]; then
        printf '#!/bin/sh\nexit 101\n' | "${sudo[@]}" tee "$policy" >/dev/null
        "${sudo[@]}" chmod 755 "$policy"
        own_policy=1
    fi
    DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" || rc=$?
    [ -z "$own_policy" ] || "${sudo[@]}" rm -f "$policy"
    return $rc
}

configure_and_build() {   # dir, cmake options...
    local dir=$1; shift
    cmake -S . -B "$dir" -G Ninja "$@" >/dev/null
    cmake --build "$dir" -- -j"$(nproc)"
}

case "$verb" in
run)
    install_packages run
    configure_and_build build/release -DCMAKE_BUILD_TYPE=Release -DQUILLMAR_TESTS=OFF
    exec build/release/bin/quillmar "$@"
    ;;
test)
    install_packages test
    configure_and_build build/test -DCMAKE_BUILD_TYPE=Debug -DQUILLMAR_SANITIZE=ON -DQUILLMAR_TESTS=ON
    exec ctest --test-dir build/test --output-on-failure -j"$(nproc)" "$@"
    ;;
demo)
    install_packages demo
    configure_and_build build/release -DCMAKE_BUILD_TYPE=Release -DQUILLMAR_TESTS=OFF -DQUILLMAR_DEMO=ON
    exec build/release/bin/quillmar-demo build/demo-data
    ;;
bench)
    install_packages bench
    configure_and_build build/bench -DCMAKE_BUILD_TYPE=Release -DQUILLMAR_TESTS=OFF -DQUILLMAR_BENCH=ON
    for b in build/bench/bin/bench_*; do [ -x "$b" ] && "$b" "$@"; done
    ;;
fuzz)
    install_packages fuzz
    CC=clang CXX=clang++ configure_and_build build/fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUILLMAR_FUZZ=ON \
        -DQUILLMAR_TESTS=OFF
    # ./build.sh fuzz [target] [seconds]: one target or, without one, each
    # in turn. The corpus grows in the build tree; the seeds are the test
    # fixtures and tests/fuzz/corpus/<target>.
    targets=(message header html_pictures pop3_reply smtp_reply ini json_reply paste_filter)
    if [ $# -gt 0 ] && [[ ! $1 =~ ^[0-9]+$ ]]; then targets=("$1"); shift; fi
    seconds=${1:-60}
    for target in "${targets[@]}"; do
        case $target in
        message)      seeds=(tests/data/mime/*.eml tests/fuzz/corpus/mime/*); dict=tests/fuzz/mime.dict ;;
        paste_filter) seeds=(tests/fuzz/corpus/paste/*); dict=tests/fuzz/paste.dict ;;
        header|html_pictures|pop3_reply|smtp_reply|ini|json_reply)
                      seeds=(tests/fuzz/corpus/$target/*); dict=tests/fuzz/$target.dict ;;
        *) echo "build.sh: no fuzz target '$target' (${targets[*]})" >&2; exit 2 ;;
        esac
        mkdir -p "build/fuzz/corpus/$target"
        cp -n "${seeds[@]}" "build/fuzz/corpus/$target/" 2>/dev/null || true
        "build/fuzz/bin/fuzz_$target" "build/fuzz/corpus/$target" -dict="$dict" -max_total_time="$seconds" \
            -rss_limit_mb=4096 -timeout=10 -print_final_stats=1
    done
    ;;
*)
    echo "usage: ./build.sh run|test|bench|fuzz|demo [arguments]" >&2
    exit 2
    ;;
esac
