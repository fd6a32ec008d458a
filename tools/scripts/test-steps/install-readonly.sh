# The installation from a medium that nobody can write, end to end. Root (as whom Wine runs
# here) writes past plain file modes, so the copy of the sample medium is bound read-only
# onto itself (or, where bind mounts are not allowed, made immutable) before it becomes
# drive E: of a prefix of this step's own; install_e2e_test, whose walk for a read-only
# medium runs only there, then installs from it, starts the installed copy and the medium's
# launcher again and removes the installation as the system's list of installed software would. The medium is made writable again on
# every way out, and a run that was killed is tidied up by the next one.
# $1: build folder, $2: results folder.

INSTALL_RO_RUN=
INSTALL_RO_HOW=

# Undoes what install_readonly_protect did; safe to call more than once.
install_readonly_release() {
    local cd=$INSTALL_RO_RUN/cd
    [ -n "$INSTALL_RO_RUN" ] || return 0
    if [ -e "$INSTALL_RO_RUN/prefix" ]; then
        WINEPREFIX=$INSTALL_RO_RUN/prefix wineserver -k 2>/dev/null || true
    fi
    if mountpoint -q "$cd" 2>/dev/null; then
        as_root umount "$cd" 2>/dev/null || as_root umount -l "$cd" 2>/dev/null || true
    fi
    if [ -d "$cd" ]; then
        as_root chattr -R -i "$cd" 2>/dev/null || true
    fi
    INSTALL_RO_HOW=
}

install_readonly_protect() { # folder
    if as_root mount --bind "$1" "$1" 2>/dev/null; then
        if as_root mount -o remount,bind,ro "$1" 2>/dev/null; then
            INSTALL_RO_HOW=bind
            return 0
        fi
        as_root umount "$1" 2>/dev/null || true
    fi
    if as_root chattr -R +i "$1" 2>/dev/null; then
        INSTALL_RO_HOW=immutable
        return 0
    fi
    return 1
}

install_readonly() {
    local build=$1 results=$2 name=install_readonly_e2e
    local xml=$results/$name.xml log=$results/$name.log program=$WIN_BUILD/tests/e2e/install_e2e_test.exe
    rm -f "$xml"
    [ -f "$program" ] || { echo "$program is missing"; return 1; }
    INSTALL_RO_RUN=$build/test/install-readonly
    install_readonly_release
    rm -rf "$INSTALL_RO_RUN"
    mkdir -p "$INSTALL_RO_RUN"
    trap 'install_readonly_release; stop_xvfb' EXIT
    trap 'exit 130' INT TERM
    prepare_test_prefix "$INSTALL_RO_RUN"
    if ! install_readonly_protect "$INSTALL_RO_RUN/cd"; then
        echo "the medium could not be made read-only (neither a read-only bind mount nor chattr +i)"
        return 1
    fi
    echo "medium read-only by $INSTALL_RO_HOW"
    start_xvfb "$INSTALL_RO_RUN/xvfb"
    WINEPREFIX=$INSTALL_RO_RUN/prefix timeout 600 wine "$program" --gtest_filter='*ReadOnlyMedium*' --gtest_output="xml:$(windows_path "$xml")" \
        >"$log" 2>&1 || true
    install_readonly_release
    stop_xvfb
    trap - EXIT INT TERM
    rm -rf "$INSTALL_RO_RUN"
    tail -n 3 "$log"
    # Failing cases are counted from the XML; only a run that left none fails the step.
    [ -s "$xml" ]
}
install_readonly "$1" "$2"
