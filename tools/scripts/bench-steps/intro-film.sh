# The intro film: decode-and-present time per frame under Wine, on the full-screen display
# and on the windowed one, with the present alone timed for both
# (virtual desktop, the sample medium's films on E:), against each film's frame time.
# $1: build folder.
bench_run=$1/bench/intro
rm -rf "$bench_run"
mkdir -p "$bench_run"
prepare_test_prefix "$bench_run"
start_xvfb "$bench_run/xvfb"
WINEPREFIX=$bench_run/prefix wine "$WIN_BUILD/tests/intro/film_bench.exe" 'E:\intro\intro.smk' 2>/dev/null
WINEPREFIX=$bench_run/prefix wine "$WIN_BUILD/tests/intro/film_bench.exe" 'E:\intro\intro320.smk' low 2>/dev/null
WINEPREFIX=$bench_run/prefix wineserver -k 2>/dev/null || true
stop_xvfb
rm -rf "$bench_run"
