# The crawl's music under Wine: the crawl's steps on the window's thread for 8 seconds each
# without music, with the medium's Track02.ogg, with the same file holding 1 MiB of Ogg
# capture patterns (libogg checks a page's checksum at each, every 7 bytes) and with the
# medium's Track02.flac holding 70 MiB of random junk, both after its first 2 seconds; then
# the crawl's end, 2 s after the start, in the middle of the search through the patterns.
# $1: build folder.
crawl_music_bench() {
    local run=$1/bench/crawl-music music=$1/medium/Music root
    rm -rf "$run"
    mkdir -p "$run"
    prepare_test_prefix "$run"
    for root in sample capture junk; do mkdir -p "$run/$root/Music"; done
    cp "$music/Track02.ogg" "$run/sample/Music/Track02.ogg"
    local ogg=$(stat -c %s "$music/Track02.ogg") flac=$(stat -c %s "$music/Track02.flac")
    { head -c $((ogg / 20)) "$music/Track02.ogg"; yes $'OggS\x01\xff' | head -c 1048576
      tail -c +$((ogg / 20 + 1)) "$music/Track02.ogg"; } >"$run/capture/Music/Track02.ogg"
    { head -c $((flac / 20)) "$music/Track02.flac"; head -c 73400320 /dev/urandom
      tail -c +$((flac / 20 + 1)) "$music/Track02.flac"; } >"$run/junk/Music/Track02.flac"
    start_xvfb "$run/xvfb"
    WINEPREFIX=$run/prefix wine "$WIN_BUILD/tools/bench-win/crawl_music_bench.exe" 8 2000 - \
        "$(windows_path "$run/sample")\\" "$(windows_path "$run/capture")\\" "$(windows_path "$run/junk")\\" - \
        2>/dev/null
    WINEPREFIX=$run/prefix wineserver -k 2>/dev/null || true
    stop_xvfb
    rm -rf "$run"
}
crawl_music_bench "$1"
