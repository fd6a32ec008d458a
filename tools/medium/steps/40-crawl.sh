# The credits crawl's files in the medium's root: the text "intro.txt" (German, Latin-1,
# CR LF line ends, made from the UTF-8 source) and the glyph font "ALPHABET.DAT" (made by
# fontmake from DejaVu Sans Bold).
crawl_medium_files() {
    local text=$ROOT/tools/crawl/intro-credits.txt
    local ttf=/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf
    local out=$MEDIUM/intro.txt font=$MEDIUM/ALPHABET.DAT
    if [ ! -e "$out" ] || [ "$text" -nt "$out" ]; then
        iconv -f UTF-8 -t LATIN1 "$text" | sed 's/$/\r/' >"$out.new"
        mv "$out.new" "$out"
    fi
    if [ ! -e "$font" ] || [ "$HOST/fontmake" -nt "$font" ] || [ "$ttf" -nt "$font" ]; then
        "$HOST/fontmake" --font "$ttf" --out "$font.new"
        mv "$font.new" "$font"
    fi
}
crawl_medium_files
