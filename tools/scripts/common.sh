# Shared by ./vesk: dependencies, builds, the sample medium, Wine prefixes, Xvfb and the
# test run. Sourced, never run on its own; ROOT and BUILD are set by the caller.

PACKAGES=(
    cmake ninja-build g++ pkg-config
    g++-mingw-w64-i686 g++-mingw-w64-x86-64 mingw-w64-tools
    wine wine64 xvfb xauth x11-utils imagemagick
    libgtest-dev libgmock-dev libbenchmark-dev
    clang libclang-rt-14-dev
    libpng-dev libfreetype-dev fonts-dejavu-core fonts-liberation
    ffmpeg libavcodec-dev libavformat-dev libavutil-dev
    libogg-dev libvorbis-dev libflac-dev vorbis-tools flac dpkg-dev debian-archive-keyring
)
# Wine's 32-bit loader, only where the host can run it, with the X extension libraries that
# Wine recommends and --no-install-recommends would leave out. The 64-bit Wine has its own;
# without them the 32-bit one is not what players run: without XInput2, for one, a mode
# change's cursor clipping can recurse inside the X driver until its stack runs out.
PACKAGES_I386=(
    wine32:i386
    libxi6:i386 libxrandr2:i386 libxcursor1:i386 libxinerama1:i386
    libxcomposite1:i386 libxrender1:i386 libxfixes3:i386 libxxf86vm1:i386
)

say() { printf '\033[1m==> %s\033[0m\n' "$*" >&2; }

as_root() {
    if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

ensure_deps() {
    local wanted=("${PACKAGES[@]}") missing=() p
    host_runs_i386 && wanted+=("${PACKAGES_I386[@]}")
    for p in "${wanted[@]}"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    say "installing ${missing[*]}"
    if host_runs_i386 && ! dpkg --print-foreign-architectures | grep -qx i386; then
        as_root dpkg --add-architecture i386
    fi
    as_root apt-get update -q
    as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "${missing[@]}"
}

# --- which Windows build runs -----------------------------------------------------------

# Whether this host runs 32-bit x86 programs. Some kernels have that switched off (i386
# programs end with "Exec format error"), and then Wine's 32-bit loader cannot run either;
# the kernel's version says nothing about it, so the smallest i386 program that exits 0 is
# tried: an ELF header, one program header, and xor ebx,ebx; mov eax,1; int 0x80.
HOST_I386=
host_runs_i386() {
    if [ -z "$HOST_I386" ]; then
        local probe=$BUILD/.i386-probe
        mkdir -p "$BUILD"
        printf '\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00' >"$probe"
        printf '\x02\x00\x03\x00\x01\x00\x00\x00\x54\x80\x04\x08\x34\x00\x00\x00' >>"$probe"
        printf '\x00\x00\x00\x00\x00\x00\x00\x00\x34\x00\x20\x00\x01\x00\x00\x00' >>"$probe"
        printf '\x00\x00\x00\x00\x01\x00\x00\x00\x00\x00\x00\x00\x00\x80\x04\x08' >>"$probe"
        printf '\x00\x80\x04\x08\x5d\x00\x00\x00\x5d\x00\x00\x00\x05\x00\x00\x00' >>"$probe"
        printf '\x00\x10\x00\x00\x31\xdb\xb8\x01\x00\x00\x00\xcd\x80' >>"$probe"
        chmod +x "$probe"
        if "$probe" 2>/dev/null; then HOST_I386=yes; else HOST_I386=no; fi
        rm -f "$probe"
    fi
    [ "$HOST_I386" = yes ]
}

# The product is the 32-bit build (build/win, build/medium), made on every host. The tests
# and ./vesk run use it where the host runs 32-bit programs; elsewhere, or when asked for
# with --x64 or VESK_X64=1, they use the x86-64 build of the same sources (build/win64,
# build/medium-x64) under Wine's 64-bit loader, in 64-bit prefixes of their own.
# Sets WIN_BUILD, MEDIUM, TEMPLATE, PREFIX_SUFFIX and FLAVOUR (the summary's name for it).
choose_windows_build() { # --x64 to ask for the x86-64 build
    local why
    if [ "${1:-}" = --x64 ] || [ -n "${VESK_X64:-}" ]; then
        why="asked for"
    elif host_runs_i386; then
        why=
    else
        why="this host runs no 32-bit code"
    fi
    if [ -z "$why" ]; then
        FLAVOUR="PE32 (i386)"
        WIN_BUILD=$BUILD/win
        MEDIUM=$BUILD/medium
        PREFIX_SUFFIX=
        export WINEARCH=win32
        say "Windows build: PE32 (i386), this host runs 32-bit programs"
    else
        FLAVOUR="x86-64, $why"
        WIN_BUILD=$BUILD/win64
        MEDIUM=$BUILD/medium-x64
        PREFIX_SUFFIX=-x64
        use_wine64
        say "Windows build: x86-64 under Wine's 64-bit loader ($why)"
    fi
    TEMPLATE=$BUILD/wine-template$PREFIX_SUFFIX
}

# Debian's "wine" script takes the 32-bit loader whenever it is installed, even where it
# cannot run. A "wine" first on PATH calls the 64-bit loader instead, for every tool that
# runs "wine" or "wine-stable" (wineboot, CTest's emulator, the test steps).
use_wine64() {
    local bin=$BUILD/wine64-bin name
    mkdir -p "$bin"
    for name in wine wine-stable; do
        printf '#!/bin/sh\nexec /usr/lib/wine/wine64 "$@"\n' >"$bin/$name"
        chmod +x "$bin/$name"
    done
    export PATH=$bin:$PATH WINELOADER=/usr/lib/wine/wine64 WINEARCH=win64
}

# --- the music file's decoders ---------------------------------------------------------

# Ogg Vorbis and FLAC go through Xiph's reference libraries. The native builds link Debian's
# (the -dev packages above); the Windows builds, and the fuzzing build that instruments them,
# link static builds of the very same versions, made here from Debian's source packages.
# Each entry: a source package, and the -dev package whose installed version is built.
AUDIO_SOURCES=(libogg:libogg-dev libvorbis:libvorbis-dev flac:libflac-dev)

# "name=version" of each source package, as installed for the native build.
audio_source_versions() {
    local entry version
    for entry in "${AUDIO_SOURCES[@]}"; do
        version=$(dpkg-query -W -f='${source:Version}' "${entry#*:}")
        printf '%s=%s\n' "${entry%%:*}" "$version"
    done
}

# apt with a configuration of its own under build/deps/apt: Debian's deb-src lines signed by
# Debian's archive key, its own lists and cache; the host's apt configuration is left alone.
# apt checks the signed release files and the hashes of every file it fetches.
private_apt() {
    local apt=$BUILD/deps/apt
    mkdir -p "$apt/lists/partial" "$apt/cache/archives/partial" "$apt/preferences.d"
    local key=/usr/share/keyrings/debian-archive-keyring.gpg
    cat >"$apt/sources.list" <<SOURCES
deb-src [signed-by=$key] http://deb.debian.org/debian bookworm main
deb-src [signed-by=$key] http://deb.debian.org/debian bookworm-updates main
deb-src [signed-by=$key] http://deb.debian.org/debian-security bookworm-security main
SOURCES
    apt-get -q -o Dir::Etc::SourceList="$apt/sources.list" -o Dir::Etc::SourceParts=- \
        -o Dir::State::Lists="$apt/lists" -o Dir::Cache="$apt/cache" \
        -o Dir::Etc::Preferences="$apt/preferences" -o Dir::Etc::PreferencesParts="$apt/preferences.d" "$@"
}

# Unpacks each source package (with Debian's patches applied) into build/deps/src/NAME_VERSION,
# once.
fetch_audio_sources() {
    local src=$BUILD/deps/src wanted missing=() tmp
    for wanted in $(audio_source_versions); do
        [ -d "$src/${wanted/=/_}" ] || missing+=("$wanted")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    say "fetching the sources of ${missing[*]}"
    mkdir -p "$src"
    private_apt update >/dev/null
    tmp=$(mktemp -d "$src/.fetch.XXXXXX")
    # apt run by root downloads as its own unprivileged user, which must be able to write here.
    chmod 755 "$tmp"
    if [ "$(id -u)" -eq 0 ]; then chown _apt "$tmp" 2>/dev/null || true; fi
    (cd "$tmp" && private_apt source "${missing[@]}" >/dev/null)
    for wanted in "${missing[@]}"; do
        # dpkg-source unpacks into NAME-UPSTREAMVERSION.
        mv "$tmp/${wanted%%=*}"-*/ "$src/${wanted/=/_}"
    done
    rm -rf "$tmp"
}

# Builds the static libraries for one target into build/deps/TARGET (include/, lib/), once
# per recipe: i686 and x86_64 with the MinGW-w64 toolchains, fuzz with clang and the fuzzing
# build's instrumentation, so that libFuzzer sees into the decoders and the sanitizers check
# their every access. All are compiled with -fwrapv: the libraries' bit readers shift bytes
# into an int's sign bit on every file, and libFLAC's prediction overflows an int on a
# damaged stream; so both wrap, as the machine does, and the compiler may not optimise on
# the grounds that they cannot happen. UBSan checks everything else there.
build_audio_libs() { # i686 | x86_64 | fuzz
    local target=$1 prefix=$BUILD/deps/$1 work=$BUILD/deps/build-$1 versions
    versions=$(audio_source_versions | tr '\n' ' ')
    local src=$BUILD/deps/src options=(-G Ninja -DCMAKE_BUILD_TYPE=Release -DBUILD_SHARED_LIBS=OFF
        -DBUILD_TESTING=OFF -DCMAKE_INSTALL_PREFIX="$prefix" -DCMAKE_INSTALL_LIBDIR=lib)
    case $target in
    fuzz)
        local flags="-fwrapv -g -O1 -fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=undefined"
        options+=(-DCMAKE_C_COMPILER=clang -DCMAKE_C_FLAGS="$flags -fno-omit-frame-pointer")
        ;;
    *) options+=(-DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/mingw-$target.cmake" -DCMAKE_C_FLAGS=-fwrapv) ;;
    esac
    # Built again when the versions or the way they are built change.
    local recipe="$versions${options[*]}"
    [ "$(cat "$prefix/.recipe" 2>/dev/null)" = "$recipe" ] && return 0
    fetch_audio_sources
    say "audio libraries for $target: $versions"
    rm -rf "$prefix" "$work"
    local name
    for name in $(audio_source_versions); do
        name=${name/=/_}
        local extra=()
        case $name in
        libvorbis_*) extra=(-DOGG_INCLUDE_DIR="$prefix/include" -DOGG_LIBRARY="$prefix/lib/libogg.a") ;;
        # The decoder alone: no programs, no C++ library, no Ogg FLAC. MinGW's stack
        # protector and fortified functions would need libssp's DLL.
        flac_*) extra=(-DBUILD_CXXLIBS=OFF -DBUILD_PROGRAMS=OFF -DBUILD_EXAMPLES=OFF -DBUILD_DOCS=OFF
                       -DINSTALL_MANPAGES=OFF -DWITH_OGG=OFF -DWITH_STACK_PROTECTOR=OFF -DWITH_FORTIFY_SOURCE=OFF) ;;
        esac
        cmake -S "$src/$name" -B "$work/$name" --no-warn-unused-cli "${options[@]}" "${extra[@]}" >/dev/null &&
            cmake --build "$work/$name" -j "$JOBS" >/dev/null &&
            cmake --install "$work/$name" >/dev/null || { say "building $name for $target failed"; return 1; }
    done
    rm -rf "$work"
    echo "$recipe" >"$prefix/.recipe"
}

# --- builds -----------------------------------------------------------------------------

JOBS=$(nproc 2>/dev/null || echo 2)

configure_and_build() { # dir, cmake options... [--target names...]
    local dir=$1 options=() targets=()
    shift
    while [ $# -gt 0 ] && [ "$1" != --target ]; do
        options+=("$1")
        shift
    done
    [ $# -gt 0 ] && targets=("$@")
    # Configured every time, a second or so: a folder made before an option was added
    # takes it too.
    cmake -S "$ROOT" -B "$dir" -G Ninja "${options[@]}" >/dev/null
    cmake --build "$dir" -j "$JOBS" "${targets[@]}"
}

# Host tools (release, no sanitizers) into build/host/.
build_host() {
    say "host tools"
    configure_and_build "$BUILD/host-tools" -DCMAKE_BUILD_TYPE=Release -DVESK_TESTS=OFF \
        -DCMAKE_RUNTIME_OUTPUT_DIRECTORY="$BUILD/host"
}

# The portable core and its unit tests, with AddressSanitizer and UBSan.
build_native() {
    say "native tests"
    configure_and_build "$BUILD/native" -DCMAKE_BUILD_TYPE=Debug -DVESK_SANITIZE=ON -DVESK_TOOLS=OFF \
        -DVESK_TEST_RESULTS="$BUILD/test-results/native" -DVESK_PRODUCT_BUILD="$BUILD"
}

# The libFuzzer targets, built with clang into build/fuzz; the fuzz test steps run them.
build_fuzz() {
    build_audio_libs fuzz
    say "fuzz targets"
    CC=clang CXX=clang++ configure_and_build "$BUILD/fuzz" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVESK_FUZZ=ON \
        -DVESK_TOOLS=OFF -DVESK_AUDIO_LIBS="$BUILD/deps/fuzz" --target crawl_fuzz smacker_fuzz music_fuzz
}

# Vesk.exe, the library, the stand-in programs and the Windows tests, cross-compiled: the
# 32-bit product into build/win, the same sources for x86-64 into build/win64.
build_windows() {
    build_audio_libs i686
    build_audio_libs x86_64
    say "Windows programs (PE32)"
    configure_and_build "$BUILD/win" -DCMAKE_BUILD_TYPE=Release \
        -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/mingw-i686.cmake" -DVESK_AUDIO_LIBS="$BUILD/deps/i686" \
        -DVESK_GTEST_SOURCE=/usr/src/googletest \
        -DVESK_TEST_RESULTS="$BUILD/test-results/windows"
    say "Windows programs (x86-64)"
    configure_and_build "$BUILD/win64" -DCMAKE_BUILD_TYPE=Release \
        -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/mingw-x86_64.cmake" -DVESK_AUDIO_LIBS="$BUILD/deps/x86_64" \
        -DVESK_GTEST_SOURCE=/usr/src/googletest \
        -DVESK_TEST_RESULTS="$BUILD/test-results/windows"
}

build_medium() {
    say "sample medium"
    bash "$ROOT/tools/medium/make-medium.sh" "$BUILD"
}

cmd_build() {
    ensure_deps
    build_host
    build_windows
    build_medium
    say "medium ready: $BUILD/medium (x86-64 programs: $BUILD/medium-x64)"
}

# --- Wine -------------------------------------------------------------------------------

# A prefix made once and copied for every run, since wineboot takes a while. It runs in a
# virtual desktop of 1024x768, where DirectDraw may change the display mode.
ensure_template_prefix() {
    local t=$TEMPLATE
    [ -f "$t/.vesk-ready" ] && return 0
    say "Wine prefix (once)"
    rm -rf "$t"
    WINEPREFIX=$t WINEDLLOVERRIDES="mscoree,mshtml=;$WINEDLLOVERRIDES" wineboot -i >/dev/null 2>&1 || true
    WINEPREFIX=$t wine reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d Default /f >/dev/null 2>&1
    WINEPREFIX=$t wine reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /d 1024x768 /f >/dev/null 2>&1
    WINEPREFIX=$t wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1
    WINEPREFIX=$t wineserver -w
    touch "$t/.vesk-ready"
}

# The DPI that Wine's programs are told, as a user sets it for a high-DPI monitor.
set_wine_dpi() { # prefix dpi
    WINEPREFIX=$1 wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$2" /f >/dev/null 2>&1
    WINEPREFIX=$1 wine reg add 'HKCC\Software\Fonts' /v LogPixels /t REG_DWORD /d "$2" /f >/dev/null 2>&1
}

new_prefix() { # dir
    ensure_template_prefix
    rm -rf "$1"
    cp -a "$TEMPLATE" "$1"
}

# Maps a folder as a drive of the prefix: type cdrom or hd. The Wine server reads the
# types when it starts, so callers restart it after the last mount.
mount_drive() { # prefix letter folder type
    ln -sfn "$3" "$1/dosdevices/$2:"
    WINEPREFIX=$1 wine reg add 'HKLM\Software\Wine\Drives' /v "$2:" /d "$4" /f >/dev/null 2>&1
}

# Headless runs get a sound device that takes everything and plays nothing (ALSA's null
# device): the films' sound path runs as on a machine with a sound card, without the noise
# of ALSA looking for one that is not there.
null_sound() {
    mkdir -p "$BUILD"
    printf 'pcm.!default { type null }\n' >"$BUILD/alsa-null.conf"
    export ALSA_CONFIG_PATH=$BUILD/alsa-null.conf
}

XVFB_PID=
start_xvfb() { # folder for its log, [screen size, 1024x768 when not given]; sets DISPLAY
    local dir=$1 size=${2:-1024x768}
    mkdir -p "$dir"
    : >"$dir/display"
    Xvfb -displayfd 3 -screen 0 "${size}x24" -nolisten tcp 3>"$dir/display" >"$dir/xvfb.log" 2>&1 &
    XVFB_PID=$!
    for _ in $(seq 100); do
        [ -s "$dir/display" ] && break
        sleep 0.1
    done
    export DISPLAY=:$(head -n1 "$dir/display")
    null_sound
}

stop_xvfb() {
    if [ -n "$XVFB_PID" ]; then
        kill "$XVFB_PID" 2>/dev/null || true
        wait "$XVFB_PID" 2>/dev/null || true
    fi
    XVFB_PID=
}

# Takes a screenshot of the X display whenever a Windows program asks for one: it creates
# NAME.want in the folder, and waits until that file is gone and NAME.png is there.
SHOTS_PID=
start_screenshot_service() { # folder
    local dir=$1
    mkdir -p "$dir"
    (
        while :; do
            for want in "$dir"/*.want; do
                [ -e "$want" ] || continue
                import -display "$DISPLAY" -window root "${want%.want}.png" 2>/dev/null || true
                rm -f "$want"
            done
            sleep 0.05
        done
    ) &
    SHOTS_PID=$!
}

stop_screenshot_service() {
    if [ -n "$SHOTS_PID" ]; then
        kill "$SHOTS_PID" 2>/dev/null || true
        wait "$SHOTS_PID" 2>/dev/null || true
    fi
    SHOTS_PID=
}

source "$ROOT/tools/scripts/run.sh"
source "$ROOT/tools/scripts/test.sh"
source "$ROOT/tools/scripts/soak.sh"
source "$ROOT/tools/scripts/mutants.sh"

# ./vesk bench: every benchmark of tools/scripts/bench-steps, each printing its figures.
cmd_bench() { # [--x64]
    choose_windows_build "$@"
    cmd_build
    local step
    for step in "$ROOT"/tools/scripts/bench-steps/*.sh; do
        [ -e "$step" ] || continue
        say "$(basename "$step" .sh)"
        # Sourced in a subshell, so the step can use the functions of these scripts
        # (prepare_test_prefix, start_xvfb, windows_path, ...).
        (set -- "$BUILD"; source "$step") || say "benchmark $(basename "$step") failed"
    done
}

# ./vesk docs: the screenshots of the last test run (and of the windowed intro's step),
# trimmed to the windows they show, into docs/ (the README shows them). Full-screen pictures
# (film, crawl) stay whole.
cmd_docs() {
    local f name
    [ -d "$BUILD/test/run/shots" ] || { say "no screenshots yet: run ./vesk test first"; return 1; }
    mkdir -p "$ROOT/docs"
    for f in "$BUILD/test/run/shots"/*.png "$BUILD/test/shots"/*.png; do
        [ -e "$f" ] || continue
        name=$(basename "$f")
        case "$name" in
        film-* | crawl-* | intro-*)
            # Wine's virtual desktop takes the mode's size in the top left corner of the X
            # screen: a picture named for its mode (film-640x480.png) is cut to it.
            local size
            size=$(sed -n 's/.*-\([0-9][0-9]*x[0-9][0-9]*\)\.png$/\1/p' <<<"$name")
            if [ -n "$size" ]; then
                convert "$f" -crop "$size+0+0" +repage "$ROOT/docs/$name"
            else
                cp "$f" "$ROOT/docs/$name"
            fi
            ;;
        windowed-*) cp "$f" "$ROOT/docs/$name" ;;
        # The high-DPI step's screen has no desktop behind the dialog: black is cut away.
        *-144dpi.png) convert "$f" -fuzz 3% -trim +repage "$ROOT/docs/$name" ;;
        *) convert "$f" -bordercolor '#246f94' -border 1 -fuzz 3% -trim +repage "$ROOT/docs/$name" ;;
        esac
        echo "docs/$name"
    done
}
