#!/usr/bin/env bash
# Starts the real calculator under Xvfb with a small program, takes a
# screenshot, clicks Quit, dismisses the exit report and checks that the
# program ends with exit code 0. Usage: smoke.sh BIN_DIR TEST_DATA_DIR
set -u
# Under the sanitizer build, leaks that system libraries (D-Bus, fontconfig)
# leave at exit are not ours to report.
export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=0}"
bin="$1"
work="$(mktemp -d)"
# Wait for the server to be gone, so a run right after this one cannot meet it.
trap 'kill "$xvfb" 2>/dev/null; wait "$xvfb" 2>/dev/null; rm -rf "$work"' EXIT
# A display of our own, away from :0 and from any display in use; checked to
# answer, and to stay up, before the program is started on it.
start_xvfb() {
  local n=$((100 + RANDOM % 400))
  [ -e "/tmp/.X$n-lock" ] && return 1
  # -noreset: the probe below is the last client to leave, and a server that
  # resets then refuses the next connection for a moment.
  Xvfb ":$n" -screen 0 1280x800x24 -nolisten tcp -noreset >/dev/null 2>&1 &
  xvfb=$!
  export DISPLAY=":$n"
  for _ in $(seq 50); do
    if xdpyinfo >/dev/null 2>&1; then
      sleep 0.3
      kill -0 "$xvfb" 2>/dev/null && xdpyinfo >/dev/null 2>&1 && return 0
      break
    fi
    sleep 0.1
  done
  kill "$xvfb" 2>/dev/null
  wait "$xvfb" 2>/dev/null
  return 1
}
started=""
for _ in 1 2 3 4 5; do start_xvfb && { started=1; break; }; done
[ -n "$started" ] || { echo "Xvfb did not start"; exit 1; }

# Prints the id of the newest visible window whose name matches, waiting up
# to 20 seconds for it (a loaded machine or the sanitizer build is slow).
wait_for_window() {
  local id
  for _ in $(seq 200); do
    id="$(xdotool search --onlyvisible --name "$1" 2>/dev/null | tail -n1)"
    [ -n "$id" ] && { echo "$id"; return 0; }
    sleep 0.1
  done
  return 1
}

cp "$bin/4001.code" "$work/4001.code"
cd "$work"
"$bin/tallivo" -f0 >tallivo.log 2>&1 &
app=$!
win="$(wait_for_window '^Tallivo 141DU Keyboard$')" || { echo "keyboard window never appeared"; cat tallivo.log; exit 1; }
[ -n "$(xdotool search --name '^Tallivo 141DU Printer$' 2>/dev/null)" ] || { echo "no printer window"; exit 1; }
sleep 1
import -window root "${SMOKE_SCREENSHOT:-$work/screen.png}" || { echo "screenshot failed"; exit 1; }

# Quit sits at 205,16 dialog units in a 270 x 115 unit window: click its middle.
eval "$(xdotool getwindowgeometry --shell "$win")"
xdotool mousemove --sync $((X + WIDTH * 228 / 270)) $((Y + HEIGHT * 23 / 115)) click 1
report="$(wait_for_window '^tallivo$')" || { echo "no exit report box"; cat tallivo.log; exit 1; }
sleep 0.5
import -window root "$work/report.png" 2>/dev/null
# Its OK button sits at the bottom right corner of the box.
eval "$(xdotool getwindowgeometry --shell "$report")"
xdotool mousemove --sync $((X + WIDTH - 50)) $((Y + HEIGHT - 24)) click 1
for _ in $(seq 200); do kill -0 "$app" 2>/dev/null || break; sleep 0.1; done
if kill -0 "$app" 2>/dev/null; then echo "tallivo still running"; kill "$app"; exit 1; fi
wait "$app"
code=$?
[ "$code" -eq 0 ] || { echo "exit code $code"; cat tallivo.log; exit 1; }
echo "smoke test passed"
