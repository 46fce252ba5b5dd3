# The parameter page and the calibration report with real input, as a full user: save the
# report, read the depth intrinsics into the text box, write them back with fx changed and
# read the new fx, then have a write with a bad part refused whole. The text box is read
# through the clipboard (select all, copy). Screenshots go to $E2E_OUTPUT.
source "$E2E_LIB"
: "${E2E_OUTPUT:?}"
mkdir -p "$E2E_OUTPUT"

# Places inside the 1557 x 777 window. With usertype 255 the panel is wider than the window:
# the report button is in view with the panel scrolled to its left end, the parameter page
# with it scrolled to its right end.
CAMERA_ROW="100 132"     # the first camera row of the device list
SCROLL_LEFT="252 767"    # the panel's scroll bar arrows
SCROLL_RIGHT="1547 767"
SAVE_PARAMS="873 630"    # "SaveCameraParams" (left end)
PARAMS_LIST="1195 578"   # the "Params：" list (right end)
READ="1153 656"          # "Read"
WRITE="1237 656"         # "Write"
TEXT_BOX="1410 700"      # the parameter text box

click() { xdotool mousemove --window "$win" $1 click --repeat "${2:-1}" --delay 80 1; }
# Far more arrow steps than the panel is wide: the scroll bar stops at its end.
scroll_panel() { xdotool mousemove --window "$win" $1 click --repeat 100 --delay 10 1; }

E2E_FAILURE_SHOT=params_failure

# box_count PATTERN: how many boxes so far had a "title<TAB>text" line matching it.
box_count() { grep -cE "$1" "$home/boxes.txt" 2>/dev/null || true; }
has_boxes() { [ "$(box_count "$1")" -ge "$2" ]; }
# wait_box PATTERN COUNT: waits until COUNT such boxes were shown.
wait_box() {
  retry 20 has_boxes "$1" "$2" || fail "no box #$2 matching '$1'; boxes so far:
$(cat "$home/boxes.txt" 2>/dev/null)"
}

# save_report: "SaveCameraParams", Yes, "Save success"; sets REPORT to the one report file.
saves=0
save_report() {
  rm -rf "$home/SaveCameraParams"
  scroll_panel "$SCROLL_LEFT"
  click "$SAVE_PARAMS"
  wait_box $'^Warning\tIt takes time to save' $((saves + 1))
  press_key "$(wait_window "$pid" Warning)" alt+y
  saves=$((saves + 1))
  wait_box $'^Notice\tSave success$' "$saves"
  press_key "$(wait_window "$pid" Notice)" Return
  REPORT=$(find "$home/SaveCameraParams" -type f)
  [[ $REPORT =~ ^$home/SaveCameraParams/[0-9]{4}(_[0-9]{2}){5}/$SERIAL\.txt$ ]] ||
    fail "expected one SaveCameraParams/<stamp>/$SERIAL.txt, found: $REPORT"
}

# report_line FILE HEADING: the line after the heading, without its line end.
report_line() { sed -n "/^$2\$/{n;s/\r\$//;p;q}" "$1"; }

# box_text: the text box's whole text, copied with the keyboard and read from the clipboard.
box_text() {
  xdotool windowfocus --sync "$win"
  click "$TEXT_BOX"
  xdotool key --clearmodifiers ctrl+a ctrl+c
  xclip -o -selection clipboard 2>/dev/null
}
shows_text() { [ "$(box_text)" = "$1" ]; }
# read_back EXPECTED: "Read", then the text box must show EXPECTED.
read_back() {
  replace_text "" # an empty box first: what it shows then comes from this read
  click "$READ"
  retry 10 shows_text "$1" || fail "the text box shows '$(box_text)' after Read, expected '$1'"
}
# replace_text TEXT: select all in the text box and type TEXT over it.
replace_text() {
  xdotool windowfocus --sync "$win"
  click "$TEXT_BOX"
  xdotool key --clearmodifiers ctrl+a BackSpace
  [ -z "$1" ] || xdotool type --delay 20 "$1"
}

SERIAL=ALT2301A0017
home=$(new_home)
printf 'usertype = 255\n' >"$home/Lumidesk.ini"
log=$home/log.txt
start_program "$home"
pid=$PROGRAM_PID
win=$(wait_window "$pid")
wait_log "$log" "\"usb&2bc5&0401&$SERIAL&1-1\"" 10
click "$CAMERA_ROW" 2
wait_log "$log" "Control_Single::initializeORB 1 +usb&2bc5&0401&$SERIAL" 10

# The report: the camera's serial and its depth intrinsics, nine numbers.
save_report
[ "$(report_line "$REPORT" 'SN:')" = "$SERIAL" ] || fail "the report's serial: $(head -n 3 "$REPORT")"
intrinsics=$(report_line "$REPORT" 'Depth Intrinsic:')
[ "$(echo "$intrinsics" | tr ',' '\n' | wc -l)" = 9 ] || fail "the report's depth intrinsics: '$intrinsics'"

# Read shows the same nine numbers in the text box.
scroll_panel "$SCROLL_RIGHT"
click "$PARAMS_LIST"
wait_windows "$pid" 2 # the open list
xdotool type --delay 30 "Depth Intrinsic"
xdotool key Return
read_back "$intrinsics"
shot params_read

# Write them back with fx changed; Read shows the new fx.
rest=${intrinsics#*, }
replace_text "600, $rest"
click "$WRITE"
read_back "600, $rest"

# A bad fy refuses the whole write, fx included, and names the part and the item.
replace_text "700, 0, 1, 0, 6OO, 2, 0, 0, 1"
click "$WRITE"
wait_box $'^Waring\t.*"6OO".* Depth Intrinsic' 1
shot params_refused
press_key "$(wait_window "$pid" Waring)" Return
[ "$(box_count $'^(Waring|Warning)\t')" = "$((1 + saves))" ] || fail "unexpected boxes: $(cat "$home/boxes.txt")"
read_back "600, $rest"

# The camera kept the good write: a second report says so.
save_report
[ "$(report_line "$REPORT" 'Depth Intrinsic:')" = "600, $rest" ] ||
  fail "the second report's depth intrinsics: '$(report_line "$REPORT" 'Depth Intrinsic:')'"
kill -0 "$pid" || fail "the program ended"
