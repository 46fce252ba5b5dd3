#!/usr/bin/env bash
# lumidesk-cli capture of depth, IR and colour from a virtual Alta at 30 sets a second (depth
# and IR with every other set, colour 1920x1080) for 20 s: sets written per second against sets
# delivered per second (goal 1.0, none dropped) and the CPU seconds of the capture process per
# set written. Usage: bench/bench_capture.sh [sets, default 600]. Needs a build in ./build.
set -euo pipefail
cd "$(dirname "$0")/.."
sets=${1:-600}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cat >"$work/sim.ini" <<'INI'
[device.alta]
model = Alta
serial = BENCH-ALTA
fps = 30
dataMode = 10
INI
# A state folder of its own: nothing of a user's virtual cameras reaches the run.
export QUILLON_SIM_CONFIG="$work/sim.ini" QUILLON_SIM_STATE="$work/state"
# GNU time: wall clock and the CPU of the capture process (its rusage once it has ended).
status=0
/usr/bin/time -f '%e %U %S' -o "$work/time.txt" build/bin/lumidesk-cli capture BENCH-ALTA --frames "$sets" \
  --out "$work/out" --kinds depth,ir,rgb >"$work/counts.txt" 2>"$work/stderr.txt" || status=$?
if ! grep -qE '^read [0-9]+, written [0-9]+, dropped [0-9]+$' "$work/counts.txt"; then
  echo "bench_capture: the capture failed (status $status): $(cat "$work/stderr.txt")" >&2
  exit 1
fi
read -r _ read_sets _ written _ dropped <<<"$(tr -d ',' <"$work/counts.txt")"
read -r wall user system <"$work/time.txt"
awk -v r="$read_sets" -v w="$written" -v d="$dropped" -v wall="$wall" -v u="$user" -v s="$system" '
  BEGIN {
    cpu = u + s
    printf "capture of %d sets in %.1f s: %.1f sets written/s, %.1f sets delivered/s\n", r, wall, w / wall, r / wall
    printf "capture: sets written per second / sets delivered per second: %.3f (goal 1.0), dropped %d, CPU seconds per frame set: %.4f\n", w / r, d, cpu / (w > 0 ? w : 1)
  }'
[ "$status" -eq 0 ] || echo "bench_capture: lumidesk-cli ended with status $status: $(tail -n 3 "$work/stderr.txt")" >&2
