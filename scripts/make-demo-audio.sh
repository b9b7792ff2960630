#!/bin/bash
# The demo tunes, synthesized with sox and encoded with lame: 01.mp3 to 04.mp3
# in the folder given. The player's demo folder is made from them by
# tools/MakeDemoTracks.exe, which names them and writes their descriptions.
#
# A voice is a list of NOTE/BEATS (R for a rest); each tune mixes a plucked
# melody with a quieter bass, adds a little room and ends with a fade.
set -euo pipefail
export LC_ALL=C  # decimal points, whatever the caller's locale
out="$1"
mkdir -p "$out"
tmp="$(mktemp -d)"
trap 'rm -rf "$tmp"' EXIT

# voice FILE SECONDS_PER_BEAT SOUND NOTE/BEATS...: each note is made on its
# own and the notes are joined one after the other.
voice() {
  local file=$1 beat=$2 sound=$3
  shift 3
  local parts=() note name beats seconds part i=0
  for note in "$@"; do
    name=${note%/*}
    beats=${note#*/}
    seconds=$(awk "BEGIN { print $beat * $beats }")
    part="$tmp/note$((i++)).wav"
    if [ "$name" = R ]; then
      sox -n -r 44100 -c 1 -b 16 "$part" trim 0 "$seconds"
    elif [ "$sound" = pluck ]; then
      sox -n -r 44100 -c 1 -b 16 "$part" synth "$seconds" pluck "$name" fade 0 "$seconds" 0.03
    else
      sox -n -r 44100 -c 1 -b 16 "$part" synth "$seconds" "$sound" "$name" fade h 0.04 "$seconds" 0.12
    fi
    parts+=("$part")
  done
  sox "${parts[@]}" "$file"
  rm -f "${parts[@]}"
}

# tune NUMBER REVERB: mixes $tmp/melody.wav and $tmp/bass.wav into NUMBER.mp3
tune() {
  local length
  sox -m -v 0.6 "$tmp/melody.wav" -v 0.35 "$tmp/bass.wav" "$tmp/mixed.wav"
  length=$(soxi -D "$tmp/mixed.wav")
  sox "$tmp/mixed.wav" -c 2 "$tmp/tune.wav" gain -6 reverb "$2" gain -n -3 fade t 0.02 "$length" 0.6
  lame --quiet -b 128 "$tmp/tune.wav" "$out/$1.mp3"
}

# 01: a bright spring song in C major
voice "$tmp/melody.wav" 0.3 pluck \
  C5/1 E5/1 G5/1 E5/1 F5/1 A5/1 G5/2  E5/1 G5/1 C6/1 G5/1 F5/1 D5/1 C5/2 \
  D5/1 F5/1 A5/1 F5/1 E5/1 G5/1 C6/2  B5/1 A5/1 G5/1 F5/1 E5/1 D5/1 C5/2
voice "$tmp/bass.wav" 0.3 pluck \
  C3/2 G3/2 F3/2 C3/2  C3/2 E3/2 G2/2 C3/2 \
  D3/2 A3/2 C3/2 E3/2  G2/2 D3/2 G2/2 C3/2
tune 01 20

# 02: a slow night boat ride in A minor, soft round tones
voice "$tmp/melody.wav" 0.5 sine \
  A4/2 C5/1 E5/1 D5/2 C5/1 B4/1 A4/2 E4/2 A4/3 R/1 \
  C5/2 E5/1 A5/1 G5/2 E5/1 D5/1 E5/4 R/1
voice "$tmp/bass.wav" 0.5 triangle \
  A2/4 F2/4 E2/4 A2/4  C3/4 G2/4 A2/5
tune 02 60

# 03: a cheerful polka in G major with an oom-pah bass
voice "$tmp/melody.wav" 0.18 pluck \
  D5/1 G5/1 B5/1 G5/1 D5/2 B4/2  C5/1 E5/1 A5/1 E5/1 D5/2 R/2 \
  D5/1 G5/1 B5/1 D6/1 C6/1 A5/1 F#5/1 A5/1  G5/2 D5/2 G5/2 R/2 \
  D5/1 G5/1 B5/1 G5/1 D5/2 B4/2  C5/1 E5/1 A5/1 E5/1 D5/2 R/2 \
  B5/1 A5/1 G5/1 F#5/1 E5/1 F#5/1 A5/1 F#5/1  G5/2 D5/2 G5/4
voice "$tmp/bass.wav" 0.18 pluck \
  G2/2 D3/2 G2/2 D3/2  A2/2 E3/2 D3/2 A2/2  G2/2 D3/2 D3/2 A2/2  G2/2 D3/2 G2/4 \
  G2/2 D3/2 G2/2 D3/2  A2/2 E3/2 D3/2 A2/2  D3/2 A2/2 D3/2 A2/2  G2/2 D3/2 G2/4
tune 03 15

# 04: a lullaby in F major, three beats to the bar
voice "$tmp/melody.wav" 0.36 pluck \
  A4/2 C5/1 A4/2 F4/1 G4/1 A4/1 Bb4/1 C5/3  D5/2 C5/1 A4/2 F4/1 G4/2 E4/1 F4/3 \
  A4/2 C5/1 F5/2 E5/1 D5/2 C5/1 A4/2 G4/1 F4/3
voice "$tmp/bass.wav" 0.36 pluck \
  F2/3 F2/3 C3/3 F2/3  Bb2/3 F2/3 C3/3 F2/3 \
  F2/3 A2/3 Bb2/3 C3/3 F2/3
tune 04 40
