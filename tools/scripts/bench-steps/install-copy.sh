# Copy throughput of the installer under Wine: CopyFileWithProgress against CopyFileA on the
# same 64 MiB file, in a prefix of its own on a virtual display.
bench_run=$1/bench/install-copy
rm -rf "$bench_run"
mkdir -p "$bench_run"
new_prefix "$bench_run/prefix"
start_xvfb "$bench_run/xvfb"
WINEPREFIX=$bench_run/prefix wine "$WIN_BUILD/tests/install/copy_bench.exe"
WINEPREFIX=$bench_run/prefix wineserver -k 2>/dev/null || true
stop_xvfb
rm -rf "$bench_run"
