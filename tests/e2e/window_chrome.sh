# The frameless window with real mouse input: drag it by its title bar, widen it by its right
# edge, and ask before closing from its close button. (Maximising and presses below the bar are
# the widget tests' business.)
source "$E2E_LIB"
: "${E2E_OUTPUT:?}"
mkdir -p "$E2E_OUTPUT"

# geometry WINDOW: prints "x y width height" as the X server has it.
geometry() {
  local X Y WIDTH HEIGHT
  eval "$(xdotool getwindowgeometry --shell "$1" | grep -E '^(X|Y|WIDTH|HEIGHT)=')"
  echo "$X $Y $WIDTH $HEIGHT"
}

# wait_geometry WINDOW "x y width height": the program places itself asynchronously.
has_geometry() { [ "$(geometry "$1")" = "$2" ]; }
wait_geometry() { retry 5 has_geometry "$1" "$2" || fail "window geometry is $(geometry "$1"), expected $2"; }

# drag_mouse X Y DX DY: press at (X, Y), move there in steps, release.
drag_mouse() {
  local x=$1 y=$2 dx=$3 dy=$4 i
  xdotool mousemove --sync "$x" "$y"
  sleep 0.2
  xdotool mousedown 1
  for i in 1 2 3 4 5; do
    xdotool mousemove --sync $((x + dx * i / 5)) $((y + dy * i / 5))
    sleep 0.1
  done
  xdotool mouseup 1
  sleep 0.2
}

home=$(new_home)
start_program "$home"
pid=$PROGRAM_PID
win=$(wait_window "$pid")
has_size() { [ "$(geometry "$1" | cut -d' ' -f3-)" = "$2" ]; }
retry 5 has_size "$win" "1557 777" || fail "unexpected start size $(geometry "$win")"
read -r x y w h <<<"$(geometry "$win")"

# By the title bar, between the version text and the buttons.
drag_mouse $((x + 600)) $((y + 15)) 200 100
wait_geometry "$win" "$((x + 200)) $((y + 100)) $w $h"
x=$((x + 200)) y=$((y + 100))

# By the right edge, 2 pixels inside it: that edge follows the cursor, the rest stays.
drag_mouse $((x + w - 2)) $((y + 300)) 150 40
wait_geometry "$win" "$x $y $((w + 149)) $h"
w=$((w + 149))

import -window root "$E2E_OUTPUT/window_chrome.png"

# The close button asks first; No keeps the window, Yes ends the program with 0.
# (No --sync: it waits for a motion that never comes when the pointer is there already.)
close_button() { xdotool mousemove $((x + w - 30)) $((y + 17)) sleep 0.2 click 1; }
close_button
box=$(wait_window "$pid" Exit)
press_key "$box" Escape
wait_gone "$box"
kill -0 "$pid" || fail "the program ended although the exit was refused"
close_button
box=$(wait_window "$pid" Exit)
press_key "$box" y   # the &Yes button's shortcut
wait_exit "$pid"
[ "$EXIT_STATUS" = 0 ] || fail "exit status $EXIT_STATUS after confirming the exit"
[ "$(grep -cxF $'Exit\tConfirm the exit?' "$home/boxes.txt")" = 2 ] || fail "boxes: $(cat "$home/boxes.txt")"
echo PASS
