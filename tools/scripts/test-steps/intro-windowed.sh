# The intro where exclusive 8-bit mode cannot be set: Vesk.exe in a prefix of its own
# without Wine's virtual desktop, straight on the X server, where DirectDraw cannot change
# the mode. The film and the crawl must play scaled in the film window, the desktop's mode
# untouched, and the launcher must work afterwards. The screen is one of 1536x1152 at
# 144 DPI, as a high-DPI monitor is: the window's blocks must be whole in its physical
# pixels. Its screenshots go to build/test/shots (./vesk docs takes them from there).
# $1: build folder, $2: results folder.
intro_windowed() {
    local build=$1 results=$2 run=$1/test/intro-windowed xml
    xml=$results/intro_windowed.xml
    rm -rf "$run" "$xml" "$build/test/shots"
    mkdir -p "$run" "$build/test/shots"
    prepare_test_prefix "$run"
    WINEPREFIX=$run/prefix wine reg delete 'HKCU\Software\Wine\Explorer' /v Desktop /f >/dev/null 2>&1
    set_wine_dpi "$run/prefix" 144
    WINEPREFIX=$run/prefix wineserver -k 2>/dev/null || true
    start_xvfb "$run/xvfb" 1536x1152
    start_screenshot_service "$build/test/shots"
    WINEPREFIX=$run/prefix VESK_E2E_NO_DISPLAY_MODES=1 VESK_TEST_RUN=$(windows_path "$run") \
        VESK_SHOTS=$(windows_path "$build/test/shots") \
        timeout 300 wine "$WIN_BUILD/tests/e2e/intro_e2e_test.exe" --gtest_filter='IntroWithoutModes.*' \
        --gtest_output="xml:$(windows_path "$xml")" >"$run/intro_windowed.log" 2>&1 </dev/null || true
    WINEPREFIX=$run/prefix wineserver -k 2>/dev/null || true
    stop_screenshot_service
    stop_xvfb
    grep -E '^\[ +(OK|FAILED|SKIPPED) +\]|Failure|Expected|Which is|at [0-9]' "$run/intro_windowed.log" | head -n 40 || true
    # Failing cases are counted from the XML; only a run that left none fails the step.
    [ -s "$xml" ]
}
intro_windowed "$1" "$2"
