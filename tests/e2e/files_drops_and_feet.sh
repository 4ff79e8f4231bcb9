#!/usr/bin/env bash
# Through X events only: a FIFO nobody writes to waits on the worker (Cancel, and later Ctrl+Q,
# end the wait); drops from xdnd_drop (a file manager's drag) open, on the panel after the
# unsaved-work question; names typed key by key into the file chooser (a bare name, an absolute
# path from its "/", "~/"); Choose Feet's joint lists, refused at once while the feet are
# planted; a broken file's message names it and wraps inside a narrow view.
# Arguments: the program (the corpus folder is not needed).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source "$here/x_session.bash"
e2e_use_own_display "$@"

program=$(realpath "$1")
drop=$(dirname "$program")/xdnd_drop
work=$(mktemp -d)
trap 'kill "${program_pid:-}" 2>/dev/null || true; rm -rf "$work"' EXIT
mkdir "$work/run" "$work/shown" "$work/home"
cp "$here/../../examples/walk_curve.bvh" "$work/shown/first.bvh"
cp "$here/../../examples/walk_curve.bvh" "$work/home/at_home.bvh"
broken="$work/a capture whose name runs on, as the names scripts make do, take_0042_final.bvh"
echo "HIERARCHIE" >"$broken"
mkfifo "$work/nobody.bvh"
export HOME=$work/home
cd "$work/run"
log=$work/program.log

"$program" "$work/nobody.bvh" >"$log" 2>&1 &
program_pid=$!
e2e_window "bvhpath - working"
# The progress box is 420 x 90 with its Cancel button at (310, 55), 100 x 26.
xdotool mousemove --window "$found_window" 360 68 click 1
e2e_gone "bvhpath - working"
e2e_window "bvhpath"
window_id=$found_window
"$drop" "$window_id" 400 400 "$work/shown/first.bvh" || e2e_fail "the drop on the view was refused"
e2e_title "bvhpath - first.bvh"

# chooser KEY TITLE TEXT [CLEAR]: KEY opens the chooser TITLE; TEXT is typed there after the
# keys CLEAR, and Enter pressed.
chooser() {
    xdotool windowfocus --sync "$window_id" key --clearmodifiers "$1"
    e2e_window "$2"
    xdotool windowfocus --sync "$found_window" sleep 0.3 ${4:+key $4} type --delay 60 "$3"
    xdotool sleep 0.3 key Return
    e2e_gone "$2"
}
chooser alt+s "Save BVH File" "second.bvh"
e2e_title "bvhpath - second.bvh"
[ -s "$work/shown/second.bvh" ] || e2e_fail "the bare name was not saved in the folder shown"
chooser alt+o "Open BVH File" "$work/shown/first.bvh" "ctrl+a BackSpace"
e2e_title "bvhpath - first.bvh"
chooser alt+o "Open BVH File" "~/at_home.bvh" "ctrl+a BackSpace"
e2e_title "bvhpath - at_home.bvh"
[ -z "$(ls "$work/run")" ] || e2e_fail "files landed in the working folder: $(ls "$work/run")"

# selection N: the Selection menu's Nth item (2 Keep Feet Planted, 3 Choose Feet).
selection() {
    xdotool mousemove --window "$window_id" 240 15 click 1 sleep 0.5
    xdotool key $(printf 'Down %.0s' $(seq "$1")) Return sleep 0.5
}
selection 3
e2e_window "Choose Feet"
# The first joint shown in each list, as both ankles: the document refuses the pair.
xdotool mousemove --window "$found_window" 60 41 click 1 \
    mousemove --window "$found_window" 280 41 click 1 key Return
e2e_gone "Choose Feet"
grep -qE "shares joints with another foot|is not the ankle" "$log" ||
    e2e_fail "the picked joints were not tried"
selection 2
e2e_title "bvhpath - at_home.bvh*"
selection 3
grep -qx "Let the feet go before choosing them." "$log" || e2e_fail "no reason for the refusal"
xdotool search --onlyvisible --name "^Choose Feet$" >/dev/null && e2e_fail "planted feet were asked"
"$drop" "$window_id" 400 860 "$work/shown/second.bvh" || e2e_fail "the drop on the panel was refused"
e2e_window "Unsaved changes"
# Discard, the second of three 100 x 28 buttons from (90, 90).
xdotool mousemove --window "$found_window" 250 104 click 1
e2e_title "bvhpath - second.bvh"

xdotool windowsize "$window_id" 640 600 sleep 0.5
"$drop" "$window_id" 300 300 "$broken" && sleep 1 || e2e_fail "the broken file's drop was refused"
grep -qxF "$(basename "$broken"): The Parser could not parse this: hierarchy" "$log" ||
    e2e_fail "the console does not name the file: $(cat "$log")"
e2e_shot "$work/message.png"
# The view is 630 wide from x = 5: no text in its right margin, a second line below the first.
yellow='r > 200 && g > 170 && b < 120'
[ "$(e2e_count "$work/message.png" "$yellow" 10x60+625+35)" -eq 0 ] ||
    e2e_fail "the message runs past the view's edge"
[ "$(e2e_count "$work/message.png" "$yellow" 600x16+5+57)" -gt 50 ] ||
    e2e_fail "the message is not wrapped"

"$drop" "$window_id" 300 300 "$work/nobody.bvh" || e2e_fail "the drop of the FIFO was refused"
e2e_window "bvhpath - working"
xdotool windowfocus --sync "$window_id" key --clearmodifiers ctrl+q
for _ in $(seq 50); do kill -0 "$program_pid" 2>/dev/null && sleep 0.1; done
kill -0 "$program_pid" 2>/dev/null && e2e_fail "Ctrl+Q did not end the program while it waited"
echo "PASS"
