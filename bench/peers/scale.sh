#!/usr/bin/env bash
# quorvel-cli check on page-100 / 1000 / 10000 / 30000: peak RSS growth and thread count.
#
#   bench/peers/scale.sh --bin PATH/quorvel-cli [--work /tmp/benchrun] [--port 8290]
#
# Uses the harness copy in --work (see run.sh) and the site server on --port (starts
# one if none answers). Nearly every link of these pages is on one host:port, so the per-host
# bound is lifted to --parallel (as run.sh does): the figures measure the engine, not the
# politeness bound (at the default of 4 per host, page-1000 takes 12 s). Three series:
#  1. the harness's measure.py (wall, CPU, requests, most in flight) -> results/q-scale.*
#     NOTE: its peak RSS has a floor of ~22 MiB: Python starts the command with vfork,
#     and the kernel keeps the parent's RSS high-water mark in the child's ru_maxrss
#     (measure.py -- true reports 21.8 MiB). Fine for the peers (>100 MiB), not for us.
#  2. GNU time (fork+exec from a ~1 MiB process): the real peak RSS -> results/q-rss.txt
#  3. threads: /proc/PID/status "Threads:" sampled every 2 ms (threads.py), and every
#     clone/clone3/fork/vfork counted by strace -f -> results/q-threads.txt
set -euo pipefail
HERE=$(cd "$(dirname "$0")" && pwd)
WORK=/tmp/benchrun; PORT=8290; BIN=
while [ $# -gt 0 ]; do
  case $1 in
    --work) WORK=$2; shift 2 ;;
    --port) PORT=$2; shift 2 ;;
    --bin) BIN=$(cd "$(dirname "$2")" && pwd)/$(basename "$2"); shift 2 ;;
    *) echo "unknown argument $1" >&2; exit 2 ;;
  esac
done
[ -x "$BIN" ] || { echo "--bin: quorvel-cli not found" >&2; exit 2; }
cd "$WORK"
RES=$WORK/results
BASE=http://127.0.0.1:$PORT
if ! curl -sf -o /dev/null "$BASE/health"; then
  node site-server.js --port "$PORT" --latency 50 --lc-header 2>>"$RES/server-$PORT.log" &
  SERVER_PID=$!
  trap 'kill $SERVER_PID 2>/dev/null || true' EXIT
  for _ in $(seq 50); do curl -sf -o /dev/null "$BASE/health" && break; sleep 0.1; done
fi

# 1. the harness's figures
: > "$RES/q-scale.csv"
for p in 16 1000; do
  for n in 100 1000 10000; do
    runs=3; warm=1
    [ "$p/$n" = 16/10000 ] && { runs=2; warm=0; }   # ~30 s a run
    python3 measure.py --label "quorvel/p$p/$n" --runs $runs --warmup $warm \
      --stats-url "$BASE/stats" --csv "$RES/q-scale.csv" --timeout 300 \
      -- "$BIN" check "$BASE/page-$n.html" --format json --parallel $p --per-host $p 2>&1 | tail -1
  done
done
python3 summarize.py "$RES/q-scale.csv" | tee "$RES/q-scale.md"

# 2. real peak RSS (GNU time), 3 runs each (1 for the 30 s cell); "version" = start-up only
{
  echo "# setting page runs: peak RSS KiB per run | wall s per run | user+sys s per run"
  one() {  # one LABEL RUNS CMD...
    local label=$1 runs=$2 rss="" wall="" cpu=""
    shift 2
    for _ in $(seq "$runs"); do
      /usr/bin/time -o /tmp/q-time.$$ -f "%M %e %U %S" "$@" >/dev/null 2>&1 || true
      read -r m e u s < <(tail -1 /tmp/q-time.$$)
      rss+="$m "; wall+="$e "; cpu+="$(echo "$u + $s" | bc) "
    done
    echo "$label: $rss| $wall| $cpu"
  }
  one "version" 3 "$BIN" --version
  for pn in 16/100 16/1000 16/10000 100/1000 1000/100 1000/1000 1000/10000 1000/30000; do
    p=${pn%/*}; n=${pn#*/}
    runs=3; [ "$pn" = 16/10000 ] && runs=1
    one "p$p page-$n" $runs "$BIN" check "$BASE/page-$n.html" --format json --parallel "$p" --per-host "$p"
  done
  rm -f /tmp/q-time.$$
} 2>&1 | tee "$RES/q-rss.txt"

# 3. threads
{
  for pn in 16/1000 16/10000 1000/10000; do
    p=${pn%/*}; n=${pn#*/}
    echo "p$p page-$n: $(python3 "$HERE/threads.py" -- "$BIN" check "$BASE/page-$n.html" --format json --parallel "$p" --per-host "$p")"
  done
  for pn in 16/1000 1000/10000; do
    p=${pn%/*}; n=${pn#*/}
    strace -f -qq -e trace=clone,clone3,fork,vfork -o "$RES/q-strace.tmp" \
      "$BIN" check "$BASE/page-$n.html" --format json --parallel "$p" --per-host "$p" >/dev/null 2>&1 || true
    echo "strace -f p$p page-$n: $(grep -c -E 'clone|fork' "$RES/q-strace.tmp" || true) clone/clone3/fork/vfork calls"
  done
  rm -f "$RES/q-strace.tmp"
} 2>&1 | tee "$RES/q-threads.txt"
