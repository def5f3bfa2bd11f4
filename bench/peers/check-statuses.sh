#!/usr/bin/env bash
# Did each peer report the right status for every link? Reads the reports that
# run-peers.sh kept (results/out/PEER-SETTING-N.txt, the last run of each cell),
# builds the ground truth of each page with site-server.js --expected, and writes
# results/statuses.md (one row per report, then one line per kind of mismatch).
#   ./check-statuses.sh [REPORT ...]
set -euo pipefail
BENCH=$(cd "$(dirname "$0")" && pwd)
cd "$BENCH"
reports=("$@")
if [ ${#reports[@]} -eq 0 ]; then
  for r in results/out/*-*-[0-9]*.txt; do
    case $r in *-version-*|*/extract-*|*/timeout-*) ;; *) reports+=("$r") ;; esac
  done
fi
EXP=$(mktemp -d)
trap 'rm -rf "$EXP"' EXIT
for r in "${reports[@]}"; do
  n=${r##*-}; n=${n%.txt}
  port=$(grep -o -m1 "http://127\.0\.0\.1:[0-9]*/page-$n\.html" "$r" | head -1 | sed 's|.*:\([0-9]*\)/.*|\1|' || true)
  # a report that lists only the links (quorvel): the most frequent 127.0.0.1 port
  [ -n "$port" ] || port=$(grep -o "http://127\.0\.0\.1:[0-9]*/" "$r" | sort | uniq -c | sort -rn | head -1 | sed 's|.*:\([0-9]*\)/|\1|' || true)
  [ -n "$port" ] && [ ! -s "$EXP/expected-$port-$n.json" ] &&
    node site-server.js --expected "$n" --port "$port" > "$EXP/expected-$port-$n.json"
done
python3 compare.py --markdown "${reports[@]}" --expected-dir "$EXP" | tee results/statuses.md
