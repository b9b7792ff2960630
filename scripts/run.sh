#!/bin/bash
# Builds Brumik and starts it under Wine:
#   bash scripts/run.sh [FILE.mp3]
# With a file named it plays that file; without, it opens in the folder of
# demo tracks. On a desktop it uses the desktop's display, otherwise a
# virtual one.
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
file=""
[ $# -eq 0 ] || file="$(realpath "$1")"
bash "$ROOT/scripts/setup.sh"
BUILD="$(bash "$ROOT/scripts/build.sh")"
WINE_ENV_ROOT="$BUILD/wine-run"
WINE_ENV_KEEP_DISPLAY=1
source "$ROOT/scripts/wine-env.sh"
source "$ROOT/scripts/demo-folder.sh"

args=()
[ -z "$file" ] || args+=("$("$WINE" winepath -w "$file")")
if [ -n "$wine_env_xvfb" ]; then
  echo "No desktop display: Brumik runs on the virtual display $DISPLAY until you stop it (Ctrl+C)." >&2
fi
cd "$DEMO"
"$WINE" "$BUILD/brumik.exe" "${args[@]}"
