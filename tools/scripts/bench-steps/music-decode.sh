# The crawl's music file: the medium's Track02.ogg decoded whole by our stream and by
# FFmpeg's Vorbis decoder, in one run, best of ten rounds each.
# $1: build folder.
"$1/host/music_bench" "$1/medium/Music/Track02.ogg" 10
