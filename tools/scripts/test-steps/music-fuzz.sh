# The crawl's music loader under libFuzzer with AddressSanitizer and UBSan: hostile Wave, Ogg
# Vorbis and FLAC files opened and read to their end, for 20 seconds; an input that
# takes more than 3 seconds (a decoder that loops or searches for long) is a finding like a
# crash. The corpus stays
# in build/music-fuzz between runs; it starts from short files of each format made here with
# FFmpeg, oggenc and flac, and from the hostile Ogg files of the native music test. (The
# Wave files are made bit-exact: without FFmpeg's LIST chunk, which the encoders warn of.)
# $1: build folder, $2: results folder.
music_fuzz() {
    local dir=$1/music-fuzz
    mkdir -p "$dir/corpus"
    if [ ! -e "$dir/corpus/seed-24.flac" ]; then
        ffmpeg -v error -y -f lavfi -i "sine=frequency=440:duration=0.6" -ar 8000 -ac 1 -bitexact "$dir/seed.wav" &&
            oggenc -Q -q 0 -o "$dir/corpus/seed.ogg" "$dir/seed.wav" &&
            flac -s -f -o "$dir/corpus/seed-16.flac" "$dir/seed.wav" &&
            ffmpeg -v error -y -f lavfi -i "sine=frequency=550:duration=0.2" -ar 11025 -ac 2 -acodec pcm_s24le \
                -bitexact "$dir/seed-24.wav" &&
            flac -s -f -o "$dir/corpus/seed-24.flac" "$dir/seed-24.wav" &&
            ffmpeg -v error -y -f lavfi -i "sine=frequency=330:duration=0.05" -ar 11025 -ac 2 -acodec pcm_u8 \
                "$dir/corpus/seed-u8.wav" &&
            ffmpeg -v error -y -f lavfi -i "sine=frequency=330:duration=0.05" -ar 22050 -ac 1 "$dir/corpus/seed-s16.wav" &&
            VESK_MUSIC_SEEDS=$dir/corpus "$1/native/tests/crawl/music_file_test" --gtest_filter='Vorbis.*' >/dev/null ||
            return 1
        rm -f "$dir/seed.wav" "$dir/seed-24.wav"
    fi
    run_fuzzer "$1" "$2" music-fuzz tests/crawl/music_fuzz MusicFuzz LoaderSurvivesHostileFiles 20 16384 -timeout=3
}
music_fuzz "$1" "$2"
