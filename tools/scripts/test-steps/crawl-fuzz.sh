# The credits crawl's loaders and renderer under libFuzzer with AddressSanitizer and UBSan:
# hostile texts and fonts, both widths, every scroll position; 20 seconds a run. The
# corpus stays in build/crawl-fuzz between runs and starts from the medium's text.
# $1: build folder, $2: results folder.
crawl_fuzz() {
    local build=$1 dir=$1/crawl-fuzz
    mkdir -p "$dir/corpus"
    if [ -z "$(ls -A "$dir/corpus")" ] && [ -f "$build/medium/intro.txt" ]; then
        # mode 0, the text's length (little-endian), the text; no font patch.
        { printf '\000\140\000'; head -c 96 "$build/medium/intro.txt"; } >"$dir/corpus/medium-text"
    fi
    run_fuzzer "$1" "$2" crawl-fuzz tests/crawl/crawl_fuzz CrawlFuzz LoadersAndRendererSurviveHostileInput 20 2048 \
        -len_control=0
}
crawl_fuzz "$1" "$2"
