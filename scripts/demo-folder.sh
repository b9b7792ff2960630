# Sourced after wine-env.sh: makes the folder of demo tracks, $BUILD/demo,
# when it is missing or older than what makes it. Sets DEMO.
DEMO="$BUILD/demo"
demo_stamp="$BUILD/demo.made"
if [ ! -f "$demo_stamp" ] || [ "$ROOT/scripts/make-demo-audio.sh" -nt "$demo_stamp" ] ||
   [ "$BUILD/MakeDemoTracks.exe" -nt "$demo_stamp" ]; then
  rm -rf "$DEMO" "$BUILD/demo-raw"
  bash "$ROOT/scripts/make-demo-audio.sh" "$BUILD/demo-raw"
  "$WINE" "$BUILD/MakeDemoTracks.exe" "$("$WINE" winepath -w "$BUILD/demo-raw")" \
    "$("$WINE" winepath -w "$DEMO")" </dev/null
  touch "$demo_stamp"
fi
