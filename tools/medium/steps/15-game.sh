# The game of the sample medium: the stand-in "prot_d.exe" in the root, and the four
# graphics files that the launcher maps for it in "Lib". The graphics files are the game's
# own affair (the launcher never reads them); ours are text with a header naming the file,
# followed by numbered rows of pseudo-random hexadecimal digits, so that each file's first
# bytes and checksum differ from the others'.
install_program tools/medium/prot_d/prot_d.exe prot_d.exe

game_graphics_file() { # name rows seed
    local out=$MEDIUM/Lib/$1 step=$ROOT/tools/medium/steps/15-game.sh
    [ -e "$out" ] && [ "$out" -nt "$step" ] && return 0
    mkdir -p "$MEDIUM/Lib"
    awk -v name="$1" -v rows="$2" -v seed="$3" 'BEGIN {
        printf "VMGRF1 %s Vesk Marlit Grafik\r\n", name
        x = seed
        for (r = 0; r < rows; r++) {
            line = sprintf("%06d ", r)
            for (i = 0; i < 28; i++) {
                x = (x * 16807) % 2147483647
                line = line sprintf("%02x", int(x / 256) % 256)
            }
            printf "%s\r\n", line
        }
    }' >"$out.new"
    mv "$out.new" "$out"
}
game_graphics_file skatgrf.dat 5000 11
game_graphics_file skatgrf.key 90 23
game_graphics_file skatgrf640.dat 3000 37
game_graphics_file skatgrf640.key 70 41
