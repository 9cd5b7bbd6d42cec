# The player's Sleep(20) through the Win32 platform, 200 times each way the platform sleeps
# (the high-resolution timer, and the 1 ms timer period of systems without one): the mean and
# the maximum go to the suite's output. Wine sleeps as long as asked either way; the bounds
# catch a wrong unit or a timer that does not wait, not the system timer of a real Windows,
# where a plain Sleep(20) lasts about 31 ms.
out=$(wine "$VW_ROOT/build/mingw/sleep_timing.exe" 2> /dev/null | tr -d '\r')
sed 's/^/note: /' <<< "$out"
python3 - "$out" << 'PY'
import re, sys
lines = sys.argv[1].splitlines()
ways = ["high-resolution waitable timer", "Sleep with a 1 ms timer period"]
if [l.split(":")[0] for l in lines] != ways:
    sys.exit("expected one line for each of %s, got %r" % (ways, lines))
for line in lines:
    f = dict(re.findall(r"(\w+)=([\d.]+)", line))
    mean, shortest = float(f["mean_ms"]), float(f["min_ms"])
    if not (19.5 <= mean <= 40 and shortest >= 19):
        sys.exit("not 20 ms: " + line)
PY
