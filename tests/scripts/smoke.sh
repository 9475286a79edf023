#!/usr/bin/env bash
# Starts the real calculator under Xvfb with a small program, takes a
# screenshot, clicks Quit, dismisses the exit report and checks that the
# program ends with exit code 0. Usage: smoke.sh BIN_DIR TEST_DATA_DIR
set -u
bin="$1"
work="$(mktemp -d)"
trap 'kill "$xvfb" 2>/dev/null; rm -rf "$work"' EXIT
display=":$((90 + RANDOM % 100))"
Xvfb "$display" -screen 0 1280x800x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
export DISPLAY="$display"
for _ in $(seq 50); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done

cp "$bin/4001.code" "$work/4001.code"
cd "$work"
"$bin/tallivo" -f0 >tallivo.log 2>&1 &
app=$!
# Wait for the keyboard window to appear.
win=""
for _ in $(seq 100); do
  win="$(xdotool search --name '^Tallivo 141DU Keyboard$' 2>/dev/null | head -n1)"
  [ -n "$win" ] && break
  sleep 0.1
done
[ -n "$win" ] || { echo "keyboard window never appeared"; cat tallivo.log; exit 1; }
[ -n "$(xdotool search --name '^Tallivo 141DU Printer$' 2>/dev/null)" ] || { echo "no printer window"; exit 1; }
sleep 1
import -window root "${SMOKE_SCREENSHOT:-$work/screen.png}" || { echo "screenshot failed"; exit 1; }

# Quit sits at 205,16 dialog units in a 270 x 115 unit window: click its middle.
eval "$(xdotool getwindowgeometry --shell "$win")"
xdotool mousemove --sync $((X + WIDTH * 228 / 270)) $((Y + HEIGHT * 23 / 115)) click 1
sleep 1
report="$(xdotool search --onlyvisible --name '^tallivo$' 2>/dev/null | tail -n1)"
[ -n "$report" ] || { echo "no exit report box"; exit 1; }
import -window root "$work/report.png" 2>/dev/null
# Its OK button sits at the bottom right corner of the box.
eval "$(xdotool getwindowgeometry --shell "$report")"
xdotool mousemove --sync $((X + WIDTH - 50)) $((Y + HEIGHT - 24)) click 1
for _ in $(seq 50); do kill -0 "$app" 2>/dev/null || break; sleep 0.1; done
if kill -0 "$app" 2>/dev/null; then echo "tallivo still running"; kill "$app"; exit 1; fi
wait "$app"
code=$?
[ "$code" -eq 0 ] || { echo "exit code $code"; cat tallivo.log; exit 1; }
echo "smoke test passed"
