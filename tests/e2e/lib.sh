# Helpers for end-to-end tests: run the real program on the X server in $DISPLAY, with its
# program folder in a fresh temporary directory, and drive it with xdotool.
set -euo pipefail

: "${LUMIDESK_BIN_DIR:?}"
: "${DISPLAY:?e2e tests need an X server (./test starts one)}"
LUMIDESK="$LUMIDESK_BIN_DIR/Lumidesk"

E2E_TMP=$(mktemp -d)
# The virtual cameras keep what they are given (flash, loader hand-over) in a state folder of
# this run's own: nothing from a user's session or an earlier run reaches the test, nor back.
export QUILLON_SIM_STATE="$E2E_TMP/sim-state"
E2E_PIDS=()
cleanup() {
  for pid in "${E2E_PIDS[@]}"; do kill -9 "$pid" 2>/dev/null || true; done
  rm -rf "$E2E_TMP"
}
trap cleanup EXIT

# shot NAME: a screenshot of the whole screen as $E2E_OUTPUT/NAME.png.
shot() { import -window root "$E2E_OUTPUT/$1.png"; }
# fail TEXT: says why and ends the test; with $E2E_FAILURE_SHOT set, leaves a picture of the
# screen by that name behind.
fail() {
  [ -z "${E2E_FAILURE_SHOT:-}" ] || shot "$E2E_FAILURE_SHOT" 2>/dev/null || true
  echo "FAIL: $*" >&2
  exit 1
}

# new_home: an empty data folder (settings, log, saved files); the version file stays beside
# the program.
new_home() {
  mktemp -d -p "$E2E_TMP" home.XXXX
}

# start_program HOME [VAR=value...]: starts a copy in the background; sets PROGRAM_PID.
# $E2E_PROGRAM_ENV (VAR=value, from sanitizer builds) is set for the program only.
start_program() {
  local home=$1; shift
  env LUMIDESK_HOME="$home" LUMIDESK_BOX_LOG="$home/boxes.txt" ${E2E_PROGRAM_ENV:+"$E2E_PROGRAM_ENV"} "$@" \
    "$LUMIDESK" >"$home/stdout.txt" 2>&1 &
  PROGRAM_PID=$!
  E2E_PIDS+=("$PROGRAM_PID")
}

# retry SECONDS COMMAND...: runs the command every 0.1 s until it succeeds; false after SECONDS.
retry() {
  local tries=$(($1 * 10))
  shift
  for _ in $(seq "$tries"); do "$@" && return 0; sleep 0.1; done
  return 1
}

# window_of PID [NAME]: prints the first visible window of the process, optionally with the
# given title; false while there is none.
window_of() {
  local ids
  kill -0 "$1" 2>/dev/null || fail "process $1 ended before showing a window${2:+ \"$2\"}"
  # --all: without it xdotool matches the pid OR the name, i.e. any window of the process.
  ids=$(xdotool search --all --onlyvisible --pid "$1" ${2:+--name "^$2\$"} 2>/dev/null || true)
  [ -n "$ids" ] && echo "$ids" | head -n1
}
shows_windows() { [ "$(xdotool search --onlyvisible --pid "$1" 2>/dev/null | wc -l)" -ge "$2" ]; }
not_viewable() { [ "$(xwininfo -id "$1" 2>/dev/null | sed -n 's/^ *Map State: //p')" != IsViewable ]; }
ended() { ! kill -0 "$1" 2>/dev/null; }

# wait_window PID [NAME]: waits (up to 20 s) for window_of and prints the window's id.
wait_window() { retry 20 window_of "$@" || fail "no window${2:+ \"$2\"} from process $1"; }
# wait_windows PID COUNT: waits (up to 20 s) until the process shows COUNT windows or more.
wait_windows() { retry 20 shows_windows "$1" "$2" || fail "process $1 shows fewer than $2 windows"; }
# wait_gone WINDOW: waits (up to 20 s) until the window is no longer shown (or no longer exists).
wait_gone() { retry 20 not_viewable "$1" || fail "window $1 is still shown"; }

# press_key WINDOW KEY: focuses the window and types the key as real (XTEST) input.
press_key() {
  xdotool windowfocus --sync "$1"
  xdotool key --clearmodifiers "$2"
}

# wait_exit PID: waits (up to 20 s) for the process to end; sets EXIT_STATUS. Not for use
# in a subshell: only this shell can collect its child's status.
wait_exit() {
  retry 20 ended "$1" || fail "process $1 did not end"
  EXIT_STATUS=0
  wait "$1" || EXIT_STATUS=$?
}

# wait_log FILE PATTERN SECONDS: waits for a line matching the extended regular expression.
wait_log() {
  retry "$3" grep -qE "$2" "$1" 2>/dev/null || fail "no line matching '$2' in $1 after $3 s; it ends with:
$(tail -n 8 "$1" 2>/dev/null)"
}

# click_in WINDOW "X Y" [REPEAT]: a click (or several) at that place inside the window.
click_in() { xdotool mousemove --window "$1" $2 click --repeat "${3:-1}" --delay 80 1; }

# text_in WINDOW "X Y": the text of the line edit at that place, selected and copied with the
# keyboard.
text_in() {
  xdotool windowfocus --sync "$1"
  click_in "$1" "$2"
  xdotool key --clearmodifiers ctrl+a ctrl+c
  xclip -o -selection clipboard 2>/dev/null
}
