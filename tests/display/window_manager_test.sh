#!/bin/bash
# Checks that need a real X display with a window manager, which offscreen tests cannot show:
# the main window keeps its place over start/exit cycles (frame versus client area), and the
# progress window of a long step is painted before the step runs.
# Usage: window_manager_test.sh BIN_FOLDER. Exit 77 (skipped) without Xvfb, openbox, xdotool,
# xprop.
set -u
bin=$1
for tool in Xvfb openbox xdotool xprop; do
  if ! command -v "$tool" >/dev/null; then
    echo "skipped: $tool is not installed"
    exit 77
  fi
done

work=$(mktemp -d)
cleanup() {
  [ -n "${lgoty_pid:-}" ] && kill "$lgoty_pid" 2>/dev/null
  [ -n "${wm_pid:-}" ] && kill "$wm_pid" 2>/dev/null
  [ -n "${x_pid:-}" ] && kill "$x_pid" 2>/dev/null
  wait 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

# Waits (up to wait_limit seconds, 30 unless set) until the command succeeds; the waits are
# for other processes.
wait_for() {
  local deadline=$((SECONDS + ${wait_limit:-30}))
  until "$@"; do
    [ $SECONDS -ge $deadline ] && return 1
    sleep 0.1
  done
}

# A free display: the server writes the number it took.
exec 3>"$work/display"
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
x_pid=$!
wait_for test -s "$work/display" || { echo "Xvfb did not start"; exit 1; }
exec 3>&-
export DISPLAY=":$(head -1 "$work/display")"
export HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config" LC_ALL=C.UTF-8
mkdir -p "$XDG_CONFIG_HOME"
unset QT_QPA_PLATFORM
# The window manager runs its startup command once it manages windows.
openbox --startup "touch $work/wm-ready" >/dev/null 2>&1 &
wm_pid=$!
wait_for test -e "$work/wm-ready" || { echo "openbox did not start"; exit 1; }

failed=0
ini="$XDG_CONFIG_HOME/lgoty.INI"

main_window() { xdotool search --onlyvisible --pid "$lgoty_pid" 2>/dev/null | head -1; }
has_main_window() { [ -n "$(main_window)" ]; }
has_exited() { ! kill -0 "$lgoty_pid" 2>/dev/null; }
# The window manager has taken the window in (it sets the frame's extents then); before
# that the window may still be where the program put it.
is_framed() { xprop -id "$1" _NET_FRAME_EXTENTS 2>/dev/null | grep -q '='; }
# The window's place once the window manager has framed it: the same reading twice.
settled_geometry() {
  local last="" now
  for _ in $(seq 1 100); do
    now=$(xdotool getwindowgeometry "$1" 2>/dev/null | grep -v '^Window' | tr -s ' \n' ' ')
    [ -n "$now" ] && [ "$now" = "$last" ] && { echo "$now"; return 0; }
    last=$now
    sleep 0.1
  done
  echo "$last"
}

first=""
first_ini=""
for cycle in 1 2 3 4 5; do
  "$bin/lgoty" >"$work/lgoty.log" 2>&1 &
  lgoty_pid=$!
  wait_for has_main_window || { echo "cycle $cycle: no window"; cat "$work/lgoty.log"; failed=1; break; }
  window=$(main_window)
  wait_for is_framed "$window" || { echo "cycle $cycle: the window was not framed"; failed=1; break; }
  geometry=$(settled_geometry "$window")
  # A loaded machine may drop the key while the window is still being activated: ask again.
  for _ in 1 2 3 4 5 6; do
    xdotool windowactivate --sync "$window" >/dev/null 2>&1
    xdotool key alt+F4
    wait_limit=5 wait_for has_exited && break
  done
  has_exited || { echo "cycle $cycle: no exit"; failed=1; break; }
  wait "$lgoty_pid"
  lgoty_pid=""
  placement=$(sed -n '/^\[TFMain\]/,/^\[/p' "$ini" | grep -E '^(Left|Top|Width|Height)=' | tr '\n' ' ')
  echo "cycle $cycle: window $geometry; saved $placement"
  if [ $cycle -eq 1 ]; then
    first=$geometry
  elif [ $cycle -eq 2 ]; then
    first_ini=$placement
    [ "$geometry" = "$first" ] || { echo "FAIL: the window moved"; failed=1; }
  else
    [ "$geometry" = "$first" ] || { echo "FAIL: the window moved"; failed=1; }
    [ "$placement" = "$first_ini" ] || { echo "FAIL: the saved place changed"; failed=1; }
  fi
done

"$bin/display_tests" || failed=1
exit $failed
