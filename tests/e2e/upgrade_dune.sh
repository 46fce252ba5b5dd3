# A Dune's firmware upgrade through the program's TFTP server with real input: type where the
# camera should fetch from into the parameter text box, "Upgrade Firmware", "Start" in the
# server's dialog, watch the transfer reach 100 % (with the camera dropping DATA now and then)
# and the dialog close itself, see the camera leave and come back, and read the new version in
# "FWver:" (through the clipboard). Screenshots go to $E2E_OUTPUT.
source "$E2E_LIB"
: "${E2E_OUTPUT:?}"
mkdir -p "$E2E_OUTPUT"

# Places inside the 1557 x 777 window (intermediate user, Dune layout, the panel scrolled to
# its right end) and inside the 460 x 210 server dialog.
CAMERA_ROW="100 132"      # the first camera row of the device list
SCROLL_RIGHT="1547 767"   # the panel's right scroll arrow
UPGRADE_BUTTON="314 655"  # "Upgrade Firmware"
TEXT_BOX="1411 659"       # the parameter text box
FW_VERSION="720 604"      # "FWver:" (panel scrolled to its left end)
SCROLL_LEFT="252 767"
START="409 175"           # the dialog's "Start"

scroll_panel() { xdotool mousemove --window "$win" $1 click --repeat 100 --delay 10 1; }
E2E_FAILURE_SHOT=dune_failure

firmware_shown() { text_in "$win" "$FW_VERSION"; }
shows_firmware() { [ "$(firmware_shown)" = "$1" ]; }

# One Dune that reboots quickly and drops every 40th DATA it receives (the server resends).
cat >"$E2E_TMP/sim.ini" <<'INI'
[sim]
rebootMs = 1500

[device.dune]
model = Dune
serial = DUNE-E2E
firmware = 2.1.8
tftpDropEvery = 40
INI
home=$(new_home)
log=$home/log.txt
printf 'usertype = 1\ntftpport = 6969\n' >"$home/Lumidesk.ini"
mkdir "$home/Upgrade"
head -c 60000 /dev/urandom >"$E2E_TMP/payload"
"$LUMIDESK_BIN_DIR/quillon_fwimage" --model Dune --version 2.2.0 --payload "$E2E_TMP/payload" \
  -o "$home/Upgrade/dune-2.2.0.img" >/dev/null

start_program "$home" QUILLON_SIM_CONFIG="$E2E_TMP/sim.ini"
pid=$PROGRAM_PID
win=$(wait_window "$pid")
wait_log "$log" '"net:192.168.1.80:5005"' 10
click_in "$win" "$CAMERA_ROW" 2
wait_log "$log" 'Control_Single::initializeORB 4 +net:192.168.1.80:5005' 10
retry 10 shows_firmware 2.1.8 || fail "\"FWver:\" shows '$(firmware_shown)' before the upgrade"

# Where to fetch from, typed into the parameter text box, then the server's dialog.
scroll_panel "$SCROLL_RIGHT"
xdotool windowfocus --sync "$win"
click_in "$win" "$TEXT_BOX"
xdotool type --delay 20 "127.0.0.1:6969 dune-2.2.0.img"
click_in "$win" "$UPGRADE_BUTTON"
wait_log "$log" 'UpgradeEntry: upgrade hand-over "127.0.0.1:6969 dune-2.2.0.img" status 0' 10
dialog=$(wait_window "$pid" tftpServer)
shot dune_dialog
click_in "$dialog" "$START"

# The camera has asked every second since the hand-over; now it gets the image, and the
# dialog closes itself a second after 100 %.
wait_log "$home/stdout.txt" 'translate data 100%' 60
wait_gone "$dialog"
grep -q 'retrans' "$home/stdout.txt" || fail "the camera dropped no DATA: the fault is not on"
wait_log "$log" 'DeviceList::slotCameraLost "192.168.1.80"' 15
wait_log "$log" 'DeviceList::reopenWhenBack "192.168.1.80"' 20
scroll_panel "$SCROLL_LEFT"
retry 10 shows_firmware 2.2.0 || fail "\"FWver:\" shows '$(firmware_shown)' after the upgrade"
shot dune_back
[ ! -s "$home/boxes.txt" ] || fail "unexpected boxes: $(cat "$home/boxes.txt")"
kill -0 "$pid" || fail "the program ended"
