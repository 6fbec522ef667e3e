#!/usr/bin/env bash
# Usage: run_editor_host.sh interact|pixels HOST.exe vornhalt.dll WORKDIR [LINUX_EDITOR_SHOT]
#
# Runs the editor test host under Wine, writing into WORKDIR, on the display
# and in the Wine prefix scripts/windows-tests provides ($DISPLAY and
# $WINEPREFIX). The host moves the pointer, so ctest runs it alone (RUN_SERIAL).
#   interact  the host's drags, clicks, menus, reopening and two instances
#   pixels    pictures of two editor states, each compared with the Linux
#             drawing of the same state by LINUX_EDITOR_SHOT
#             (vornhalt-editor-shot of a native build); exit 77 without it
set -euo pipefail

mode=$1 host=$2 dll=$3 work=$4 shot=${5:-}
if [ "$mode" = pixels ] && [ ! -x "$shot" ]; then
  echo "no Linux vornhalt-editor-shot at '$shot': build the native tree (VORNHALT_NATIVE_BUILD) with its tools" >&2
  exit 77
fi
if [ -z "${DISPLAY:-}" ] || [ ! -f "${WINEPREFIX:-/nonexistent}/system.reg" ]; then
  echo "run_editor_host.sh needs DISPLAY and a made WINEPREFIX: run it through scripts/windows-tests" >&2
  exit 2
fi
mkdir -p "$work"
work=$(cd "$work" && pwd)
export WINEDEBUG=-all
# No Mono or Gecko installer may wait for an answer on the invisible display.
export WINEDLLOVERRIDES="mscoree,mshtml="

finished=""
cleanup() {
  # Cut short (a host stuck in a menu until the test's timeout): nothing else
  # runs in the prefix meanwhile, so whatever runs there is ours.
  if [ -z "$finished" ]; then
    wineserver -k 2>/dev/null || true
  fi
}
trap cleanup EXIT
trap 'exit 130' INT TERM

status=0
case "$mode" in
  interact)
    wine "$host" "$dll" interact || status=$?
    ;;
  pixels)
    wine "$host" "$dll" shots "$(winepath -w "$work")" || status=$?
    for state in factory changed; do
      [ -f "$work/$state.chunk" ] || { status=1; continue; }
      "$shot" --bank-chunk "$work/$state.chunk" --program "$(cat "$work/$state.program")" "$work/$state-linux.png"
      echo "== $state"
      wine "$host" compare "$(winepath -w "$work/$state-windows.png")" "$(winepath -w "$work/$state-linux.png")" \
        "$(winepath -w "$work/$state-differences.png")" || status=$?
    done
    ;;
  *)
    echo "unknown mode $mode" >&2
    status=2
    ;;
esac
wineserver -w
finished=1
exit "$status"
