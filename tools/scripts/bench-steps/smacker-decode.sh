# The film decoder against FFmpeg's Smacker decoder (through libavcodec), on the same films
# in one run: the 640x480 intro of the sample medium and a 320x240 film in which every block
# changes in every frame. Prints both rates and the ratio (goal: at least 1.0).
# $1: build folder.
smacker_bench() {
    local build=$1 films=$1/smacker-films
    if [ ! -e "$films/motion.smk" ] || [ "$build/host/smkfilms" -nt "$films" ]; then
        rm -rf "$films"
        "$build/host/smkfilms" testset "$films" || return 1
    fi
    "$build/host/smkcheck" bench "$build/medium/intro/intro.smk" --seconds 3
    "$build/host/smkcheck" bench "$films/motion.smk" --seconds 3
}
smacker_bench "$1"
