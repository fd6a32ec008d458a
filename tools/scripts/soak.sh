# ./vesk soak: random input to the whole launcher under Wine (tools/soak), for as long as
# asked, in rounds of at most five minutes, each from a fresh prefix and a fresh copy of the
# sample medium, with and without Wine's virtual desktop in turn. ./vesk test runs two short
# rounds as a test step (test-steps/soak.sh).

# One round: soak.exe in a prefix of its own under Xvfb. Its report goes to the terminal
# and to FOLDER/soak.log, Wine's output to FOLDER/wine.log, which soak.exe reads as it goes
# for crashes. Returns soak.exe's status: 0 when it found no fault.
soak_round() { # folder seed seconds desktop(yes|no) [actions to replay]
    local run=$1 seed=$2 seconds=$3 desktop=$4 replay=${5:-} args limit status=0
    rm -rf "$run"
    mkdir -p "$run"
    prepare_test_prefix "$run"
    args=(--seed "$seed" --seconds "$seconds")
    if [ "$desktop" = no ]; then
        WINEPREFIX=$run/prefix wine reg delete 'HKCU\Software\Wine\Explorer' /v Desktop /f >/dev/null 2>&1
        WINEPREFIX=$run/prefix wineserver -k 2>/dev/null || true
        args+=(--no-desktop)
    fi
    limit=$((seconds + 300))
    if [ -n "$replay" ]; then
        args+=(--replay "$replay")
        limit=3600
    fi
    start_xvfb "$run/xvfb"
    SOAK_PREFIX=$run/prefix
    trap 'WINEPREFIX=$SOAK_PREFIX wineserver -k 2>/dev/null; stop_xvfb' EXIT
    : >"$run/wine.log"
    : >"$run/soak.log"
    # Not a pipe, which a program left running would hold open: the report goes to its file,
    # and is shown from there as it grows.
    WINEPREFIX=$run/prefix VESK_SOAK_WINE_LOG=$(windows_path "$run/wine.log") \
        timeout "$limit" wine "$WIN_BUILD/tools/soak/soak.exe" "${args[@]}" </dev/null >"$run/soak.log" \
        2>>"$run/wine.log" &
    local soak=$!
    tail -n +1 -f --pid="$soak" "$run/soak.log" &
    local show=$!
    wait "$soak" || status=$?
    wait "$show" || true
    WINEPREFIX=$run/prefix wineserver -k 2>/dev/null || true
    if [ "$status" = 124 ]; then
        echo "FAULT soak.exe did not end within $limit s (seed $seed)" | tee -a "$run/soak.log"
    fi
    stop_xvfb
    trap - EXIT
    rm -rf "$run/prefix" "$run/cd" "$run/cd-empty" "$run/fixed"
    return "$status"
}

cmd_soak() { # [--x64] [--minutes M] [--seed S] [--desktop|--no-desktop] [--replay "ACTIONS"]
    local x64=() minutes=10 seed=$((RANDOM * 32768 + RANDOM)) only= replay= ran=0 failed=0
    while [ $# -gt 0 ]; do
        case $1 in
        --x64) x64=(--x64) ;;
        --minutes) minutes=$2; shift ;;
        --seed) seed=$2; shift ;;
        --desktop) only=yes ;;
        --no-desktop) only=no ;;
        --replay) replay=$2; shift ;;
        *) say "usage: ./vesk soak [--x64] [--minutes M] [--seed S] [--desktop|--no-desktop] [--replay \"ACTIONS\"]"
           return 2 ;;
        esac
        shift
    done
    choose_windows_build "${x64[@]}"
    cmd_build
    local soak=$BUILD/soak
    mkdir -p "$soak"
    if [ -n "$replay" ]; then
        say "replaying $(wc -w <<<"$replay") actions, ${only:-yes} Wine's virtual desktop"
        soak_round "$soak/replay" "$seed" 0 "${only:-yes}" "$replay"
        return
    fi
    local left=$((minutes * 60)) round=0 desktop seconds
    while [ "$left" -gt 0 ]; do
        seconds=$((left < 300 ? left : 300))
        desktop=${only:-$([ $((round % 2)) -eq 0 ] && echo yes || echo no)}
        say "round $((round + 1)): seed $((seed + round)), $seconds s, $desktop Wine's virtual desktop"
        soak_round "$soak/round-$((round + 1))" $((seed + round)) "$seconds" "$desktop" || failed=$((failed + 1))
        ran=$((ran + seconds))
        left=$((left - seconds))
        round=$((round + 1))
    done
    say "soaked $((ran / 60)) min $((ran % 60)) s in $round rounds from seed $seed: $failed with faults (logs in $soak)"
    [ "$failed" -eq 0 ]
}
