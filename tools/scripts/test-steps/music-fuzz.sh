# The crawl's music loader under libFuzzer with AddressSanitizer and UBSan: hostile Wave and
# Ogg Vorbis files opened and read to their end, for about 40 seconds. The corpus stays in
# build/music-fuzz between runs; it starts from a short Wave and a short Ogg Vorbis file
# made here with FFmpeg and oggenc.
# $1: build folder, $2: results folder.
music_fuzz() {
    local build=$1 results=$2 dir=$1/music-fuzz xml=$2/music_fuzz.xml
    local sources=("$ROOT/crawl/music_file.cpp" "$ROOT/crawl/vorbis_headers.cpp" "$ROOT/crawl/vorbis_decoder.c" "$ROOT/tests/crawl/music_fuzz.cpp")
    local stb=/usr/include/stb
    mkdir -p "$dir/corpus" "$dir/artifacts"
    local stale=0 s
    for s in "${sources[@]}" "$ROOT"/crawl/music_file.h "$ROOT"/crawl/vorbis_*.h; do
        [ "$s" -nt "$dir/music_fuzz" ] && stale=1
    done
    if [ ! -x "$dir/music_fuzz" ] || [ $stale -eq 1 ]; then
        local flags=(-g -O2 -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined -I"$ROOT" -I"$stb")
        # The decoder is C; compiled on its own, then linked with the rest.
        clang -std=c11 -w "${flags[@]}" -c "$ROOT/crawl/vorbis_decoder.c" -o "$dir/vorbis_decoder.o" || return 1
        clang++ -std=c++20 "${flags[@]}" "$ROOT/crawl/music_file.cpp" "$ROOT/crawl/vorbis_headers.cpp" "$ROOT/tests/crawl/music_fuzz.cpp" \
            "$dir/vorbis_decoder.o" -o "$dir/music_fuzz" || return 1
    fi
    if [ ! -e "$dir/corpus/seed.ogg" ]; then
        ffmpeg -v error -y -f lavfi -i "sine=frequency=440:duration=0.6" -ar 8000 -ac 1 "$dir/seed.wav" &&
            oggenc -Q -q 0 -o "$dir/corpus/seed.ogg" "$dir/seed.wav" &&
            ffmpeg -v error -y -f lavfi -i "sine=frequency=330:duration=0.05" -ar 11025 -ac 2 -acodec pcm_u8 "$dir/corpus/seed-u8.wav" &&
            ffmpeg -v error -y -f lavfi -i "sine=frequency=330:duration=0.05" -ar 22050 -ac 1 "$dir/corpus/seed-s16.wav" ||
            return 1
        rm -f "$dir/seed.wav"
    fi
    local status=0 start=$SECONDS
    "$dir/music_fuzz" -max_total_time=40 -max_len=16384 -timeout=20 -rss_limit_mb=2048 \
        -artifact_prefix="$dir/artifacts/" "$dir/corpus" >"$results/music_fuzz.log" 2>&1 || status=$?
    tail -n 2 "$results/music_fuzz.log"
    local failures=0 message=""
    if [ $status -ne 0 ]; then
        failures=1
        message="<failure message=\"libFuzzer exited with $status; see music_fuzz.log and $dir/artifacts\"/>"
    fi
    cat >"$xml" <<XML
<?xml version="1.0" encoding="UTF-8"?>
<testsuites tests="1" failures="$failures" disabled="0" errors="0" name="AllTests">
  <testsuite name="MusicFuzz" tests="1" failures="$failures" disabled="0" errors="0">
    <testcase name="LoaderSurvivesHostileFiles" time="$((SECONDS - start))">$message</testcase>
  </testsuite>
</testsuites>
XML
}
music_fuzz "$1" "$2"
