#!/usr/bin/env bash
# Runs every fuzz target in DIR for SECONDS each, seeded from the real motion files when present.
set -euo pipefail
dir=$1 seconds=$2 corpus=${3:-}
shopt -s nullglob
targets=("$dir"/fuzz_*)
if [ ${#targets[@]} -eq 0 ]; then
    echo "fuzz: no fuzz targets built"
    exit 0
fi
for target in "${targets[@]}"; do
    [ -x "$target" ] || continue
    name=$(basename "$target")
    work="build/fuzz-corpus/$name"
    mkdir -p "$work"
    seeds=()
    [ -d "$corpus" ] && seeds+=("$corpus")
    echo "fuzz: $name for ${seconds}s"
    "$target" -max_total_time="$seconds" -rss_limit_mb=2048 -timeout=20 -print_final_stats=1 \
        "$work" "${seeds[@]}" 2>&1 | tail -n 12
done
