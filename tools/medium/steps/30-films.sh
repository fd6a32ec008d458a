# The film library beside the launcher, and the intro films in "intro": intro.smk (640x480)
# and intro320.smk (320x240), made by the host tool smkfilms. They are made again only when
# the tool is newer than them.
install_program smacker/smackw32.dll smackw32.dll
make_intro_film() { # file width height
    local out=$MEDIUM/intro/$1
    if [ ! -e "$out" ] || [ "$HOST/smkfilms" -nt "$out" ]; then
        mkdir -p "$MEDIUM/intro"
        "$HOST/smkfilms" intro "$out.new" --width "$2" --height "$3"
        mv "$out.new" "$out"
    fi
}
make_intro_film intro.smk 640 480
make_intro_film intro320.smk 320 240
