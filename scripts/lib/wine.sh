# Which Wine runs which build. Sourced by the scripts; never depends on which
# Wine packages happen to be installed: Debian's wrappers pick the 32-bit
# loader whenever it is installed, even where the kernel cannot run it, so
# every call goes to the loader and server of the architecture named.

wine_loader_of() {  # ARCH
    case $1 in
    win64) echo /usr/lib/wine/wine64 ;;
    win32) echo /usr/lib/wine/wine ;;
    *) echo "unknown architecture '$1' (win32 or win64)" >&2; return 2 ;;
    esac
}

wine_server_of() {  # ARCH
    case $1 in
    win64) echo /usr/lib/wine/wineserver64 ;;
    win32) echo /usr/lib/wine/wineserver32 ;;
    *) echo "unknown architecture '$1' (win32 or win64)" >&2; return 2 ;;
    esac
}

# Makes `wine`, `wineserver`, `wineboot` and `winepath` of this shell and of
# every program it starts those of ARCH (they are shims in scripts/wine-bin).
wine_use() {  # ARCH
    WINELOADER=$(wine_loader_of "$1") || return
    WINESERVER=$(wine_server_of "$1") || return
    WINEARCH=$1
    export WINELOADER WINESERVER WINEARCH
    local shims
    shims=$(cd "$(dirname "${BASH_SOURCE[0]}")/../wine-bin" && pwd)
    case ":$PATH:" in *":$shims:"*) ;; *) PATH=$shims:$PATH ;; esac
    export PATH
}

# Starts the loader of ARCH once. Succeeds when it runs; otherwise prints why
# not, in one line, and fails.
wine_can_start() {  # ARCH
    local loader out
    loader=$(wine_loader_of "$1") || return
    if [ ! -x "$loader" ]; then
        case $1 in
        win64) echo "$loader is not installed: scripts/setup installs it" ;;
        *) echo "$loader is not installed: scripts/setup installs it where the machine and its mirror allow" ;;
        esac
        return 1
    fi
    if ! out=$("$loader" --version 2>&1); then
        echo "$loader cannot start: $(echo "$out" | tail -n 1)"
        return 1
    fi
}

# Whether this kernel runs 32-bit x86 programs at all: execs the smallest
# 32-bit ELF that exits 0 (it only calls exit). Needs no 32-bit package.
kernel_runs_32bit() {
    local probe
    probe=$(mktemp) || return
    printf '\x7f\x45\x4c\x46\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00\x01\x00\x00\x00\x54\x80\x04\x08\x34\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x34\x00\x20\x00\x01\x00\x00\x00\x00\x00\x00\x00\x01\x00\x00\x00\x00\x00\x00\x00\x00\x80\x04\x08\x00\x80\x04\x08\x5d\x00\x00\x00\x5d\x00\x00\x00\x05\x00\x00\x00\x00\x10\x00\x00\xb8\x01\x00\x00\x00\x31\xdb\xcd\x80' >"$probe"
    chmod +x "$probe"
    "$probe" 2>/dev/null
    local status=$?
    rm -f "$probe"
    return $status
}

# The build a single run (the demo, the benchmark) uses: the shipped 32-bit
# product where this kernel runs 32-bit programs and 32-bit Wine starts
# (scripts/setup installs it where it can), the 64-bit build elsewhere.
# Prints a sentence that says which.
wine_pick_product_arch() {
    local why
    if ! kernel_runs_32bit; then
        product_arch=win64
        product_arch_why="the 64-bit build (build/win64), under 64-bit Wine: this kernel cannot run 32-bit programs"
    elif ! why=$(wine_can_start win32); then
        product_arch=win64
        product_arch_why="the 64-bit build (build/win64), under 64-bit Wine: $why"
    else
        product_arch=win32
        product_arch_why="the shipped 32-bit product (build/win32), under 32-bit Wine"
    fi
}
