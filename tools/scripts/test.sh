# ./vesk test: every test, native and under Wine, and one summary line at the end.

RESULTS=

# Prepares a fresh Wine prefix for one run of the Windows tests:
#   D:  CD-ROM drive without a disc (an empty folder)
#   E:  CD-ROM drive holding a copy of the sample medium (tests may change the copy)
#   F:  fixed drive whose root holds a decoy "Vesk.exe": never to be taken for the medium
# The prefix is a copy of one made once with these drives, whose links lead to the folders
# beside the prefix: no Wine program runs to set it up.
prepare_test_prefix() { # run folder
    local run=$1
    ensure_test_template
    rm -rf "$run/prefix" "$run/cd"
    cp -a "$TEMPLATE-test" "$run/prefix"
    mkdir -p "$run/cd-empty" "$run/fixed" "$run/shots"
    cp -a "$MEDIUM" "$run/cd"
    cp "$MEDIUM/Vesk.exe" "$run/fixed/Vesk.exe"
}

# Made before steps run side by side, which would otherwise make it at the same time.
ensure_test_template() {
    local t=$TEMPLATE-test
    if [ ! -f "$t/.vesk-ready" ] || [ "$TEMPLATE/.vesk-ready" -nt "$t/.vesk-ready" ]; then
        ensure_template_prefix
        say "test prefix (once)"
        rm -rf "$t"
        cp -a "$TEMPLATE" "$t"
        mount_drive "$t" d ../../cd-empty cdrom
        mount_drive "$t" e ../../cd cdrom
        mount_drive "$t" f ../../fixed hd
        WINEPREFIX=$t wineserver -w
        touch "$t/.vesk-ready"
    fi
}

windows_path() { # unix path -> the same through drive Z:
    local p=${1//\//\\}
    printf 'Z:%s' "$p"
}

# Counts gtest results from the XML files of one folder: prints "passed failed skipped".
count_results() { # folder
    local passed=0 failed=0 skipped=0 f head tests failures errors disabled skips
    for f in "$1"/*.xml; do
        [ -e "$f" ] || continue
        head=$(grep -m1 '<testsuites' "$f" || true)
        tests=$(sed -n 's/.* tests="\([0-9]*\)".*/\1/p' <<<"$head")
        failures=$(sed -n 's/.* failures="\([0-9]*\)".*/\1/p' <<<"$head")
        errors=$(sed -n 's/.* errors="\([0-9]*\)".*/\1/p' <<<"$head")
        disabled=$(sed -n 's/.* disabled="\([0-9]*\)".*/\1/p' <<<"$head")
        skips=$(grep -c '<skipped' "$f" || true)
        passed=$((passed + ${tests:-0} - ${failures:-0} - ${errors:-0} - ${disabled:-0} - ${skips:-0}))
        failed=$((failed + ${failures:-0} + ${errors:-0}))
        skipped=$((skipped + ${skips:-0}))
    done
    echo "$passed $failed $skipped"
}

# Writes the results of a test step as a gtest-style XML file, which the summary counts. The
# cases come on standard input, one a line: NAME|SECONDS|FAILURE, with FAILURE empty for a
# case that passed.
write_step_results() { # file suite
    local file=$1 suite=$2 cases="" tests=0 failures=0 name time message
    while IFS='|' read -r name time message; do
        tests=$((tests + 1))
        if [ -z "$message" ]; then
            cases+="    <testcase name=\"$name\" time=\"$time\"/>"$'\n'
            continue
        fi
        failures=$((failures + 1))
        message=${message//&/&amp;}
        message=${message//</&lt;}
        message=${message//\"/&quot;}
        cases+="    <testcase name=\"$name\" time=\"$time\"><failure message=\"$message\"/></testcase>"$'\n'
    done
    cat >"$file" <<XML
<?xml version="1.0" encoding="UTF-8"?>
<testsuites tests="$tests" failures="$failures" disabled="0" errors="0" name="AllTests">
  <testsuite name="$suite" tests="$tests" failures="$failures" disabled="0" errors="0">
$cases  </testsuite>
</testsuites>
XML
}

# Runs ctest in a build folder. A test program counts as one failed test when it wrote no
# results, whatever its exit status (under Wine a program that crashed may still end with
# 0), and when it failed without reporting a failing case of its own (a crash, a time-out).
CRASHED=0
run_ctest() { # build dir, results dir, ctest args...
    local dir=$1 results=$2 log name status
    shift 2
    log=$(mktemp)
    (cd "$dir" && ctest --timeout 600 --output-on-failure "$@") | tee "$log" || true
    while read -r name status; do
        if [ ! -f "$results/$name.xml" ]; then
            echo "$name wrote no results" >&2
            CRASHED=$((CRASHED + 1))
        elif [ "$status" != Passed ] && ! grep -q '<failure' "$results/$name.xml"; then
            CRASHED=$((CRASHED + 1))
        fi
    done < <(sed -nE 's/^ *[0-9]+\/[0-9]+ +Test +#[0-9]+: ([^ ]+) \.*(\*\*\*)? *([A-Za-z]+).*/\1 \3/p' "$log")
    rm -f "$log"
}

run_windows_tests() {
    local run=$BUILD/test/run
    say "Windows tests under Wine (prefix $run/prefix)"
    rm -rf "$run"
    mkdir -p "$run"
    prepare_test_prefix "$run"
    start_xvfb "$run/xvfb"
    start_screenshot_service "$run/shots"
    RUN_PREFIX=$run/prefix
    trap 'WINEPREFIX=$RUN_PREFIX wineserver -k 2>/dev/null; stop_screenshot_service; stop_xvfb' EXIT
    WINEPREFIX=$run/prefix VESK_SHOTS=$(windows_path "$run/shots") VESK_TEST_RUN=$(windows_path "$run") \
        run_ctest "$WIN_BUILD" "$BUILD/test-results/windows" -L 'windows|e2e' "$@"
    WINEPREFIX=$run/prefix wineserver -k 2>/dev/null || true
    stop_screenshot_service
    stop_xvfb
    trap - EXIT
}

# Runs a libFuzzer target of the fuzzing build (build/fuzz) for a fixed time over its corpus
# in build/NAME, which stays between runs, and records one case: passed when libFuzzer
# found nothing. Its log goes to the results folder, what it found to build/NAME/artifacts.
# VESK_FUZZ_SECONDS gives every fuzzer another time (a longer hunt than the suite's).
run_fuzzer() { # build results name target-below-build/fuzz suite case seconds max-len [libFuzzer options]
    local build=$1 results=$2 name=$3 target=$4 suite=$5 case=$6 seconds=$7 max_len=$8
    shift 8
    local dir=$build/$name file=${name//-/_} status=0 start=$SECONDS failure=""
    seconds=${VESK_FUZZ_SECONDS:-$seconds}
    mkdir -p "$dir/corpus" "$dir/artifacts"
    "$build/fuzz/$target" -max_total_time="$seconds" -max_len="$max_len" -timeout=20 -rss_limit_mb=2048 "$@" \
        -artifact_prefix="$dir/artifacts/" "$dir/corpus" >"$results/$file.log" 2>&1 || status=$?
    tail -n 2 "$results/$file.log"
    [ $status -eq 0 ] || failure="libFuzzer exited with $status; see $file.log and $dir/artifacts"
    echo "$case|$((SECONDS - start))|$failure" | write_step_results "$results/$file.xml" "$suite"
}

# With a regular expression, only the tests whose names match run, and the extra steps are
# left out: for quick rounds while working on one area. --x64 runs the x86-64 build.
cmd_test() { # [--x64] [REGEX]
    local filter=() x64=()
    if [ "${1:-}" = --x64 ]; then
        x64=(--x64)
        shift
    fi
    [ -n "${1:-}" ] && filter=(-R "$1")
    BUILD_START=$SECONDS
    choose_windows_build "${x64[@]}"
    ensure_deps
    build_host
    build_native
    build_windows
    build_medium
    [ ${#filter[@]} -eq 0 ] && build_fuzz
    rm -rf "$BUILD/test-results"
    mkdir -p "$BUILD/test-results/native" "$BUILD/test-results/windows" "$BUILD/test-results/other"
    CRASHED=0

    local start=$SECONDS
    TIMES="build $((SECONDS - BUILD_START))s"
    if [ ${#filter[@]} -eq 0 ]; then
        # Two lanes for the two cores. Beside the native tests: the cross-checks (the film
        # cross-check makes the film fuzzer's seeds), then the film and text fuzzers; after
        # the native tests, the music fuzzer. All are done before Wine starts, whose tests
        # keep time.
        start_steps_beside '@(*-crosscheck|smacker-fuzz|crawl-fuzz)' native
    fi
    say "native tests"
    run_ctest "$BUILD/native" "$BUILD/test-results/native" -L native "${filter[@]}"
    TIMES+=", native $((SECONDS - start))s"
    if [ -n "$BESIDE" ]; then
        local before=$TIMES after
        run_test_steps 'music-fuzz'
        after=${TIMES#"$before"}
        TIMES=$before
        end_steps_beside "the native tests"
        TIMES+="$after (after them)"
        # The steps under Wine, each with a prefix and an X display of its own, beside the
        # Windows tests: they wait on films and windows far more than they compute.
        ensure_test_template
        start_steps_beside '*' wine '*-fuzz|*-crosscheck'
    fi
    start=$SECONDS
    run_windows_tests "${filter[@]}"
    TIMES+=", Windows tests $((SECONDS - start))s"
    [ -n "$BESIDE" ] && end_steps_beside "the Windows tests"

    local passed failed skipped n_pass n_fail n_skip w_pass w_fail w_skip o_pass o_fail o_skip
    read -r n_pass n_fail n_skip < <(count_results "$BUILD/test-results/native")
    read -r w_pass w_fail w_skip < <(count_results "$BUILD/test-results/windows")
    read -r o_pass o_fail o_skip < <(count_results "$BUILD/test-results/other")
    passed=$((n_pass + w_pass + o_pass))
    failed=$((n_fail + w_fail + o_fail + CRASHED))
    skipped=$((n_skip + w_skip + o_skip))
    echo "native: $n_pass passed, $n_fail failed, $n_skip skipped;" \
        "Windows: $w_pass passed, $w_fail failed, $w_skip skipped;" \
        "other: $o_pass passed, $o_fail failed, $o_skip skipped; programs that ended without results: $CRASHED"
    echo "times: $TIMES, in all $((SECONDS - BUILD_START))s"
    echo "Windows build tested: $FLAVOUR"
    echo "$passed passed, $failed failed, $skipped skipped"
    [ "$failed" -eq 0 ] && [ "$passed" -gt 0 ]
}

# Further test steps of the subsystems (fuzzing, cross-checks against other tools) hook in
# here; each writes a gtest-style XML file into build/test-results/other. Runs the steps whose
# names match the first pattern and not the second, and adds each one's time to TIMES.
TIMES=
run_test_steps() { # pattern [exclude-pattern]
    local step name start
    for step in "$ROOT"/tools/scripts/test-steps/*.sh; do
        [ -e "$step" ] || continue
        name=$(basename "$step" .sh)
        [[ $name == $1 ]] || continue
        [ -n "${2:-}" ] && [[ $name == @($2) ]] && continue
        start=$SECONDS
        say "$name"
        (set -- "$BUILD" "$BUILD/test-results/other"; source "$step") || CRASHED=$((CRASHED + 1))
        TIMES+=", $name $((SECONDS - start))s"
    done
}

# Runs test steps (as run_test_steps) in the background, their output into a log of the
# results folder; BESIDE holds the job and the log's stem for end_steps_beside.
BESIDE=
start_steps_beside() { # pattern lane [exclude-pattern]
    local lane=$BUILD/test-results/other/steps-$2
    (
        CRASHED=0 TIMES=
        run_test_steps "$1" "${3:-}"
        echo "$CRASHED" >"$lane.crashed"
        echo "$TIMES" >"$lane.times"
    ) >"$lane.log" 2>&1 &
    BESIDE="$! $lane"
    # Interrupted, the run takes the steps with it (a background job ignores Ctrl+C).
    trap 'stop_steps_beside; exit 130' INT TERM
}

kill_tree() { # pid
    local child
    for child in $(pgrep -P "$1"); do kill_tree "$child"; done
    kill -TERM "$1" 2>/dev/null || true
}

stop_steps_beside() {
    [ -n "$BESIDE" ] && kill_tree "${BESIDE%% *}"
    BESIDE=
}

# Waits for the steps that start_steps_beside started, shows their output and adds their
# crashes and times.
end_steps_beside() { # what they ran beside
    local job lane crashed
    read -r job lane <<<"$BESIDE"
    wait "$job" || true
    BESIDE=
    trap - INT TERM
    cat "$lane.log"
    read -r crashed <"$lane.crashed" || crashed=1
    CRASHED=$((CRASHED + crashed))
    TIMES+="$(cat "$lane.times" 2>/dev/null) (beside $1)"
}
