#!/usr/bin/env bash
# Installs every Debian package the build, the tests and the benchmarks need.
# Idempotent: when everything is present it prints nothing and changes nothing.
# While another apt or dpkg holds the package manager's lock (an unattended upgrade right after
# boot, say) it waits, saying so, up to INSTALL_DEPS_LOCK_WAIT seconds (300).
set -euo pipefail

packages=(
    g++ make cmake pkg-config
    libgtest-dev libgmock-dev googletest libbenchmark-dev
    libfltk1.3-dev libgl1-mesa-dev libglu1-mesa-dev libgl1-mesa-dri
    xvfb xauth xdotool xclip x11-utils imagemagick
    clang libclang-rt-14-dev
    libtinygltf-dev
)
lock_wait=${INSTALL_DEPS_LOCK_WAIT:-300}
retry_pause=${INSTALL_DEPS_RETRY_PAUSE:-5}

# A package counts as present once its files are unpacked: one caught mid-upgrade (unpacked,
# half-configured, awaiting triggers) is still usable, and held packages count too. The status
# is "<wanted> <error flag> <state>".
present() {
    local state
    state=$(dpkg-query -W -f='${Status}' "$1" 2>/dev/null) || return 1
    case "${state##* }" in
        installed | unpacked | half-configured | triggers-awaited | triggers-pending) return 0 ;;
        *) return 1 ;;
    esac
}

# Runs an apt-get command; while it fails only because the lock is held, tries again.
with_lock_wait() {
    local errors waited=0 told=""
    errors=$(mktemp)
    while ! "$@" 2>"$errors"; do
        if ! grep -qE "Could not get lock|Unable to acquire the dpkg frontend lock|Unable to lock" "$errors"; then
            cat "$errors" >&2
            rm -f "$errors"
            return 1
        fi
        if [ "$waited" -ge "$lock_wait" ]; then
            cat "$errors" >&2
            echo "install-deps: the package manager stayed busy for ${lock_wait} s; try again later" >&2
            rm -f "$errors"
            return 1
        fi
        if [ -z "$told" ]; then
            echo "install-deps: another program is using the package manager; waiting for it (up to ${lock_wait} s)" >&2
            told=yes
        fi
        sleep "$retry_pause"
        # A zero pause (the tests') still ends: each try counts as a second at least.
        waited=$((waited + (retry_pause > 0 ? retry_pause : 1)))
    done
    cat "$errors" >&2
    rm -f "$errors"
}

# The node packages the glTF export's checks read its files with, at the versions
# tests/package.json pins, into tests/node_modules (INSTALL_DEPS_NODE_DIR names another folder
# holding a package.json). Without node and npm the checks skip, and so does this.
node_dir=${INSTALL_DEPS_NODE_DIR:-$(cd "$(dirname "$0")/.." && pwd)/tests}
node_packages_present() {
    node -e '
        const [dir] = process.argv.slice(1);
        const pinned = require(`${dir}/package.json`).dependencies;
        for (const [name, version] of Object.entries(pinned)) {
            try {
                if (require(`${dir}/node_modules/${name}/package.json`).version !== version)
                    process.exit(1);
            } catch (e) {
                process.exit(1);
            }
        }' "$node_dir"
}
if command -v node >/dev/null && command -v npm >/dev/null && ! node_packages_present; then
    echo "install-deps: installing the node packages of $node_dir/package.json"
    npm install --prefix "$node_dir" --no-audit --no-fund --no-package-lock --loglevel=error \
        >/dev/null || echo "install-deps: npm failed; the glTF export checks will skip" >&2
fi

missing=()
for p in "${packages[@]}"; do
    present "$p" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
echo "install-deps: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
with_lock_wait $sudo apt-get update -qq
with_lock_wait $sudo apt-get install -y -qq "${missing[@]}" >/dev/null
