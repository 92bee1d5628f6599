#!/bin/sh
# Card recovery against `dd` reading the same card image to /dev/null, the floor of any scan
# that looks at every cluster. The card is a sparse FAT32 image (SIZE_MB, 1024 unless given)
# holding a dozen generated recordings (three 30 s 1080p + 360p ones, four copies of each).
# Timed, as medians of ROUNDS interleaved runs (3 unless given), with the image in the page
# cache for all of them:
#   dd       dd if=IMAGE of=/dev/null bs=4M
#   start    tarvex-tool help: the tool's start (its libraries), which every run below pays
#   list     recover on the card as written: every recording live, so each is followed along
#            its chain and hashed but not copied
#   carve    recover after a quick format: every recording found by the cluster scan alone,
#            followed across its clusters, hashed and written out
# The ratio is each time over dd's.
#
# usage: bench/bench_recover.sh [ROUNDS] [SIZE_MB]
#        TARVEX_TOOL=path/to/tarvex-tool skips the release build.
set -eu
here=$(cd "$(dirname "$0")/.." && pwd)
rounds="${1:-3}"
size_mb="${2:-1024}"
. "$here/bench/common.sh"
bench_tool release
mkfs.vfat -F 32 -C "$work/card.img" $((size_mb * 1024)) >/dev/null
mmd -i "$work/card.img" ::/DRIVING
for seed in 1 2 3; do
    "$TARVEX_TOOL" make-recording "$work/rec$seed.AVI" --duration 30 --full-hd \
        --rear-size 640x360 --seed "$seed" >/dev/null
    for copy in 0 1 2 3; do
        mcopy -i "$work/card.img" "$work/rec$seed.AVI" \
            "::/DRIVING/REC_20260314_18${seed}${copy}00_D.AVI"
    done
done
cp --sparse=always "$work/card.img" "$work/formatted.img"
mformat -F -i "$work/formatted.img" ::

now() { date +%s.%N; }
wall() {  # runs the command, appends its wall seconds to file $1
    out="$1"; shift
    t0=$(now); "$@" >/dev/null 2>&1; t1=$(now)
    echo "$t1 - $t0" | bc -l >>"$out"
}
median() { sort -n "$1" | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }

cat "$work/card.img" "$work/formatted.img" >/dev/null  # into the page cache
mkdir -p "$work/out"
for _ in $(seq "$rounds"); do
    wall "$work/dd" dd if="$work/card.img" of=/dev/null bs=4M
    wall "$work/start" "$TARVEX_TOOL" help
    rm -rf "$work/out"/*
    wall "$work/list" "$TARVEX_TOOL" recover "$work/card.img" "$work/out"
    rm -rf "$work/out"/*
    wall "$work/carve" "$TARVEX_TOOL" recover "$work/formatted.img" "$work/out"
done
found=$(ls "$work/out" | wc -l)
used=$(du -m "$work/card.img" | cut -f1)
dd_s=$(median "$work/dd")
printf 'image %d MB (%d MB allocated), %d recordings carved, %d rounds\n' \
    "$size_mb" "$used" "$found" "$rounds"
for step in dd start list carve; do
    s=$(median "$work/$step")
    printf '%-6s %7.3f s  %7.1f MB/s  ratio %.2f\n' "$step" "$s" \
        "$(echo "$size_mb / $s" | bc -l)" "$(echo "$s / $dd_s" | bc -l)"
done
