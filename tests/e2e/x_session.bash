# Shared by the end-to-end scripts (sourced, not run): an X server of their own, the program
# started in the background, its window, screenshots and pixel counts.

# Runs the calling script again inside its own Xvfb; the server and the program go with it.
e2e_use_own_display() {
    if [ -z "${BVHPATH_E2E_DISPLAY:-}" ]; then
        exec xvfb-run -a -s "-screen 0 1280x1024x24" \
            env BVHPATH_E2E_DISPLAY=1 LIBGL_ALWAYS_SOFTWARE=1 bash "$0" "$@"
    fi
}

e2e_fail() {
    echo "FAIL: $*"
    exit 1
}

# e2e_start PROGRAM LOG [ARGS...]: starts the program; sets program_pid and window_id.
e2e_start() {
    local program=$1 log=$2
    shift 2
    "$program" "$@" >"$log" 2>&1 &
    program_pid=$!
    window_id=$(timeout 30 xdotool search --sync --onlyvisible --name '^bvhpath' | head -1) ||
        e2e_fail "no bvhpath window appeared; program output: $(cat "$log")"
    e2e_wait_for_view "$log.png"
}

# e2e_wait_for_view SCRATCH_PNG: waits until the 3D view has drawn its grey ground (the first
# draw builds display lists and can take a while on a loaded machine).
e2e_wait_for_view() {
    for _ in $(seq 40); do
        e2e_shot "$1"
        [ "$(e2e_count "$1" "$e2e_grey")" -gt 2000 ] && return 0
        sleep 0.25
    done
    e2e_fail "the 3D view drew no ground"
}

# e2e_close PROBE: closes the window as a window manager would and waits for the exit status,
# which it leaves in exit_status.
e2e_close() {
    local probe=$1
    "$probe" close "$window_id"
    local waited=0
    while kill -0 "$program_pid" 2>/dev/null && [ $waited -lt 100 ]; do
        sleep 0.1
        waited=$((waited + 1))
    done
    kill -0 "$program_pid" 2>/dev/null && e2e_fail "the program did not end after its window closed"
    exit_status=0
    wait "$program_pid" || exit_status=$?
}

# e2e_shot FILE: a screenshot of the program's window.
e2e_shot() {
    import -window "$window_id" "$1"
}

# e2e_count FILE CONDITION [AREA]: how many pixels of the 3D view (inside the window), or of
# the area given as WxH+X+Y, satisfy the awk condition on r, g, b (0 to 255).
e2e_count() {
    convert "$1" -crop "${3:-790x755+5+35}" +repage -depth 8 rgb:- | od -An -v -tu1 -w3 |
        awk "{ r = \$1; g = \$2; b = \$3 } $2 { n++ } END { print n + 0 }"
}

# e2e_window TITLE: waits for a visible window titled TITLE and leaves its id in found_window.
e2e_window() {
    found_window=$(timeout 10 xdotool search --sync --onlyvisible --name "^$1\$" | head -1 || true)
    [ -n "$found_window" ] || e2e_fail "no '$1' window"
}

# e2e_gone TITLE: waits until no visible window is titled TITLE.
e2e_gone() {
    for _ in $(seq 50); do
        xdotool search --onlyvisible --name "^$1\$" >/dev/null || return 0
        sleep 0.1
    done
    e2e_fail "the '$1' window is still there"
}

# e2e_title TITLE: waits until the program's window is titled TITLE.
e2e_title() {
    for _ in $(seq 50); do
        [ "$(xdotool getwindowname "$window_id")" = "$1" ] && return 0
        sleep 0.1
    done
    e2e_fail "the title is '$(xdotool getwindowname "$window_id")', not '$1'"
}

e2e_red='r > 204 && g < 102 && b < 102'
e2e_blue='b > 204 && r < 51 && g < 51'
e2e_grey='r == g && g == b && r > 50 && r < 130'
