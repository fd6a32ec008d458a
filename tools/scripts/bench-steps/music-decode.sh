# The crawl's music files: the medium's Track02.ogg and Track02.flac decoded whole by our
# stream and by FFmpeg's decoders, in one run, best of ten rounds each; then both again with
# a cover picture as rippers embed it, for the heap that takes: 6 MiB of picture as an 8 MiB
# comment (base64) of the Ogg file, and as a picture block of the FLAC file.
# $1: build folder.
music_decode_bench() {
    local dir=$1/bench-music music=$1/medium/Music
    mkdir -p "$dir"
    head -c 6291456 /dev/urandom >"$dir/cover.jpg"
    { printf 'METADATA_BLOCK_PICTURE='; base64 -w0 "$dir/cover.jpg"; echo; } >"$dir/tags"
    vorbiscomment -w -c "$dir/tags" "$music/Track02.ogg" "$dir/Track02-cover.ogg"
    cp "$music/Track02.flac" "$dir/Track02-cover.flac"
    metaflac --import-picture-from="3|image/jpeg||600x600x24|$dir/cover.jpg" "$dir/Track02-cover.flac"
    "$1/host/music_bench" --rounds=10 "$music/Track02.ogg" "$music/Track02.flac" \
        "$dir/Track02-cover.ogg" "$dir/Track02-cover.flac"
}
music_decode_bench "$1"
