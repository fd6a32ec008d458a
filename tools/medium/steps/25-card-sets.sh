# The card sets of the medium: KS\alpha.tga and KS\default.tga, the two card backs painted
# by the host tool paintart. They are painted again only when the tool is newer than them.
if [ ! -e "$MEDIUM/KS/alpha.tga" ] || [ ! -e "$MEDIUM/KS/default.tga" ] \
    || [ "$HOST/paintart" -nt "$MEDIUM/KS/alpha.tga" ] || [ "$HOST/paintart" -nt "$MEDIUM/KS/default.tga" ]; then
    mkdir -p "$MEDIUM/KS"
    "$HOST/paintart" cards "$MEDIUM/KS" >/dev/null
fi
