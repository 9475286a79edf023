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
bin="$(cd "$1" && pwd)"
source "$2/support/x11_session.sh"

keys_to() {  # window pattern, then xdotool key names
  local pattern="$1"
  shift
  frame_of "$pattern" || return 1
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
frame_of '^Tallivo 141DU Keyboard$' || fail "keyboard window never appeared"
keyboard="$(rect)"
frame_of '^Tallivo 141DU Printer$' || fail "printer window never appeared"
printer="$(rect)"

keys_to '^Tallivo 141DU Keyboard$' F2
frame_of '^Tallivo 141DU Inspector$' || fail "F2 did not open the inspector"
sleep 1
frame_of '^Tallivo 141DU Inspector$'
inspector="$(rect)"
on_screen "$inspector" || fail "the inspector ($inspector) is not all on the screen"
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

# Quit sits at 205,16 dialog units in a 270 x 115 unit window.
click_in '^Tallivo 141DU Keyboard$' 844 200 || fail "could not click Quit"
frame_of '^tallivo$' || fail "no exit report"
xdotool mousemove --sync $((X + W - 50)) $((Y + H - 22)) click 1 2>/dev/null
expect_exit 0 "with the inspector open"
echo "inspector test passed"
