#!/bin/sh
# Started from the desktop's menu: runs the calculator in a folder of its own
# under the user's state directory, so that its trace file (4004out.txt) is
# written there and not in whatever folder the desktop starts programs in,
# which is usually the home folder. Arguments go to the calculator.
set -e
state="${XDG_STATE_HOME:-}"
# The directory must be an absolute path; any other value is to be ignored.
case "$state" in
/*) ;;
*) state="$HOME/.local/state" ;;
esac
mkdir -p "$state/tallivo"
cd "$state/tallivo"
exec "$(dirname "$(readlink -f "$0")")/tallivo" "$@"
