# ./vesk run: the sample medium as CD-ROM drive E: of the project's own Wine prefix.

run_prefix() {
    local p=$BUILD/prefix$PREFIX_SUFFIX
    if [ ! -f "$p/.vesk-ready" ]; then
        new_prefix "$p"
    fi
    mount_drive "$p" e "$MEDIUM" cdrom
    WINEPREFIX=$p wineserver -k 2>/dev/null || true
    echo "$p"
}

cmd_run() { # [--x64]
    choose_windows_build "$@"
    cmd_build
    if [ -n "${DISPLAY:-}" ]; then
        local p
        p=$(run_prefix)
        say "starting E:\\Vesk.exe on $DISPLAY"
        cd "$MEDIUM"
        WINEPREFIX=$p wine start /wait /d 'E:\' 'E:\Vesk.exe'
        WINEPREFIX=$p wineserver -w
        return 0
    fi

    # Headless: the tour starts from a fresh prefix and a fresh copy of the medium every
    # time, so it always begins with nothing installed.
    local tour=$BUILD/tour
    say "no DISPLAY: a scripted tour under Xvfb"
    rm -rf "$tour"
    mkdir -p "$tour"
    new_prefix "$tour/prefix"
    cp -a "$MEDIUM" "$tour/cd"
    mount_drive "$tour/prefix" e "$tour/cd" cdrom
    WINEPREFIX=$tour/prefix wineserver -k 2>/dev/null || true
    start_xvfb "$tour/xvfb"
    start_screenshot_service "$tour"
    RUN_PREFIX=$tour/prefix
    trap 'WINEPREFIX=$RUN_PREFIX wineserver -k 2>/dev/null; stop_screenshot_service; stop_xvfb' EXIT
    local status=0
    WINEPREFIX=$tour/prefix VESK_SHOTS=$(windows_path "$tour") wine "$WIN_BUILD/tools/tour/tour.exe" || status=$?
    WINEPREFIX=$tour/prefix wineserver -k 2>/dev/null || true
    stop_screenshot_service
    stop_xvfb
    trap - EXIT
    rm -rf "$tour/xvfb" "$tour/prefix" "$tour/cd"
    echo "Screenshots of the tour: $tour"
    return $status
}
