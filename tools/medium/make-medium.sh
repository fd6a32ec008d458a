#!/usr/bin/env bash
# Assembles the sample product medium in BUILD/medium from the Windows build (build/win)
# and the host tools (build/host). Each step in steps/ adds one part of the medium and
# skips work whose output is newer than its inputs. BUILD/medium-x64 is then the same
# medium with the x86-64 build's programs (build/win64) in place of the 32-bit ones, for
# hosts that run no 32-bit code.
set -euo pipefail
BUILD=$(cd "$1" && pwd)
ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
MEDIUM=$BUILD/medium
WIN=$BUILD/win
HOST=$BUILD/host
mkdir -p "$MEDIUM"

PROGRAMS=()

# Copies a file when the copy is missing or older.
install_file() { # source destination
    if [ ! -e "$2" ] || [ "$1" -nt "$2" ]; then
        mkdir -p "$(dirname "$2")"
        cp "$1" "$2"
    fi
}

# A Windows program of the medium: a path below the Windows build, and its place on the
# medium.
install_program() { # path-below-the-build path-below-the-medium
    install_file "$WIN/$1" "$MEDIUM/$2"
    PROGRAMS+=("$1|$2")
}

for step in "$ROOT"/tools/medium/steps/*.sh; do
    source "$step"
done

# A launcher run from this folder as drive E: writes its settings file into its current
# directory, the medium's root, which a real CD would refuse: it is not part of the medium.
rm -f "$MEDIUM/VeskMarlit.ini"

# The x86-64 medium, made anew each time: a copy of the 32-bit one (some 15 MiB), then the
# programs of the x86-64 build in place of the 32-bit ones.
if [ -d "$BUILD/win64" ]; then
    rm -rf "$BUILD/medium-x64.new"
    cp -a "$MEDIUM" "$BUILD/medium-x64.new"
    for program in "${PROGRAMS[@]}"; do
        cp "$BUILD/win64/${program%%|*}" "$BUILD/medium-x64.new/${program#*|}"
    done
    rm -rf "$BUILD/medium-x64"
    mv "$BUILD/medium-x64.new" "$BUILD/medium-x64"
fi
