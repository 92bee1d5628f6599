#!/bin/sh
# verify of a large evidence package against `sha256sum -c` over the same package: one
# generated recording of about SIZE_MB megabytes (640x360 front at 40 Mbit/s, 320x180 rear at
# 10 Mbit/s: the bytes of a long 1080p drive in a fraction of the time to generate), packaged
# with a 2 s clip, so the package is nearly all original. Both run on a warm page cache,
# interleaved ROUNDS times (3 unless given); medians of wall and CPU time (user + system).
# verify reads every byte sha256sum reads, plus the originals again for the packet proof
# when the page cache holds them.
#
# usage: bench/bench_verify.sh [SIZE_MB] [ROUNDS]
#        TARVEX_TOOL=path/to/tarvex-tool skips the release build.
set -eu
here=$(cd "$(dirname "$0")/.." && pwd)
size_mb="${1:-1024}"
rounds="${2:-3}"
. "$here/bench/common.sh"
bench_tool bench-compose -DTARVEX_WITH_UI=OFF
mkdir -p "$work/card/DRIVING"
rec="$work/card/DRIVING/REC_20260314_180000_D.AVI"
# About 6.2 MB a second at these rates.
seconds=$(( (size_mb * 10 + 61) / 62 ))
"$TARVEX_TOOL" make-recording "$rec" --duration "$seconds" --front-size 640x360 \
    --bit-rate 40000 --rear-size 320x180 --rear-bit-rate 10000 >/dev/null
"$TARVEX_TOOL" package "$rec" --from 0 --to 2 --no-position "$work/pkg" >/dev/null
bytes=$(du -sb "$work/pkg" | cut -f1)
# Warm the cache for both.
( cd "$work/pkg" && sha256sum -c SHA256SUMS >/dev/null )
"$TARVEX_TOOL" verify "$work/pkg" >/dev/null
i=0
while [ "$i" -lt "$rounds" ]; do
    cpu_wall "$work/ref" sh -c "cd '$work/pkg' && sha256sum -c SHA256SUMS"
    cpu_wall "$work/ours" "$TARVEX_TOOL" verify "$work/pkg"
    i=$((i + 1))
done
rc=$(median_of "$work/ref" 1); rw=$(median_of "$work/ref" 2)
oc=$(median_of "$work/ours" 1); ow=$(median_of "$work/ours" 2)
awk -v b="$bytes" -v rc="$rc" -v rw="$rw" -v oc="$oc" -v ow="$ow" -v n="$rounds" 'BEGIN {
    printf "verify of a %.0f MB package, median of %d runs (warm cache)\n", b / 1e6, n
    printf "sha256sum -c: %.2f s wall, %.2f s CPU\n", rw, rc
    printf "verify:       %.2f s wall, %.2f s CPU\n", ow, oc
    printf "ratio (wall): %.2f (goal <= 1.3)\n", ow / rw }'
