#!/bin/bash
# Makes docs/screenshot.png: the player on a virtual display, started on the
# first demo track, playing and showing its description.
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
bash "$ROOT/scripts/setup.sh"
BUILD="$(BRUMIK_SKIP_I686=1 bash "$ROOT/scripts/build.sh")"
WINE_ENV_ROOT="$BUILD/wine-run"
source "$ROOT/scripts/wine-env.sh"
source "$ROOT/scripts/demo-folder.sh"

first="$(ls "$DEMO"/*.mp3 | head -1)"
cd "$DEMO"
"$WINE" "$BUILD/brumik.exe" "$("$WINE" winepath -w "$first")" </dev/null >/dev/null 2>&1 &
player=$!
sleep 6  # started, playing, and the position has moved on a little
mkdir -p "$ROOT/docs"
geometry="$(xwininfo -root -tree | grep -a 'Brumik' | grep -ao '[0-9]\+x[0-9]\++[0-9]\++[0-9]\+' | head -1)"
xwd -root -silent | convert xwd:- -crop "$geometry" +repage png:"$ROOT/docs/screenshot.png"
kill "$player" 2>/dev/null || true
echo "docs/screenshot.png ($geometry)"
