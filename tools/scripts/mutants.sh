# ./vesk mutants: the fault sample of tests/faults.txt, each fault made alone in a scratch copy
# of the tree (build/mutants/tree), the tests that guard it built there and run, the copy put
# back. The copy's build folders (build/mutants/tree/build) stay between faults and runs, so
# that a fault costs an incremental build; they lie in the copy as build/ lies in the tree,
# so that the compiler cache serves both. One line a fault, and the counts at the end.

MUT=
FAULT_NAME=() FAULT_FILE=() FAULT_WAS=() FAULT_NOW=() FAULT_TESTS=()

read_faults() { # file
    local line key text n=-1 last=
    while IFS= read -r line || [ -n "$line" ]; do
        [[ $line == '#'* ]] && continue
        if [ -z "$line" ]; then
            last=
            continue
        fi
        key=${line%% *} text=${line:7}
        case $key in
        fault) n=$((n + 1)); FAULT_NAME[n]=$text FAULT_WAS[n]= FAULT_NOW[n]= FAULT_TESTS[n]= ;;
        in) FAULT_FILE[n]=$text ;;
        tests) FAULT_TESTS[n]=$text ;;
        was | now)
            local -n texts=FAULT_${key^^}
            # Lines of one key in a row are one text.
            if [ "$last" = "$key" ]; then texts[n]+=$'\n'$text; else texts[n]=$text; fi
            ;;
        *) say "$1: a line without a keyword: $line"; return 1 ;;
        esac
        last=$key
    done <"$1"
}

# Brings the scratch copy up to the working tree (or to the checkout VESK_MUTANTS_FROM names,
# to try the faults on another state of the tests): files whose content differs are copied
# (their time is now, so that they are built again), files gone are removed.
sync_scratch_tree() {
    local tree=$MUT/tree from=${VESK_MUTANTS_FROM:-$ROOT} f
    mkdir -p "$tree"
    (cd "$from" && git ls-files -co --exclude-standard) | sort >"$MUT/files.new"
    while IFS= read -r f; do
        [ -f "$from/$f" ] || continue
        if ! cmp -s "$from/$f" "$tree/$f"; then
            mkdir -p "$(dirname "$tree/$f")"
            cp "$from/$f" "$tree/$f"
        fi
    done <"$MUT/files.new"
    if [ -f "$MUT/files" ]; then
        comm -23 "$MUT/files" "$MUT/files.new" | while IFS= read -r f; do rm -f "$tree/$f"; done
    fi
    mv "$MUT/files.new" "$MUT/files"
}

# Replaces the fault's text in its file of the scratch copy; the original goes to
# $MUT/original, its path to $MUT/original.path. Says why when the text is not there exactly once.
apply_fault() { # index
    local i=$1 path=$MUT/tree/${FAULT_FILE[$1]} content before after
    [ -f "$path" ] || { echo "no file ${FAULT_FILE[i]}"; return 1; }
    content=$(cat "$path"; printf x)
    content=${content%x}
    [[ $content == *"${FAULT_WAS[i]}"* ]] || { echo "its text is no longer in ${FAULT_FILE[i]}"; return 1; }
    before=${content%%"${FAULT_WAS[i]}"*}
    after=${content#*"${FAULT_WAS[i]}"}
    [[ $after == *"${FAULT_WAS[i]}"* ]] && { echo "its text stands more than once in ${FAULT_FILE[i]}"; return 1; }
    cp "$path" "$MUT/original"
    echo "$path" >"$MUT/original.path"
    printf '%s' "$before${FAULT_NOW[i]}$after" >"$path"
}

# Puts back the file that the last fault changed, if any.
restore_fault() {
    [ -f "$MUT/original.path" ] || return 0
    cp "$MUT/original" "$(cat "$MUT/original.path")"
    rm -f "$MUT/original.path"
}

NATIVE_TESTS=
is_native_test() { grep -qx "$1" <<<"$NATIVE_TESTS"; }

# Builds the test programs that the given tests run, in the copy's build folders; for a
# Windows test also Vesk.exe and the film library, which then replace the ones on the copy
# of the medium that the test prefix gets.
build_for_tests() { # test...
    local native=() windows=() t
    for t in "$@"; do
        t=${t%%:*}
        if is_native_test "$t"; then native+=("$t"); else windows+=("$t"); fi
    done
    local ROOT=$MUT/tree
    if [ ${#native[@]} -gt 0 ]; then
        cmake --build "$MUT/tree/build/native" -j "$JOBS" --target "${native[@]}" >"$MUT/build.log" 2>&1 || return 1
    fi
    if [ ${#windows[@]} -gt 0 ]; then
        cmake --build "$MUT/tree/build/win" -j "$JOBS" --target Vesk smackw32 "${windows[@]}" >"$MUT/build.log" 2>&1 || return 1
        cp "$MUT/tree/build/win/Vesk.exe" "$MUT/medium/Vesk.exe"
        cp "$MUT/tree/build/win/smacker/smackw32.dll" "$MUT/medium/smackw32.dll"
    fi
}

# Runs one test (NAME or NAME:FILTER) and prints nothing when it passes; otherwise its name,
# with "(sanitizer)" when a sanitizer reported before the test's own checks failed.
run_guard() { # test
    local name=${1%%:*} filter= dir results log status=0
    [[ $1 == *:* ]] && filter=${1#*:}
    log=$MUT/logs/$name.log
    mkdir -p "$MUT/logs"
    if is_native_test "$name"; then
        dir=$MUT/tree/build/native results=$MUT/results/native
    else
        dir=$MUT/tree/build/win results=$MUT/results/windows
        prepare_test_prefix "$MUT/run" >/dev/null 2>&1
    fi
    rm -f "$results/$name.xml"
    (cd "$dir" && GTEST_FILTER=${filter:-*} WINEPREFIX=$MUT/run/prefix VESK_SHOTS=$(windows_path "$MUT/run/shots") \
        VESK_TEST_RUN=$(windows_path "$MUT/run") ctest --timeout "${VESK_MUTANT_TIMEOUT:-300}" --output-on-failure \
        -R "^$name\$") >"$log" 2>&1 || status=1
    [ -d "$MUT/run/prefix" ] && { WINEPREFIX=$MUT/run/prefix wineserver -k 2>/dev/null || true; }
    if [ $status -eq 0 ] && [ -f "$results/$name.xml" ] && ! grep -q '<failure' "$results/$name.xml"; then
        return 0
    fi
    if grep -q 'Sanitizer\|runtime error:' "$log" && ! grep -q 'Failure$\|<failure' "$log" "$results/$name.xml" 2>/dev/null; then
        echo "$1 (sanitizer)"
    else
        echo "$1"
    fi
}

cmd_mutants() { # [--x64] [REGEX]
    local x64=() regex=.
    if [ "${1:-}" = --x64 ]; then
        x64=(--x64)
        shift
    fi
    [ -n "${1:-}" ] && regex=$1
    choose_windows_build "${x64[@]}"
    cmd_build
    MUT=$BUILD/mutants
    FAULT_NAME=()
    read_faults "$ROOT/tests/faults.txt"
    local i chosen=() tests=() t
    for i in "${!FAULT_NAME[@]}"; do
        grep -qE -- "$regex" <<<"${FAULT_NAME[i]}" || continue
        chosen+=("$i")
        for t in ${FAULT_TESTS[i]}; do
            [[ " ${tests[*]} " == *" $t "* ]] || tests+=("$t")
        done
    done
    [ ${#chosen[@]} -gt 0 ] || { say "no fault matches $regex"; return 1; }

    say "scratch copy of ${VESK_MUTANTS_FROM:-the tree}: $MUT/tree"
    restore_fault
    sync_scratch_tree
    local arch=i686
    [ "$WIN_BUILD" = "$BUILD/win64" ] && arch=x86_64
    (
        ROOT=$MUT/tree
        configure_and_build "$MUT/tree/build/native" -DCMAKE_BUILD_TYPE=Debug -DVESK_SANITIZE=ON -DVESK_TOOLS=OFF \
            -DVESK_TEST_RESULTS="$MUT/results/native" --target help >/dev/null
        configure_and_build "$MUT/tree/build/win" -DCMAKE_BUILD_TYPE=Release -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/mingw-$arch.cmake" \
            -DVESK_AUDIO_LIBS="$BUILD/deps/$arch" -DVESK_GTEST_SOURCE=/usr/src/googletest \
            -DVESK_TEST_RESULTS="$MUT/results/windows" --target help >/dev/null
    )
    NATIVE_TESTS=$(cd "$MUT/tree/build/native" && ctest -N | sed -n 's/^ *Test *#[0-9]*: //p')
    rm -rf "$MUT/medium"
    cp -a "$MEDIUM" "$MUT/medium"
    local MEDIUM=$MUT/medium
    start_xvfb "$MUT/xvfb"
    start_screenshot_service "$MUT/run/shots"
    trap 'restore_fault; [ -d "$MUT/run/prefix" ] && WINEPREFIX=$MUT/run/prefix wineserver -k 2>/dev/null; stop_screenshot_service; stop_xvfb' EXIT

    # Without a fault every guarding test must pass, or what it catches says nothing.
    say "the guarding tests without a fault"
    local failing=() caught=0 missed=0 stale=0 unsure=0 by why sure
    build_for_tests "${tests[@]}" || { say "the scratch copy does not build; see $MUT/build.log"; return 1; }
    for t in "${tests[@]}"; do
        [ -n "$(run_guard "$t")" ] && failing+=("$t") && echo "fails without a fault: $t (see $MUT/logs)"
    done

    say "${#chosen[@]} faults"
    for i in "${chosen[@]}"; do
        if ! why=$(apply_fault "$i"); then
            printf 'STALE   %s: %s\n' "${FAULT_NAME[i]}" "$why"
            stale=$((stale + 1))
            continue
        fi
        by=()
        if ! build_for_tests ${FAULT_TESTS[i]}; then
            by=("the build")
        else
            for t in ${FAULT_TESTS[i]}; do
                t=$(run_guard "$t")
                [ -n "$t" ] && by+=("$t")
            done
        fi
        restore_fault
        sure=0
        for t in "${by[@]}"; do
            [[ " ${failing[*]} " == *" ${t%% *} "* ]] || sure=1
        done
        if [ ${#by[@]} -eq 0 ]; then
            printf 'missed  %s\n' "${FAULT_NAME[i]}"
            missed=$((missed + 1))
        elif [ $sure -eq 0 ]; then
            printf 'unsure  %s: only by %s, which fail without it too\n' "${FAULT_NAME[i]}" "${by[*]}"
            unsure=$((unsure + 1))
        else
            printf 'caught  %s: by %s\n' "${FAULT_NAME[i]}" "${by[*]}"
            caught=$((caught + 1))
        fi
    done
    # A file put back is newer than what was built from the fault: the next build makes it anew.
    trap - EXIT
    [ -d "$MUT/run/prefix" ] && { WINEPREFIX=$MUT/run/prefix wineserver -k 2>/dev/null || true; }
    stop_screenshot_service
    stop_xvfb
    echo "${#chosen[@]} faults: $caught caught, $missed missed, $unsure unsure, $stale stale"
    [ $((missed + unsure + stale)) -eq 0 ]
}
