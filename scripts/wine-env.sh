# Sourced by the test and run scripts: a private Wine prefix inside the build
# folder, a virtual display, and a persistent wineserver.
# Expects BUILD (the x86-64 build folder). Sets up a trap that stops them again.

WINE=/usr/lib/wine/wine64
WINESERVER=/usr/lib/wine/wineserver
WINE_TEST_ROOT="$BUILD/wine-test"
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

# A display of our own.
wine_env_display=""
for n in $(seq 90 140); do
  if [ ! -e "/tmp/.X11-unix/X$n" ] && [ ! -e "/tmp/.X$n-lock" ]; then wine_env_display=$n; break; fi
done
Xvfb ":$wine_env_display" -screen 0 1280x1024x24 -nolisten tcp </dev/null >/dev/null 2>&1 &
wine_env_xvfb=$!
export DISPLAY=":$wine_env_display"
for _ in $(seq 1 50); do [ -e "/tmp/.X11-unix/X$wine_env_display" ] && break; sleep 0.1; done

wine_env_stop() {
  "$WINESERVER" -k </dev/null >/dev/null 2>&1 || true
  kill "$wine_env_xvfb" 2>/dev/null || true
}
trap wine_env_stop EXIT

# The prefix is made once, serially, before anything runs in it.
if [ ! -f "$WINE_TEST_ROOT/prefix.ready" ]; then
  rm -rf "$WINEPREFIX"
  "$WINE" wineboot -i </dev/null >/dev/null 2>&1
  "$WINESERVER" -w
  "$WINE" reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f </dev/null >/dev/null 2>&1
  "$WINE" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f </dev/null >/dev/null 2>&1
  "$WINE" reg add 'HKCU\Software\Wine\X11 Driver' /v Decorated /t REG_SZ /d N /f </dev/null >/dev/null 2>&1
  "$WINESERVER" -w
  touch "$WINE_TEST_ROOT/prefix.ready"
fi

# A persistent server with its output detached, so that ctest does not wait on its pipes.
"$WINESERVER" -p </dev/null >/dev/null 2>&1
"$WINE" wineboot </dev/null >/dev/null 2>&1
