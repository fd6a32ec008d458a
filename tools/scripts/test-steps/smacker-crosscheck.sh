# Our film decoder against FFmpeg's, frame for frame and sample for sample: the small films
# that cover the format's features (made by smkfilms into build/smacker-films) and the two
# intro films of the sample medium. One test case per film.
# $1: build folder, $2: results folder.
smacker_crosscheck() {
    local build=$1 results=$2 dir=$1/smacker-films xml=$2/smacker_crosscheck.xml
    if [ ! -d "$dir" ] || [ "$build/host/smkfilms" -nt "$dir" ]; then
        rm -rf "$dir"
        "$build/host/smkfilms" testset "$dir" || return 1
    fi
    local films=("$dir"/*.smk "$build/medium/intro/intro.smk" "$build/medium/intro/intro320.smk")
    local cases="" failures=0 film name line start
    : >"$results/smacker_crosscheck.log"
    for film in "${films[@]}"; do
        name=$(basename "$film" .smk)
        start=$SECONDS
        if line=$("$build/host/smkcheck" compare "$film" 2>&1); then
            cases+="    <testcase name=\"$name\" time=\"$((SECONDS - start))\"/>"$'\n'
        else
            failures=$((failures + 1))
            line=${line//&/&amp;}
            line=${line//</&lt;}
            line=${line//\"/&quot;}
            cases+="    <testcase name=\"$name\" time=\"$((SECONDS - start))\"><failure message=\"$line\"/></testcase>"$'\n'
        fi
        echo "$line" | tee -a "$results/smacker_crosscheck.log" | tail -n 1
    done
    cat >"$xml" <<XML
<?xml version="1.0" encoding="UTF-8"?>
<testsuites tests="${#films[@]}" failures="$failures" disabled="0" errors="0" name="AllTests">
  <testsuite name="SmackerMatchesFfmpeg" tests="${#films[@]}" failures="$failures" disabled="0" errors="0">
$cases  </testsuite>
</testsuites>
XML
}
smacker_crosscheck "$1" "$2"
