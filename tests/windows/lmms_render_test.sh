#!/usr/bin/env bash
# Usage: tests/windows/lmms_render_test.sh DLL NATIVE_BUILD WORK
#
# The 32-bit DLL in a real Windows VST 2 host: LMMS 1.2 (lmms:i386 with its
# Wine-hosted VST server) renders a project whose instrument track plays an
# input file through the DLL, in two settings handed over as LMMS hands a
# plug-in's state to it (the bank chunk, base64, and the program). Each render
# is compared with what vornhalt-render makes of the same input and settings
# through the Linux module of NATIVE_BUILD, at LMMS's rate (44.1 kHz, no
# oversampling) and block size (256 frames). Run by ctest under
# scripts/windows-tests (a display and the Wine prefix come from there).
set -euo pipefail

if [ $# -ne 3 ]; then
  echo "usage: $0 DLL NATIVE_BUILD WORK" >&2
  exit 2
fi
dll=$(realpath "$1")
render=$(realpath "$2")/vornhalt-render
check=$(realpath "$2")/tests/windows/vornhalt-lmms-check
work=$3
rm -rf "$work"
mkdir -p "$work/home"
work=$(realpath "$work")

# 6 s of the demo signal, then 2 s of silence for the effect's tails.
"$check" input "$work/input.wav" 6 2

# Neither setting follows host time: LMMS reports none unless its VST sync is
# switched on.
names=(formant-up warp-delay)
settings_of() {
  case $1 in
    formant-up) opts=(--program 8) ;;
    warp-delay)
      opts=(--set "Delay=0.3" --set "Feedback=0.6" --set "Filter Type=Lowpass" --set "Cutoff=0.55"
        --set "Resonance=0.35" --set "LFO 1 Shape=tri" --set "LFO 1 Freq=0.35" --set "LFO 1->A Warp=1"
        --set "S Warp=0.7" --set "Mix=0.8")
      ;;
  esac
}

# The chunk LMMS stores is the one a host gets with effGetChunk for the bank:
# the .fxb file's chunk. Its header names the current program.
project() {
  local name=$1 bank=$work/$1.fxb chunk program
  [ "$(head -c 12 "$bank" | tail -c 4)" = FBCh ] || {
    echo "$bank is not a bank chunk file" >&2
    exit 1
  }
  program=$(od -An -tu1 -j28 -N4 "$bank" | awk '{ print $1 * 16777216 + $2 * 65536 + $3 * 256 + $4 }')
  chunk=$(tail -c +161 "$bank" | base64 -w0)
  # Pattern and note run on past the input's end: the note's release then
  # falls on silence, after the part that is compared.
  cat <<EOF
<?xml version="1.0"?>
<!DOCTYPE lmms-project>
<lmms-project version="1.0" creator="LMMS" creatorversion="1.2.2" type="song">
  <head timesig_numerator="4" timesig_denominator="4" bpm="120" mastervol="100" masterpitch="0"/>
  <song>
    <trackcontainer type="song">
      <track type="0" name="input" muted="0" solo="0">
        <instrumenttrack vol="100" pan="0" basenote="57" pitch="0" pitchrange="1" fxch="0" usemasterpitch="1">
          <instrument name="audiofileprocessor">
            <audiofileprocessor src="$work/input.wav" reversed="0" looped="0" amp="100" stutter="0" interp="0"
                                sframe="0" eframe="1" lframe="0"/>
          </instrument>
          <fxchain numofeffects="1" enabled="1">
            <effect name="vsteffect" on="1" wet="1" autoquit="1" gate="0">
              <vsteffectcontrols chunk="$chunk" program="$program"/>
              <key><attribute name="file" value="$dll"/></key>
            </effect>
          </fxchain>
        </instrumenttrack>
        <pattern pos="0" len="960" steps="16" muted="0" type="1" name="">
          <note pos="0" len="816" key="57" vol="100" pan="0"/>
        </pattern>
      </track>
    </trackcontainer>
  </song>
</lmms-project>
EOF
}

for name in "${names[@]}"; do
  settings_of "$name"
  "$render" "${opts[@]}" --save-bank "$work/$name.fxb"
  project "$name" >"$work/$name.mmp"
  start=$SECONDS
  # LMMS may end with a signal once its file is written: the file decides.
  HOME=$work/home timeout 300 lmms --allowroot render "$work/$name.mmp" -f wav -a -x 1 -s 44100 \
    -o "$work/$name-lmms.wav" >"$work/$name-lmms.log" 2>&1 || true
  if [ ! -s "$work/$name-lmms.wav" ]; then
    echo "LMMS wrote no file for $name; its log:" >&2
    cat "$work/$name-lmms.log" >&2
    exit 1
  fi
  echo "$name: LMMS rendered in $((SECONDS - start)) s"
  "$render" "${opts[@]}" --block 256 --bits float --quiet "$work/input.wav" "$work/$name-linux.wav"
done

status=0
for i in "${!names[@]}"; do
  name=${names[$i]}
  other=${names[$(((i + 1) % ${#names[@]}))]}
  echo "$name (other settings: $other):"
  "$check" compare "$work/$name-lmms.wav" "$work/$name-linux.wav" "$work/$other-linux.wav" || status=1
done
exit "$status"
