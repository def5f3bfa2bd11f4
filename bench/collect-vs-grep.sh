#!/bin/sh
# Times the command line's collection of the 20 MB / 200,000-anchor benchmark page beside
# `grep -c '<a '` on the same file, and measures its peak memory against the file size.
#
# Usage: bench/collect-vs-grep.sh [BUILD_DIR] [RUNS]
#   BUILD_DIR  a release build of this repository (default: build/release)
#   RUNS       runs of each command; the median counts (default: 5)
#
# Needs a build of the targets quorvel-cli and quorvel_collect_bench, and /usr/bin/time (GNU).
# Every command writes to a file: GNU grep stops at its first match when its output is /dev/null.
# The commands run in turn (grep, txt, json, grep, txt, json, ...), so a machine that slows down
# during the run slows all three alike. Figures are wall-clock seconds of whole processes.
set -eu

repo=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$repo/build/release}
if [ ! -d "$build" ]; then
    echo "no build directory $build: build the release preset first" >&2
    exit 2
fi
# Absolute, so that the page's address is a "file:///" one whatever the directory given.
build=$(cd "$build" && pwd)
runs=${2:-5}
cli=$build/src/cli/quorvel-cli
generator=$build/bench/quorvel_collect_bench
for program in "$cli" "$generator"; do
    if [ ! -x "$program" ]; then
        echo "missing $program: build the release preset first" >&2
        echo "  cmake --preset release && cmake --build --preset release --target quorvel-cli quorvel_collect_bench" >&2
        exit 2
    fi
done
if [ ! -x /usr/bin/time ]; then
    echo "needs GNU time at /usr/bin/time" >&2
    exit 2
fi

work=$build/bench/collect-vs-grep
mkdir -p "$work"
page=$work/big.html
[ -s "$page" ] || "$generator" --write-page "$page"
bytes=$(wc -c <"$page")

# One timed run: appends "wall-seconds peak-KiB user-seconds system-seconds" to FILE.
timed() { # file command...
    file=$1
    shift
    /usr/bin/time -f "%e %M %U %S" -a -o "$file" "$@"
}

rm -f "$work"/times.*
# Warms the file cache and the dynamic loader.
"$cli" collect "file://$page" --page-url http://127.0.0.1:8090/big.html --format txt --keep-anchors \
    --ignore-ext "" >/dev/null
i=0
while [ "$i" -lt "$runs" ]; do
    # grep takes about a step of /usr/bin/time's 10 ms clock: timed 20 at a time, divided below.
    timed "$work/times.grep" sh -c "for k in 1 2 3 4 5 6 7 8 9 10 11 12 13 14 15 16 17 18 19 20; do grep -c '<a ' '$page' >'$work/out.grep'; done"
    timed "$work/times.txt" sh -c "'$cli' collect 'file://$page' --page-url http://127.0.0.1:8090/big.html --format txt --keep-anchors --ignore-ext '' >'$work/out.txt'"
    timed "$work/times.json" sh -c "'$cli' collect 'file://$page' --page-url http://127.0.0.1:8090/big.html --format json --keep-anchors --ignore-ext '' >'$work/out.json'"
    i=$((i + 1))
done

median() { # file column ("cpu" for user + system)
    awk -v c="$2" '{ print (c == "cpu" ? $3 + $4 : $c) }' "$1" | sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'
}
grep_s=$(median "$work/times.grep" 1 | awk '{ print $1 / 20 }')
txt_s=$(median "$work/times.txt" 1)
json_s=$(median "$work/times.json" 1)
grep_cpu=$(median "$work/times.grep" cpu | awk '{ print $1 / 20 }')
txt_cpu=$(median "$work/times.txt" cpu)
json_cpu=$(median "$work/times.json" cpu)
txt_kib=$(median "$work/times.txt" 2)
json_kib=$(median "$work/times.json" 2)

awk -v g="$grep_s" -v t="$txt_s" -v j="$json_s" -v gc="$grep_cpu" -v tc="$txt_cpu" -v jc="$json_cpu" \
    -v tk="$txt_kib" -v jk="$json_kib" -v b="$bytes" -v n="$runs" '
function ratio(a, b) { return b > 0 ? a / b : 0 }
BEGIN {
    printf "page: %d bytes; medians of %d runs of whole processes (wall, and user + system)\n", b, n
    printf "%-22s %7.4f s wall %7.4f s cpu\n", "grep -c \"<a \"", g, gc
    printf "%-22s %7.3f s wall %7.3f s cpu  %5.1f x grep wall %5.1f x grep cpu  peak %6.1f MiB = %.1f x the file\n",
        "collect --format txt", t, tc, ratio(t, g), ratio(tc, gc), tk / 1024, tk * 1024 / b
    printf "%-22s %7.3f s wall %7.3f s cpu  %5.2f x txt wall  %5.2f x txt cpu   peak %6.1f MiB = %.1f x the file\n",
        "collect --format json", j, jc, ratio(j, t), ratio(jc, tc), jk / 1024, jk * 1024 / b
    print "note: /usr/bin/time counts in 10 ms steps; grep is timed 20 runs at a time and divided."
    print "On a busy machine wall time waits for the processor; the cpu columns are steadier then."
}'
