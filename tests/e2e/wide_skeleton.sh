#!/usr/bin/env bash
# Through X events: the bundled walk with 100,000 joints hung below its left toe, which the search
# for the feet meets first, plants its feet from the Selection menu at once (the window froze for
# over a minute), and Ctrl+Q then asks about the change and Discard ends the program.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source "$here/x_session.bash"
e2e_use_own_display "$@"

work=$(mktemp -d)
trap 'kill "${program_pid:-}" 2>/dev/null || true; rm -rf "$work"' EXIT
awk '/JOINT LeftToeBase/ { toe = 1 }
     { print }
     toe && /CHANNELS/ {
         for (i = 0; i < 100000; i++)
             printf "JOINT J\n{\nOFFSET %g %g %g\nCHANNELS 0\n}\n", (i % 7) / 10, -2 - (i % 5) / 10, (i % 3) / 10
         toe = 0
     }' "$here/../../examples/walk_curve.bvh" >"$work/wide_walk.bvh"
e2e_start "$1" "$work/program.log" "$work/wide_walk.bvh"
# Selection is the menu bar's fifth entry, Keep Feet Planted its second item.
xdotool mousemove --window "$window_id" 240 15 click 1 sleep 0.5 key Down Down Return
e2e_title "bvhpath - wide_walk.bvh*"
xdotool windowfocus --sync "$window_id" key --clearmodifiers ctrl+q
e2e_window "Unsaved changes"
# Discard, the second of three 100 x 28 buttons from (90, 90).
xdotool mousemove --window "$found_window" 250 104 click 1
for _ in $(seq 50); do kill -0 "$program_pid" 2>/dev/null && sleep 0.1; done
kill -0 "$program_pid" 2>/dev/null && e2e_fail "the program did not end after Discard"
wait "$program_pid" || e2e_fail "the program ended with a status other than 0"
echo "PASS"
