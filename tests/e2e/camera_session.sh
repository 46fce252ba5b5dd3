# A camera session with real input: open the first camera of the device list and watch it
# stream, switch the panel's data mode to depth and IR and see the IR image appear, save one
# frame set, and Stop. Screenshots go to $E2E_OUTPUT.
source "$E2E_LIB"
: "${E2E_OUTPUT:?}"
mkdir -p "$E2E_OUTPUT"

# Places inside the 1557 x 777 window (basic user: the panel fits without scrolling).
CAMERA_ROW="100 132"        # the first camera row of the device list
DATA_MODE="455 578"         # the "DataMode：" list
ONCE_SAVE="877 578"         # "Once Save"
STOP="177 719"              # the device list's Stop
DEPTH_AREA="255 60 640 470" # x y width height of the image areas
RIGHT_AREA="920 70 600 440"

# click "X Y" [REPEAT]: a click inside the window.
click() { xdotool mousemove --window "$win" $1 click --repeat "${2:-1}" --delay 80 1; }

# area_stats SHOT "X Y W H": "distinct-colours brightness-spread saturation" (0..1) of that part
# of the window in the screenshot SHOT.png.
area_stats() {
  local X Y crop
  eval "$(xdotool getwindowgeometry --shell "$win" | grep -E '^(X|Y)=')"
  read -r ax ay aw ah <<<"$2"
  crop=(-crop "${aw}x${ah}+$((X + ax))+$((Y + ay))" +repage)
  convert "$E2E_OUTPUT/$1.png" "${crop[@]}" -format '%k ' info:
  convert "$E2E_OUTPUT/$1.png" "${crop[@]}" -colorspace HSL -channel B -separate -format '%[fx:standard_deviation] ' info:
  convert "$E2E_OUTPUT/$1.png" "${crop[@]}" -colorspace HSL -channel G -separate -format '%[fx:mean]' info:
}


home=$(new_home)
log=$home/log.txt
start_program "$home" LUMIDESK_STATS=1
pid=$PROGRAM_PID
win=$(wait_window "$pid")

# The first scan lists the virtual cameras 3 s after start. It logs them while it fills the
# tree, so the tree is full before the program takes the click.
wait_log "$log" '"usb&2bc5&0401&ALT2301A0017&1-1"' 10
click "$CAMERA_ROW" 2

# Connected: the controller opened the Alta (model 1), the panel filled itself ...
wait_log "$log" 'Control_Single::initializeORB 1 +usb&2bc5&0401&ALT2301A0017' 10
! grep -qE 'Control_Single::initializeORB "?Lx2_' "$log" || fail "opening the camera logged a failure"
wait_log "$log" 'SetDataMode index:0  status:0' 10
# ... and a statistics line (every 5 s) shows frame sets read and refreshes shown.
wait_log "$log" 'pipeline: [1-9][0-9.]* frame sets/s, [1-9][0-9.]* processing cycles/s, [1-9][0-9.]* refreshes/s' 15

shot stream_view
# The colour area shows the room (many colours), not an empty grey panel; the depth area its
# white marker and "NNN mm" label on the colour-mapped depth.
read -r colours _ saturation_before <<<"$(area_stats stream_view "$RIGHT_AREA")"
[ "$colours" -gt 100 ] || fail "the colour image area shows only $colours colours"
read -r colours _ _ <<<"$(area_stats stream_view "$DEPTH_AREA")"
[ "$colours" -gt 1 ] || fail "the depth area is blank"

# Choose "DepthAndIR_30" from the open list by typing its name.
click "$DATA_MODE"
wait_windows "$pid" 2 # the open list is a window of its own
xdotool type --delay 30 "DepthAndIR_3"
xdotool key Return
wait_log "$log" 'SetDataMode index:2  status:0' 10
# Before: the colour image of the room. After: a grey picture with structure (within 10 s, as
# a loaded machine may take a while to show the first IR frame).
for _ in $(seq 20); do
  sleep 0.5
  shot panel_ir
  read -r _ spread_after saturation <<<"$(area_stats panel_ir "$RIGHT_AREA")"
  awk -v a="$spread_after" -v s="$saturation" 'BEGIN { exit !(a > 0.01 && s < 0.02) }' && break
done
awk -v b="$saturation_before" -v a="$spread_after" -v s="$saturation" 'BEGIN { exit !(b > 0.05 && a > 0.01 && s < 0.02) }' ||
  fail "right-hand area: saturation $saturation_before before; spread $spread_after, saturation $saturation after: no IR image"

click "$ONCE_SAVE"
wait_log "$home/boxes.txt" $'^Notice\tSave success$' 10
set_dir=$(find "$home/SaveImage" -mindepth 1 -maxdepth 1 -type d | head -n1)
[ -n "$set_dir" ] || fail "no save set folder"
for kind in depth ir; do
  [ -s "$set_dir/$kind/00000001.png" ] || fail "no $kind image in $set_dir: $(find "$set_dir")"
done
shot panel_saved
press_key "$(wait_window "$pid" Notice)" Return

# Stop closes the camera.
click "$STOP"
wait_log "$log" 'DeviceList::slotToStop"? "?shutdownORB"? 0[^0-9]' 10
shot stream_stopped
kill -0 "$pid" || fail "the program ended after Stop"
