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
# Under the sanitizer build, leaks that system libraries (D-Bus, fontconfig)
# leave at exit are not ours to report.
export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=0}"
# A platform inherited from the caller (offscreen, say) would never show a
# window on the display.
export QT_QPA_PLATFORM=xcb
bin="$(cd "$1" && pwd)"
command -v openbox >/dev/null || { echo "openbox is not installed (scripts/install-deps.sh installs it)"; exit 1; }
work="$(mktemp -d)"
shots="${SMOKE_SCREENSHOTS:-$work}"
mkdir -p "$shots"
xvfb=""
wm=""
stop_display() {
  [ -n "$wm" ] && { kill "$wm" 2>/dev/null; wait "$wm" 2>/dev/null; }
  # Wait for the server to be gone, so a run right after this one cannot meet it.
  [ -n "$xvfb" ] && { kill "$xvfb" 2>/dev/null; wait "$xvfb" 2>/dev/null; }
  wm=""
  xvfb=""
}
trap 'stop_display; rm -rf "$work"' EXIT
fail() { echo "FAIL: $*"; [ -f "$work/tallivo.log" ] && cat "$work/tallivo.log"; exit 1; }

# A display of our own, away from :0 and from any display in use, checked to
# answer and to stay up, with openbox managing it.
start_display() {
  local size="$1" n
  for _ in 1 2 3 4 5; do
    n=$((100 + RANDOM % 400))
    [ -e "/tmp/.X$n-lock" ] && continue
    # -noreset: the probes below are clients that come and go, and a server
    # that resets when the last one leaves refuses the next for a moment.
    Xvfb ":$n" -screen 0 "${size}x24" -nolisten tcp -noreset >/dev/null 2>&1 &
    xvfb=$!
    export DISPLAY=":$n"
    for _ in $(seq 50); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done
    if kill -0 "$xvfb" 2>/dev/null && xdpyinfo >/dev/null 2>&1; then
      openbox >/dev/null 2>&1 &
      wm=$!
      # The window manager is up once it has announced itself on the root window.
      for _ in $(seq 100); do
        xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && return 0
        sleep 0.1
      done
    fi
    stop_display
  done
  return 1
}

# The frame of the newest visible window whose name matches, caption
# included, as FX FY FW FH. A window may be created anew while it is looked
# at (the old one is then gone: "BadWindow"); it is then looked for again.
# Waits up to 20 seconds (a loaded machine or the sanitizer build is slow).
frame_of() {
  local id info extents left right top bottom
  for _ in $(seq 200); do
    id="$(xdotool search --onlyvisible --name "$1" 2>/dev/null | tail -n1)"
    if [ -n "$id" ] && info="$(xwininfo -id "$id" 2>/dev/null)" &&
       extents="$(xprop -id "$id" _NET_FRAME_EXTENTS 2>/dev/null)"; then
      # Framed: the window manager has said how wide its frame is.
      if [[ "$extents" == *=* ]]; then
        IFS=', ' read -r left right top bottom <<<"${extents#*= }"
        X=$(awk '/Absolute upper-left X/{print $4}' <<<"$info")
        Y=$(awk '/Absolute upper-left Y/{print $4}' <<<"$info")
        W=$(awk '/Width:/{print $2}' <<<"$info")
        H=$(awk '/Height:/{print $2}' <<<"$info")
        FX=$((X - left)) FY=$((Y - top)) FW=$((W + left + right)) FH=$((H + top + bottom))
        return 0
      fi
    fi
    sleep 0.1
  done
  return 1
}

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

# "x y w h" of a frame, for the checks below.
rect() { echo "$FX $FY $FW $FH"; }
overlaps() {  # two rectangles "x y w h"
  local ax ay aw ah bx by bw bh
  read -r ax ay aw ah <<<"$1"
  read -r bx by bw bh <<<"$2"
  [ $((ax < bx + bw && bx < ax + aw && ay < by + bh && by < ay + ah)) -eq 1 ]
}
on_screen() {  # "x y w h" within the screen
  local x y w h
  read -r x y w h <<<"$1"
  [ "$x" -ge 0 ] && [ "$y" -ge 0 ] && [ $((x + w)) -le "$screen_w" ] && [ $((y + h)) -le "$screen_h" ]
}

# Clicks at a point of a window's client area given in 1/1000 of its size;
# a window created anew in between is looked for again.
click_in() {
  for _ in 1 2 3 4 5; do
    frame_of "$1" || return 1
    xdotool mousemove --sync $((X + W * $2 / 1000)) $((Y + H * $3 / 1000)) click 1 2>/dev/null && return 0
  done
  return 1
}

# Waits up to 20 seconds for the calculator ($app) to end with this code.
expect_exit() {
  for _ in $(seq 200); do kill -0 "$app" 2>/dev/null || break; sleep 0.1; done
  if kill -0 "$app" 2>/dev/null; then kill "$app"; fail "tallivo still running $2"; fi
  wait "$app"
  local code=$?
  [ "$code" -eq "$1" ] || fail "exit code $code $2"
}

cp "$bin/4001.code" "$work/4001.code"
cd "$work"
for size in 1600x1000 1024x600; do
  screen_w="${size%x*}"
  screen_h="${size#*x}"
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
