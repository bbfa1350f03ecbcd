# shellcheck shell=bash
# The update runs of the demo: updatehost.exe started as the product starts
# it, with its command-line switches, under Wine. Wine writes the module's
# trace lines (OutputDebugStringA) to the run's log, $logs/host.log.

run_timeout=180

host_command() {
    WINEDEBUG=-all,+debugstr timeout "$run_timeout" \
        env LC_ALL=zh_CN.UTF-8 wine "$host_win" "$@" 2>"$logs/host.log"
}

check_host_ended() {
    case $host_status in
    0) ;;
    124) fail "the update run did not end within $run_timeout seconds — see $(rel "$logs")/host.log" ;;
    *)
        local said
        said=$(grep -a '^updatehost:' "$logs/host.log" | head -1 | tr -d '\r')
        fail "updatehost.exe ended with exit code $host_status${said:+ ($said)} — see $(rel "$logs")/host.log"
        ;;
    esac
}

# A run to its end, the user's part (if any) left to the user.
run_host() {
    touch "$demo_dir/run-start"
    host_status=0
    host_command "$@" || host_status=$?
    check_host_ended
}

# A shown run that the demo driver takes through its pages, saving a picture
# of each page named in the first argument (a list of names). The remaining
# arguments are the host's switches.
toured_run() {
    local pages=$1 host driver_status=0
    shift
    rm -rf "$pictures_raw"
    mkdir -p "$pictures_raw"
    touch "$demo_dir/run-start"
    host_command "$@" &
    host=$!
    # shellcheck disable=SC2086 # the page names are separate arguments
    timeout "$run_timeout" env LC_ALL=zh_CN.UTF-8 WINEDEBUG=-all wine "$driver_exe" \
        "$(winepath -w "$pictures_raw" 2>/dev/null)" $pages >"$logs/driver.log" 2>&1 ||
        driver_status=$?
    if [ "$driver_status" != 0 ]; then
        kill "$host" 2>/dev/null || true
        wait "$host" 2>/dev/null || true
        fail "the shown wizard could not be taken through its pages — see $(rel "$logs")/driver.log"
    fi
    host_status=0
    wait "$host" || host_status=$?
    check_host_ended
}
