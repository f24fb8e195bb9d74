#!/usr/bin/env bash
# Installs the Debian packages that building, testing and running Velto need.
# Idempotent: asks apt only when a package is missing.
set -euo pipefail

packages=(
    build-essential cmake ninja-build pkg-config
    qt6-base-dev qt6-qpa-plugins fonts-dejavu-core
    libsqlite3-dev libcurl4-openssl-dev nlohmann-json3-dev
    libgtest-dev libgmock-dev libbenchmark-dev
    clang libclang-rt-14-dev
    python3 fd-find xdg-utils
    # the Debian package and its checks
    lintian dpkg-dev file desktop-file-utils appstream librsvg2-bin man-db bash-completion
    # the run of vlt on a virtual X display
    xvfb xdotool
    # Wine, for the checks of real Wine prefixes; NSIS, to build real setup programs for them
    wine wine64 nsis
    # the launchers' own files: Lutris and Bottles write YAML, Heroic JSON
    libyaml-cpp-dev
    # Windows installations on a disk: their hives through libhivex, read back in the tests
    # by hivexregedit (libwin-hivex-perl) and regfexport (libregf-utils)
    libhivex-dev libhivex-bin libwin-hivex-perl libregf-utils
    # SHA-256 of the files a plan touches
    nettle-dev
    # the completion of the commands, tried in each shell
    zsh fish
)

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$p")
    fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
run() { if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi; }
export DEBIAN_FRONTEND=noninteractive
run apt-get update -q
run apt-get install -y -q --no-install-recommends "${missing[@]}"
