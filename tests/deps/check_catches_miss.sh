# Takes one package at a time off a copy of the install list and expects scripts/check-deps to
# fail naming it: one package for each kind of use (CMake packages, a library and headers found
# by hand, a program of the end-to-end scripts, a program a test starts, the CJK font).
# Usage: check_catches_miss.sh SCRIPTS_DIR BUILD_DIR
set -euo pipefail
scripts=$1 build=$2
list=$(mktemp)
trap 'rm -f "$list"' EXIT
failed=0
for package in qtbase5-dev libopencv-imgcodecs-dev xdotool curl fonts-wqy-microhei; do
  "$scripts/install-deps" --list | grep -vxF "$package" >"$list"
  status=0
  out=$("$scripts/check-deps" "$build" --packages "$list" 2>&1) || status=$?
  if [ "$status" != 1 ] || ! grep -q "^  $package, for" <<<"$out"; then
    echo "FAIL: without $package check-deps exited with $status and said:"
    echo "$out"
    failed=1
  fi
done
[ "$failed" = 0 ] || exit 1
echo PASS
