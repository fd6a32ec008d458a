#!/usr/bin/env bash
# Assembles the sample product medium in BUILD/medium from the Windows build (build/win)
# and the host tools (build/host). Each step in steps/ adds one part of the medium and
# skips work whose output is newer than its inputs.
set -euo pipefail
BUILD=$(cd "$1" && pwd)
ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
MEDIUM=$BUILD/medium
WIN=$BUILD/win
HOST=$BUILD/host
mkdir -p "$MEDIUM"

# Copies a file when the copy is missing or older.
install_file() { # source destination
    if [ ! -e "$2" ] || [ "$1" -nt "$2" ]; then
        mkdir -p "$(dirname "$2")"
        cp "$1" "$2"
    fi
}

for step in "$ROOT"/tools/medium/steps/*.sh; do
    source "$step"
done

# A launcher run from this folder as drive E: writes its settings file into its current
# directory, the medium's root, which a real CD would refuse: it is not part of the medium.
rm -f "$MEDIUM/VeskMarlit.ini"
