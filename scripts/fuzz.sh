#!/usr/bin/env bash
# Runs every fuzz target in DIR for SECONDS each with the BVH dictionary, seeded from small files:
# the hand-made ones in fuzz/seeds and the real motion files (when present) cut to three frames,
# since whole captures of megabytes would make every run slow.
set -euo pipefail
dir=$1 seconds=$2 corpus=${3:-}
shopt -s nullglob
targets=("$dir"/fuzz_*)
if [ ${#targets[@]} -eq 0 ]; then
    echo "fuzz: no fuzz targets built"
    exit 0
fi
seeds=build/fuzz-seeds
mkdir -p "$seeds"
cp fuzz/seeds/*.bvh "$seeds"/
if [ -d "$corpus" ]; then
    for file in "$corpus"/*.bvh; do
        # Everything up to MOTION, the frame count set to 3, the frame time and three frames.
        awk '
            state == 0 && tolower($1) == "frames:" { sub(/[0-9]+/, "3"); print; state = 1; next }
            state == 1 { print; state = 2; next }
            state == 2 { print; if (++frames == 3) exit; next }
            { print }
        ' "$file" >"$seeds/cut_$(basename "$file")"
    done
fi
for target in "${targets[@]}"; do
    [ -x "$target" ] || continue
    name=$(basename "$target")
    work="build/fuzz-corpus/$name"
    mkdir -p "$work"
    echo "fuzz: $name for ${seconds}s"
    log="build/fuzz-logs/$name.log"
    mkdir -p build/fuzz-logs
    if ! "$target" -max_total_time="$seconds" -rss_limit_mb=2048 -timeout=20 \
        -print_final_stats=1 -dict=fuzz/bvh.dict "$work" "$seeds" >"$log" 2>&1; then
        tail -n 40 "$log"
        echo "fuzz: $name failed (whole log in $log)"
        exit 1
    fi
    # The last coverage line (cov: edges reached, exec/s) and the final statistics.
    grep -E '^#[0-9]+' "$log" | tail -n 1
    grep '^stat::' "$log"
done
