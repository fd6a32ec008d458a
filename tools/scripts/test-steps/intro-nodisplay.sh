# The intro on a display that cannot be opened: Vesk.exe in a prefix of its own without
# Wine's virtual desktop, straight on the X server, where DirectDraw cannot change the mode.
# The launcher must show nothing, leave the mode alone and stay open.
# $1: build folder, $2: results folder.
intro_nodisplay() {
    local build=$1 results=$2 run=$1/test/intro-nodisplay xml
    xml=$results/intro_nodisplay.xml
    rm -rf "$run" "$xml"
    mkdir -p "$run"
    prepare_test_prefix "$run"
    WINEPREFIX=$run/prefix wine reg delete 'HKCU\Software\Wine\Explorer' /v Desktop /f >/dev/null 2>&1
    WINEPREFIX=$run/prefix wineserver -k 2>/dev/null || true
    start_xvfb "$run/xvfb"
    WINEPREFIX=$run/prefix VESK_E2E_NO_DISPLAY_MODES=1 VESK_TEST_RUN=$(windows_path "$run") \
        timeout 300 wine "$WIN_BUILD/tests/e2e/intro_e2e_test.exe" --gtest_filter='Intro.ADisplayThatCannotBeOpened*' \
        --gtest_output="xml:$(windows_path "$xml")" >"$run/intro_nodisplay.log" 2>&1 </dev/null || true
    WINEPREFIX=$run/prefix wineserver -k 2>/dev/null || true
    stop_xvfb
    grep -E '^\[ +(OK|FAILED|SKIPPED) +\]' "$run/intro_nodisplay.log" || true
    # Failing cases are counted from the XML; only a run that left none fails the step.
    [ -s "$xml" ]
}
intro_nodisplay "$1" "$2"
