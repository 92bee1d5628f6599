#!/bin/sh
# The evidence package of a generated 3-minute trip (three 60 s recordings of 1080p front at
# 10 Mbit/s and 360p rear at 2 Mbit/s, a dashcam's rates, 1 s apart) against `cp` plus
# `sha256sum` of the same originals, the floor any package costs. Two packages are timed: a
# 20 s clip (what a package of one incident holds: the recordings it touches) and the whole
# trip. Wall times, medians of ROUNDS interleaved runs (3 unless given); the ratio is the
# package's time to the reference's over the originals that package copies.
#
# A package holds a composed clip, an H.264 encode that costs what bench_compose.sh measures
# and runs near real time on two cores: no package with one comes within 2x of a copy. So the
# time of that one step (from the package's own progress lines) is given too, and the ratio of
# everything else: copying, hashing, the lossless clip, the packet proof, the stills, the
# report and the manifest.
#
# usage: bench/bench_package.sh [ROUNDS]
#        TARVEX_TOOL=path/to/tarvex-tool skips the release build.
set -eu
here=$(cd "$(dirname "$0")/.." && pwd)
rounds="${1:-3}"
. "$here/bench/common.sh"
bench_tool release
mkdir -p "$work/card/DRIVING" "$work/card/SETTING"
echo "VOLUME=3" >"$work/card/SETTING/blackbox.cfg"
set -- REC_20260314_180000_D.AVI REC_20260314_180101_D.AVI REC_20260314_180202_D.AVI
seed=1
for name in "$@"; do
    "$TARVEX_TOOL" make-recording "$work/card/DRIVING/$name" --duration 60 --full-hd \
        --rear-size 640x360 --bit-rate 10000 --rear-bit-rate 2000 --seed "$seed" >/dev/null
    seed=$((seed + 1))
done
all="$work/card/DRIVING/$1 $work/card/DRIVING/$2 $work/card/DRIVING/$3"
wall() {  # runs the command, appends its wall seconds to file $1
    out="$1"; shift
    /usr/bin/time -f '%e' -o "$work/t" "$@" >/dev/null 2>&1
    cat "$work/t" >>"$out"
}
steps="$here/bench/package_steps.py"
i=0
while [ "$i" -lt "$rounds" ]; do
    wall "$work/ref-one" sh -c "rm -rf $work/r1; mkdir $work/r1; cp $work/card/DRIVING/$1 \
        $work/card/DRIVING/$2 $work/r1/ && sha256sum $work/r1/* >/dev/null"
    rm -rf "$work/p1"
    # shellcheck disable=SC2086
    python3 "$steps" "$work/pkg-one" "$work/enc-one" "$TARVEX_TOOL" package $all \
        --from 50 --to 70 "$work/p1"
    # shellcheck disable=SC2086
    wall "$work/ref-all" sh -c "rm -rf $work/r3; mkdir $work/r3; cp $all $work/r3/ && \
        sha256sum $work/r3/* >/dev/null"
    rm -rf "$work/p3"
    # shellcheck disable=SC2086
    python3 "$steps" "$work/pkg-all" "$work/enc-all" "$TARVEX_TOOL" package $all \
        --from 0 --to 180 "$work/p3"
    i=$((i + 1))
done
median() { sort -n "$1" | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
echo "evidence package of a 3-minute trip (3 x 60 s, 1080p + 360p), median of $rounds runs"
for k in one all; do
    r=$(median "$work/ref-$k"); p=$(median "$work/pkg-$k"); e=$(median "$work/enc-$k")
    what=$([ "$k" = one ] && echo "20 s clip (2 originals)" || echo "whole trip (3 originals)")
    awk -v r="$r" -v p="$p" -v e="$e" -v w="$what" 'BEGIN {
        printf "%s: package %.2f s, cp + sha256sum %.2f s, ratio %.2f (goal <= 2)\n", w, p, r, p / r
        printf "    composed clip %.2f s; the rest %.2f s, ratio %.2f\n", e, p - e, (p - e) / r }'
done
