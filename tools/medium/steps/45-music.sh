# The crawl's music as a file, for drives that cannot play track 2 (and for the sample
# medium, a folder that has no audio tracks at all): "Music\Track02.ogg", forty seconds made
# by smkfilms with the film's instruments and encoded by oggenc (vorbis-tools), and the same
# as "Music\Track02.flac" (flac), which plays where the Ogg file is missing or damaged. Made
# again only when smkfilms is newer than they are.
crawl_music_file() {
    local ogg=$MEDIUM/Music/Track02.ogg flac=$MEDIUM/Music/Track02.flac wav=$BUILD/crawl-music.wav
    if [ ! -e "$ogg" ] || [ ! -e "$flac" ] || [ "$HOST/smkfilms" -nt "$ogg" ] || [ "$HOST/smkfilms" -nt "$flac" ]; then
        mkdir -p "$MEDIUM/Music"
        "$HOST/smkfilms" crawlmusic "$wav" --seconds 40
        oggenc -Q -q 3 -o "$ogg.new" "$wav"
        flac -s -f -o "$flac.new" "$wav"
        rm -f "$wav"
        mv "$ogg.new" "$ogg"
        mv "$flac.new" "$flac"
        # flac gives its file the Wave's time; this one is made now.
        touch "$flac"
    fi
}
crawl_music_file
