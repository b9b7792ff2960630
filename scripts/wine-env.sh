# Sourced by the test and run scripts: a private Wine prefix inside the build
# folder, a virtual display, and a persistent wineserver.
# Expects BUILD (the x86-64 build folder). Sets up a trap that stops them again.
# WINE_ENV_ROOT picks another folder for the prefix (default: $BUILD/wine-test);
# WINE_ENV_KEEP_DISPLAY=1 uses the desktop's DISPLAY when there is one.

WINE=/usr/lib/wine/wine64
WINESERVER=/usr/lib/wine/wineserver
WINE_TEST_ROOT="${WINE_ENV_ROOT:-$BUILD/wine-test}"
export WINEPREFIX="$WINE_TEST_ROOT/prefix"
export WINEDEBUG=-all
export LC_ALL=pl_PL.UTF-8
export WINEDLLOVERRIDES="mscoree,mshtml="
export ALSA_CONFIG_PATH="$WINE_TEST_ROOT/asound.conf"
mkdir -p "$WINE_TEST_ROOT"

# No sound card here: the default PCM swallows the sound.
cat > "$ALSA_CONFIG_PATH" <<'ALSA'
</usr/share/alsa/alsa.conf>
pcm.!default { type null }
ctl.!default { type hw card 0 }
ALSA

wine_env_xvfb=""
if [ -n "${WINE_ENV_KEEP_DISPLAY:-}" ] && [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then
  wine_env_own_display=""
else
  # A display of our own.
  wine_env_own_display=""
  for n in $(seq 90 140); do
    if [ ! -e "/tmp/.X11-unix/X$n" ] && [ ! -e "/tmp/.X$n-lock" ]; then wine_env_own_display=$n; break; fi
  done
  Xvfb ":$wine_env_own_display" -screen 0 1280x1024x24 -nolisten tcp </dev/null >/dev/null 2>&1 &
  wine_env_xvfb=$!
  export DISPLAY=":$wine_env_own_display"
  for _ in $(seq 1 50); do [ -e "/tmp/.X11-unix/X$wine_env_own_display" ] && break; sleep 0.1; done
fi

wine_env_stop() {
  "$WINESERVER" -k </dev/null >/dev/null 2>&1 || true
  [ -z "$wine_env_xvfb" ] || kill "$wine_env_xvfb" 2>/dev/null || true
}
trap wine_env_stop EXIT

# The prefix is made once, serially, before anything runs in it.
if [ ! -f "$WINE_TEST_ROOT/prefix.ready" ]; then
  rm -rf "$WINEPREFIX"
  "$WINE" wineboot -i </dev/null >/dev/null 2>&1
  "$WINESERVER" -w
  "$WINE" reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f </dev/null >/dev/null 2>&1
  "$WINESERVER" -w
  touch "$WINE_TEST_ROOT/prefix.ready"
fi

# Wine draws the caption buttons with the Marlett font; without it in the
# prefix they show as the letters "0 1 r".
wine_env_fonts="$WINEPREFIX/drive_c/windows/Fonts"
if [ ! -f "$wine_env_fonts/marlett.ttf" ] && [ -f /usr/share/wine/fonts/marlett.ttf ]; then
  mkdir -p "$wine_env_fonts" && cp /usr/share/wine/fonts/marlett.ttf "$wine_env_fonts/"
fi

# Drive C: has a volume label with letters of both cases, so that tests see
# the drive list change its letter case. Wine reads it when its services start.
wine_env_label="$WINEPREFIX/drive_c/.windows-label"
[ -f "$wine_env_label" ] || printf 'Dysk Próbny\n' > "$wine_env_label"

# A persistent server with its output detached, so that ctest does not wait on its pipes.
"$WINESERVER" -p </dev/null >/dev/null 2>&1
"$WINE" wineboot </dev/null >/dev/null 2>&1

# Without a window manager Wine draws the frames itself; on a desktop the
# window manager does.
wine_env_frames=$([ -n "$wine_env_xvfb" ] && echo N || echo Y)
if [ "$(cat "$WINE_TEST_ROOT/frames" 2>/dev/null)" != "$wine_env_frames" ]; then
  for value in Managed Decorated; do
    "$WINE" reg add 'HKCU\Software\Wine\X11 Driver' /v $value /t REG_SZ /d "$wine_env_frames" /f </dev/null >/dev/null 2>&1
  done
  echo "$wine_env_frames" > "$WINE_TEST_ROOT/frames"
fi
