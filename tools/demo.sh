#!/usr/bin/env bash
# Creates a fresh demo machine under the build folder and runs the unattended check on it:
# one scan, automatic repair, the action report, and the machine's restart, which carries out
# the moves the check scheduled. Prints where the report is and what the restart did.
# The programs are the build's, or those installed in $VELTO_BIN (the package's test runs the
# demo from the installed files that way).
set -euo pipefail
build=${1:-build}
tool=${VELTO_BIN:-$build/tools}/velto-machine
vlt=${VELTO_BIN:-$build/vlt}/vlt
machine="$build/demo-machine"
rm -rf "$machine"
"$tool" create "$machine" --demo
"$tool" info "$machine"

echo
echo "Running: vlt --machine $machine -S"
# No terminal: every question takes its least destructive answer; nothing is launched.
status=0
output=$(VELTO_NO_LAUNCH=1 "$vlt" --machine "$machine" -S </dev/null 2>"$build/demo-vlt.log") ||
    status=$?
echo "vlt ended with status $status (its dialogs: $build/demo-vlt.log)"

temp="$machine/drives/C/WINDOWS/TEMP"
report=$(grep -l '^<html><head><title>' "$temp"/VLT*.tmp 2>/dev/null | xargs -r ls -t | head -n 1 || true)
if [[ -n "$report" ]]; then
    echo "Action report: $report (C:\\WINDOWS\\TEMP\\$(basename "$report"))"
else
    echo "No action report was written."
fi

echo "Moves the restart carried out:"
if [[ -n "$output" ]]; then
    sed 's/^restart: /  /' <<<"$output"
else
    echo "  none (no restart was needed)"
fi
exit "$status"
