# A short random-input soak of the whole launcher (tools/soak, ./vesk soak): two rounds of
# 45 s from fixed seeds, one in Wine's virtual desktop (the intro changes the mode) and one
# straight on the X server (the intro plays in its window). Each round is one case; a
# failing one names its fault and the command that replays it.
# $1: build folder, $2: results folder.
soak_step() {
    local build=$1 results=$2 cases="" seed desktop name start failure
    for round in "1 yes WithVirtualDesktop" "2 no WithoutVirtualDesktop"; do
        read -r seed desktop name <<<"$round"
        start=$SECONDS
        failure=""
        if ! soak_round "$build/test/soak-$seed" "$seed" 45 "$desktop" >/dev/null; then
            failure=$(grep -m3 '^FAULT' "$build/test/soak-$seed/soak.log" | tr '\n' ' ')
            failure+=$(grep -m1 '^replay:' "$build/test/soak-$seed/soak.log" | cut -c1-2000)
            [ -n "$failure" ] || failure="soak.exe ended without a report; see $build/test/soak-$seed"
        fi
        grep -E '^soak: [0-9]+ actions|^FAULT' "$build/test/soak-$seed/soak.log" | head -n 4 || true
        cases+="$name.Seed$seed|$((SECONDS - start))|${failure//$'\r'/}"$'\n'
    done
    printf '%s' "$cases" | write_step_results "$results/soak.xml" Soak
}
soak_step "$1" "$2"
