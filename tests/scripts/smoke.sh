#!/usr/bin/env bash
# Starts the real calculator under Xvfb with the openbox window manager, at a
# desktop's screen size and at a small laptop's, and checks what a user must
# see: the flowchart window whole on the screen and clear of the keyboard
# (and of the printer where there is room), the exit report clear of both
# panels, and a clean exit after its OK. Then a bad switch: its box, the
# usage on standard error, exit code 1 and no panel.
# Usage: smoke.sh BIN_DIR TEST_DATA_DIR (SMOKE_SCREENSHOTS=DIR keeps the
# screenshots there).
set -u
bin="$(cd "$1" && pwd)"
source "$2/support/x11_session.sh"

# The frame once it has held still for a second: a window is shown before the
# program has finished placing it (the flowchart is maximised first, to
# measure the room for its picture). Up to 20 seconds.
settled_frame_of() {
  local last="" now stable=0
  for _ in $(seq 100); do
    frame_of "$1" || return 1
    now="$(rect)"
    if [ "$now" = "$last" ]; then
      stable=$((stable + 1))
      [ "$stable" -ge 5 ] && return 0
    else
      stable=0
      last="$now"
    fi
    sleep 0.2
  done
  return 1
}

cp "$bin/4001.code" "$work/4001.code"
cd "$work"
for size in 1600x1000 1024x600; do
  start_display "$size" || fail "Xvfb with openbox did not start at $size"
  "$bin/tallivo" >tallivo.log 2>&1 &
  app=$!
  frame_of '^Tallivo 141DU Keyboard$' || fail "keyboard window never appeared at $size"
  settled_frame_of '^Flowchart$' || fail "no flowchart window at $size, or it never stood still"
  flowchart="$(rect)"
  frame_of '^Tallivo 141DU Keyboard$' && keyboard="$(rect)"
  frame_of '^Tallivo 141DU Printer$' || fail "no printer window at $size"
  printer="$(rect)"
  import -window root "$shots/screen-$size.png" || fail "screenshot failed"

  on_screen "$flowchart" || fail "the flowchart window ($flowchart) is not all on the $size screen"
  overlaps "$flowchart" "$keyboard" && fail "the flowchart window ($flowchart) lies under the keyboard ($keyboard)"
  if [ "$screen_h" -ge 900 ]; then
    overlaps "$flowchart" "$printer" && fail "the flowchart window ($flowchart) lies under the printer ($printer)"
  fi

  # Quit sits at 205,16 dialog units in a 270 x 115 unit window: its middle.
  click_in '^Tallivo 141DU Keyboard$' 844 200 || fail "could not click Quit"
  frame_of '^tallivo$' || fail "no exit report box at $size"
  report="$(rect)"
  sleep 0.5
  frame_of '^tallivo$' && report="$(rect)"
  import -window root "$shots/report-$size.png" 2>/dev/null
  on_screen "$report" || fail "the exit report ($report) is not all on the $size screen"
  overlaps "$report" "$keyboard" && fail "the exit report ($report) lies under the keyboard ($keyboard)"
  overlaps "$report" "$printer" && fail "the exit report ($report) lies under the printer ($printer)"
  grep -q '^Exiting, executed .*M machine cycles in' tallivo.log || fail "no exit report on standard error"
  # OK sits at the bottom right corner of the box.
  frame_of '^tallivo$'
  xdotool mousemove --sync $((X + W - 50)) $((Y + H - 22)) click 1 2>/dev/null
  expect_exit 0 "at $size"
  stop_display
done

# A bad switch ("--help" is one): the box, the usage on standard error, exit
# code 1, and no panel ever shown.
start_display 1024x600 || fail "Xvfb with openbox did not start"
"$bin/tallivo" --help >tallivo.log 2>&1 &
app=$!
frame_of '^tallivo$' || fail "no box for a bad switch"
[ -z "$(xdotool search --name '^Tallivo 141DU' 2>/dev/null)" ] || fail "a panel was shown for a bad switch"
grep -q '^usage: tallivo ' tallivo.log || fail "no usage on standard error"
grep -qx 'ERROR: Unrecognized command-line switch:' tallivo.log || fail "no box text on standard error"
grep -qx -- '--help' tallivo.log || fail "the bad switch is not in the box text"
xdotool mousemove --sync $((X + W - 50)) $((Y + H - 22)) click 1 2>/dev/null
expect_exit 1 "after a bad switch"
echo "smoke test passed"
