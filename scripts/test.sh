#!/bin/bash
# Sets up the machine, builds both programs and runs every test under Wine.
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
bash "$ROOT/scripts/setup.sh"
BUILD="$(bash "$ROOT/scripts/build.sh")"
source "$ROOT/scripts/wine-env.sh"
ctest --test-dir "$BUILD" --output-on-failure "$@"
