# Opening the first camera of the device list streams it: frame sets are read and shown, the
# log records the connection, and Stop closes the camera. Screenshots go to $E2E_OUTPUT.
source "$E2E_LIB"
: "${E2E_OUTPUT:?}"
mkdir -p "$E2E_OUTPUT"

# wait_log FILE PATTERN SECONDS: waits for an extended regular expression in the log.
wait_log() {
  for _ in $(seq $(($3 * 10))); do
    grep -qE "$2" "$1" 2>/dev/null && return 0
    sleep 0.1
  done
  fail "no log line matching '$2' in $3 s"
}

# distinct_colours X Y W H: colours in that part of the last screenshot.
distinct_colours() {
  convert "$E2E_OUTPUT/stream_view.png" -crop "${3}x${4}+${1}+${2}" +repage -format %k info:
}

home=$(new_home)
log=$home/log.txt
start_program "$home" LUMIDESK_STATS=1
pid=$PROGRAM_PID
win=$(wait_window "$pid")

# The first scan lists the virtual cameras 3 s after start; the window sits at the top left.
wait_log "$log" '"usb&2bc5&0401&ALT2301A0017&1-1"' 10
sleep 0.3
xdotool mousemove --window "$win" 100 132 click --repeat 2 --delay 80 1

# Connected: the controller opened the Alta (model 1) ...
wait_log "$log" 'Control_Single::initializeORB 1 +usb&2bc5&0401&ALT2301A0017' 10
! grep -qE 'Control_Single::initializeORB "?Lx2_' "$log" || fail "opening the camera logged a failure"
# ... and a statistics line (every 5 s) shows frame sets read and refreshes shown.
wait_log "$log" 'pipeline: [1-9][0-9.]* frame sets/s, [1-9][0-9.]* processing cycles/s, [1-9][0-9.]* refreshes/s' 15

import -window root "$E2E_OUTPUT/stream_view.png"
# The colour area shows the room (many colours), not an empty grey panel.
colours=$(distinct_colours 920 120 620 350)
[ "$colours" -gt 100 ] || fail "the colour image area shows only $colours colours"
# The depth area shows its white marker and "NNN mm" label on the colour-mapped depth.
colours=$(distinct_colours 255 60 640 470)
[ "$colours" -gt 1 ] || fail "the depth area is blank"

# Stop closes the camera.
xdotool mousemove --window "$win" 177 719 click 1
wait_log "$log" 'DeviceList::slotToStop"? "?shutdownORB"? 0[^0-9]' 10
import -window root "$E2E_OUTPUT/stream_stopped.png"
kill -0 "$pid" || fail "the program ended after Stop"
