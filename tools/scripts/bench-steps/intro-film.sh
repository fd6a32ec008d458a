# The intro film: decode-and-present time per frame under Wine, on the full-screen display
# and on the windowed one, with the present alone timed for both (virtual desktop, the
# sample medium's films on E:), against each film's frame time; and Alt+Enter, from the
# switch to the first frame on the other display. Both films on a screen of 1024x768, then
# the 640x480 film on one of 3840x2160, where the window shows it at factor 4.
# $1: build folder.
bench_run=$1/bench/intro
for screen in 1024x768 3840x2160; do
    rm -rf "$bench_run"
    mkdir -p "$bench_run"
    prepare_test_prefix "$bench_run"
    WINEPREFIX=$bench_run/prefix wine reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /d "$screen" /f \
        >/dev/null 2>&1
    WINEPREFIX=$bench_run/prefix wineserver -k 2>/dev/null || true
    start_xvfb "$bench_run/xvfb" "$screen"
    echo "screen $screen:"
    WINEPREFIX=$bench_run/prefix wine "$WIN_BUILD/tests/intro/film_bench.exe" 'E:\intro\intro.smk' 2>/dev/null
    [ "$screen" = 1024x768 ] &&
        WINEPREFIX=$bench_run/prefix wine "$WIN_BUILD/tests/intro/film_bench.exe" 'E:\intro\intro320.smk' low 2>/dev/null
    WINEPREFIX=$bench_run/prefix wineserver -k 2>/dev/null || true
    stop_xvfb
done
rm -rf "$bench_run"
