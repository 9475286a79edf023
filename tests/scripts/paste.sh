#!/usr/bin/env bash
# The real calculator under Xvfb, with its sound on and no audio output: it
# says nothing about sound. A 20-key tape pasted into the keyboard window
# with Ctrl+V (with a character that has no key, which is skipped) prints the
# same paper as the tape typed on the headless runner; the paper is read back
# with the printer's Copy. Then Quit, the report and a clean exit.
# Usage: paste.sh BIN_DIR TEST_DATA_DIR
set -u
bin="$(cd "$1" && pwd)"
source "$2/support/x11_session.sh"
command -v xclip >/dev/null || fail "xclip is not installed (scripts/install-deps.sh installs it)"

# "<>" is one key: 20 keys, and "#" that has none.
tape='12.5+7.25+99+1.25-#<>='
typed='1 2 . 5 + 7 . 2 5 + 9 9 + 1 . 2 5 - <> ='
expected="$(QT_QPA_PLATFORM=offscreen "$bin/tallivo-run" --code "$bin/4001.code" --type "$typed" | sed 's/ *$//')"
[ "$(wc -l <<<"$expected")" -eq 6 ] || fail "the runner printed an unexpected tape: $expected"

cp "$bin/4001.code" "$work/4001.code"
cd "$work"
start_display 1200x800 || fail "Xvfb with openbox did not start"
"$bin/tallivo" -f0 >tallivo.log 2>&1 &
app=$!
frame_of '^Tallivo 141DU Keyboard$' || fail "keyboard window never appeared"
printf '%s' "$tape" | xclip -selection clipboard -loops 1 &
sleep 0.3
xdotool windowactivate --sync "$ID" key ctrl+v 2>/dev/null || fail "could not press Ctrl+V"
# 20 keys at 0.32 s each and the last lines' printing.
sleep 10

# The printer's Copy of all its lines puts the paper on the clipboard.
frame_of '^Tallivo 141DU Printer$' || fail "no printer window"
xdotool mousemove --sync $((X + W / 2)) $((Y + H / 3)) click 1 key ctrl+a 2>/dev/null
sleep 0.3
xdotool key ctrl+c 2>/dev/null
sleep 0.5
paper="$(xclip -selection clipboard -o 2>/dev/null | sed 's/ *$//')"
import -window root "$shots/paste.png" 2>/dev/null
[ "$paper" = "$expected" ] || fail "pasted paper differs from typed:
--- pasted
$paper
--- typed
$expected"

click_in '^Tallivo 141DU Keyboard$' 844 200 || fail "could not click Quit"
frame_of '^tallivo$' || fail "no exit report box"
xdotool mousemove --sync $((X + W - 50)) $((Y + H - 22)) click 1 2>/dev/null
expect_exit 0 "after the paste"
if grep -qiE 'audio|pulse|sound|alsa' tallivo.log; then fail "the calculator spoke of sound"; fi
echo "paste test passed"
