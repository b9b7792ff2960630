#!/bin/bash
# Builds the x86-64 program with its tests (what runs here under Wine) and the
# shipped 32-bit program. Prints the x86-64 build folder.
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
X64="${BRUMIK_BUILD_DIR:-$ROOT/build/x64}"
I686="$ROOT/build/i686"
configure() { # folder toolchain tests
  [ -f "$1/CMakeCache.txt" ] || cmake -S "$ROOT" -B "$1" -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/$2" \
    -DCMAKE_BUILD_TYPE=Release -DBRUMIK_TESTS="$3" >/dev/null
}
configure "$X64" mingw-x86_64.cmake ON
[ -n "${BRUMIK_SKIP_I686:-}" ] || configure "$I686" mingw-i686.cmake OFF
cmake --build "$X64" -j2 >&2
[ -n "${BRUMIK_SKIP_I686:-}" ] || cmake --build "$I686" -j2 >&2
echo "$X64"
