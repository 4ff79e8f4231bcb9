#!/usr/bin/env bash
# The program started on a motion file shows the figure (its red joint markers and blue bones
# on top of what an empty start shows), and closing its window ends it with exit status 0. A
# drag undone with Ctrl+Z leaves nothing unsaved; redone, Ctrl+Q asks about it and Discard ends
# the program with status 0 too; a broken file given at start shows the reader's message in
# the window. Without a display the program ends with status 1.
# Arguments: the program, the corpus folder (unused: the bundled sample is always there).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source "$here/x_session.bash"
e2e_use_own_display "$@"

program=$1
probe=$(dirname "$program")/e2e_probe
sample=$here/../../examples/walk_curve.bvh
work=$(mktemp -d)
trap 'kill "${program_pid:-}" 2>/dev/null || true; rm -rf "$work"' EXIT

e2e_start "$program" "$work/empty.log"
e2e_shot "$work/empty.png"
empty_red=$(e2e_count "$work/empty.png" "$e2e_red")
empty_blue=$(e2e_count "$work/empty.png" "$e2e_blue")
e2e_close "$probe"
[ "$exit_status" -eq 0 ] || e2e_fail "empty start ended with status $exit_status, not 0"

e2e_start "$program" "$work/sample.log" "$sample"
title=$(xdotool getwindowname "$window_id")
[ "$title" = "bvhpath - walk_curve.bvh" ] || e2e_fail "window title is '$title'"
e2e_shot "$work/sample.png"
red=$(e2e_count "$work/sample.png" "$e2e_red")
blue=$(e2e_count "$work/sample.png" "$e2e_blue")
echo "red pixels: $empty_red empty, $red with the sample; blue: $empty_blue empty, $blue"
[ "$red" -gt $((empty_red + 20)) ] || e2e_fail "no red joint markers on screen"
[ "$blue" -gt $((empty_blue + 20)) ] || e2e_fail "no blue bones on screen"

# Space plays and stops wherever the focus is; the wheel zooms; the window can be resized.
xdotool mousemove --window "$window_id" 400 300 click 1
xdotool windowfocus --sync "$window_id"
xdotool key space
sleep 0.8
e2e_shot "$work/playing1.png"
sleep 0.4
e2e_shot "$work/playing2.png"
xdotool key space
[ "$(compare -metric AE "$work/playing1.png" "$work/playing2.png" null: 2>&1 || true)" != "0" ] ||
    e2e_fail "Space did not start playback"
xdotool key Home
sleep 0.3
e2e_shot "$work/before_wheel.png"
for _ in 1 2 3; do xdotool click 4; sleep 0.1; done
sleep 0.3
e2e_shot "$work/after_wheel.png"
[ "$(compare -metric AE "$work/before_wheel.png" "$work/after_wheel.png" null: 2>&1 || true)" != "0" ] ||
    e2e_fail "the wheel did not zoom"
for _ in 1 2 3; do xdotool click 5; sleep 0.1; done
# A middle drag up zooms in, whatever the figure's units (the bones grow); as far down undoes it.
middle_drag() {
    xdotool mousemove --window "$window_id" 400 400 mousedown 2
    for y in "$@"; do xdotool mousemove --window "$window_id" 400 "$y" sleep 0.05; done
    xdotool mouseup 2 sleep 0.3
}
middle_drag 375 350 325 300 275 250
e2e_shot "$work/dragged_in.png"
[ "$(e2e_count "$work/dragged_in.png" "$e2e_blue")" -gt $(($(e2e_count "$work/before_wheel.png" "$e2e_blue") * 3 / 2)) ] ||
    e2e_fail "a middle drag up did not zoom in"
middle_drag 425 450 475 500 525 550
xdotool windowsize --sync "$window_id" 1000 760
sleep 0.5
read -r width height <<<"$(xwininfo -id "$window_id" | awk '/Width:/ { w = $2 } /Height:/ { h = $2 } END { print w, h }')"
[ "$width" -eq 1000 ] && [ "$height" -eq 760 ] || e2e_fail "the window is ${width}x$height after a resize"
e2e_shot "$work/resized.png"
# The panel follows the bottom edge: its blue play-range bar sits near the new bottom.
bar=$(convert "$work/resized.png" -crop 980x60+10+680 +repage -depth 8 rgb:- | od -An -v -tu1 -w3 |
    awk '$3 > 200 && $1 > 90 && $1 < 140 { n++ } END { print n + 0 }')
[ "$bar" -gt 1000 ] || e2e_fail "the panel did not follow the bottom edge"
xdotool windowsize --sync "$window_id" 800 900
sleep 0.5

# Drag a control point down the screen, then undo it with Ctrl+Z.
read -r _ px py _ <<<"$("$probe" points "$sample" | awk '$2 > 100 && $2 < 700 && $3 > 100 && $3 < 600 { print; exit }')"
[ -n "${px:-}" ] || e2e_fail "no control point on screen"
xdotool mousemove --window "$window_id" "$px" "$py" mousedown 1
for step in 1 2 3 4 5 6; do
    xdotool mousemove --window "$window_id" "$px" $((py + step * 10))
    sleep 0.05
done
xdotool mouseup 1
sleep 0.3
title=$(xdotool getwindowname "$window_id")
[ "$title" = "bvhpath - walk_curve.bvh*" ] || e2e_fail "after a drag the title is '$title'"
xdotool windowfocus --sync "$window_id"
xdotool key --clearmodifiers ctrl+z
sleep 0.3
title=$(xdotool getwindowname "$window_id")
[ "$title" = "bvhpath - walk_curve.bvh" ] || e2e_fail "after Ctrl+Z the title is '$title'"
xdotool key --clearmodifiers ctrl+y ctrl+q
question=$(timeout 10 xdotool search --sync --onlyvisible --name '^Unsaved changes$' | head -1) ||
    e2e_fail "File > Quit with an unsaved edit asked nothing"
sleep 0.3
xdotool mousemove --window "$question" 250 104 click 1  # Discard, the middle of three buttons
timeout 10 tail --pid="$program_pid" -f /dev/null || e2e_fail "Discard did not end the program"
exit_status=0
wait "$program_pid" || exit_status=$?
[ "$exit_status" -eq 0 ] || e2e_fail "Discard ended the program with status $exit_status, not 0"

# A file that does not parse: the reader says why and the program starts empty.
printf 'HIERARCHIE\n' >"$work/broken.bvh"
e2e_start "$program" "$work/broken.log" "$work/broken.bvh"
grep -q "The Parser could not parse this: hierarchy" "$work/broken.log" ||
    e2e_fail "no reader message for a broken file: $(cat "$work/broken.log")"
[ "$(xdotool getwindowname "$window_id")" = "bvhpath" ] || e2e_fail "broken file named the window"
e2e_shot "$work/broken.png"
message=$(e2e_count "$work/broken.png" 'r > 230 && g > 180 && g < 240 && b < 120')
[ "$message" -gt 100 ] || e2e_fail "the window does not show the reader's message"
e2e_close "$probe"
[ "$exit_status" -eq 0 ] || e2e_fail "the program ended with status $exit_status, not 0"
exit_status=0
env -u DISPLAY "$program" >/dev/null 2>&1 || exit_status=$?
[ "$exit_status" -eq 1 ] || e2e_fail "without a display the program ended with status $exit_status"

usage=$("$program" --help)
[ "$(printf '%s\n' "$usage" | head -n 1)" = "usage: bvhpath [FILE.bvh]  (opens FILE.bvh, or starts empty)" ] ||
    e2e_fail "--help does not begin with the usage line: $usage"
for subcommand in info check convert; do
    grep -q "bvhpath $subcommand " <<<"$usage" || e2e_fail "--help does not list $subcommand"
done
echo "PASS"
