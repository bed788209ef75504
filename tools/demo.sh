#!/usr/bin/env bash
# Runs varnolix against the virtual modem: tools/demo.sh [build-dir] [varnolix args...]
set -euo pipefail

build=${1:-build}
shift || true
device=$build/tools/varnolix-device
program=$build/varnolix
for file in "$device" "$program"; do
    [[ -x $file ]] || { echo "demo.sh: $file not found; build first" >&2; exit 1; }
done

exec {out}< <(exec "$device")
device_pid=$!
trap 'kill "$device_pid" 2>/dev/null && wait "$device_pid" 2>/dev/null || true' EXIT
trap 'exit 130' INT TERM

read -r -t 5 port <&"$out" || { echo "demo.sh: the device did not start" >&2; exit 1; }
# The device keeps running after its output is closed.
exec {out}<&-
echo "virtual modem on $port"
"$program" --port "COM1=$port" "$@"
