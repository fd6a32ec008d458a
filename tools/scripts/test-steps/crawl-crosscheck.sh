# The credits crawl on the sample medium: its font checked against the renderer's
# invariants, and crawlview's frames held against the separately written reference
# renderer at both resolutions over the scroll positions of "intro.txt".
# $1: build folder, $2: results folder.
crawl_crosscheck() {
    local build=$1 results=$2 xml=$2/crawl_crosscheck.xml
    rm -f "$xml"
    CRAWLVIEW=$build/host/crawlview FONTMAKE=$build/host/fontmake \
        CRAWL_TEXT=$build/medium/intro.txt CRAWL_FONT=$build/medium/ALPHABET.DAT \
        "$build/native/tests/crawl/crawl_crosscheck" --gtest_output="xml:$xml" >"$results/crawl_crosscheck.log" 2>&1 || true
    tail -n 3 "$results/crawl_crosscheck.log"
    # Failing cases are counted from the XML; only a run that left none fails the step.
    [ -s "$xml" ]
}
crawl_crosscheck "$1" "$2"
