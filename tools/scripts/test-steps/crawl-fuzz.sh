# The credits crawl's loaders and renderer under libFuzzer with AddressSanitizer and UBSan:
# hostile texts and fonts, both widths, every scroll position; about 40 seconds a run. The
# corpus stays in build/crawl-fuzz between runs and starts from the medium's text.
# $1: build folder, $2: results folder.
crawl_fuzz() {
    local build=$1 results=$2 dir=$1/crawl-fuzz
    mkdir -p "$dir/corpus" "$dir/artifacts"
    if [ -z "$(ls -A "$dir/corpus")" ] && [ -f "$build/medium/intro.txt" ]; then
        # mode 0, the text's length (little-endian), the text; no font patch.
        { printf '\000\140\000'; head -c 96 "$build/medium/intro.txt"; } >"$dir/corpus/medium-text"
    fi
    local status=0 start=$SECONDS failure=""
    "$build/fuzz/tests/crawl/crawl_fuzz" -max_total_time=40 -max_len=2048 -len_control=0 -timeout=20 \
        -rss_limit_mb=2048 -artifact_prefix="$dir/artifacts/" "$dir/corpus" >"$results/crawl_fuzz.log" 2>&1 ||
        status=$?
    tail -n 2 "$results/crawl_fuzz.log"
    [ $status -eq 0 ] || failure="libFuzzer exited with $status; see crawl_fuzz.log and $dir/artifacts"
    echo "LoadersAndRendererSurviveHostileInput|$((SECONDS - start))|$failure" |
        write_step_results "$results/crawl_fuzz.xml" CrawlFuzz
}
crawl_fuzz "$1" "$2"
