#!/usr/bin/env bash
# The inspector in the real calculator under Xvfb with openbox, as a user
# works it: F2 on the keyboard opens it below the panels and whole on the
# screen; a breakpoint set on the add routine from the go-to box (Ctrl+G,
# "adds", F9) stops the clock when "1 +" is typed, before the routine's
# first instruction, with the trace written up to there; a step carries out
# that instruction and no more; Run lets the calculator go on; Quit ends it.
# Usage: inspector.sh BIN_DIR TEST_DATA_DIR (SMOKE_SCREENSHOTS=DIR keeps the
# screenshots there).
set -u
export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=0}"
export QT_QPA_PLATFORM=xcb
bin="$(cd "$1" && pwd)"
command -v openbox >/dev/null || { echo "openbox is not installed (scripts/install-deps.sh installs it)"; exit 1; }
work="$(mktemp -d)"
shots="${SMOKE_SCREENSHOTS:-$work}"
mkdir -p "$shots"
xvfb=""
wm=""
app=""
cleanup() {
  [ -n "$app" ] && kill "$app" 2>/dev/null
  [ -n "$wm" ] && { kill "$wm" 2>/dev/null; wait "$wm" 2>/dev/null; }
  [ -n "$xvfb" ] && { kill "$xvfb" 2>/dev/null; wait "$xvfb" 2>/dev/null; }
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAIL: $*"; [ -f "$work/tallivo.log" ] && cat "$work/tallivo.log"; exit 1; }

start_display() {
  local n
  for _ in 1 2 3 4 5; do
    n=$((100 + RANDOM % 400))
    [ -e "/tmp/.X$n-lock" ] && continue
    Xvfb ":$n" -screen 0 1600x1000x24 -nolisten tcp -noreset >/dev/null 2>&1 &
    xvfb=$!
    export DISPLAY=":$n"
    for _ in $(seq 50); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done
    if kill -0 "$xvfb" 2>/dev/null && xdpyinfo >/dev/null 2>&1; then
      openbox >/dev/null 2>&1 &
      wm=$!
      for _ in $(seq 100); do
        xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && return 0
        sleep 0.1
      done
    fi
    [ -n "$wm" ] && kill "$wm" 2>/dev/null
    kill "$xvfb" 2>/dev/null
    wait "$xvfb" 2>/dev/null
    wm="" xvfb=""
  done
  return 1
}

# The newest visible window whose name matches: its id, its frame as X Y W H
# (caption included) and its client area as CX CY CW CH. Up to 20 seconds.
window_of() {
  local info extents left right top bottom
  for _ in $(seq 200); do
    ID="$(xdotool search --onlyvisible --name "$1" 2>/dev/null | tail -n1)"
    if [ -n "$ID" ] && info="$(xwininfo -id "$ID" 2>/dev/null)" &&
       extents="$(xprop -id "$ID" _NET_FRAME_EXTENTS 2>/dev/null)" && [[ "$extents" == *=* ]]; then
      IFS=', ' read -r left right top bottom <<<"${extents#*= }"
      CX=$(awk '/Absolute upper-left X/{print $4}' <<<"$info")
      CY=$(awk '/Absolute upper-left Y/{print $4}' <<<"$info")
      CW=$(awk '/Width:/{print $2}' <<<"$info")
      CH=$(awk '/Height:/{print $2}' <<<"$info")
      X=$((CX - left)) Y=$((CY - top)) W=$((CW + left + right)) H=$((CH + top + bottom))
      return 0
    fi
    sleep 0.1
  done
  return 1
}
overlaps() {
  local ax ay aw ah bx by bw bh
  read -r ax ay aw ah <<<"$1"
  read -r bx by bw bh <<<"$2"
  [ $((ax < bx + bw && bx < ax + aw && ay < by + bh && by < ay + ah)) -eq 1 ]
}
keys_to() {  # window pattern, then xdotool key names
  local pattern="$1"
  shift
  window_of "$pattern" || return 1
  xdotool windowactivate --sync "$ID" 2>/dev/null
  for key in "$@"; do
    xdotool key --clearmodifiers "$key"
    sleep 0.3
  done
}
# Waits up to 20 seconds for the trace to hold a line at this address.
traced() {
  for _ in $(seq 200); do
    grep -q "^ *[0-9]*: $1 " 4004out.txt 2>/dev/null && return 0
    sleep 0.1
  done
  return 1
}

cp "$bin/4001.code" "$bin/4001.lst" "$bin/4001.sym" "$work/"
cd "$work"
start_display || fail "Xvfb with openbox did not start"
# -m-1: a trace that never runs out, written as the calculator runs.
"$bin/tallivo" -f0 -m-1 >tallivo.log 2>&1 &
app=$!
window_of '^Tallivo 141DU Keyboard$' || fail "keyboard window never appeared"
keyboard="$X $Y $W $H"
window_of '^Tallivo 141DU Printer$' || fail "printer window never appeared"
printer="$X $Y $W $H"

keys_to '^Tallivo 141DU Keyboard$' F2
window_of '^Tallivo 141DU Inspector$' || fail "F2 did not open the inspector"
sleep 1
window_of '^Tallivo 141DU Inspector$'
inspector="$X $Y $W $H"
[ "$X" -ge 0 ] && [ "$Y" -ge 0 ] && [ $((X + W)) -le 1600 ] && [ $((Y + H)) -le 1000 ] ||
  fail "the inspector ($inspector) is not all on the screen"
overlaps "$inspector" "$keyboard" && fail "the inspector ($inspector) lies under the keyboard ($keyboard)"
overlaps "$inspector" "$printer" && fail "the inspector ($inspector) lies under the printer ($printer)"

keys_to '^Tallivo 141DU Inspector$' ctrl+g a d d s Return F9
keys_to '^Tallivo 141DU Keyboard$' 1 plus
# Stopped at the JMS that begins the routine: the trace is on disk up to the
# instruction before it, and the JMS itself is not in it.
adds="$(awk '$1 == "adds" {print toupper(substr($2, 3))}' 4001.sym)"
[ -n "$adds" ] || fail "no adds in the symbol table"
adds="$(printf '%04X' "0x$adds")"
sleep 3
lines="$(grep -c . 4004out.txt)"
sleep 1
[ "$(grep -c . 4004out.txt)" -eq "$lines" ] || fail "the clock did not stop at the breakpoint"
grep -q "^ *[0-9]*: $adds " 4004out.txt && fail "the instruction at the breakpoint ran before the stop"
import -window root "$shots/inspector-stopped.png" 2>/dev/null

keys_to '^Tallivo 141DU Inspector$' F11
traced "$adds" || fail "a step did not carry out the JMS at the breakpoint"
[ "$(grep -c . 4004out.txt)" -eq $((lines + 1)) ] || fail "a step wrote more than one trace line"

keys_to '^Tallivo 141DU Inspector$' F9 F5
sleep 1
[ "$(grep -c . 4004out.txt)" -gt $((lines + 1000)) ] || fail "Run did not let the clock go on"

window_of '^Tallivo 141DU Keyboard$'
# Quit sits at 205,16 dialog units in a 270 x 115 unit window.
xdotool mousemove --sync $((CX + CW * 844 / 1000)) $((CY + CH * 200 / 1000)) click 1 2>/dev/null
window_of '^tallivo$' || fail "no exit report"
xdotool mousemove --sync $((CX + CW - 50)) $((CY + CH - 22)) click 1 2>/dev/null
for _ in $(seq 200); do kill -0 "$app" 2>/dev/null || break; sleep 0.1; done
kill -0 "$app" 2>/dev/null && fail "the calculator did not end with the inspector open"
wait "$app"
code=$?
app=""
[ "$code" -eq 0 ] || fail "exit code $code"
echo "inspector test passed"
