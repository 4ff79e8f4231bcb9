#!/usr/bin/env bash
# A long capture given at start: the window shows at once, the load shows its progress with the
# file's name and a Cancel button, and Cancel leaves the program running with nothing loaded.
# Arguments: the program (the corpus folder is not needed).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source "$here/x_session.bash"
e2e_use_own_display "$@"

program=$1
probe=$(dirname "$program")/e2e_probe
work=$(mktemp -d)
trap 'kill "${program_pid:-}" 2>/dev/null || true; rm -rf "$work"' EXIT
long=$work/long_capture.bvh
"$probe" generate "$work/generated.bvh" 60000 || e2e_fail "could not write the long capture"
# The capture arrives through a pipe, a megabyte every fifth of a second, so the load lasts
# long enough to be watched and cancelled whatever the machine's speed.
mkfifo "$long"
split -b 1000000 -d -a 4 "$work/generated.bvh" "$work/piece."
(
    for piece in "$work"/piece.*; do
        cat "$piece" || exit 0
        sleep 0.2
    done
) >"$long" 2>/dev/null &
feeder_pid=$!
trap 'kill "${program_pid:-}" "$feeder_pid" 2>/dev/null || true; rm -rf "$work"' EXIT

# Started by hand rather than with e2e_start, which waits for the view to draw: the box must be
# caught while the load still runs.
"$program" "$long" >"$work/long.log" 2>&1 &
program_pid=$!
box=$(timeout 20 xdotool search --sync --onlyvisible --name '^bvhpath - working$' | head -1) ||
    e2e_fail "no progress box while the long capture loads"
window_id=$(xdotool search --onlyvisible --name '^bvhpath$' | head -1)
[ -n "$window_id" ] || e2e_fail "the main window is not shown while the file loads"
filled=0
for _ in $(seq 40); do
    import -window "$box" "$work/progress.png" || e2e_fail "the progress box went away too soon"
    filled=$(convert "$work/progress.png" -depth 8 rgb:- | od -An -v -tu1 -w3 |
        awk '$3 > 200 && $1 < 60 && $2 < 60 { n++ } END { print n + 0 }')
    [ "$filled" -gt 0 ] && break
    sleep 0.05
done
[ "$filled" -gt 0 ] || e2e_fail "the progress bar shows no progress"
# The box is 420 x 90 with its Cancel button at (310, 55), 100 x 26.
xdotool mousemove --window "$box" 360 68 click 1
for _ in $(seq 100); do
    xdotool search --onlyvisible --name '^bvhpath - working$' >/dev/null 2>&1 || break
    sleep 0.1
done
xdotool search --onlyvisible --name '^bvhpath - working$' >/dev/null 2>&1 &&
    e2e_fail "Cancel did not stop the load"
kill -0 "$program_pid" 2>/dev/null || e2e_fail "the program ended on Cancel"
title=$(xdotool getwindowname "$window_id")
[ "$title" = "bvhpath" ] || e2e_fail "a cancelled load named the window: '$title'"
e2e_close "$probe"
[ "$exit_status" -eq 0 ] || e2e_fail "the program ended with status $exit_status, not 0"
echo "PASS"
