# Time from starting the launcher to its dialog being shown, under Wine, with the sample
# medium as CD-ROM drive E:.
bench_run=$1/bench/launcher
rm -rf "$bench_run"
mkdir -p "$bench_run"
prepare_test_prefix "$bench_run"
start_xvfb "$bench_run/xvfb"
WINEPREFIX=$bench_run/prefix wine "$WIN_BUILD/tools/bench-win/startup_bench.exe" 20
WINEPREFIX=$bench_run/prefix wineserver -k 2>/dev/null || true
stop_xvfb
rm -rf "$bench_run"
