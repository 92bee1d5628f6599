#!/bin/sh
# Composed clip export against ffmpeg composing the same picture in picture: a generated
# 1080p front + 360p rear recording (30 s unless given), the rear at a quarter of the front's
# width in its bottom right corner, libx264 veryfast CRF 23, sound to AAC. Runs the two
# interleaved (ROUNDS times, 5 unless given) and prints the medians of CPU time (user +
# system) and wall time, the ratio of CPU times, and the export's speed against real time.
#
# usage: bench/bench_compose.sh [SECONDS] [ROUNDS]
#        TARVEX_TOOL=path/to/tarvex-tool skips the release build.
set -eu
here=$(cd "$(dirname "$0")/.." && pwd)
seconds="${1:-30}"
rounds="${2:-5}"
. "$here/bench/common.sh"
bench_tool bench-compose -DTARVEX_WITH_UI=OFF
rec="$work/REC_20260314_182509_D.AVI"
"$TARVEX_TOOL" make-recording "$rec" --duration "$seconds" --full-hd --rear-size 640x360 \
    >/dev/null

# The same placement as the export's: 480x270 at 18 px from the right edge, above the caption
# line (36 px text, 18 px margins).
pip='[0:v:1]scale=480:270:flags=bilinear[r];[0:v:0][r]overlay=x=1422:y=720,format=yuv420p[v]'
i=0
while [ "$i" -lt "$rounds" ]; do
    cpu_wall "$work/ffmpeg" ffmpeg -v error -nostdin -y -i "$rec" -filter_complex "$pip" \
        -map '[v]' -map 0:a -c:v libx264 -preset veryfast -crf 23 -c:a aac -b:a 32k \
        "$work/ref.mp4"
    cpu_wall "$work/ours" "$TARVEX_TOOL" export "$rec" --from 0 --to "$seconds" --compose pip \
        "$work/ours.mp4"
    i=$((i + 1))
done
fc=$(median_of "$work/ffmpeg" 1); fw=$(median_of "$work/ffmpeg" 2)
oc=$(median_of "$work/ours" 1); ow=$(median_of "$work/ours" 2)
echo "composed export of $seconds s, 1080p front + 360p rear, median of $rounds interleaved runs"
echo "ffmpeg:  cpu ${fc} s  wall ${fw} s"
echo "tarvex:  cpu ${oc} s  wall ${ow} s"
awk -v o="$oc" -v f="$fc" -v w="$ow" -v s="$seconds" 'BEGIN {
    printf "cpu ratio tarvex/ffmpeg: %.2f (goal <= 1.25)\n", o / f
    printf "speed: %.2fx real time (goal > 1)\n", s / w }'
