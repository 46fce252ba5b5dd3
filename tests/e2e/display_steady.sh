# The X server the suite runs on keeps taking connections while clients come and go. One that
# resets whenever its last client leaves refuses the clients that arrive meanwhile, and the
# program, unable to connect, aborts at start (./test gives Xvfb -noreset for this).
source "$E2E_LIB"

tries=200
( for _ in $(seq "$tries"); do xdotool getmouselocation >/dev/null 2>&1 || true; done ) &
others=$!
E2E_PIDS+=("$others")
refused=0
for _ in $(seq "$tries"); do
  xdotool getmouselocation >/dev/null 2>&1 || refused=$((refused + 1))
done
wait "$others"
[ "$refused" = 0 ] || fail "the X server refused $refused of $tries connections: start Xvfb with -noreset, as ./test does"
echo PASS
