#!/usr/bin/env bash
# The page in headless Chromium, served as scripts/web.sh serves it: a tape
# typed from the address prints the paper that tallivo-run --type prints for
# the same keys, however the address writes its spaces; PC key events sent all
# at once print it too; a screenshot of the page after a tape shows the panels
# and the flowchart.
# Usage: browser_test.sh SITE_DIR BIN_DIR [SCREENSHOT_DIR]
# Exits 77 (skipped) when the page has not been built.
set -u
site="$(cd "$1" 2>/dev/null && pwd)" || { echo "no page at $1: scripts/web.sh --build-only builds it"; exit 77; }
bin="$(cd "$2" && pwd)"
[ -f "$site/index.html" ] && [ -f "$site/tallivo.wasm" ] || { echo "no page in $site"; exit 77; }
command -v chromium >/dev/null || { echo "chromium is not installed (scripts/install-deps.sh installs it)"; exit 1; }
work="$(mktemp -d)"
shots="${3:-$work}"
mkdir -p "$shots"
server=""
cleanup() {
  [ -n "$server" ] && { kill "$server" 2>/dev/null; wait "$server" 2>/dev/null; }
  rm -rf "$work"
}
trap cleanup EXIT

# The page beside a harness that sends it PC key events: a copy of the site
# (links to its files) with typing.html added.
served="$work/site"
mkdir -p "$served"
for f in "$site"/*; do ln -s "$f" "$served/"; done
cat >"$served/typing.html" <<'HTML'
<!DOCTYPE html>
<html><head><meta charset="utf-8"><title>typing</title></head>
<body style="margin:0">
<pre id="paper"></pre><p id="status"></p>
<iframe id="calculator" src="index.html" width="1280" height="860" style="border:0"></iframe>
<script>
// The keys (the page's event.key values, separated by spaces) are in the
// address after '#'. Once the calculator runs, every key goes down and up in
// one go, as fast as a paste; the paper and the status are copied out here.
const keys = decodeURIComponent(location.hash.slice(1)).split(' ').filter((k) => k.length > 0);
const frame = document.getElementById('calculator');
let sent = false;
setInterval(() => {
  const page = frame.contentDocument;
  if (!page || !page.getElementById('status')) return;
  const status = page.getElementById('status').textContent;
  if (!sent && status.startsWith('Running')) {
    sent = true;
    keys.forEach((key, i) => {
      const code = 'Key' + i % 7;
      page.dispatchEvent(new KeyboardEvent('keydown', { key, code, bubbles: true }));
      page.dispatchEvent(new KeyboardEvent('keyup', { key, code, bubbles: true }));
    });
  }
  document.getElementById('paper').textContent = [...page.getElementById('paper').children]
    .map((line) => line.textContent).join('\n');
  document.getElementById('status').textContent = (sent ? 'sent ' : 'waiting ') + status;
}, 50);
</script>
</body></html>
HTML

port="$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')"
python3 -m http.server "$port" --bind 127.0.0.1 --directory "$served" >"$work/server.log" 2>&1 &
server=$!
for _ in $(seq 50); do
  python3 -c "import urllib.request; urllib.request.urlopen('http://127.0.0.1:$port/index.html')" 2>/dev/null && break
  sleep 0.1
done

# Headless Chromium on virtual time: the 740 kHz clock runs ahead of the wall
# clock, so a tape of a few seconds is done within the budget.
browser() {
  timeout 120 chromium --headless --no-sandbox --disable-gpu --disable-dev-shm-usage --hide-scrollbars \
    --user-data-dir="$work/profile" --virtual-time-budget=15000 "$@" 2>>"$work/chromium.log"
}

# The text of each child of #paper, one per line.
paper_lines() {
  python3 -c '
import html.parser, sys
class Paper(html.parser.HTMLParser):
    def __init__(self):
        super().__init__()
        self.depth = 0
        self.lines = []
    def handle_starttag(self, tag, attrs):
        if self.depth:
            self.depth += 1
            if self.depth == 2:
                self.lines.append("")
        elif ("id", "paper") in attrs:
            self.depth = 1
    def handle_endtag(self, tag):
        if self.depth:
            self.depth -= 1
    def handle_data(self, data):
        if self.depth >= 2:
            self.lines[-1] += data
p = Paper()
p.feed(sys.stdin.read())
for line in p.lines:
    print(line)
'
}

failures=0
check_tape() {
  local name="$1" tape="$2" query="$3"
  local expected got
  expected="$("$bin/tallivo-run" --code "$site/4001.code" --type "$tape")"
  got="$(browser --dump-dom "http://127.0.0.1:$port/?type=$query" | paper_lines)"
  if [ -n "$expected" ] && [ "$got" == "$expected" ]; then
    echo "ok   $name"
  else
    echo "FAIL $name: the page printed"
    printf '%s\n' "$got" | sed 's/^/  |/'
    echo "tallivo-run --type \"$tape\" printed"
    printf '%s\n' "$expected" | sed 's/^/  |/'
    failures=$((failures + 1))
  fi
}

check_tape "the tape of the address, spaces as %20" "1 2 + 3 4 + =" "1%202%20+%203%204%20+%20="
check_tape "a tape written as the PC keys type it" "1 2 . 5 + 7 . 2 5 + <> =" "12.5%2B7.25%2B%20%3C%3E%20%3D"
check_tape "the same tape, spaces as +" "1 2 + 3 4 + =" "1+2+%2B+3+4+%2B+%3D"
check_tape "a red line and the memory" "5 - 9 = 7 M+ RM" "5%20-%209%20=%207%20M+%20RM"

# A tape the page cannot type is reported, and the calculator still runs.
status="$(browser --dump-dom "http://127.0.0.1:$port/?type=1%20NOPE" | grep -o '<p id="status"[^<]*')"
if [[ "$status" == *"not typed"*"NOPE"* ]]; then
  echo "ok   an unknown key in the address is reported"
else
  echo "FAIL an unknown key in the address is reported: $status"
  failures=$((failures + 1))
fi

# A tape of every key the firmware has, sent as PC key events all at once:
# the keys' queue holds them until the calculator takes them, and the paper
# is the runner's.
tape="1 2 . 5 + 3 4 + 5 6 7 - <> 8 9 0 0 0 + 00 . 2 5 - = 1 2 X 3 = 4 5 / 9 = 2 0 0 X 1 5 % 7 M+ 3 M- RM + CM 6 S + 9 X 2 Ex = 4 CE 5 + C 1 0 0 + 5 M+ 9 9 9 -"
events="$(printf '%s\n' $tape | sed -e 's/^00$/z/' -e 's/^<>$/d/' -e 's/^X$/x/' -e 's/^M+$/m/' -e 's/^M-$/n/' \
  -e 's/^RM$/r/' -e 's/^CM$/l/' -e 's/^S$/s/' -e 's/^Ex$/e/' -e 's/^CE$/Backspace/' -e 's/^C$/Escape/' | tr '\n' ' ')"
expected="$("$bin/tallivo-run" --code "$site/4001.code" --type "$tape" | sed 's/ *$//')"
dom="$(timeout 180 chromium --headless --no-sandbox --disable-gpu --disable-dev-shm-usage --hide-scrollbars \
  --user-data-dir="$work/profile" --virtual-time-budget=40000 --window-size=1300,1000 \
  --screenshot="$shots/web_typed.png" "http://127.0.0.1:$port/typing.html#$(python3 -c 'import sys, urllib.parse; print(urllib.parse.quote(sys.argv[1]))' "$events")" \
  2>>"$work/chromium.log"; timeout 180 chromium --headless --no-sandbox --disable-gpu --disable-dev-shm-usage \
  --user-data-dir="$work/profile" --virtual-time-budget=40000 --dump-dom \
  "http://127.0.0.1:$port/typing.html#$(python3 -c 'import sys, urllib.parse; print(urllib.parse.quote(sys.argv[1]))' "$events")" 2>>"$work/chromium.log")"
got="$(printf '%s' "$dom" | python3 -c '
import html, re, sys
m = re.search(r"<pre id=\"paper\">(.*?)</pre>", sys.stdin.read(), re.S)
print(html.unescape(m.group(1)) if m else "")' | sed 's/ *$//')"
if [ -n "$expected" ] && [ "$got" == "$expected" ]; then
  echo "ok   $(wc -w <<<"$tape") PC key events at once print the runner's paper ($shots/web_typed.png)"
else
  echo "FAIL $(wc -w <<<"$tape") PC key events at once: the page printed"
  printf '%s\n' "$got" | sed 's/^/  |/'
  echo "tallivo-run --type printed"
  printf '%s\n' "$expected" | sed 's/^/  |/'
  failures=$((failures + 1))
fi

# The screenshot: the page's size, not blank, and with red ink on the paper
# after a red line.
shot="$shots/web_page.png"
browser --window-size=1300,1000 --screenshot="$shot" "http://127.0.0.1:$port/?type=1+2+%2B+3+4+%2B+%3D+5+-+9+%3D" >/dev/null
if [ -s "$shot" ] && [ "$(identify -format '%wx%h' "$shot" 2>/dev/null)" == "1300x1000" ]; then
  red="$(convert "$shot" -fx '(r>0.6 && g<0.2 && b<0.2) ? 1 : 0' -format '%[fx:mean*w*h]' info: 2>/dev/null)"
  spread="$(convert "$shot" -format '%[fx:standard_deviation]' info: 2>/dev/null)"
  if awk -v r="${red:-0}" -v s="${spread:-0}" 'BEGIN { exit !(r > 20 && s > 0.05) }'; then
    echo "ok   the screenshot shows the page ($shot)"
  else
    echo "FAIL the screenshot looks empty: red pixels ${red:-?}, spread ${spread:-?} ($shot)"
    failures=$((failures + 1))
  fi
else
  echo "FAIL no screenshot of 1300x1000 was taken"
  failures=$((failures + 1))
fi

if [ "$failures" -ne 0 ]; then
  echo "--- chromium's messages"
  tail -20 "$work/chromium.log"
  exit 1
fi
