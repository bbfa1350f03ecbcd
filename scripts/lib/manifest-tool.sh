# The manifest tool's program and Wine prefix, made ready before it runs.
# Sourced by scripts/manifest-tool, and by the scripts that send the tool's
# output to a file (sign-manifest): they make it ready first, so that the
# slow first steps, a build and a new prefix, are said as they begin and a
# failed build is told as one. Needs scripts/lib/wine.sh.
# VELNOR_TOOL_ARCH (win32 or win64), VELNOR_TOOL_EXE and VELNOR_TOOL_PREFIX
# choose another build's program and prefix, as the tests of the
# publisher's scripts do.

# Sets tool_arch, tool_exe and tool_prefix. On failure it prints why, each
# line starting "manifest-tool: ", and returns 2.
manifest_tool_ready() {
    local root why
    root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
    tool_arch=${VELNOR_TOOL_ARCH:-win64}
    if ! why=$(wine_can_start "$tool_arch"); then
        echo "manifest-tool: $why" >&2
        return 2
    fi
    tool_exe=${VELNOR_TOOL_EXE:-$root/build/$tool_arch/bin/manifest-tool.exe}
    if [ -n "${VELNOR_TOOL_EXE:-}" ] && [ ! -f "$tool_exe" ]; then
        echo "manifest-tool: VELNOR_TOOL_EXE=$tool_exe is not a file" >&2
        return 2
    fi
    if [ ! -f "$tool_exe" ]; then
        echo "manifest-tool: building manifest-tool.exe first (scripts/build $tool_arch --target manifest-tool);" \
            "the first build takes some minutes" >&2
        if ! "$root/scripts/build" "$tool_arch" --target manifest-tool >&2 || [ ! -f "$tool_exe" ]; then
            echo "manifest-tool: manifest-tool.exe could not be built (see above)" >&2
            return 2
        fi
    fi
    tool_prefix=${VELNOR_TOOL_PREFIX:-$root/build/$tool_arch/wineprefix-tool}
    if ! "$root/scripts/wine-prefix" --arch "$tool_arch" "$tool_prefix" >&2; then
        echo "manifest-tool: its Wine prefix $tool_prefix could not be made (see above)" >&2
        return 2
    fi
}
