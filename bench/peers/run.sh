#!/usr/bin/env bash
# quorvel-cli check beside the peer link checkers on page-1000 at 50 ms, plus the
# 10,000-link page (scale.sh: memory growth, thread count). Reproduces RESULTS.md.
#
#   bench/peers/run.sh --bin build/release/src/cli/quorvel-cli \
#       [--harness bench/harness] [--work /tmp/benchrun] [--rounds 5] [--port 8290]
#
# The harness (bench/harness: the test site, the peers' command lines, the timing scripts) is
# copied to --work (npm ci there once: linkinator,
# blc); its compare.py reads quorvel's JSON. One site server is started on --port (+1, +2) for the whole run;
# pick a port no one else uses (the harness resets the server's counters per run).
#
# Interleaved rounds (A B A B): every round runs each fast cell once (the harness's
# warm-up + 1 counted run), in the order quorvel p16, linkinator C=100, quorvel p100,
# blc C=1000, quorvel p1000, linkinator C=1000. blc's default (1 request per host,
# ~52 s) runs once after the rounds. LinkChecker and checklink are not run (their
# defaults are throttle-bound: 320 s and 1016 s for page-1000).
set -euo pipefail
HERE=$(cd "$(dirname "$0")" && pwd)
SHARED=$HERE/../harness; WORK=/tmp/benchrun; ROUNDS=5; PORT=8290; BIN=
while [ $# -gt 0 ]; do
  case $1 in
    --harness) SHARED=$2; shift 2 ;;
    --work) WORK=$2; shift 2 ;;
    --rounds) ROUNDS=$2; shift 2 ;;
    --port) PORT=$2; shift 2 ;;
    --bin) BIN=$(cd "$(dirname "$2")" && pwd)/$(basename "$2"); shift 2 ;;
    *) echo "unknown argument $1" >&2; exit 2 ;;
  esac
done
[ -x "$BIN" ] || { echo "--bin: quorvel-cli not found" >&2; exit 2; }

# the scripts are refreshed every time; node_modules and results/ in --work are kept
mkdir -p "$WORK"
cp -r "$SHARED"/. "$WORK"/
chmod -R u+w "$WORK"
[ -d "$WORK/node_modules" ] || (cd "$WORK" && npm ci --no-audit --no-fund)
cd "$WORK"
export QUORVEL_BIN=$BIN
RES=$WORK/results
RAW=$RES/q-raw.csv
LOG=$RES/q-log.txt
mkdir -p "$RES/out"
: > "$RAW"
BASE=http://127.0.0.1:$PORT

if curl -sf -o /dev/null "$BASE/health"; then
  echo "a server already answers on $PORT: choose another --port" >&2
  exit 2
fi
node site-server.js --port "$PORT" --latency 50 --lc-header 2>>"$RES/server-$PORT.log" &
SERVER_PID=$!
trap 'kill $SERVER_PID 2>/dev/null || true' EXIT
for _ in $(seq 50); do curl -sf -o /dev/null "$BASE/health" && break; sleep 0.1; done

cell() {  # cell NAME PEER SETTING [VAR=VALUE ...]: one harness call, --runs 1
  local name=$1 peer=$2 setting=$3
  shift 3
  env "$@" ./run-peers.sh --peers "$peer" --settings "$setting" --n 1000 --runs 1 \
    --port "$PORT" --csv "$RAW" 2>&1 | tee -a "$LOG" | grep -v '^#' || true
  # keep each cell's last report under its own name (quorvel's p100 and p1000 share "high")
  [ "$name" = "$peer-$setting" ] || mv "$RES/out/$peer-$setting-1000.txt" "$RES/out/$name-1000.txt"
}

{ echo "# $(date -u '+%Y-%m-%d %H:%M UTC'), $(nproc) cores, load: $(cut -d' ' -f1-3 /proc/loadavg)"
  source ./peers.sh
  for p in quorvel linkinator blc; do echo "# $(peer_version $p)"; done; } | tee -a "$LOG"
for r in $(seq "$ROUNDS"); do
  echo "## round $r" | tee -a "$LOG"
  cell quorvel-default quorvel default
  cell linkinator-default linkinator default
  cell quorvel-p100 quorvel high HIGH=100 QUORVEL_HIGH_ARGS="--parallel 100 --per-host 100"
  cell blc-high blc high HIGH=1000
  cell quorvel-p1000 quorvel high HIGH=1000 QUORVEL_HIGH_ARGS="--parallel 1000 --per-host 1000"
  cell linkinator-high linkinator high HIGH=1000
done
echo "## blc default, once (throttle-bound)" | tee -a "$LOG"
cell blc-default blc default

# every label's rows numbered 1..k, then the harness's median table
python3 - "$RAW" "$RES/q-runs.csv" <<'EOF'
import csv, sys
rows = list(csv.DictReader(open(sys.argv[1])))
seen = {}
for r in rows:
    seen[r["label"]] = seen.get(r["label"], 0) + 1
    r["run"] = str(seen[r["label"]])
w = csv.DictWriter(open(sys.argv[2], "w", newline=""), fieldnames=rows[0].keys())
w.writeheader()
w.writerows(sorted(rows, key=lambda r: r["label"]))
EOF
python3 summarize.py "$RES/q-runs.csv" | tee "$RES/q-summary.md"

# did every link get the right status? (the last report of each cell)
./check-statuses.sh results/out/{quorvel-default,quorvel-p100,quorvel-p1000,linkinator-default,linkinator-high,blc-high,blc-default}-1000.txt

# 10,000 links: memory growth and thread count (same server)
"$HERE/scale.sh" --bin "$BIN" --work "$WORK" --port "$PORT"

mkdir -p "$HERE/results"
cp "$RES"/q-*.csv "$RES"/q-*.md "$RES"/q-*.txt "$RES/statuses.md" "$HERE/results/"
echo "results copied to $HERE/results" >&2
