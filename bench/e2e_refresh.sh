#!/usr/bin/env bash
# End to end: the real program on a virtual X server with LUMIDESK_STATS=1 opens the virtual
# Alta (30 fps, depth and colour shown) from its device list and streams for a while; the
# statistics lines of its log give the refreshes shown per second and the program's CPU use.
# Usage: bench/e2e_refresh.sh [seconds of streaming, default 30]. Needs a build in ./build.
set -euo pipefail
cd "$(dirname "$0")/.."
if [ -z "${E2E_REFRESH_UNDER_X:-}" ]; then
  export E2E_REFRESH_UNDER_X=1
  exec xvfb-run -a -s "-screen 0 1920x1080x24 -nolisten tcp -noreset" "$0" "$@"
fi
seconds=${1:-30}
home=$(mktemp -d)
trap 'kill "$pid" 2>/dev/null || true; rm -rf "$home"' EXIT
# Isolated as the end-to-end tests are, so that a copy of Lumidesk running elsewhere on this
# machine does not make this one refuse to start; the virtual cameras' flash starts empty too.
LUMIDESK_HOME="$home" LUMIDESK_STATS=1 LUMIDESK_BOX_LOG="$home/boxes.txt" QUILLON_SIM_STATE="$home/sim-state" \
  tests/e2e/isolated build/bin/Lumidesk >"$home/stdout.txt" 2>&1 &
pid=$!

wait_log() { # PATTERN SECONDS
  for _ in $(seq $(($2 * 10))); do
    grep -qE "$1" "$home/log.txt" 2>/dev/null && return 0
    sleep 0.1
  done
  echo "e2e_refresh: no log line matching '$1'" >&2
  if [ -s "$home/boxes.txt" ]; then
    echo "e2e_refresh: the program showed: $(tr '\t\n' '  ' <"$home/boxes.txt")" >&2
  fi
  exit 1
}

# The first scan lists the cameras 3 s after start; the window sits at the top left, the
# first camera row at (100, 132).
wait_log '"usb&2bc5&0401&ALT2301A0017&1-1"' 15
sleep 0.3
win=$(xdotool search --onlyvisible --pid "$pid" | head -n1)
xdotool mousemove --window "$win" 100 132 click --repeat 2 --delay 80 1
wait_log 'Control_Single::initializeORB 1 ' 10
opened=$(grep -c . "$home/log.txt")
sleep "$seconds"

# Statistics lines after the connection, the first (a partial interval) left out.
tail -n +"$((opened + 1))" "$home/log.txt" | grep -oE 'pipeline: .*CPU s' | tail -n +2 | awk '
  { sets += $2; cycles += $5; shown += $8; cpu += $10; n++ }
  END {
    if (n == 0) { print "e2e_refresh: no complete statistics interval" > "/dev/stderr"; exit 1 }
    printf "end to end, %d intervals of 5 s: %.1f frame sets read/s, %.1f processing cycles/s\n", n, sets / n, cycles / n
    printf "refreshes shown per second: %.1f (goal >= 26)\n", shown / n
    printf "program CPU use: %.0f%% of one core\n", 100 * cpu / (5 * n)
  }'
