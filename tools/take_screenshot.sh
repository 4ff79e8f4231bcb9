#!/usr/bin/env bash
# Takes docs/screenshot.png: the program on the bundled sample under its own Xvfb, played for
# about four seconds, stopped, turned a little with the right button to look down on the path,
# and brought closer with the middle button; everything through X events, as a user would.
#   tools/take_screenshot.sh [PROGRAM] [OUTPUT]
set -euo pipefail
cd "$(dirname "$0")/.."
program=${1:-build/release/bvhpath} output=${2:-docs/screenshot.png}
if [ -z "${BVHPATH_SHOT_DISPLAY:-}" ]; then
    exec xvfb-run -a -s "-screen 0 1280x1024x24" env BVHPATH_SHOT_DISPLAY=1 bash "$0" "$@"
fi
"$program" examples/walk_curve.bvh >/dev/null &
pid=$!
trap 'kill $pid 2>/dev/null || true' EXIT
window=$(timeout 20 xdotool search --sync --onlyvisible --name '^bvhpath' | head -1)
sleep 1

drag() {  # button, x, y, dx per step, dy per step
    xdotool mousemove --window "$window" "$2" "$3" mousedown "$1"
    for i in $(seq 1 10); do
        xdotool mousemove --window "$window" $(($2 + i * $4)) $(($3 + i * $5))
        sleep 0.05
    done
    xdotool mouseup "$1"
}

xdotool mousemove --window "$window" 61 812 click 1  # play
sleep 4.2
xdotool mousemove --window "$window" 61 812 click 1  # stop
sleep 0.3
# A downward drag with the right button raises the eye to look down on the path.
drag 3 780 300 0 10
drag 2 300 600 3 0  # 30 pixels: about a seventh closer
xdotool mousemove --window "$window" 790 890
sleep 0.5
import -window "$window" "$output"
echo "wrote $output"
