# Our film decoder against FFmpeg's, frame for frame and sample for sample: the small films
# that cover the format's features (made by smkfilms into build/smacker-films) and the two
# intro films of the sample medium. One test case per film.
# $1: build folder, $2: results folder.
smacker_crosscheck() {
    local build=$1 results=$2 dir=$1/smacker-films
    if [ ! -d "$dir" ] || [ "$build/host/smkfilms" -nt "$dir" ]; then
        rm -rf "$dir"
        "$build/host/smkfilms" testset "$dir" || return 1
    fi
    local film line start failure
    : >"$results/smacker_crosscheck.log"
    for film in "$dir"/*.smk "$build/medium/intro/intro.smk" "$build/medium/intro/intro320.smk"; do
        start=$SECONDS
        failure=""
        line=$("$build/host/smkcheck" compare "$film" 2>&1) || failure=${line//$'\n'/; }
        echo "$line" | tee -a "$results/smacker_crosscheck.log" | tail -n 1 >&2
        echo "$(basename "$film" .smk)|$((SECONDS - start))|$failure"
    done | write_step_results "$results/smacker_crosscheck.xml" SmackerMatchesFfmpeg
}
smacker_crosscheck "$1" "$2"
