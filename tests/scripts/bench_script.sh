#!/usr/bin/env bash
# scripts/bench.sh on fake benchmark programs: figures come out as the median of the runs with
# their spread, and a program that fails makes the whole run fail. Argument: the script.
set -uo pipefail
script=$1
fake=$(mktemp -d)
trap 'rm -rf "$fake"' EXIT
fail() { echo "FAIL: $*" && exit 1; }
# bench_count prints its run number (counted in a file) as a figure; bench_fixed always 7.
printf '%s\n' '#!/usr/bin/env bash' 'n=$(($(cat "$0.n" 2>/dev/null || echo 0) + 1))' \
    'echo $n >"$0.n"; echo "summary counted: $((n * 10))"' >"$fake/bench_count"
printf '%s\n' '#!/usr/bin/env bash' 'echo "summary fixed_ms: 7.5"' >"$fake/bench_fixed"
chmod +x "$fake/bench_count" "$fake/bench_fixed"
out=$(bash "$script" "$fake" 2>&1)
[ $? -eq 0 ] || fail "a passing set failed: $out"
printf '%s\n' "$out" | grep -qx "counted: 30 (10–50)" || fail "no median of five: $out"
printf '%s\n' "$out" | grep -qx "fixed_ms: 7.5 (7.5–7.5)" || fail "no steady figure: $out"
# One failing program fails the run, and its figures still show.
printf '%s\n' '#!/usr/bin/env bash' 'echo "summary broken: 1"' 'exit 1' >"$fake/bench_broken"
chmod +x "$fake/bench_broken"
out=$(BENCH_RUNS=6 bash "$script" "$fake" 2>&1)
[ $? -ne 0 ] || fail "a failing program did not fail the run: $out"
printf '%s\n' "$out" | grep -qx "broken: 1 (1–1)" || fail "the failing program's figure: $out"
printf '%s\n' "$out" | grep -q "failed: bench_broken" || fail "the failure is not named: $out"
echo "bench script: OK"
