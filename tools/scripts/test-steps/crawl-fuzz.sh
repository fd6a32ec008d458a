# The credits crawl's loaders and renderer under libFuzzer with AddressSanitizer and UBSan:
# hostile texts and fonts, both widths, every scroll position; about 40 seconds a run. The
# corpus stays in build/crawl-fuzz between runs and starts from the medium's text.
# $1: build folder, $2: results folder.
crawl_fuzz() {
    local build=$1 results=$2 dir=$1/crawl-fuzz xml=$2/crawl_fuzz.xml
    local sources=("$ROOT/crawl/crawl_text.cpp" "$ROOT/crawl/crawl_renderer.cpp" "$ROOT/crawl/crawl_layout.cpp" "$ROOT/tests/crawl/crawl_fuzz.cpp")
    mkdir -p "$dir/corpus" "$dir/artifacts"
    local stale=0 s
    for s in "${sources[@]}" "$ROOT"/crawl/crawl_*.h; do
        [ "$s" -nt "$dir/crawl_fuzz" ] && stale=1
    done
    if [ ! -x "$dir/crawl_fuzz" ] || [ $stale -eq 1 ]; then
        clang++ -std=c++20 -g -O2 -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined \
            -I"$ROOT" "${sources[@]}" -o "$dir/crawl_fuzz" || return 1
    fi
    if [ -z "$(ls -A "$dir/corpus")" ] && [ -f "$build/medium/intro.txt" ]; then
        # mode 0, the text's length (little-endian), the text; no font patch.
        { printf '\000\140\000'; head -c 96 "$build/medium/intro.txt"; } >"$dir/corpus/medium-text"
    fi
    local status=0 start=$SECONDS
    "$dir/crawl_fuzz" -max_total_time=40 -max_len=2048 -len_control=0 -timeout=20 -rss_limit_mb=2048 \
        -artifact_prefix="$dir/artifacts/" "$dir/corpus" >"$results/crawl_fuzz.log" 2>&1 || status=$?
    tail -n 2 "$results/crawl_fuzz.log"
    local failures=0 message=""
    if [ $status -ne 0 ]; then
        failures=1
        message="<failure message=\"libFuzzer exited with $status; see crawl_fuzz.log and $dir/artifacts\"/>"
    fi
    cat >"$xml" <<XML
<?xml version="1.0" encoding="UTF-8"?>
<testsuites tests="1" failures="$failures" disabled="0" errors="0" name="AllTests">
  <testsuite name="CrawlFuzz" tests="1" failures="$failures" disabled="0" errors="0">
    <testcase name="LoadersAndRendererSurviveHostileInput" time="$((SECONDS - start))">$message</testcase>
  </testsuite>
</testsuites>
XML
}
crawl_fuzz "$1" "$2"
