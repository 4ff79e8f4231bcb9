#!/usr/bin/env bash
# The glTF export read by other programs (tests/export/gltf_check.mjs): every corpus file and the
# bundled walk exported as .glb (the walk as .gltf too, and edited with its feet planted), each
# validated by the Khronos glTF validator and read back by three.js. Arguments: the program, the
# helper that prints the drawn positions, the corpus folder (skipped when absent). Ends with 77
# (ctest's skip) without node or the node packages that scripts/install-deps.sh installs.
set -uo pipefail
program=$1
drawn=$2
corpus=${3:-}
here=$(cd "$(dirname "$0")" && pwd)
sample=$here/../../examples/walk_curve.bvh
if ! command -v node >/dev/null; then
    echo "SKIP: node is not installed, so no other reader checks the glTF export"
    exit 77
fi
if [ ! -d "$here/../node_modules/three" ] || [ ! -d "$here/../node_modules/gltf-validator" ]; then
    echo "SKIP: the node packages of tests/package.json are missing (scripts/install-deps.sh)"
    exit 77
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failed=0

# check IN OUT DRAWN [export's options]: exports IN to OUT and compares it with DRAWN's joints.
check() {
    local in=$1 out=$2 reference=$3
    shift 3
    if ! "$program" export "$in" "$out" "$@" >"$work/printed"; then
        echo "FAIL: export of $in: $(cat "$work/printed")"
        failed=1
    elif ! "$drawn" "$reference" >"$work/drawn.json"; then
        echo "FAIL: drawn positions of $reference"
        failed=1
    else
        node "$here/gltf_check.mjs" "$out" "$work/drawn.json" || failed=1
    fi
}

[ -d "$corpus" ] || echo "corpus folder $corpus is absent: only the bundled walk is checked"
for file in "$corpus"/*.bvh "$sample"; do
    [ -f "$file" ] && check "$file" "$work/$(basename "$file" .bvh).glb" "$file"
done
check "$sample" "$work/walk.gltf" "$sample"
# The edited walk is drawn as its edit's save writes it.
edit=(--move 4 -150 80 --plant-feet)
"$program" edit "$sample" "$work/edited.bvh" "${edit[@]}" >/dev/null || failed=1
check "$sample" "$work/edited.glb" "$work/edited.bvh" "${edit[@]}"
[ "$failed" -eq 0 ] && echo "PASS"
