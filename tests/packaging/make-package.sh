#!/usr/bin/env bash
# The packaging tests' set-up: builds the Debian package from the build tree into OUT (as
# `make package` does), and installs it with dpkg into OUT/root, an empty root of its own, so
# the tests run the installed files and nothing of the build tree.
set -euo pipefail
build=$1
out=$2
rm -rf "$out"
mkdir -p "$out/root/var/lib/dpkg/info" "$out/root/var/lib/dpkg/updates"
touch "$out/root/var/lib/dpkg/status"
cpack --config "$build/CPackConfig.cmake" -G DEB -B "$out" >"$out/cpack.log" 2>&1 ||
    { cat "$out/cpack.log"; exit 1; }
deb=$(ls "$out"/velto_*_amd64.deb)
# The dependencies are Debian 12's own packages; the tests check that this system has each.
# The package has no maintainer scripts, so nothing runs outside the root.
dpkg --root="$out/root" --force-depends --force-not-root -i "$deb" >"$out/dpkg.log" 2>&1 ||
    { cat "$out/dpkg.log"; exit 1; }
echo "$deb installed into $out/root"
