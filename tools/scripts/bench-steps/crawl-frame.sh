# The credits crawl: one frame at 640x480 (background copy, a screen full of text, copy to
# a surface-sized buffer) against the two full-screen copies alone.
# $1: build folder.
"$1/host/crawl_bench" "$1/medium/ALPHABET.DAT" --benchmark_min_time=0.5
