# The film decoder under libFuzzer with AddressSanitizer and UBSan: opening, reading every
# record with all its sound tracks, decoding every picture and copying it out, for 20
# seconds. The corpus stays in build/smacker-fuzz between runs; it starts from our own test
# films (build/smacker-films, made by the cross-check step).
# $1: build folder, $2: results folder.
smacker_fuzz() {
    local build=$1 dir=$1/smacker-fuzz seed
    mkdir -p "$dir/corpus"
    for seed in "$build"/smacker-films/*.smk; do
        [ -e "$seed" ] || continue
        # Small films only: libFuzzer mutates inputs of up to 32 KiB.
        [ "$(stat -c %s "$seed")" -le 32768 ] && cp -n "$seed" "$dir/corpus/" 2>/dev/null
    done
    run_fuzzer "$1" "$2" smacker-fuzz tests/smacker/smacker_fuzz SmackerFuzz DecoderSurvivesHostileFilms 20 32768
}
smacker_fuzz "$1" "$2"
