# The panel with real input: open the Alta from the device list, switch its data mode to
# depth and IR and watch the IR image appear, then save one frame set.
source "$E2E_LIB"
: "${E2E_OUTPUT:?}"
mkdir -p "$E2E_OUTPUT"

# Places inside the 1557 x 777 window (basic user: the panel fits without scrolling).
CAMERA_ROW="100 132"   # the first camera row of the device list
DATA_MODE="455 578"    # the "DataMode：" list
ONCE_SAVE="877 578"    # "Once Save"
IR_AREA="920 70 600 440" # x y width height of the right-hand image area

# window_click WINDOW "X Y" [REPEAT]
window_click() {
  local X Y
  eval "$(xdotool getwindowgeometry --shell "$1" | grep -E '^(X|Y)=')"
  read -r dx dy <<<"$2"
  xdotool mousemove --sync $((X + dx)) $((Y + dy)) click --repeat "${3:-1}" --delay 80 1
}

# area_stats WINDOW NAME: "brightness-spread saturation" (0..1) of the right-hand image area,
# saved as NAME.png.
area_stats() {
  local X Y
  eval "$(xdotool getwindowgeometry --shell "$1" | grep -E '^(X|Y)=')"
  read -r ax ay aw ah <<<"$IR_AREA"
  import -window root "$E2E_OUTPUT/$2.png"
  convert "$E2E_OUTPUT/$2.png" -crop "${aw}x${ah}+$((X + ax))+$((Y + ay))" +repage -colorspace HSL \
    -channel B -separate -format '%[fx:standard_deviation] ' -write info: +delete \
    "$E2E_OUTPUT/$2.png" -crop "${aw}x${ah}+$((X + ax))+$((Y + ay))" +repage -colorspace HSL \
    -channel G -separate -format '%[fx:mean]' info:
}

# wait_log HOME TEXT: waits (up to 10 s) for a log line holding TEXT.
wait_log() {
  for _ in $(seq 100); do
    grep -qF "$2" "$1/log.txt" 2>/dev/null && return 0
    sleep 0.1
  done
  fail "no log line with $2"
}

home=$(new_home)
start_program "$home"
pid=$PROGRAM_PID
win=$(wait_window "$pid")
wait_log "$home" 'usb&2bc5&0401'
sleep 0.5
window_click "$win" "$CAMERA_ROW" 2
wait_log "$home" 'SetDataMode index:0  status:0'
sleep 1.5
read -r _ saturation_before <<<"$(area_stats "$win" panel_before)"

# Choose "DepthAndIR_30" from the open list by typing its name.
window_click "$win" "$DATA_MODE"
sleep 0.5
xdotool type --delay 30 "DepthAndIR_3"
xdotool key Return
wait_log "$home" 'SetDataMode index:2  status:0'
sleep 1.5
read -r spread_after saturation <<<"$(area_stats "$win" panel_ir)"
# Before: the colour image of the room. After: a grey picture with structure.
awk -v b="$saturation_before" -v a="$spread_after" -v s="$saturation" 'BEGIN { exit !(b > 0.05 && a > 0.01 && s < 0.02) }' ||
  fail "right-hand area: saturation $saturation_before before; spread $spread_after, saturation $saturation after: no IR image"

window_click "$win" "$ONCE_SAVE"
for _ in $(seq 100); do
  grep -qxF $'Notice\tSave success' "$home/boxes.txt" 2>/dev/null && break
  sleep 0.1
done
grep -qxF $'Notice\tSave success' "$home/boxes.txt" 2>/dev/null || fail "no save notice: $(cat "$home/boxes.txt" 2>/dev/null)"
set_dir=$(find "$home/SaveImage" -mindepth 1 -maxdepth 1 -type d | head -n1)
[ -n "$set_dir" ] || fail "no save set folder"
for kind in depth ir; do
  [ -s "$set_dir/$kind/00000001.png" ] || fail "no $kind image in $set_dir: $(find "$set_dir")"
done
import -window root "$E2E_OUTPUT/panel_saved.png"
