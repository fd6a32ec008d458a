# The crawl's music as a file, for drives that cannot play track 2 (and for the sample
# medium, a folder that has no audio tracks at all): "Music\Track02.ogg", forty seconds made
# by smkfilms with the film's instruments and encoded by oggenc (vorbis-tools). Made again
# only when smkfilms is newer than it.
crawl_music_file() {
    local out=$MEDIUM/Music/Track02.ogg wav=$BUILD/crawl-music.wav
    if [ ! -e "$out" ] || [ "$HOST/smkfilms" -nt "$out" ]; then
        mkdir -p "$MEDIUM/Music"
        "$HOST/smkfilms" crawlmusic "$wav" --seconds 40
        oggenc -Q -q 3 -o "$out.new" "$wav"
        rm -f "$wav"
        mv "$out.new" "$out"
    fi
}
crawl_music_file
