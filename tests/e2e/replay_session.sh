# A recording as a camera with real input: lumidesk-cli captures a few sets from a virtual Alta,
# the program opens a virtual camera that replays them, shows the recorded depth and colour,
# turns the point cloud on, and "Once Save" writes images and a point cloud that read back.
# Screenshots go to $E2E_OUTPUT.
source "$E2E_LIB"
: "${E2E_OUTPUT:?}"
mkdir -p "$E2E_OUTPUT"

# Places inside the 1557 x 777 window (basic user: the panel fits without scrolling).
CAMERA_ROW="100 132"        # the first camera row of the device list
POINT_CLOUD="970 578"       # "Point Cloud"
ONCE_SAVE="877 578"         # "Once Save"
DEPTH_AREA="255 60 640 470" # x y width height of the image areas
RIGHT_AREA="920 70 600 440"
CLOUD_AREA="1130 150 420 280" # inside the point cloud view, at the right once it is on

E2E_FAILURE_SHOT=replay_session_failure

# black_share SHOT "X Y W H": the share (0..1) of black pixels there.
black_share() {
  local X Y
  eval "$(xdotool getwindowgeometry --shell "$win" | grep -E '^(X|Y)=')"
  read -r ax ay aw ah <<<"$2"
  convert "$E2E_OUTPUT/$1.png" -crop "${aw}x${ah}+$((X + ax))+$((Y + ay))" +repage -fill white +opaque black \
    -colorspace Gray -format '%[fx:1-mean]' info:
}
# shows_cloud: the point cloud view, points of many colours on black, where the colour image was.
shows_cloud() {
  shot replay_cloud
  [ "$(area_colours replay_cloud "$CLOUD_AREA")" -gt 50 ] &&
    awk -v b="$(black_share replay_cloud "$CLOUD_AREA")" 'BEGIN { exit !(b > 0.2 && b < 0.9) }'
}

# area_colours SHOT "X Y W H": the number of distinct colours in that part of the window.
area_colours() {
  local X Y
  eval "$(xdotool getwindowgeometry --shell "$win" | grep -E '^(X|Y)=')"
  read -r ax ay aw ah <<<"$2"
  convert "$E2E_OUTPUT/$1.png" -crop "${aw}x${ah}+$((X + ax))+$((Y + ay))" +repage -format '%k' info:
}

# The recording: depth and colour, as the camera sends them in its start-up data mode.
cat >"$E2E_TMP/recorder.ini" <<'INI'
[device.rec]
model = Alta
serial = REC-E2E
INI
QUILLON_SIM_CONFIG="$E2E_TMP/recorder.ini" "$LUMIDESK_BIN_DIR/lumidesk-cli" capture REC-E2E --frames 10 \
  --out "$E2E_TMP/recording" >"$E2E_TMP/capture.txt" 2>&1 || fail "capture: $(cat "$E2E_TMP/capture.txt")"
cat >"$E2E_TMP/sim.ini" <<INI
[device.replay]
model = Alta
serial = REPLAY-E2E
replay = $E2E_TMP/recording
INI

home=$(new_home)
log=$home/log.txt
start_program "$home" QUILLON_SIM_CONFIG="$E2E_TMP/sim.ini"
pid=$PROGRAM_PID
win=$(wait_window "$pid")
wait_log "$log" '"usb&2bc5&0401&REPLAY-E2E&1-1"' 10
click_in "$win" "$CAMERA_ROW" 2
wait_log "$log" 'Control_Single::initializeORB 1 +usb&2bc5&0401&REPLAY-E2E' 10
# The recorded depth: the colour-mapped view with its marker and "NNN mm" label; the recorded
# room in the colour area.
wait_log "$log" 'SetDataMode index:0  status:0' 10
for _ in $(seq 20); do
  shot replay_stream
  [ "$(area_colours replay_stream "$DEPTH_AREA")" -gt 100 ] && [ "$(area_colours replay_stream "$RIGHT_AREA")" -gt 100 ] && break
  sleep 0.5
done
[ "$(area_colours replay_stream "$DEPTH_AREA")" -gt 100 ] || fail "the depth area shows no recorded depth"
[ "$(area_colours replay_stream "$RIGHT_AREA")" -gt 100 ] || fail "the colour area shows no recorded colour"

shows_cloud && fail "a point cloud view before the point cloud was turned on"
click_in "$win" "$POINT_CLOUD"
retry 10 shows_cloud || fail "no point cloud view"

# "Once Save": the depth and colour of the set decode, and the point cloud is lines of x y z.
click_in "$win" "$ONCE_SAVE"
wait_log "$home/boxes.txt" $'^Notice\tSave success$' 10
set_dir=$(find "$home/SaveImage" -mindepth 1 -maxdepth 1 -type d | head -n1)
[ -n "$set_dir" ] || fail "no save set folder"
[ "$(identify -format '%w %h %z' "$set_dir/depth/00000001.png")" = "640 480 16" ] ||
  fail "the saved depth image does not decode as 640x480 16-bit: $(find "$set_dir")"
[ "$(identify -format '%w %h' "$set_dir/rgb/00000001.jpg")" = "1920 1080" ] || fail "the saved colour image does not decode"
cloud=$(find "$set_dir" -maxdepth 1 -name 'PointCloud_*.txt' | head -n1)
[ -n "$cloud" ] || fail "no point cloud saved: $(find "$set_dir")"
awk 'NF != 3 || $3 + 0 <= 0 { bad++ } END { exit !(NR > 1000 && !bad) }' "$cloud" ||
  fail "the saved point cloud is not lines of x y z: $(head -n 3 "$cloud")"
press_key "$(wait_window "$pid" Notice)" Return
