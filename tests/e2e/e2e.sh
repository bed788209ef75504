#!/usr/bin/env bash
# The real window end to end: a display server of its own (Xvfb), the
# virtual modem on COM1, and real mouse clicks and keystrokes (xdotool). What
# the window shows is read as a screen reader reads it, through the
# accessibility tree (AT-SPI, on a D-Bus session of its own), or from the
# device end.
#
#   e2e.sh <varnolix> <varnolix-device> <output folder>
set -euo pipefail

# A D-Bus session of its own, whose accessibility bus keeps its socket in a
# runtime folder of its own: runs side by side never meet.
if [ -z "${VARNOLIX_E2E_RUNTIME:-}" ]; then
    runtime=$(mktemp -d)
    VARNOLIX_E2E_RUNTIME=$runtime XDG_RUNTIME_DIR=$runtime exec dbus-run-session -- bash "$0" "$@"
fi

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
program=$(realpath "$1")
device=$2
out=$3
mkdir -p "$out"
rm -f "$out"/*
work=$(mktemp -d)
pids=()
cleanup() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    wait 2>/dev/null || true
    rm -rf "$work" "$VARNOLIX_E2E_RUNTIME"
}
trap cleanup EXIT

fail() {
    echo "e2e: $*" >&2
    [ -s "$work/varnolix.log" ] && sed 's/^/varnolix: /' "$work/varnolix.log" >&2
    [ -s "$work/adapter.log" ] && echo "e2e: the adapter got: $(od -An -c "$work/adapter.log")" >&2
    import -window root "$out/failure.png" 2>/dev/null || true
    echo "e2e: screenshot of the failure: $out/failure.png" >&2
    exit 1
}
# A command that fails outside a condition ends the test: say which.
trap 'fail "line $LINENO failed: $BASH_COMMAND"' ERR

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

# Xvfb takes a display number nobody uses and tells which.
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" >"$work/xvfb.log" 2>&1 &
pids+=($!)
within 10 test -s "$work/display" || fail "Xvfb did not start: $(cat "$work/xvfb.log")"
export DISPLAY=:$(head -n 1 "$work/display")
within 10 xdpyinfo >/dev/null 2>&1 || fail "Xvfb does not answer on $DISPLAY"
# The accessibility bus, up before the program so that it registers there.
dbus-send --session --print-reply --dest=org.a11y.Bus /org/a11y/bus org.a11y.Bus.GetAddress \
    >/dev/null || fail "the accessibility bus did not start"

log=$work/device.log
: >"$log"
"$device" --log "$log" >"$work/port" &
pids+=($!)
within 5 test -s "$work/port" || fail "the virtual device did not start"
port=$(head -n 1 "$work/port")

# The file dialogs open in the work folder (home, and the current folder), so
# that only file names are typed: a typed folder is completed and entered by
# the dialog while the keys still come, which can garble the path.
# The window goes to this display, whatever platform the caller's shell names.
unset QT_QPA_PLATFORM
export HOME=$work XDG_CONFIG_HOME=$work/.config LC_ALL=C QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1
(cd "$work" && exec "$program" --port "COM1=$port" >"$work/varnolix.log" 2>&1) &
program_pid=$!
pids+=($program_pid)
window_found() { window=$(xdotool search --name '^Varnolix1\.0$' 2>/dev/null | head -n 1) && [ -n "$window" ]; }
within 10 window_found || fail "the window did not appear"
# Wait until the window is on screen and painted.
within 10 xdotool getwindowgeometry "$window" >/dev/null 2>&1 || fail "no window geometry"
eval "$(xdotool getwindowgeometry --shell "$window")"
origin_x=$X origin_y=$Y

# A click at a place in the window. The pointer moves first unless it is there
# already: a move to where it is waits for motion that never comes.
click() {
    local x=$((origin_x + $1)) y=$((origin_y + $2))
    [ "$(xdotool getmouselocation | cut -d ' ' -f 1,2)" = "x:$x y:$y" ] ||
        xdotool mousemove --sync "$x" "$y"
    xdotool click 1
}
pixel() {
    import -window root -crop 1x1+$((origin_x + $1))+$((origin_y + $2)) -depth 8 txt:- |
        grep -o '#[0-9A-F]\{6\}' | head -n 1
}
device_got() { [ "$(od -An -tx1 -v "$log" | tr -s ' \n' ' ' | sed 's/^ //; s/ $//')" = "$1" ]; }
device_size() { stat -c %s "$log"; }
device_has() { [ "$(device_size)" -ge "$1" ]; }
now_ms() { date +%s%3N; }
# The baud rate the port end of the line runs at, and its flow control.
line_state() {
    /usr/bin/python3 -c '
import os, sys, termios
fd = os.open(sys.argv[1], os.O_RDONLY | os.O_NOCTTY | os.O_NONBLOCK)
iflag, cflag, speed = (termios.tcgetattr(fd)[i] for i in (0, 2, 5))
print(next(n[1:] for n in dir(termios) if n[1:].isdigit() and getattr(termios, n) == speed),
      "xon" if iflag & termios.IXON else "rtscts" if cflag & termios.CRTSCTS else "none")
' "$port"
}
line_speed() { line_state | cut -d " " -f 1; }
line_flag() { line_state | cut -d " " -f 2; }
line_runs_at() { [ "$(line_speed)" = "$1" ]; }
# Reads the control at a place in the window through the accessibility tree:
# read name|role|text X Y.
read_control() { /usr/bin/python3 "$here/a11y.py" $((origin_x + $2)) $((origin_y + $3)) "$1"; }
# Whether the control at a place reads as expected: reads name|text X Y EXPECTED.
reads() { [ "$(read_control "$1" "$2" "$3")" = "$4" ]; }
# Waits until the control at a place reads as expected.
expect_reads() {
    within 10 reads "$@" || fail "the control at $2,$3 reads $1 '$(read_control "$1" "$2" "$3" || true)', not '$4'"
}

# Answers a file dialog that is opening (title, file name): the name is typed
# only once the dialog has the keyboard, else its first keys go elsewhere.
dialog_focused() {
    local dialog
    dialog=$(xdotool search --name "^$1\$" 2>/dev/null | head -n 1) &&
        [ -n "$dialog" ] && [ "$(xdotool getwindowfocus 2>/dev/null)" = "$dialog" ]
}
answer_dialog() {
    within 10 dialog_focused "$1" || fail "the $1 dialog did not open and take the keyboard"
    xdotool key --clearmodifiers ctrl+a
    xdotool type --delay 5 "$2"
    xdotool key Return
}

# Keys typed into the window wait until it has the keyboard back from a dialog.
window_focused() { [ "$(xdotool getwindowfocus 2>/dev/null)" = "$window" ]; }
type_here() {
    within 10 window_focused || fail "the window did not get the keyboard back"
    xdotool key --clearmodifiers ctrl+a BackSpace
    xdotool type --delay 5 "$1"
}

# Places in the window, in pixels (the window's twips / 15).
send_button=(168 304)
hex_sending=(46 288)
send_box=(400 330)
repeat_box=(36 361)
interval_box=(100 385)
open_close=(80 152)
save_log=(436 396)
send_file=(596 396)
lamp=(176 152)
show_hex=(46 206)
baud=(153 50)
rx=(160 440)
tx=(248 440)
receive_area=(464 146)

lamp_is() { [ "$(pixel "${lamp[@]}")" = "$1" ]; }
within 5 lamp_is "#00FF00" || fail "COM1 is not shown open at start-up"
expect_reads name "${lamp[@]}" "Port open"
expect_reads name "${open_close[@]}" "Close"

# The status bar under the window, read by name. The virtual modem is a
# pseudo-terminal: it has no modem lines, no break and no error counts, so
# those controls are there but disabled.
status_reads() { [ "$(/usr/bin/python3 "$here/a11y.py" find "$1")" = "$2" ]; }
for row in "DTR:check box disabled checked" "RTS:check box disabled checked" \
    "Break:push button disabled" "Flow control:combo box enabled" "CTS off:label disabled" \
    "DSR off:label disabled" "DCD off:label disabled" "RI off:label disabled" \
    "Framing errors 0:label disabled" "Parity errors 0:label disabled" \
    "Overrun errors 0:label disabled" "Buffer overruns 0:label disabled"; do
    within 10 status_reads "${row%%:*}" "${row#*:}" ||
        fail "the status bar's \"${row%%:*}\" reads '$(/usr/bin/python3 "$here/a11y.py" find "${row%%:*}" || true)', not '${row#*:}'"
done
# XON/XOFF chosen with the keyboard reaches the line at once.
[ "$(line_flag)" = none ] || fail "the line starts with flow control: $(line_flag)"
# Tab from the interval box reaches the selector past the window's own
# controls and the disabled ones; Down picks the next entry.
click "${interval_box[@]}"
for key in 1 2 3 4 5 6; do xdotool key Tab; done
within 5 status_reads "Flow control" "combo box enabled focused" ||
    fail "Tab did not reach the flow control selector"
xdotool key Down Down
within 5 eval '[ "$(line_flag)" = xon ]' || fail "XON/XOFF did not reach the line: $(line_flag)"
xdotool key Up Up
within 5 eval '[ "$(line_flag)" = none ]' || fail "None did not reach the line: $(line_flag)"

# Send the start-up text: "ATI" and LF.
click "${send_button[@]}"
within 5 device_got "41 54 49 0a" || fail "the device did not get ATI LF: $(od -An -tx1 "$log")"

# The modem's answer arrives; save the receive area through the real dialog.
saved=$work/received.txt
save_receive_area() {
    rm -f "$saved"
    click "${save_log[@]}"
    answer_dialog "Save As" "${saved##*/}"
    within 5 test -f "$saved" || fail "the save dialog did not save $saved"
    grep -q "Varnolix virtual modem" "$saved" && grep -q "OK" "$saved"
}
within 10 save_receive_area || fail "the saved log lacks the modem's answer: $(cat -A "$saved")"

# The answer, "Varnolix virtual modem 1.0" CR LF "OK" CR LF, is counted and
# stamped with the date and time.
expect_reads name "${rx[@]}" 32
expect_reads name "${tx[@]}" 4
today=$(date +'%-d %b %Y')
received=$(read_control text "${receive_area[@]}") || fail "the receive area cannot be read"
stamp=$(printf '%s' "$received" | tr -d '\r' | grep -A1 '^OK$' | tail -n 1) || true
[[ "$stamp" =~ ^[0-9]{1,2}\ [A-Z][a-z]{2}\ [0-9]{4}\ [0-9]{2}:[0-9]{2}:[0-9]{2}$ ]] &&
    { [ "${stamp% *}" = "$today" ] || [ "${stamp% *}" = "$(date +'%-d %b %Y')" ]; } ||
    fail "no date stamp after the answer: $(printf '%s' "$received" | cat -A)"

# Enter and keypad Enter in the baud selector apply the typed rate; Tab
# leaves it without a choice.
type_into_baud() {
    click "${baud[@]}"
    type_here "$1"
    xdotool key "$2"
}
type_into_baud 19200 Return
within 5 line_runs_at 19200 || fail "Return did not apply 19200 baud: $(line_speed)"
type_into_baud 38400 KP_Enter
within 5 line_runs_at 38400 || fail "keypad Enter did not apply 38400 baud: $(line_speed)"
type_into_baud 57600 Tab

# Show received bytes in hex and send "AT" CR as hex: the answer "OK" CR LF
# shows as one line of hex.
click "${show_hex[@]}"
click "${hex_sending[@]}"
send_hex() {
    click "${send_box[@]}"
    type_here "$1"
    : >"$log"
    click "${send_button[@]}"
}
send_hex "41 54 0D"
within 5 device_got "41 54 0d" || fail "the device did not get 41 54 0D: $(od -An -tx1 "$log")"
hex_line_shown() { read_control text "${receive_area[@]}" | tr -d '\r' | grep -q '4F 4B 0D 0A $'; }
within 10 hex_line_shown ||
    fail "no hex line 4F 4B 0D 0A: $(read_control text "${receive_area[@]}" | cat -A)"
expect_reads name "${rx[@]}" 36
expect_reads name "${tx[@]}" 7

# Send three bytes as hex.
send_hex "01 02 FF"
within 5 device_got "01 02 ff" || fail "the device did not get 01 02 FF: $(od -An -tx1 "$log")"
expect_reads name "${tx[@]}" 10

# Send a file of every byte value through the real dialog: the device gets it
# byte for byte.
file=$work/bytes.bin
/usr/bin/python3 -c 'import sys; sys.stdout.buffer.write(bytes(range(256)) * 4)' >"$file"
: >"$log"
click "${send_file[@]}"
answer_dialog Open "${file##*/}"
within 60 cmp -s "$log" "$file" || fail "the device did not get the file: $(cmp "$log" "$file" 2>&1)"
sent_successfully() { read_control text "${receive_area[@]}" | grep -q 'Send successfully'; }
within 30 sent_successfully || fail "no \"Send successfully\" in the receive area"

# Repeat every 50 ms: at least half the nominal rate over the time measured,
# however loaded the machine, and never more than one send an interval.
click "${interval_box[@]}"
type_here 50
: >"$log"
enabled_ms=$(now_ms)
click "${repeat_box[@]}"
within 5 device_has 1 || fail "the repeat did not send"
first=$(device_size) first_ms=$(now_ms)
within 20 device_has $((first + 3 * 20)) || true
sends=$((($(device_size) - first) / 3)) elapsed=$(($(now_ms) - first_ms))
echo "e2e: a 50 ms repeat sent $sends times in $elapsed ms"
((sends * 100 >= elapsed)) || fail "a 50 ms repeat sent only $sends times in $elapsed ms"

# Tab left the baud selector with nothing chosen.
[ "$(line_speed)" = 38400 ] || fail "leaving the baud selector applied $(line_speed) baud"

# Close the port: the lamp goes black, the button reads "Open" (read from the
# accessibility tree, which focus cannot change) and the repeat stops.
click "${open_close[@]}"
within 5 lamp_is "#000000" || fail "the lamp did not go black"
closed_ms=$(now_ms)
expect_reads name "${open_close[@]}" "Open"
expect_reads name "${lamp[@]}" "Port closed"
stopped_at=$(device_size)
sleep 0.3
[ "$(device_size)" = "$stopped_at" ] || fail "the repeat went on after the port closed"
total=$((stopped_at / 3)) most=$(((closed_ms - enabled_ms) / 50 + 1))
((total <= most)) || fail "a 50 ms repeat sent $total times in $((closed_ms - enabled_ms)) ms"

status_matches() { /usr/bin/python3 "$here/a11y.py" match "$1" >/dev/null; }
within 5 status_matches '^Receiving [0-9]+ bytes per second$' || fail "no receive rate in the status bar"

import -window root "$out/e2e.png"

# Maximised by a window manager (Xvfb has none of its own), the receive area
# takes the room; Ctrl+Plus makes its text larger. Both are kept for the
# next start.
received_size() { /usr/bin/python3 "$here/a11y.py" size Received; }
[ "$(received_size)" = 465x293 ] || fail "the receive area is $(received_size), not 465x293"
evilwm -fn fixed >"$work/wm.log" 2>&1 &
wm_pid=$!
pids+=($wm_pid)
within 10 wmctrl -m >/dev/null 2>&1 || fail "the window manager did not start: $(cat "$work/wm.log")"
wmctrl -i -r "$window" -b add,maximized_vert,maximized_horz
received_grew() { size=$(received_size) && ((${size%x*} > 465 && ${size#*x} > 293)); }
within 10 received_grew || fail "maximised, the receive area is still $(received_size || true)"
echo "e2e: maximised, the receive area is $size"
xdotool key --clearmodifiers ctrl+plus
import -window root "$out/maximised.png"

# Told to end, the program ends as closing its window does, with status 0.
ends_with_status_0() {
    kill -TERM "$program_pid"
    local status=0
    wait "$program_pid" || status=$?
    [ "$status" = 0 ] || fail "SIGTERM ended the program with status $status"
}
ends_with_status_0
kept=$XDG_CONFIG_HOME/varnolix/varnolix.conf
grep -qx 'maximized=true' "$kept" && grep -q '^textSize=[1-9]' "$kept" ||
    fail "the maximised window and its text size were not kept: $(cat "$kept")"
# The rest runs without a window manager, at the design size.
kill "$wm_pid"
wait "$wm_pid" 2>/dev/null || true

# A long session: everything received goes to a capture, and an adapter pulled
# and plugged back in behind its stable link is taken up again.
adapter=$work/usb-adapter capture=$work/capture.bin
plug_in() {
    "$device" --link "$adapter" --log "$work/adapter.log" >/dev/null &
    device_pid=$!
    pids+=($device_pid)
    within 5 test -e "$adapter" || fail "the virtual adapter did not appear at $adapter"
}
plug_in
(cd "$work" && exec "$program" --port "COM1=$adapter" --capture "$capture" --reconnect \
    >"$work/varnolix.log" 2>&1) &
program_pid=$!
pids+=($program_pid)
within 10 window_found || fail "the window did not appear again"
within 10 xdotool getwindowgeometry "$window" >/dev/null 2>&1 || fail "no window geometry"
eval "$(xdotool getwindowgeometry --shell "$window")"
origin_x=$X origin_y=$Y
within 5 lamp_is "#00FF00" || fail "COM1 behind $adapter is not shown open"
click "${send_button[@]}"
expect_reads name "${rx[@]}" 32

kill -TERM "$device_pid"
within 5 lamp_is "#000000" || fail "the lamp did not go black when the adapter was pulled"
within 5 grep -q "COM1 ($adapter) lost: " "$work/varnolix.log" || fail "no line on the loss"
# Each line says when; the status bar says what is waited for since when.
grep -Eq "^[0-9]{4}-[0-9]{2}-[0-9]{2} [0-9:]{8} varnolix: COM1 \(" "$work/varnolix.log" ||
    fail "the line on the loss does not start with the date and time: $(cat "$work/varnolix.log")"
within 5 status_matches '^COM1 lost at [0-9]{2}:[0-9]{2}:[0-9]{2}, waiting for it$' ||
    fail "the status bar does not tell of the wait"
plug_in
within 5 lamp_is "#00FF00" || fail "the adapter was not taken up again"
grep -q "COM1 ($adapter) back: " "$work/varnolix.log" || fail "no line on the return"
within 5 status_matches '^COM1 back at [0-9]{2}:[0-9]{2}:[0-9]{2}$' ||
    fail "the status bar does not tell of the return"
click "${send_button[@]}"
expect_reads name "${rx[@]}" 64
# The second answer may still wait to be written when the program is told to end.
ends_with_status_0
[ "$(grep -c '^OK' "$capture")" = 2 ] || fail "the capture lacks an answer: $(cat -A "$capture")"

# The send side, with quick sends from a file: "Line end" and "Quick send"
# read by name; CR chosen with the keyboard ends the send box's line with CR,
# Ctrl+Return sends it, Ctrl+1 sends the first quick send, and Tab leaves the
# send box for the next control.
printf '# modem\nInfo\ttext\tATI\\r\n' >"$work/quick.txt"
(cd "$work" && exec "$program" --port "COM1=$port" --quick-sends "$work/quick.txt" \
    >"$work/varnolix.log" 2>&1) &
program_pid=$!
pids+=($program_pid)
within 10 window_found || fail "the window did not appear a third time"
within 10 xdotool getwindowgeometry "$window" >/dev/null 2>&1 || fail "no window geometry"
eval "$(xdotool getwindowgeometry --shell "$window")"
origin_x=$X origin_y=$Y
within 5 lamp_is "#00FF00" || fail "COM1 is not shown open on the third start"
for row in "Line end:combo box enabled" "Quick send:push button enabled"; do
    within 10 status_reads "${row%%:*}" "${row#*:}" ||
        fail "\"${row%%:*}\" reads '$(/usr/bin/python3 "$here/a11y.py" find "${row%%:*}" || true)', not '${row#*:}'"
done
line_end=(86 561)
click "${line_end[@]}"
xdotool key Down Return
within 5 status_reads "Line end" "combo box enabled focused" || fail "the line end selector did not take the keyboard"
: >"$log"
click "${send_box[@]}"
xdotool key ctrl+Return
within 5 device_got "41 54 49 0d" || fail "Ctrl+Return did not send ATI CR: $(od -An -tx1 "$log")"
xdotool key ctrl+1
within 5 device_got "41 54 49 0d 41 54 49 0d" || fail "Ctrl+1 did not send ATI CR: $(od -An -tx1 "$log")"
xdotool key Tab
within 5 status_reads "Clcar buffer" "push button enabled focused" || fail "Tab did not leave the send box"
import -window root "$out/e2e-send.png"
ends_with_status_0
echo "e2e: passed; screenshot: $out/e2e.png"
