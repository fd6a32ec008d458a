# The crawl's music loader under libFuzzer with AddressSanitizer and UBSan: hostile Wave and
# Ogg Vorbis files opened and read to their end, for about 40 seconds. The corpus stays in
# build/music-fuzz between runs; it starts from a short Ogg Vorbis file and two short Wave
# files made here with FFmpeg and oggenc.
# $1: build folder, $2: results folder.
music_fuzz() {
    local dir=$1/music-fuzz
    mkdir -p "$dir/corpus"
    if [ ! -e "$dir/corpus/seed.ogg" ]; then
        ffmpeg -v error -y -f lavfi -i "sine=frequency=440:duration=0.6" -ar 8000 -ac 1 "$dir/seed.wav" &&
            oggenc -Q -q 0 -o "$dir/corpus/seed.ogg" "$dir/seed.wav" &&
            ffmpeg -v error -y -f lavfi -i "sine=frequency=330:duration=0.05" -ar 11025 -ac 2 -acodec pcm_u8 \
                "$dir/corpus/seed-u8.wav" &&
            ffmpeg -v error -y -f lavfi -i "sine=frequency=330:duration=0.05" -ar 22050 -ac 1 "$dir/corpus/seed-s16.wav" ||
            return 1
        rm -f "$dir/seed.wav"
    fi
    run_fuzzer "$1" "$2" music-fuzz tests/crawl/music_fuzz MusicFuzz LoaderSurvivesHostileFiles 40 16384
}
music_fuzz "$1" "$2"
