# A Brio's firmware upgrade through the SDK with real input: open the camera, "Upgrade
# Firmware", choose the image in Qt's own file dialog by typing its path, "Upgrade", watch the
# stages, see the camera leave and come back in the device list, and read the new version in
# "FWver:" (through the clipboard). Screenshots go to $E2E_OUTPUT.
source "$E2E_LIB"
: "${E2E_OUTPUT:?}"
mkdir -p "$E2E_OUTPUT"

# Places inside the 1557 x 777 window (basic user, Brio layout) and inside the 620 x 250 dialog.
CAMERA_ROW="100 132"     # the first camera row of the device list
UPGRADE_BUTTON="1035 655" # "Upgrade Firmware"
FW_VERSION="857 604"     # the "FWver:" line edit
CHOOSE="523 84"          # the dialog's file button
START="500 224"          # the dialog's "Upgrade"
CANCEL="410 224"         # the dialog's "Cancel"
PATH_FIELD="330 84"      # the dialog's image path

E2E_FAILURE_SHOT=upgrade_failure

firmware_shown() { text_in "$win" "$FW_VERSION"; }
shows_firmware() { [ "$(firmware_shown)" = "$1" ]; }

# One Brio that upgrades and reboots quickly.
cat >"$E2E_TMP/sim.ini" <<'INI'
[sim]
rebootMs = 1500
upgradeStepMs = 60

[device.brio]
model = Brio
serial = BRIO-E2E
firmware = 2.1.5
INI
home=$(new_home)
log=$home/log.txt
mkdir "$home/Upgrade"
image=$home/Upgrade/brio-1.0.4.img
"$LUMIDESK_BIN_DIR/quillon_fwimage" --model Brio --version 1.0.4 -o "$image"

start_program "$home" QUILLON_SIM_CONFIG="$E2E_TMP/sim.ini"
pid=$PROGRAM_PID
win=$(wait_window "$pid")
wait_log "$log" '"usb&2bc5&0402&BRIO-E2E&1-1"' 10
click_in "$win" "$CAMERA_ROW" 2
wait_log "$log" 'Control_Single::initializeORB 2 +usb&2bc5&0402&BRIO-E2E' 10
retry 10 shows_firmware 2.1.5 || fail "\"FWver:\" shows '$(firmware_shown)' before the upgrade"

# The dialog, and the image chosen in Qt's file dialog.
click_in "$win" "$UPGRADE_BUTTON"
dialog=$(wait_window "$pid" UpgradeBrio)
click_in "$dialog" "$CHOOSE"
chooser=$(wait_window "$pid" "Select  Firmware File")
shot upgrade_chooser
xdotool windowfocus --sync "$chooser"
xdotool key --clearmodifiers ctrl+a
xdotool type --delay 20 "$image"
xdotool key Return
wait_gone "$chooser"
# The dialog shows the chosen path before "Upgrade" is pressed (a loaded machine may be slow).
path_shown() { [ "$(text_in "$dialog" "$PATH_FIELD")" = "$image" ]; }
retry 10 path_shown || fail "the dialog does not show the chosen image; boxes: $(cat "$home/boxes.txt" 2>/dev/null)"

click_in "$dialog" "$START"
retry 20 grep -q '"Upgrade start."' "$log" ||
  fail "no \"Upgrade start.\"; the log ends with: $(tail -n 5 "$log"); boxes: $(cat "$home/boxes.txt" 2>/dev/null)"
done_line='"DEVICE_UPGRADE_UPGRAD_DONE:OK,wait for the device to reboot"'
wait_log "$log" "$done_line" 20
shot upgrade_done

# Every stage from 2 to 8 in order (stages 3 and 5 report several values).
stages=$(sed -n 's/.*Line:([0-9]*) "\(DEVICE_[A-Z_]*\)\( status: \| status:\| status : \| percent:\| \|:\).*/\1\2/p' "$log" | uniq | tr '\n' '|')
expected='DEVICE_PRE_UPGRADE_IMG_COPY status: |DEVICE_UPGRADE_IMG_CHECK_DOING status : |DEVICE_PRE_UPGRADE_IMG_COPY status:|DEVICE_UPGRADE_UPGRAD_DOING percent:|DEVICE_UPGRADE_RECHECK_DOING |DEVICE_UPGRADE_RECHECK_DONE:|DEVICE_UPGRADE_UPGRAD_DONE:|'
[ "$stages" = "$expected" ] || fail "the stages logged: $stages"

# The camera reboots: the device list sees it go and opens it again when it is back.
wait_log "$log" 'DeviceList::slotCameraLost "BRIO-E2E"' 10
wait_log "$log" 'DeviceList::reopenWhenBack "BRIO-E2E"' 20
shot upgrade_back
click_in "$dialog" "$CANCEL"
wait_gone "$dialog"
retry 10 shows_firmware 1.0.4 || fail "\"FWver:\" shows '$(firmware_shown)' after the upgrade"
[ ! -s "$home/boxes.txt" ] || fail "unexpected boxes: $(cat "$home/boxes.txt")"
kill -0 "$pid" || fail "the program ended"
