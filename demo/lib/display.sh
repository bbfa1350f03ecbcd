# shellcheck shell=bash
# A display for the wizard's windows. Every run creates windows, a hidden one
# too: the user's own display when one is set, otherwise a private Xvfb on a
# display number that nobody else uses.

xvfb_pid=
display_is_ours=0

start_display() {
    if [ -n "${DISPLAY:-}" ]; then
        xdpyinfo >/dev/null 2>&1 ||
            fail "the display $DISPLAY cannot be opened — start the demo without DISPLAY set to use a private Xvfb"
        return
    fi
    local n
    for n in $(seq 150 199); do
        [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] && continue
        Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp >"$logs/xvfb.log" 2>&1 &
        xvfb_pid=$!
        if wait_for_display "$n"; then
            export DISPLAY=":$n"
            display_is_ours=1
            return
        fi
        xvfb_pid=
    done
    fail "no private X display could be started (Xvfb on :150 to :199) — see $logs/xvfb.log, or set DISPLAY to a display of yours"
}

# True once the server listens; false when it ended (another one took the number).
wait_for_display() {
    local n=$1
    for _ in $(seq 100); do
        [ -e "/tmp/.X11-unix/X$n" ] && kill -0 "$xvfb_pid" 2>/dev/null && return 0
        kill -0 "$xvfb_pid" 2>/dev/null || return 1
        sleep 0.1
    done
    kill "$xvfb_pid" 2>/dev/null
    return 1
}

stop_display() {
    if [ -n "$xvfb_pid" ]; then
        kill "$xvfb_pid" 2>/dev/null || true
        wait "$xvfb_pid" 2>/dev/null || true
        xvfb_pid=
    fi
}
