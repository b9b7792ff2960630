#!/bin/bash
# Builds everything and runs each benchmark program under Wine, printing its figures.
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
bash "$ROOT/scripts/setup.sh"
BUILD="$(BRUMIK_SKIP_I686=1 bash "$ROOT/scripts/build.sh")"
source "$ROOT/scripts/wine-env.sh"
for b in "$BUILD"/bench/bench_*.exe; do
  [ -e "$b" ] || continue
  echo "== $(basename "$b" .exe)"
  ( cd "$BUILD/bench" && "$WINE" "$b" "$@" )
done
