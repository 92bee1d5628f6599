#!/bin/sh
# The archive's figures.
#
# import   `tarvex-tool archive import` of a card against `cp` of its recordings followed by
#          `sha256sum` of the copies, as medians of ROUNDS interleaved runs into fresh folders
#          on the same file system, the card in the page cache for both (goal: import at most
#          1.3 times the reference). The card holds COPIES recordings of 60 s (1280x720 at a
#          camera's 10 Mbit/s front, 4 Mbit/s rear), each under its own name.
# find     bench_archive_find on SQLite and on a private PostgreSQL server started here in a
#          temporary folder on a Unix socket (as the postgres user when run as root): 100,000
#          recordings and 6 million waypoints times SCALE (goal: each query under 100 ms).
#
# usage: bench/bench_archive.sh [ROUNDS] [COPIES] [SCALE]
#        TARVEX_BUILD=path/to/build skips the release build (it needs tarvex-tool and
#        bench/bench_archive_find).
set -eu
here=$(cd "$(dirname "$0")/.." && pwd)
rounds="${1:-3}"
copies="${2:-8}"
scale="${3:-1}"
if [ -z "${TARVEX_BUILD:-}" ]; then
    TARVEX_BUILD="$here/build/release"
    cmake -S "$here" -B "$TARVEX_BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF \
          >/dev/null
    cmake --build "$TARVEX_BUILD" --target tarvex-tool bench_archive_find -j2 >/dev/null
fi
tool="$TARVEX_BUILD/tools/tarvex-tool"
work=$(mktemp -d)
pg=""
cleanup() {
    if [ -n "$pg" ]; then $pg_run "$pg_bin/pg_ctl" -D "$work/pg/data" -m fast -w stop >/dev/null 2>&1 || true; fi
    rm -rf "$work"
}
trap cleanup EXIT

# --- import ---
mkdir -p "$work/card/DRIVING" "$work/card/SETTING"
"$tool" make-recording "$work/one.AVI" --duration 60 --bit-rate 10000 --rear-bit-rate 4000 >/dev/null
i=0
while [ "$i" -lt "$copies" ]; do
    cp "$work/one.AVI" "$work/card/DRIVING/REC_20260314_18$(printf %02d "$i")09_D.AVI"
    i=$((i + 1))
done
bytes=$(du -cb "$work"/card/DRIVING/*.AVI | tail -1 | cut -f1)
cat "$work"/card/DRIVING/*.AVI >/dev/null  # into the page cache for both
now_ms() { date +%s%3N; }
ref_times=""
imp_times=""
r=0
while [ "$r" -lt "$rounds" ]; do
    rm -rf "$work/ref" "$work/archive"; mkdir "$work/ref"; sync
    t0=$(now_ms); cp "$work"/card/DRIVING/*.AVI "$work/ref/"; sha256sum "$work"/ref/*.AVI >/dev/null
    ref_times="$ref_times $(( $(now_ms) - t0 ))"
    sync
    t0=$(now_ms); "$tool" archive import "$work/card" --archive "$work/archive" >/dev/null
    imp_times="$imp_times $(( $(now_ms) - t0 ))"
    r=$((r + 1))
done
median() { echo "$@" | tr ' ' '\n' | grep . | sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }
ref=$(median $ref_times)
imp=$(median $imp_times)
echo "import: $copies recordings, $((bytes / 1000000)) MB"
echo "import: cp + sha256sum ${ref} ms (runs:$ref_times), archive import ${imp} ms (runs:$imp_times)"
awk -v a="$imp" -v b="$ref" 'BEGIN { printf "import: ratio %.2f (goal <= 1.30)\n", a / b }'

# --- find ---
"$TARVEX_BUILD/bench/bench_archive_find" --catalogue "$work/find.sqlite" --scale "$scale"
pg_bin=$(ls -d /usr/lib/postgresql/*/bin 2>/dev/null | sort -V | tail -1)
if [ -z "$pg_bin" ]; then
    echo "postgresql: left out (no server programs installed)"
    exit 0
fi
pg_run=""
mkdir -p "$work/pg/sock"
chmod 755 "$work" "$work/pg" "$work/pg/sock"
if [ "$(id -u)" -eq 0 ]; then
    chown -R postgres "$work/pg"
    pg_run="runuser -u postgres --"
fi
$pg_run "$pg_bin/initdb" -D "$work/pg/data" -A trust -U postgres --no-sync >/dev/null
$pg_run "$pg_bin/pg_ctl" -D "$work/pg/data" -w -l "$work/pg/log" \
    -o "-k $work/pg/sock -c listen_addresses='' -c shared_buffers=512MB" start >/dev/null
pg=1
"$TARVEX_BUILD/bench/bench_archive_find" \
    --catalogue "postgresql://postgres@/postgres?host=$work/pg/sock" --scale "$scale"
