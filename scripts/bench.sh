#!/bin/bash
# Builds everything and runs each benchmark program under Wine, printing its
# figures; arguments go on to every benchmark. Ends with a summary: every line
# "RATIO <name> <value> goal <= <goal>" that the benchmarks printed, and how
# many of those figures are within their goals.
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
bash "$ROOT/scripts/setup.sh"
BUILD="$(bash "$ROOT/scripts/build.sh")"  # the 32-bit build too: its size is a figure
source "$ROOT/scripts/wine-env.sh"
source "$ROOT/scripts/demo-folder.sh"  # the start-up benchmark starts the player there

figures="$BUILD/bench/figures.txt"
: > "$figures"
for b in "$BUILD"/bench/bench_*.exe; do
  [ -e "$b" ] || continue
  echo "== $(basename "$b" .exe)"
  ( cd "$BUILD/bench" && "$WINE" "$b" "$@" ) | tr -d '\r' | tee -a "$figures"
done

# The shipped 32-bit program's size as built, in kilobytes.
shipped="$ROOT/build/i686/brumik.exe"
echo "== shipped program"
awk -v bytes="$(stat -c %s "$shipped")" 'BEGIN { printf "RATIO shipped_exe_kilobytes %.0f goal <= 500\n", bytes / 1024 }' |
  tee -a "$figures"

echo "== summary"
grep '^RATIO ' "$figures" || true
# Read in the C locale: under the Polish one awk takes "1.50" for 1.
LC_ALL=C awk '/^RATIO / { n++; if ($3 + 0 <= $6 + 0) within++ }
     END { printf "%d of %d figures within their goals\n", within, n }' "$figures"
