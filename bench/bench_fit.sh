#!/bin/sh
# A clip fitted to a budget against ffmpeg's own two-pass encode of the same stretch at the
# same bit rate: a generated 1080p front + 360p rear recording (30 s unless given) exported
# with --max-mb (a quarter of the recording's size, so the rate is the budget's, not the
# recording's), then ffmpeg composing the same picture in picture and encoding it with
# libx264 veryfast in two passes at the bit rate the export chose, the sound to AAC. Ours
# also composes a working copy first (an encode of its own), which ffmpeg's two passes fold
# into theirs. Medians of CPU (user + system) and wall time over ROUNDS interleaved runs
# (3 unless given).
#
# usage: bench/bench_fit.sh [SECONDS] [ROUNDS]
#        TARVEX_TOOL=path/to/tarvex-tool skips the release build.
set -eu
here=$(cd "$(dirname "$0")/.." && pwd)
seconds="${1:-30}"
rounds="${2:-3}"
. "$here/bench/common.sh"
bench_tool bench-compose -DTARVEX_WITH_UI=OFF
rec="$work/REC_20260314_182509_D.AVI"
"$TARVEX_TOOL" make-recording "$rec" --duration "$seconds" --full-hd --rear-size 640x360 \
    --bit-rate 10000 --rear-bit-rate 2000 >/dev/null
mb=$(( $(stat -c %s "$rec") / 4000000 ))
[ "$mb" -ge 1 ] || mb=1
"$TARVEX_TOOL" export "$rec" --from 0 --to "$seconds" --max-mb "$mb" "$work/probe.mp4" \
    >"$work/probe.json"
rate=$(sed 's/.*"bit_rate": \([0-9]*\).*/\1/' "$work/probe.json")
size=$(sed 's/.*"width": \([0-9]*\), "height": \([0-9]*\).*/\1:\2/' "$work/probe.json")
pip='[0:v:1]scale=480:270:flags=bilinear[r];[0:v:0][r]overlay=x=1422:y=720,scale='"$size"',format=yuv420p[v]'
i=0
while [ "$i" -lt "$rounds" ]; do
    cpu_wall "$work/ffmpeg" sh -c "cd '$work' && \
        ffmpeg -v error -nostdin -y -i '$rec' -filter_complex '$pip' -map '[v]' \
            -c:v libx264 -preset veryfast -b:v $rate -pass 1 -an -f null /dev/null && \
        ffmpeg -v error -nostdin -y -i '$rec' -filter_complex '$pip' -map '[v]' -map 0:a \
            -c:v libx264 -preset veryfast -b:v $rate -pass 2 -c:a aac -b:a 32k ref.mp4"
    rm -f "$work/ours.mp4"
    cpu_wall "$work/ours" "$TARVEX_TOOL" export "$rec" --from 0 --to "$seconds" --max-mb "$mb" \
        "$work/ours.mp4"
    i=$((i + 1))
done
fc=$(median_of "$work/ffmpeg" 1); fw=$(median_of "$work/ffmpeg" 2)
oc=$(median_of "$work/ours" 1); ow=$(median_of "$work/ours" 2)
awk -v s="$seconds" -v mb="$mb" -v r="$rate" -v fc="$fc" -v fw="$fw" -v oc="$oc" -v ow="$ow" \
    -v n="$rounds" -v os="$(stat -c %s "$work/ours.mp4")" 'BEGIN {
    printf "%d s of 1080p + 360p fitted to %d MB (%d kbit/s), median of %d runs\n", s, mb, r / 1000, n
    printf "ffmpeg two-pass: %.2f s CPU, %.2f s wall\n", fc, fw
    printf "export --max-mb: %.2f s CPU, %.2f s wall; %.2f MB\n", oc, ow, os / 1e6
    printf "ratio (CPU): %.2f (goal <= 2.2)\n", oc / fc }'
