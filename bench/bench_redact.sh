#!/bin/sh
# Regions that follow their object, and what blurring them costs, on a generated 1080p
# recording whose number plate's true box is known in every frame:
#  - track: the plate followed from one box drawn at 0 s over 10 s; median and lowest IoU
#    with the truth, CPU time and speed against real time;
#  - detect: the plate cascade over the same 10 s; the frames where a suggestion holds at
#    least half the plate, the boxes that miss it altogether, the regions and the CPU time;
#  - export: the composed clip of those 10 s with the plate's region and without; the ratio
#    of CPU times (medians of ROUNDS, 3 unless given), and the PSNR of the blurred clip
#    against the plain one inside the plate's boxes and outside their grown boxes.
#
# usage: bench/bench_redact.sh [ROUNDS]
#        TARVEX_TOOL=path/to/tarvex-tool skips the release build.
set -eu
here=$(cd "$(dirname "$0")/.." && pwd)
rounds="${1:-3}"
if [ -z "${TARVEX_TOOL:-}" ]; then
    build="$here/build/bench-redact"
    cmake -S "$here" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF \
          -DTARVEX_WITH_UI=OFF >/dev/null
    cmake --build "$build" --target tarvex-tool -j2 >/dev/null
    TARVEX_TOOL="$build/tools/tarvex-tool"
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
rec="$work/REC_20260314_182509_D.AVI"
"$TARVEX_TOOL" make-recording "$rec" --duration 11 --full-hd --bit-rate 10000 --plate \
    --plate-truth "$work/truth.json" >/dev/null
box=$(python3 -c 'import json,sys; print(",".join(map(str, json.load(open(sys.argv[1]))["frames"][0]["box"])))' "$work/truth.json")

/usr/bin/time -f '%U %S' -o "$work/t" "$TARVEX_TOOL" track "$rec" --camera front --at 0 \
    --from 0 --to 10 --box "$box" --out "$work/masks.json"
track_cpu=$(awk '{ printf "%.2f", $1 + $2 }' "$work/t")
/usr/bin/time -f '%U %S' -o "$work/t" "$TARVEX_TOOL" detect "$rec" --from 0 --to 10 \
    --camera front --kinds plate --out "$work/detected.json"
detect_cpu=$(awk '{ printf "%.2f", $1 + $2 }' "$work/t")

cpu() {  # runs the command, appends its CPU seconds to file $1
    out="$1"; shift
    /usr/bin/time -f '%U %S' -o "$work/t" "$@" >/dev/null 2>&1
    awk '{ printf "%.3f\n", $1 + $2 }' "$work/t" >>"$out"
}
i=0
while [ "$i" -lt "$rounds" ]; do
    cpu "$work/plain" "$TARVEX_TOOL" export "$rec" --from 0 --to 10 --compose pip \
        "$work/plain.mp4"
    cpu "$work/blurred" "$TARVEX_TOOL" export "$rec" --from 0 --to 10 --compose pip \
        --redact "$work/masks.json" "$work/blurred.mp4"
    i=$((i + 1))
done
for f in plain blurred; do
    ffmpeg -v error -nostdin -y -i "$work/$f.mp4" -frames:v 300 -pix_fmt gray -f rawvideo \
        "$work/$f.gray"
done
python3 "$here/bench/redact_figures.py" "$work" "$track_cpu" "$detect_cpu"
