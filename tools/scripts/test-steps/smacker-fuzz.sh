# The film decoder under libFuzzer with AddressSanitizer and UBSan: opening, reading every
# record with all its sound tracks, decoding every picture and copying it out, for about 60
# seconds. The corpus stays in build/smacker-fuzz between runs; it starts from our own test
# films (build/smacker-films, made by the cross-check step).
# $1: build folder, $2: results folder.
smacker_fuzz() {
    local build=$1 results=$2 dir=$1/smacker-fuzz seed
    mkdir -p "$dir/corpus" "$dir/artifacts"
    for seed in "$build"/smacker-films/*.smk; do
        [ -e "$seed" ] || continue
        # Small films only: libFuzzer mutates inputs of up to 32 KiB.
        [ "$(stat -c %s "$seed")" -le 32768 ] && cp -n "$seed" "$dir/corpus/" 2>/dev/null
    done
    local status=0 start=$SECONDS failure=""
    "$build/fuzz/tests/smacker/smacker_fuzz" -max_total_time=60 -max_len=32768 -timeout=20 -rss_limit_mb=2048 \
        -artifact_prefix="$dir/artifacts/" "$dir/corpus" >"$results/smacker_fuzz.log" 2>&1 || status=$?
    tail -n 2 "$results/smacker_fuzz.log"
    [ $status -eq 0 ] || failure="libFuzzer exited with $status; see smacker_fuzz.log and $dir/artifacts"
    echo "DecoderSurvivesHostileFilms|$((SECONDS - start))|$failure" |
        write_step_results "$results/smacker_fuzz.xml" SmackerFuzz
}
smacker_fuzz "$1" "$2"
