#!/bin/bash
# Short MP3 clips for the tests, made with sox and lame.
set -euo pipefail
out="$1"
mkdir -p "$out"
tmp="$(mktemp -d)"
trap 'rm -rf "$tmp"' EXIT
sox -n -r 44100 -c 2 -b 16 "$tmp/a.wav" synth 2 sine 440 vol 0.3
sox -n -r 44100 -c 2 -b 16 "$tmp/b.wav" synth 1 sine 660 vol 0.3
sox -n -r 44100 -c 2 -b 16 "$tmp/c.wav" synth 4 sine 550 vol 0.3
lame --quiet -b 128 "$tmp/a.wav" "$out/tone2s.mp3"
lame --quiet -b 128 "$tmp/b.wav" "$out/tone1s.mp3"
lame --quiet -b 128 "$tmp/c.wav" "$out/tone4s.mp3"
