#!/usr/bin/env bash
# Runs every benchmark program in DIR, then prints the summary block: the "summary name: value"
# lines that the programs printed, one figure a line, so runs can be compared.
set -uo pipefail
dir=$1
log=$(mktemp)
trap 'rm -f "$log"' EXIT
shopt -s nullglob
for program in "$dir"/bench_*; do
    [ -x "$program" ] || continue
    echo "== $(basename "$program")"
    case "$(basename "$program")" in
        *_gl*) xvfb-run -a -s "-screen 0 1280x1024x24" "$program" 2>&1 | tee -a "$log" ;;
        *) "$program" 2>&1 | tee -a "$log" ;;
    esac
done
echo
echo "== summary"
sed -n 's/^summary \([A-Za-z0-9_]*: .*\)$/\1/p' "$log"
