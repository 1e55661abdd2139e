#!/usr/bin/env bash
# A long run of the checker: RUNS runs (default 10000) on one copy of
# examples/machines/default with its log kept, as an agent would run it
# over months: at its 2 MB limit the log rotates every few hundred runs.
# Checks that every run answers 0, that every log entry stands whole in its
# run's open/close bracket (none lost, none interleaved), and that the
# image neither gathers files nor the runs grow in memory; prints the
# figures.
#
#   bench/long_checker_runs.sh [RUNS]
set -euo pipefail
cd "$(dirname "$0")/.."
runs="${1:-10000}"
scripts/setup.sh
scripts/build.sh default --target kvprereqhandler >/dev/null
work=$(mktemp -d "${TMPDIR:-/tmp}/kv-long-checker-XXXXXX")
trap 'rm -rf "$work"' EXIT
cp -r examples/machines/default "$work/machine"
rm -rf "$work/machine/exit-code" "$work/machine/drive_c/Program Files (x86)/Tarnwick/Kelvane/KVAgent/logs"
logs="$work/machine/drive_c/Program Files (x86)/Tarnwick/Kelvane/KVAgent/logs"
files_before=$(find "$work/machine" -type f | wc -l)

failed=0 peak_first=0 peak_last=0 start=$(date +%s)
for ((i = 1; i <= runs; i++)); do
  if ((i <= 10 || i > runs - 10)); then
    peak=$(KV_MACHINE="$work/machine" /usr/bin/time -f %M build/bin/kvprereqhandler -p KB4056892 2>&1 >/dev/null | tail -1)
    ((i <= 10 && peak > peak_first)) && peak_first=$peak
    ((i > runs - 10 && peak > peak_last)) && peak_last=$peak
  else
    KV_MACHINE="$work/machine" build/bin/kvprereqhandler -p KB4056892 >/dev/null 2>&1 || true
  fi
  [[ "$(cat "$work/machine/exit-code")" == 0 ]] || failed=$((failed + 1))
  if ((i % 1000 == 0)); then echo "long-checker-runs: $i runs, $(($(date +%s) - start)) s" >&2; fi
done
seconds=$(($(date +%s) - start))

# Every entry of every log file lies between a "Log open time" line and its
# "Log close time" line, and every bracket is closed before the next opens.
broken=$(cat "$logs"/kvprereqhandler.log* | awk '
  /^Log open time: / { if (open) bad++; open = 1; opened++; next }
  /^Log close time: / { if (!open) bad++; open = 0; closed++; next }
  /^\[ [0-9-]+ [0-9:]+ \] \[ [0-9]+ \] \[[A-Z]+\]/ { if (!open) bad++; next }
  { if (!open) bad++ }
  END { print bad + 0, opened + 0, closed + 0 }')
read -r bad opened closed <<<"$broken"
files_after=$(find "$work/machine" -type f | wc -l)
backups=$(ls "$logs" | wc -l)
echo "long-checker-runs: $runs runs in $seconds s; $failed answered other than 0"
echo "long-checker-runs: logs kept: $backups files, $opened runs' brackets in them ($closed closed), $bad entries outside a bracket"
echo "long-checker-runs: peak memory of the first ten runs ${peak_first} KiB, of the last ten ${peak_last} KiB"
echo "long-checker-runs: files in the image $files_before before, $files_after after (the logs among them)"
((failed == 0 && bad == 0 && opened == closed))
