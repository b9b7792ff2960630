#!/bin/bash
# Makes the release package for Windows users: the 32-bit program, stripped,
# and its Polish read-me CZYTAJ.TXT (Windows-1250, CRLF line ends) in
#   dist/brumik-VERSION-win32.zip
# with its SHA-256 checksum beside it (dist/brumik-VERSION-win32.zip.sha256,
# checked with `sha256sum -c`). VERSION comes from resources/Version.h.
# Prints the zip's path.
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
I686="$ROOT/build/i686"
DIST="$ROOT/dist"

bash "$ROOT/scripts/setup.sh" zip unzip

version_part() { sed -n "s/^#define BRUMIK_VERSION_$1 \([0-9]\+\)\$/\1/p" "$ROOT/resources/Version.h"; }
VERSION="$(version_part MAJOR).$(version_part MINOR)"
[[ "$VERSION" =~ ^[0-9]+\.[0-9]+$ ]] || { echo "no version in resources/Version.h" >&2; exit 1; }
NAME="brumik-$VERSION-win32"

# The shipped program alone, configured as scripts/build.sh does.
[ -f "$I686/CMakeCache.txt" ] || cmake -S "$ROOT" -B "$I686" -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/mingw-i686.cmake" \
  -DCMAKE_BUILD_TYPE=Release -DBRUMIK_TESTS=OFF >/dev/null
cmake --build "$I686" -j2 --target brumik >&2

# The program's header and the files' times say when the sources were last
# committed, so that the same sources give the same zip.
if [ -z "${SOURCE_DATE_EPOCH:-}" ] && epoch="$(git -C "$ROOT" log -1 --format=%ct 2>/dev/null)"; then
  export SOURCE_DATE_EPOCH="$epoch"
fi

STAGE="$(mktemp -d)"
trap 'rm -rf "$STAGE"' EXIT
i686-w64-mingw32-strip -o "$STAGE/brumik.exe" "$I686/brumik.exe"
sed -e "s/@VERSION@/$VERSION/g" "$ROOT/packaging/CZYTAJ.TXT" | iconv -f UTF-8 -t CP1250 | LC_ALL=C sed -e 's/$/\r/' \
  >"$STAGE/CZYTAJ.TXT"

[ -z "${SOURCE_DATE_EPOCH:-}" ] || touch -d "@$SOURCE_DATE_EPOCH" "$STAGE/brumik.exe" "$STAGE/CZYTAJ.TXT"

mkdir -p "$DIST"
rm -f "$DIST/$NAME.zip" "$DIST/$NAME.zip.sha256"
(cd "$STAGE" && TZ=UTC0 zip -q -X -9 "$DIST/$NAME.zip" brumik.exe CZYTAJ.TXT)
unzip -tq "$DIST/$NAME.zip" >&2
(cd "$DIST" && sha256sum "$NAME.zip" >"$NAME.zip.sha256")
echo "$DIST/$NAME.zip"
