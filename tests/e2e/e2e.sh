#!/usr/bin/env bash
# The real window end to end: a display server of its own (Xvfb), the
# virtual modem on COM1, and real mouse clicks and keystrokes (xdotool).
#
#   e2e.sh <varnolix> <varnolix-device> <output folder>
set -euo pipefail

program=$1
device=$2
out=$3
mkdir -p "$out"
rm -f "$out"/*
work=$(mktemp -d)
pids=()
cleanup() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    wait 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

fail() {
    echo "e2e: $*" >&2
    [ -s "$work/varnolix.log" ] && sed 's/^/varnolix: /' "$work/varnolix.log" >&2
    import -window root "$out/failure.png" 2>/dev/null || true
    echo "e2e: screenshot of the failure: $out/failure.png" >&2
    exit 1
}

# Polls a condition for up to $1 seconds.
within() {
    local seconds=$1
    shift
    local deadline=$((SECONDS + seconds))
    until "$@"; do
        ((SECONDS < deadline)) || return 1
        sleep 0.05
    done
}

# A display number nobody uses.
for display in $(seq 90 120); do
    [ -e "/tmp/.X11-unix/X$display" ] || [ -e "/tmp/.X$display-lock" ] || break
done
export DISPLAY=:$display
Xvfb "$DISPLAY" -screen 0 1024x768x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
pids+=($!)
within 10 xdpyinfo >/dev/null 2>&1 || fail "Xvfb did not start"

log=$work/device.log
: >"$log"
"$device" --log "$log" >"$work/port" &
pids+=($!)
within 5 test -s "$work/port" || fail "the virtual device did not start"
port=$(head -n 1 "$work/port")

export HOME=$work LC_ALL=C
"$program" --port "COM1=$port" >"$work/varnolix.log" 2>&1 &
pids+=($!)
window_found() { window=$(xdotool search --name '^Varnolix1\.0$' 2>/dev/null | head -n 1) && [ -n "$window" ]; }
within 10 window_found || fail "the window did not appear"
# Wait until the window is on screen and painted.
within 10 xdotool getwindowgeometry "$window" >/dev/null 2>&1 || fail "no window geometry"
eval "$(xdotool getwindowgeometry --shell "$window")"
origin_x=$X origin_y=$Y

click() { xdotool mousemove --sync $((origin_x + $1)) $((origin_y + $2)) click 1; }
pixel() {
    import -window root -crop 1x1+$((origin_x + $1))+$((origin_y + $2)) -depth 8 txt:- |
        grep -o '#[0-9A-F]\{6\}' | head -n 1
}
device_got() { [ "$(od -An -tx1 -v "$log" | tr -s ' \n' ' ' | sed 's/^ //; s/ $//')" = "$1" ]; }
device_size() { stat -c %s "$log"; }

# Places in the window, in pixels (the window's twips / 15).
send_button=(168 304)
hex_sending=(46 288)
send_box=(400 330)
repeat_box=(36 361)
interval_box=(100 385)
open_close=(80 152)
save_log=(436 396)
lamp=(176 152)

within 5 test "$(pixel "${lamp[@]}")" = "#00FF00" || fail "COM1 is not shown open at start-up"

# Send the start-up text: "ATI" and LF.
click "${send_button[@]}"
within 5 device_got "41 54 49 0a" || fail "the device did not get ATI LF: $(od -An -tx1 "$log")"

# The modem's answer arrives; save the receive area through the real dialog.
saved=$work/received.txt
save_receive_area() {
    rm -f "$saved"
    click "${save_log[@]}"
    within 10 xdotool search --name '^Save As$' >/dev/null 2>&1 || fail "the save dialog did not open"
    xdotool key --clearmodifiers ctrl+a
    xdotool type --delay 5 "$saved"
    xdotool key Return
    within 5 test -f "$saved" || fail "the save dialog did not save $saved"
    grep -q "Varnolix virtual modem" "$saved" && grep -q "OK" "$saved"
}
within 10 save_receive_area || fail "the saved log lacks the modem's answer: $(cat -A "$saved")"

# Send three bytes as hex.
click "${hex_sending[@]}"
click "${send_box[@]}"
xdotool key --clearmodifiers ctrl+a BackSpace
xdotool type --delay 5 "01 02 FF"
: >"$log"
click "${send_button[@]}"
within 5 device_got "01 02 ff" || fail "the device did not get 01 02 FF: $(od -An -tx1 "$log")"

# Repeat every 50 ms for about a second.
click "${interval_box[@]}"
xdotool key --clearmodifiers ctrl+a BackSpace
xdotool type --delay 5 "50"
: >"$log"
click "${repeat_box[@]}"
within 5 test "$(device_size)" -gt 0 || fail "the repeat did not send"
# Count the sends over one second.
first=$(device_size)
sleep 1
sends=$((($(device_size) - first) / 3))
echo "e2e: a 50 ms repeat sent $sends times in one second"
((sends >= 15 && sends <= 21)) || fail "a 50 ms repeat sent $sends times in one second"

# Close the port: the lamp goes black and the repeat stops.
before=$(import -window root -crop 97x33+$((origin_x + 32))+$((origin_y + 136)) -depth 8 txt:- | md5sum)
click "${open_close[@]}"
within 5 test "$(pixel "${lamp[@]}")" = "#000000" || fail "the lamp did not go black"
after=$(import -window root -crop 97x33+$((origin_x + 32))+$((origin_y + 136)) -depth 8 txt:- | md5sum)
[ "$before" != "$after" ] || fail "the open/close button kept its caption"
stopped_at=$(device_size)
sleep 0.3
[ "$(device_size)" = "$stopped_at" ] || fail "the repeat went on after the port closed"

import -window root "$out/e2e.png"
echo "e2e: passed; screenshot: $out/e2e.png"
