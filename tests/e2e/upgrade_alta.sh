# An Alta's firmware upgrade through its USB loader with real input: open the camera, "Upgrade
# Firmware", Yes, the camera leaves the device list, the loader dialog shows the nand image,
# "Upgrade", the write and check percentages, "Success, restart is under way, please wait a
# moment.", the dialog closes, and after a scan the camera is back with the new version in
# "FWver:" (read through the clipboard). Screenshots go to $E2E_OUTPUT.
source "$E2E_LIB"
: "${E2E_OUTPUT:?}"
mkdir -p "$E2E_OUTPUT"

# Places inside the 1557 x 777 window (basic user, Alta layout) and inside the 620 x 250 dialog.
SCAN="50 69"              # the device list's scan button
CAMERA_ROW="100 132"      # the first camera row of the device list
UPGRADE_BUTTON="877 655"  # "Upgrade Firmware"
FW_VERSION="725 604"      # the "FWver:" line edit
START="500 224"           # the dialog's "Upgrade"
PATH_FIELD="330 84"       # the dialog's image path

E2E_FAILURE_SHOT=upgrade_alta_failure
shows_firmware() { [ "$(text_in "$win" "$FW_VERSION")" = "$1" ]; }
opened_times() { grep -c 'Control_Single::initializeORB 1 .*ALTA-E2E' "$log" || true; }

cat >"$E2E_TMP/sim.ini" <<'INI'
[sim]
rebootMs = 1500

[device.alta]
model = Alta
serial = ALTA-E2E
firmware = 2.0.9
flashType = nand
INI
home=$(new_home)
log=$home/log.txt
mkdir "$home/Upgrade"
# A boot loader and an image for each flash type; the image large enough for a check pass.
head -c 100000 /dev/zero | tr '\0' 'q' >"$E2E_TMP/payload"
tool=$LUMIDESK_BIN_DIR/quillon_fwimage
"$tool" --model Alta --version 3.1.4 --payload "$E2E_TMP/payload" -o "$home/Upgrade/alta-3.1.4-nand.img"
"$tool" --model Alta --version 3.0.0 --payload "$E2E_TMP/payload" -o "$home/Upgrade/alta-3.0.0-nor.img"
"$tool" --boot --model Alta --flash nand -o "$home/Upgrade/alta-nand-loader.bin"
"$tool" --boot --model Alta --flash nor -o "$home/Upgrade/alta-nor-loader.bin"

start_program "$home" QUILLON_SIM_CONFIG="$E2E_TMP/sim.ini"
pid=$PROGRAM_PID
win=$(wait_window "$pid")
wait_log "$log" '"usb&2bc5&0401&ALTA-E2E&1-1"' 10
click_in "$win" "$CAMERA_ROW" 2
wait_log "$log" 'Control_Single::initializeORB 1 +usb&2bc5&0401&ALTA-E2E' 10
retry 10 shows_firmware 2.0.9 || fail "\"FWver:\" shows '$(text_in "$win" "$FW_VERSION")' before the upgrade"

# The question, answered Yes: the camera goes to its loader and leaves the list.
click_in "$win" "$UPGRADE_BUTTON"
question=$(wait_window "$pid" Upgrade)
shot upgrade_alta_question
press_key "$question" y
dialog=$(wait_window "$pid" UpdateDesc)
wait_log "$log" 'DeviceList::slotToStop' 5
[ -f "$QUILLON_SIM_STATE/loader/ALTA-E2E.ini" ] || fail "the camera was not handed to its loader"
expected_image="$home//Upgrade//alta-3.1.4-nand.img"
shown_image() { [ "$(text_in "$dialog" "$PATH_FIELD")" = "$expected_image" ]; }
retry 10 shown_image || fail "the dialog shows '$(text_in "$dialog" "$PATH_FIELD")', not the nand image"
shot upgrade_alta_dialog

click_in "$dialog" "$START"
wait_log "$log" 'UpdateDesc: "upgrade success!"' 60
statuses=$(tr -d '\r' <"$log" | sed -n 's/.*UpdateDesc: "\(.*\)"$/\1/p' | tr '\n' '|')
expected='Download Boot ...|Download Boot ok|'
# 100032 bytes, 97 whole KiB, in chunks of 16 KiB; the check from 32 KiB on.
for p in 16 32 49 65 82 98 100; do expected+="write firmware...$p percent|"; done
for p in 49 65 82 98 100; do expected+="check firmware...$p percent|"; done
expected+='upgrade success!|'
[ "${statuses#"$expected"}" != "$statuses" ] || fail "the dialog said: $statuses"
wait_log "$log" 'UpdateDesc: "Success, restart is under way, please wait a moment."' 5
shot upgrade_alta_success
wait_gone "$dialog"

# Back from its restart with the new version: a scan lists it, a double click opens it.
listings() { grep -c '"usb&2bc5&0401&ALTA-E2E&1-1"' "$log" || true; }
listed_before=$(listings)
listed_again() { [ "$(listings)" -gt "$listed_before" ]; }
scanned_again() {
  click_in "$win" "$SCAN"
  retry 5 listed_again
}
retry 30 scanned_again || fail "the camera is not listed again"
click_in "$win" "$CAMERA_ROW" 2
opened_again() { [ "$(opened_times)" -ge 2 ]; }
retry 10 opened_again || fail "the camera was not opened again"
retry 10 shows_firmware 3.1.4 || fail "\"FWver:\" shows '$(text_in "$win" "$FW_VERSION")' after the upgrade"
shot upgrade_alta_back
[ "$(cat "$home/boxes.txt")" = "$(printf 'Upgrade\tThis will make the camera enter into upgraded mode, are you sure to upgrade?')" ] ||
  fail "boxes: $(cat "$home/boxes.txt")"
kill -0 "$pid" || fail "the program ended"
