#!/bin/sh
# 4K front + 1080p rear recordings, H.264 and H.265, encoded as cameras encode them (25 and
# 8 Mbit/s): the player's decoding against ffmpeg decoding both streams on two threads, what
# the real clock shows of them, and the player's peak memory. Medians of RUNS interleaved
# runs (the player and ffmpeg take turns, so a load that comes and goes hits both alike); the
# machine's load average is printed before and after, since the figures mean little on a
# machine that is busy with other work.
#
# usage: bench/bench_4k.sh [RUNS] [SECONDS]   (TARVEX_BENCH_CODECS="h264" for one codec)
set -eu
here=$(cd "$(dirname "$0")/.." && pwd)
build="$here/build/bench-player"
runs="${1:-3}"
seconds="${2:-20}"
data="${TARVEX_BENCH_DATA:-$build/bench-4k}"
cmake -S "$here" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF \
      -DTARVEX_WITH_UI=OFF -DTARVEX_BENCH=ON >/dev/null
cmake --build "$build" --target tarvex-tool -j2 >/dev/null
tool="$build/tools/tarvex-tool"
export SDL_AUDIODRIVER="${SDL_AUDIODRIVER:-dummy}"
mkdir -p "$data"

median() { sort -n | awk '{v[NR]=$1} END {print (NR % 2) ? v[(NR+1)/2] : (v[NR/2]+v[NR/2+1])/2}'; }
now() { date +%s.%N; }
field() { sed -n "s/.*\"$1\": \([0-9.]*\).*/\1/p" | tail -1; }

echo "load average before: $(cut -d' ' -f1-3 /proc/loadavg)"
for codec in ${TARVEX_BENCH_CODECS:-h264 hevc}; do
    file="$data/${codec}_4k_${seconds}s_D.AVI"
    [ -f "$file" ] || "$tool" make-recording "$file" --codec "$codec" --front-size 3840x2160 \
        --rear-size 1920x1080 --bit-rate 25000 --rear-bit-rate 8000 --duration "$seconds"
    : >"$data/player.t"; : >"$data/ffmpeg.t"; : >"$data/shown"; : >"$data/late"; : >"$data/rss"
    i=0
    while [ "$i" -lt "$runs" ]; do
        t0=$(now)
        /usr/bin/time -f '%M' -o "$data/rss.1" "$tool" play "$file" --no-clock >/dev/null 2>&1
        t1=$(now)
        ffmpeg -nostdin -v error -threads 2 -i "$file" -map 0:0 -map 0:1 -f null - 2>/dev/null
        t2=$(now)
        echo "$t1 - $t0" | bc >>"$data/player.t"
        echo "$t2 - $t1" | bc >>"$data/ffmpeg.t"
        cat "$data/rss.1" >>"$data/rss"
        "$tool" play "$file" --size 1280x720 2>/dev/null | tail -1 >"$data/summary"
        field front_shown <"$data/summary" >>"$data/shown"
        field late_frames <"$data/summary" >>"$data/late"
        i=$((i + 1))
    done
    p=$(median <"$data/player.t"); f=$(median <"$data/ffmpeg.t")
    echo "$codec: play --no-clock ${p}s, ffmpeg -threads 2 ${f}s, ratio $(echo "scale=2; $p / $f" | bc)"
    echo "$codec: real clock at 1280x720: front frames shown $(median <"$data/shown") of" \
         "$((seconds * 30)), late_frames $(median <"$data/late")"
    echo "$codec: peak memory of play --no-clock $(echo "$(median <"$data/rss") / 1024" | bc) MB"
done
echo "load average after: $(cut -d' ' -f1-3 /proc/loadavg)"
