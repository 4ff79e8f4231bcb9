#!/usr/bin/env bash
# Runs every benchmark program in DIR BENCH_RUNS times (5 by default, at least 5), then prints the
# summary block: each "summary name: value" figure the programs printed, as the median of its
# runs with their spread, "name: median (min–max)". Fails when any run of any program fails (its
# figures still count, so a failing measure shows beside the others).
set -uo pipefail
dir=$1
runs=${BENCH_RUNS:-5}
[ "$runs" -ge 5 ] 2>/dev/null || runs=5
log=$(mktemp)
trap 'rm -f "$log"' EXIT
shopt -s nullglob
failed=()
for program in "$dir"/bench_*; do
    [ -x "$program" ] && [ -f "$program" ] || continue
    name=$(basename "$program")
    for ((run = 1; run <= runs; ++run)); do
        echo "== $name (run $run of $runs)"
        case "$name" in
            *_gl*) xvfb-run -a -s "-screen 0 1280x1024x24" "$program" 2>&1 | tee -a "$log" ;;
            *) "$program" 2>&1 | tee -a "$log" ;;
        esac
        status=${PIPESTATUS[0]}
        if [ "$status" -ne 0 ]; then
            echo "== $name failed (status $status)"
            failed+=("$name")
        fi
    done
done
echo
echo "== summary (median (min–max) of $runs runs)"
sed -n 's/^summary \([A-Za-z0-9_]*\): \([-+0-9.eE]*\).*$/\1 \2/p' "$log" | awk '
    !($1 in count) { order[++names] = $1 }
    { values[$1, ++count[$1]] = $2 }
    END {
        for (i = 1; i <= names; ++i) {
            name = order[i]; n = count[name]
            for (a = 1; a <= n; ++a) v[a] = values[name, a] + 0
            for (a = 2; a <= n; ++a) for (b = a; b > 1 && v[b - 1] > v[b]; --b) {
                t = v[b]; v[b] = v[b - 1]; v[b - 1] = t
            }
            median = n % 2 ? v[(n + 1) / 2] : (v[n / 2] + v[n / 2 + 1]) / 2
            printf "%s: %.6g (%.6g–%.6g)\n", name, median, v[1], v[n]
        }
    }'
if [ ${#failed[@]} -gt 0 ]; then
    echo "== failed: $(printf '%s\n' "${failed[@]}" | sort -u | tr '\n' ' ')"
    exit 1
fi
