#!/usr/bin/env bash
# scripts/install-deps.sh against a fake dpkg-query and apt-get: what counts as present, and the
# wait while another program holds the package manager's lock. Argument: the script.
set -uo pipefail
script=$1
fake=$(mktemp -d)
trap 'rm -rf "$fake"' EXIT
mkdir "$fake/bin"
fail() { echo "FAIL: $*" && exit 1; }
# dpkg-query prints the state the test gave the package ("-": unknown), else "installed";
# apt-get logs its arguments and says the lock is held while $FAKE/busy counts down.
printf '%s\n' '#!/usr/bin/env bash' 'state=$(sed -n "s/^${!#} //p" "$FAKE/status")' \
    '[ "$state" != "-" ] && printf %s "${state:-install ok installed}"' >"$fake/bin/dpkg-query"
printf '%s\n' '#!/usr/bin/env bash' 'echo "$*" >>"$FAKE/calls"; busy=$(cat "$FAKE/busy")' \
    'echo $((busy - 1)) >"$FAKE/busy"; [ "$busy" -le 0 ] || { echo "E: Could not get lock" >&2; exit 100; }' \
    >"$fake/bin/apt-get"
printf '#!/bin/sh\nexec "$@"\n' >"$fake/bin/sudo"
# npm logs its arguments too; the node packages are pinned in a package.json of the test's own.
printf '%s\n' '#!/usr/bin/env bash' 'echo "npm $*" >>"$FAKE/calls"' >"$fake/bin/npm"
mkdir -p "$fake/node/node_modules/three"
echo '{"dependencies": {"three": "1.2.3"}}' >"$fake/node/package.json"
echo '{"version": "1.2.3"}' >"$fake/node/node_modules/three/package.json"
chmod +x "$fake/bin/"*
# run BUSY STATE...: the script's output lands in $out, its exit status in $status.
run() {
    echo "$1" >"$fake/busy" && shift && printf '%s\n' "$@" >"$fake/status" && : >"$fake/calls"
    out=$(FAKE=$fake PATH="$fake/bin:$PATH" INSTALL_DEPS_RETRY_PAUSE=0 INSTALL_DEPS_LOCK_WAIT=5 \
        INSTALL_DEPS_NODE_DIR="$fake/node" bash "$script" 2>&1)
    status=$?
}

# Caught mid-upgrade, awaiting triggers or held: present, so nothing is installed.
run 0 "cmake install ok unpacked" "clang install ok half-configured" \
    "xvfb install ok triggers-awaited" "make hold ok installed"
[ "$status" -eq 0 ] && [ -z "$out" ] && [ ! -s "$fake/calls" ] || fail "present: $out"
# Missing ones are installed once the lock is free, after one message about the wait.
run 3 "cmake unknown ok not-installed" "xdotool -" "clang install reinstreq half-installed"
[ "$status" -eq 0 ] && [ "$(grep -c "waiting for it" <<<"$out")" -eq 1 ] || fail "busy: $out"
[ "$(tail -1 "$fake/calls")" = "install -y -qq cmake xdotool clang" ] || fail "$(cat "$fake/calls")"
# A lock that stays taken ends the wait with a failure that says so.
run 100 "cmake -"
[ "$status" -ne 0 ] && grep -q "stayed busy" <<<"$out" || fail "never free: $status, $out"
# A node package at another version than the pinned one is installed again.
if command -v node >/dev/null; then
    echo '{"version": "1.2.4"}' >"$fake/node/node_modules/three/package.json"
    run 0
    grep -qx "npm install --prefix $fake/node .*" "$fake/calls" || fail "node: $(cat "$fake/calls")"
fi
echo "PASS"
