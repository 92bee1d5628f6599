# Sourced by the bench scripts after `here` (the source tree) is set:
#   bench_tool FOLDER [CMAKE OPTION ...]
# sets TARVEX_TOOL to a release tarvex-tool built into build/FOLDER with those options (unless
# TARVEX_TOOL is set already) and `work` to a temporary folder removed at exit.
bench_tool() {
    if [ -z "${TARVEX_TOOL:-}" ]; then
        local build="$here/build/$1"
        shift
        cmake -S "$here" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF \
              "$@" >/dev/null
        cmake --build "$build" --target tarvex-tool -j2 >/dev/null
        TARVEX_TOOL="$build/tools/tarvex-tool"
    fi
    work=$(mktemp -d)
    trap 'rm -rf "$work"' EXIT
}

# cpu_wall FILE COMMAND...: runs the command (output dropped) and appends "cpu wall" seconds
# (CPU = user + system) to FILE.
cpu_wall() {
    local out="$1"
    shift
    /usr/bin/time -f '%U %S %e' -o "$work/t" "$@" >/dev/null 2>&1
    awk '{ printf "%.3f %.3f\n", $1 + $2, $3 }' "$work/t" >>"$out"
}

# median_of FILE COLUMN: the median of that column of the file's lines.
median_of() {
    awk -v c="$2" '{ print $c }' "$1" | sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'
}
