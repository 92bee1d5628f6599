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
