#!/usr/bin/env bash
# The subcommands run without a display: their outputs, exit statuses and convert round trips.
# Arguments: the program, the corpus folder (its part is skipped when the folder is absent).
set -uo pipefail
program=$1
corpus=${2:-}
here=$(cd "$(dirname "$0")" && pwd)
sample=$here/../../examples/walk_curve.bvh
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
unset DISPLAY

fail() {
    echo "FAIL: $*"
    exit 1
}

# Runs the program, keeping its standard output in $out and its exit status in $status.
run() {
    out=$("$program" "$@" 2>"$work/stderr")
    status=$?
}

expect_line() {
    printf '%s\n' "$out" | grep -qxF -- "$1" || fail "no line '$1' in: $out"
}

# The frame values of two files agree to within a tolerance, and so do their hierarchies
# (names, channel lines, OFFSETs), token by token.
same_values() {
    awk -v tolerance="$3" '
        FNR == 1 { file++ }
        { for (i = 1; i <= NF; i++) token[file, ++count[file]] = $i }
        END {
            if (count[1] != count[2]) { print "token counts " count[1] " and " count[2]; exit 1 }
            for (i = 1; i <= count[1]; i++) {
                a = token[1, i]; b = token[2, i]
                if (a == b) continue
                if (a ~ /^-?[0-9.]+(e-?[0-9]+)?$/ && b ~ /^-?[0-9.]+(e-?[0-9]+)?$/) {
                    d = a - b; if (d < 0) d = -d
                    if (d <= tolerance) continue
                }
                print "token " i ": " a " and " b; exit 1
            }
        }' "$1" "$2"
}

# info: bare values, the reading detected or as overridden.
run info "$sample"
[ "$status" -eq 0 ] || fail "info ended with $status: $out"
for line in "frames: 300" "frame time: 0.033333" "joints: 22" "channels: 69" "up axis: y" \
    "position channels: offset plus value" "duration: 9.9999" "control points: 8"; do
    expect_line "$line"
done
printf '%s\n' "$out" | grep -qE '^root path length: [0-9.]+$' || fail "no root path length: $out"
run info "$sample" --read-up-axis z --read-position-channels=replace
expect_line "up axis: z"
expect_line "position channels: value replaces offset"

# check: one line a file, status 1 when any fails.
printf 'HIERARCHIE\n' >"$work/broken.bvh"
run check "$sample" "$work/broken.bvh" "$work/missing.bvh"
[ "$status" -eq 1 ] || fail "check of a broken file ended with $status"
[ "$(printf '%s\n' "$out" | wc -l)" -eq 3 ] || fail "check printed: $out"
expect_line "$sample: OK"
expect_line "$work/broken.bvh: The Parser could not parse this: hierarchy"
printf '%s\n' "$out" | grep -q "^$work/missing.bvh: ." || fail "no reason for a missing file: $out"
run check "$sample" "$sample"
[ "$status" -eq 0 ] && [ "$out" = "$sample: OK
$sample: OK" ] || fail "check of good files: $status, $out"

# Every failure prints its message on standard output and ends with status 1.
for args in "info" "info $sample $sample" "check" "convert $sample" \
    "info $sample --up-axis z" "info $sample --read-up-axis x" "convert $sample $work/o.bvh --up-axis" \
    "convert $sample $work/o.bvh --position-channels both" "convert $sample $work/no/such/dir.bvh" \
    "info $work/broken.bvh" "info --frobnicate $sample"; do
    # shellcheck disable=SC2086
    run $args
    [ "$status" -eq 1 ] || fail "'$args' ended with $status"
    [ -n "$out" ] || fail "'$args' printed no message"
done
run info "$sample" --read-up-axis x
[ "$out" = "bvhpath: --read-up-axis takes y or z" ] || fail "bad value message: $out"
run convert "$sample" "$work/no/such/dir.bvh"
case "$out" in "Error in BVH file output: "*) ;; *) fail "save message: $out" ;; esac
# A save never replaces what is not a regular file, and saves through a dangling link.
mkfifo "$work/pipe.bvh"
run convert "$sample" "$work/pipe.bvh"
[ "$status" -eq 1 ] && [ -p "$work/pipe.bvh" ] || fail "a save replaced a FIFO: $out"
case "$out" in "Error in BVH file output: "*) ;; *) fail "FIFO message: $out" ;; esac
ln -s "$work/made_by_link.bvh" "$work/dangling.bvh"
run convert "$sample" "$work/dangling.bvh"
[ "$status" -eq 0 ] && [ -L "$work/dangling.bvh" ] && [ -s "$work/made_by_link.bvh" ] ||
    fail "a save did not go through a dangling link: $out"
# A save written in place says so; a load names the whole text an unfinished save left.
cp "$sample" "$work/linked.bvh" && ln "$work/linked.bvh" "$work/other_name.bvh"
run convert "$sample" "$work/linked.bvh"
[ "$out" = "Note in BVH file output: $work/linked.bvh has other hard links, so it was written in place" ] ||
    fail "a save in place: $out"
cp "$sample" "$work/linked.bvh.saving-abc123"
run check "$work/linked.bvh"
[ "$out" = "$work/linked.bvh: OK"$'\n'"Note in BVH file output: an earlier save of $work/linked.bvh did not finish; its whole text is kept in $work/linked.bvh.saving-abc123" ] ||
    fail "check did not name the leftover: $out"
run --help
[ "$status" -eq 0 ] || fail "--help ended with $status"
# A here-string: grep -q quits at its first match, which could kill a printf still feeding it.
for subcommand in info check convert edit export skate; do
    grep -q "bvhpath $subcommand " <<<"$out" || fail "--help does not list $subcommand"
done
run check --help
[ "$status" -eq 0 ] && grep -q "bvhpath convert " <<<"$out" || fail "check --help"

# convert: without options, an unedited save; the up axis there and back; the position
# channels there and back.
run convert "$sample" "$work/plain.bvh"
[ "$status" -eq 0 ] && [ -z "$out" ] || fail "convert ended with $status: $out"
[ -s "$work/stderr" ] && fail "convert wrote to a standard error that is no terminal: $(cat "$work/stderr")"
# On a terminal the load and the save show how far they got.
if command -v script >/dev/null; then
    shown=$(script -qec "'$program' convert '$sample' '$work/shown.bvh'" /dev/null | tr '\r' '\n')
    printf '%s\n' "$shown" | grep -q "^reading .*walk_curve.bvh: 100%" &&
        printf '%s\n' "$shown" | grep -q "^writing .*shown.bvh: [0-9]*%" ||
        fail "no progress on a terminal: $shown"
fi
same_values "$sample" "$work/plain.bvh" 0.00005 || fail "an unedited convert changed the file"

run convert "$sample" "$work/z.bvh" --up-axis z
[ "$status" -eq 0 ] || fail "convert --up-axis z: $out"
run info "$work/z.bvh"
expect_line "up axis: z"
expect_line "control points: 8"
run convert "$work/z.bvh" "$work/y.bvh" --up-axis y
[ "$status" -eq 0 ] || fail "convert --up-axis y: $out"
run info "$work/y.bvh"
expect_line "up axis: y"
same_values "$sample" "$work/y.bvh" 0.0005 || fail "z up and back changed the file"

cat >"$work/replace.bvh" <<'BVH'
HIERARCHY
ROOT Hips
{
	OFFSET 0 0 0
	CHANNELS 6 Xposition Yposition Zposition Zrotation Xrotation Yrotation
	JOINT Spine
	{
		OFFSET 0 12 0
		CHANNELS 6 Xposition Yposition Zposition Zrotation Xrotation Yrotation
		End Site
		{
			OFFSET 0 15 0
		}
	}
	JOINT Leg
	{
		OFFSET 4 -2 0
		CHANNELS 6 Xposition Yposition Zposition Zrotation Xrotation Yrotation
		End Site
		{
			OFFSET 0 -30 0
		}
	}
}
MOTION
Frames: 3
Frame Time: 0.0333333
0.0000 40.0000 0.0000 0.0000 0.0000 0.0000 0.0000 12.0000 0.0000 5.0000 0.0000 0.0000 4.0000 -2.0000 0.0000 0.0000 10.0000 0.0000
1.0000 40.0000 0.5000 0.0000 0.0000 0.0000 0.0010 12.0000 0.0000 6.0000 0.0000 0.0000 4.0000 -2.0010 0.0000 0.0000 12.0000 0.0000
2.0000 40.0000 1.0000 0.0000 0.0000 0.0000 0.0000 11.9990 0.0000 7.0000 0.0000 0.0000 4.0010 -2.0000 0.0000 0.0000 14.0000 0.0000
BVH
run info "$work/replace.bvh"
expect_line "position channels: value replaces offset"
run convert "$work/replace.bvh" "$work/add.bvh" --position-channels add
[ "$status" -eq 0 ] || fail "convert --position-channels add: $out"
grep -q "^0.0000 40.0000 0.0000 0.0000 0.0000 0.0000 0.0000 0.0000 0.0000 5.0000" "$work/add.bvh" ||
    fail "the spine's values are not displacements: $(tail -3 "$work/add.bvh")"
run info "$work/add.bvh"
expect_line "position channels: offset plus value"
run convert "$work/add.bvh" "$work/replace_again.bvh" --position-channels replace
same_values "$work/replace.bvh" "$work/replace_again.bvh" 0.00005 || fail "add and back changed it"

# edit: control point 4 moved as a drag would move it, with and without planted feet; the foot
# skate of the saved files over the frames where the sample's feet stand.
skate_of() {
    run skate "$@"
    [ "$status" -eq 0 ] || fail "skate $*: $out"
    printf '%s\n' "$out" | sed -n 's/^foot skate: //p'
}
run edit "$sample" "$work/bent.bvh" --move 4 -150 80
[ "$status" -eq 0 ] && [ -z "$out" ] || fail "edit ended with $status: $out"
run edit "$sample" "$work/planted.bvh" --move 4 -150 80 --falloff 0 --plant-feet --feet LeftFoot,RightFoot
[ "$status" -eq 0 ] && [ -z "$out" ] || fail "edit --plant-feet ended with $status: $out"
s0=$(skate_of "$sample")
s1=$(skate_of "$work/bent.bvh" "$sample")
s2=$(skate_of "$work/planted.bvh" "$sample")
awk -v s0="$s0" -v s1="$s1" -v s2="$s2" 'BEGIN { exit !(s0 < 0.001 && s1 > 0.05 && s2 < s1 / 10) }' ||
    fail "foot skate unedited $s0, bent $s1, bent with planted feet $s2"
run info "$work/planted.bvh"
expect_line "frames: 300"
# Keep Speed: the bend lengthens the path, so the saved walk has more frames at the same rate.
run edit "$sample" "$work/paced.bvh" --move 4 -150 80 --keep-speed
[ "$status" -eq 0 ] && [ -z "$out" ] || fail "edit --keep-speed ended with $status: $out"
run info "$work/paced.bvh"
expect_line "frame time: 0.033333"
frames=$(printf '%s\n' "$out" | sed -n 's/^frames: //p')
[ "$frames" -gt 320 ] || fail "edit --keep-speed saved $frames frames"
# Only the root's channels differ without planted feet; with them the legs' do too.
differing_columns() {
    awk 'FNR == 1 { file++ } /^MOTION/ { motion[file] = FNR + 3 }
        motion[file] && FNR >= motion[file] { for (i = 1; i <= NF; i++) v[file, FNR, i] = $i; n = NF; last = FNR }
        END { for (i = 1; i <= n; i++) for (r = motion[1]; r <= last; r++)
                  if (v[1, r, i] != v[2, r, i]) { print i; break } }' "$1" "$2" | tr '\n' ' '
}
[ "$(differing_columns "$sample" "$work/bent.bvh")" = "1 3 5 " ] ||
    fail "a plain edit changed columns $(differing_columns "$sample" "$work/bent.bvh")"
[ "$(differing_columns "$sample" "$work/planted.bvh" | wc -w)" -gt 3 ] || fail "no leg was planted"
# Moves in one edit apply in turn: a point moved twice lands where one move by both goes; the
# path's end turned back by three moves, planted, never lowers the root (column 2) beyond 4.9%
# of the figure's 166.85 height below the capture's.
run edit "$sample" "$work/twice.bvh" --move 4 -100 50 --move 4 -50 30
run edit "$sample" "$work/once.bvh" --move 4 -150 80
same_values "$work/twice.bvh" "$work/once.bvh" 0.001 || fail "two moves of one point are not one"
run edit "$sample" "$work/uturn.bvh" --move 5 -200 300 --move 6 -500 350 --move 7 -700 0 \
    --falloff 0 --plant-feet --feet LeftFoot,RightFoot
[ "$status" -eq 0 ] || fail "planted U-turn ended with $status: $out"
awk 'FNR == 1 { file++ } /^Frame Time/ { data[file] = 1; next }
    data[file] && file == 1 { y[FNR] = $2 } data[file] && file == 2 && y[FNR] - $2 > 8.18 { bad = 1 }
    END { exit bad }' "$sample" "$work/uturn.bvh" || fail "the U-turn lowered the root past its cap"
for args in "edit $sample $work/e.bvh" "edit $sample $work/e.bvh --move 99 1 1" \
    "edit $sample $work/e.bvh --move 1 x 1" "edit $sample $work/e.bvh --move 1 1" \
    "edit $sample $work/e.bvh --move 1 1 1 --falloff -2" "skate" \
    "edit $sample $work/e.bvh --move 1 1 1 --plant-feet --feet LeftFoot,Nowhere"; do
    # shellcheck disable=SC2086
    run $args
    [ "$status" -eq 1 ] || fail "'$args' ended with $status"
    [ -n "$out" ] || fail "'$args' printed no message"
done
[ ! -e "$work/e.bvh" ] || fail "a failed edit wrote its output"
run edit "$sample" "$work/e.bvh" --move 1 1 1 --plant-feet --feet LeftFoot,Nowhere
[ "$out" = "No joint is named Nowhere." ] || fail "--feet message: $out"
run edit "$sample" "$work/e.bvh" --move 99 1 1
[ "$out" = "bvhpath edit: no control point 99 (the path has 8)" ] || fail "--move message: $out"

# export: glTF as drawn (other readers check the files: tests/export), in the scale info names;
# failures say why and write nothing; exports side by side into one file leave it whole.
run info "$sample"
printf '%s\n' "$out" | grep -qE '^glTF unit scale: 0\.01 \(the figure is [0-9.]+ units tall: centimetres\)$' ||
    fail "info names no unit scale: $out"
run export "$sample" "$work/walk.glb" --move 4 -150 80 --plant-feet --read-up-axis y
[ "$status" -eq 0 ] && [ -z "$out" ] && [ "$(head -c 4 "$work/walk.glb")" = glTF ] ||
    fail "export ended with $status: $out"
for args in "export $sample" "export $sample $work/x.glb --unit-scale 0" "export $work/broken.bvh $work/x.glb" \
    "export $sample $work/x.glb --move 99 1 1" "export $sample $work/x.glb --up-axis z"; do
    # shellcheck disable=SC2086
    run $args
    [ "$status" -eq 1 ] && [ -n "$out" ] || fail "'$args' ended with $status: $out"
done
[ ! -e "$work/x.glb" ] || fail "a failed export wrote its output"
run export "$sample" "$work/no/such/dir.glb"
case "$out" in "Error in glTF file output: "*) ;; *) fail "export message: $out" ;; esac
mkdir "$work/side"
"$program" export "$sample" "$work/alone.glb"
for i in 1 2 3 4; do "$program" export "$sample" "$work/side/walk.glb" & done
wait
[ "$(ls -A "$work/side")" = walk.glb ] && cmp -s "$work/alone.glb" "$work/side/walk.glb" ||
    fail "exports side by side left $(ls -A "$work/side")"
# Whole-path transforms apply in the order given: a quarter turn and its way back leave the
# file as it was; --detail sets the points that info lists and --move counts, and changes
# nothing of an unedited file.
run edit "$sample" "$work/there_and_back.bvh" --turn 90 --about 3 --shift 10 -20 --turn -90 \
    --about 3 --shift -10 20
[ "$status" -eq 0 ] && [ -z "$out" ] || fail "edit --turn ended with $status: $out"
same_values "$sample" "$work/there_and_back.bvh" 0.0005 || fail "a turn and its way back moved it"
run edit "$sample" "$work/scaled.bvh" --scale 1.5 --about 40,-30
[ "$(differing_columns "$sample" "$work/scaled.bvh")" = "1 3 " ] ||
    fail "a scale changed columns $(differing_columns "$sample" "$work/scaled.bvh")"
run info "$sample" --detail 25
expect_line "control points: 14"
run convert "$sample" "$work/detail.bvh" --detail 100
same_values "$sample" "$work/detail.bvh" 0.00005 || fail "a detail changed an unedited file"
run edit "$sample" "$work/e.bvh" --detail 100 --move 5 1 1
[ "$out" = "bvhpath edit: no control point 5 (the path has 5)" ] || fail "--detail message: $out"
for args in "--about 2" "--turn x" "--turn 90 --about 1,x" "--shift 1" "--scale 0" \
    "--shift 1 1 --about 2" "--turn 90 --about 9" "--detail 3 --turn 1"; do
    # shellcheck disable=SC2086
    run edit "$sample" "$work/e.bvh" $args
    [ "$status" -eq 1 ] && [ -n "$out" ] || fail "'edit $args' ended with $status: $out"
done
[ ! -e "$work/e.bvh" ] || fail "a failed transform wrote its output"

if [ -d "$corpus" ]; then
    run check "$corpus"/*.bvh
    [ "$status" -eq 0 ] || fail "corpus check: $out"
    run info "$corpus/makehuman_zombie_walk.bvh"
    expect_line "up axis: z"
    run info "$corpus/bandai_raise_hands_inplace.bvh"
    expect_line "position channels: value replaces offset"
    run info "$corpus/bandai_raise_hands_inplace.bvh" --read-position-channels add
    expect_line "position channels: offset plus value"
fi
echo "PASS"
