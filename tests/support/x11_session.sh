# What the scripted tests of the real calculator under Xvfb share: a display
# of their own with openbox managing it, the frames of the windows, clicks
# into them and the wait for the calculator's exit. The calling script keeps
# the calculator's process id in `app`.
# Under the sanitizer build, leaks that system libraries (D-Bus, fontconfig)
# leave at exit are not ours to report.
export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=0}"
# A platform inherited from the caller (offscreen, say) would never show a
# window on the display.
export QT_QPA_PLATFORM=xcb
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
app=""
cleanup() {
  [ -n "$app" ] && kill "$app" 2>/dev/null
  stop_display
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAIL: $*"; [ -f "$work/tallivo.log" ] && cat "$work/tallivo.log"; exit 1; }

# A display of our own (SIZE, 1600x1000 unless given), away from :0 and from
# any display in use, checked to answer and to stay up, with openbox managing
# it. Sets screen_w and screen_h.
start_display() {
  local size="${1:-1600x1000}" n
  screen_w="${size%x*}"
  screen_h="${size#*x}"
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

# The newest visible window whose name matches: its id as ID, its client
# area as X Y W H and its frame, caption included, as FX FY FW FH. A window may be created anew while it is looked
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
        ID="$id"
        return 0
      fi
    fi
    sleep 0.1
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
  app=""
  [ "$code" -eq "$1" ] || fail "exit code $code $2"
}

