# One copy at a time: a second copy is refused with -42; a crashed copy does not lock
# the program out.
source "$E2E_LIB"

version_line='^\([0-9]{4}-[0-9]{2}-[0-9]{2} [0-9]{2}:[0-9]{2}:[0-9]{2}\.[0-9]{3} [^)]+\) Debug: File:\(\) Line:\(0\) "version  2\.3\.8\.3"'$'\r''$'

home=$(new_home)
start_program "$home"
first=$PROGRAM_PID
wait_window "$first" >/dev/null
[ ! -e "$home/boxes.txt" ] || fail "first copy showed a box (is another copy running?): $(cat "$home/boxes.txt")"
head -n1 "$home/log.txt" | grep -Eq "$version_line" || fail "first log entry is not the version line: $(head -c 200 "$home/log.txt")"

# A second copy, even with a program folder of its own, is refused.
home2=$(new_home)
start_program "$home2"
second=$PROGRAM_PID
box=$(wait_window "$second" Waring)
press_key "$box" Return   # the default button is Yes
wait_exit "$second"
[ "$EXIT_STATUS" = 214 ] || fail "second copy exited with $EXIT_STATUS, expected 214 (-42)"
grep -qxF $'Waring\tThe Other Instance is Running!' "$home2/boxes.txt" || fail "wrong box: $(cat "$home2/boxes.txt")"
[ ! -e "$home2/log.txt" ] || fail "refused copy wrote a log: $(cat "$home2/log.txt")"
kill -0 "$first" || fail "first copy died"

# Crash the first copy: a new copy starts normally and logs its version first.
kill -9 "$first"
wait "$first" 2>/dev/null || true
home3=$(new_home)
start_program "$home3"
third=$PROGRAM_PID
wait_window "$third" >/dev/null
head -n1 "$home3/log.txt" | grep -Eq "$version_line" || fail "restarted copy did not log its version first"
[ ! -e "$home3/boxes.txt" ] || fail "restarted copy showed a box: $(cat "$home3/boxes.txt")"
kill "$third"
echo PASS
