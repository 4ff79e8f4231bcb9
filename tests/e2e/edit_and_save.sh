#!/usr/bin/env bash
# A user's session, driven only through X events: open a corpus walk with Alt+o and the file
# chooser, play and stop it with the panel's play button, drag a control point of its path,
# undo and redo it, try to close (the unsaved-work question comes up; Cancel keeps the program
# running), save with Alt+s under a new name and close the window, which now asks nothing. The
# saved file must load with the project's reader, with the root moved where the edit reached
# and everything else unchanged.
# Arguments: the program, the corpus folder. Set BVHPATH_E2E_KEEP=DIR to keep the screenshots.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source "$here/x_session.bash"

program=$(realpath "$1") corpus=${2:-}
original=$corpus/cmu_12_01_walk.bvh
if [ ! -f "$original" ]; then
    echo "SKIP: $original is absent (no corpus)"
    exit 0
fi
e2e_use_own_display "$@"

probe=$(dirname "$program")/e2e_probe
work=$(mktemp -d)
trap 'kill "${program_pid:-}" 2>/dev/null || true; rm -rf "$work"' EXIT
saved=$work/edited_walk.bvh
# The program runs in a scratch folder holding a copy of the walk, where both file choosers
# start.
cp "$original" "$work/"
cd "$work"

# Gives the FLTK file chooser titled $1 a path and accepts it with Enter. The path is pasted,
# as one edit: the chooser completes and rewrites its field after every key, which garbles a
# path typed key by key.
answer_chooser() {
    local title=$1 path=$2 chooser
    chooser=$(timeout 10 xdotool search --sync --onlyvisible --name "^$title\$" | head -1) ||
        e2e_fail "no '$title' dialog"
    xdotool windowfocus --sync "$chooser"
    sleep 0.3
    printf '%s' "$path" | xclip -selection clipboard 2>/dev/null
    xdotool key ctrl+a ctrl+v
    sleep 0.3
    xdotool key Return
    for _ in $(seq 50); do
        xdotool search --onlyvisible --name "^$title\$" >/dev/null 2>&1 || return 0
        sleep 0.1
    done
    e2e_fail "the '$title' dialog did not close"
}

# Presses Alt+letter in the main window (the 3D view has the keyboard focus).
alt_key() {
    xdotool windowfocus --sync "$window_id"
    xdotool key --clearmodifiers "alt+$1"
}

click_at() {
    xdotool mousemove --window "$window_id" "$1" "$2" click 1
}

# Presses a key combination in the main window.
key_in_window() {
    xdotool windowfocus --sync "$window_id"
    xdotool key --clearmodifiers "$1"
}

# Waits until the main window's title is $1.
expect_title() {
    for _ in $(seq 50); do
        [ "$(xdotool getwindowname "$window_id")" = "$1" ] && return 0
        sleep 0.1
    done
    e2e_fail "the title is '$(xdotool getwindowname "$window_id")', not '$1'"
}

differs() {
    [ "$(compare -metric AE "$1" "$2" null: 2>&1 || true)" != "0" ]
}

e2e_start "$program" "$work/program.log"

alt_key o
answer_chooser "Open BVH File" "$work/$(basename "$original")"
for _ in $(seq 50); do
    [ "$(xdotool getwindowname "$window_id")" = "bvhpath - cmu_12_01_walk.bvh" ] && break
    sleep 0.1
done
[ "$(xdotool getwindowname "$window_id")" = "bvhpath - cmu_12_01_walk.bvh" ] ||
    e2e_fail "the file did not open: $(cat "$work/program.log")"
sleep 0.5
e2e_shot "$work/opened.png"

# The panel's play button sits at (44, 797), 35 x 30, in the window.
click_at 61 812
sleep 1
e2e_shot "$work/playing1.png"
sleep 0.5
e2e_shot "$work/playing2.png"
differs "$work/playing1.png" "$work/playing2.png" || e2e_fail "the figure does not move while playing"
click_at 61 812
sleep 1
e2e_shot "$work/stopped1.png"
sleep 0.5
e2e_shot "$work/stopped2.png"
differs "$work/stopped1.png" "$work/stopped2.png" && e2e_fail "the figure still moves after stop"

# A control point near the middle of the path whose cube lies on the drawn line, so a click
# on it also touches the line, which the pick needs.
points=$("$probe" points "$original")
count=$(printf '%s\n' "$points" | wc -l)
read -r index px py <<<"$(printf '%s\n' "$points" |
    awk -v mid=$((count / 2)) '$4 < 1.5 && $2 > 20 && $2 < 780 && $3 > 50 && $3 < 700 {
        d = $1 - mid; if (d < 0) d = -d;
        if (best == "" || d < best) { best = d; line = $1 " " $2 " " $3 } }
        END { print line }')"
[ -n "${index:-}" ] || e2e_fail "no control point to drag: $points"
echo "dragging control point $index of $count from ($px, $py)"
xdotool mousemove --window "$window_id" "$px" "$py"
sleep 0.2
xdotool mousedown 1
for step in $(seq 1 8); do
    xdotool mousemove --window "$window_id" "$px" $((py + step * 10))
    sleep 0.05
done
sleep 0.2
xdotool mouseup 1
sleep 0.5
e2e_shot "$work/dragged.png"
differs "$work/stopped2.png" "$work/dragged.png" || e2e_fail "the drag changed nothing on screen"
expect_title "bvhpath - cmu_12_01_walk.bvh*"

# Undo puts the path back as loaded: no unsaved mark, the picture of before the drag.
key_in_window ctrl+z
expect_title "bvhpath - cmu_12_01_walk.bvh"
sleep 0.5
e2e_shot "$work/undone.png"
differs "$work/dragged.png" "$work/undone.png" || e2e_fail "undo changed nothing on screen"
key_in_window ctrl+y
expect_title "bvhpath - cmu_12_01_walk.bvh*"

# Closing with the edit unsaved asks first; Cancel keeps the program and the edit.
"$probe" close "$window_id"
question=$(timeout 10 xdotool search --sync --onlyvisible --name '^Unsaved changes$' | head -1) ||
    e2e_fail "closing with unsaved edits asked nothing"
sleep 0.3
e2e_shot "$work/question.png"
xdotool windowfocus --sync "$question"
xdotool key Escape
for _ in $(seq 50); do
    xdotool search --onlyvisible --name '^Unsaved changes$' >/dev/null 2>&1 || break
    sleep 0.1
done
sleep 0.3
kill -0 "$program_pid" 2>/dev/null || e2e_fail "Cancel did not keep the program running"
expect_title "bvhpath - cmu_12_01_walk.bvh*"

alt_key s
answer_chooser "Save BVH File" "$saved"
for _ in $(seq 50); do
    [ -s "$saved" ] && break
    sleep 0.1
done
[ -s "$saved" ] || e2e_fail "nothing was saved"
expect_title "bvhpath - edited_walk.bvh"

e2e_close "$probe"
[ "$exit_status" -eq 0 ] || e2e_fail "the program ended with status $exit_status, not 0"
if [ -n "${BVHPATH_E2E_KEEP:-}" ]; then
    mkdir -p "$BVHPATH_E2E_KEEP"
    cp "$work"/*.png "$saved" "$BVHPATH_E2E_KEEP"/
fi
"$probe" check "$original" "$saved" "$index" || e2e_fail "the saved file is not the edited walk"
echo "PASS"
