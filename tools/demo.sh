#!/usr/bin/env bash
# Creates a fresh demo machine under the build folder and shows it.
set -euo pipefail
build=${1:-build}
machine="$build/demo-machine"
rm -rf "$machine"
"$build/tools/velto-machine" create "$machine" --demo
"$build/tools/velto-machine" info "$machine"
