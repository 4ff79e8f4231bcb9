#!/usr/bin/env bash
# Starts the program on the bundled sample motion.
set -euo pipefail
program=$1 sample=$2
if [ ! -x "$program" ]; then
    echo "run: $program is not built yet"
    exit 1
fi
if [ -z "${DISPLAY:-}" ]; then
    echo "run: no DISPLAY; start an X server (or run under xvfb-run) to see the window"
    exit 1
fi
exec "$program" "$sample"
