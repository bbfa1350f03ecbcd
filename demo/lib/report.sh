# shellcheck shell=bash
# What the demo shows of a run: the versions, the trace lines in order, the
# requests the demo server answered, the update record and the copied
# package; and whether the run recorded the update, found it pending, or
# failed.

update_url="http://$update_host/$manifest_path"

offered_version() {
    sed -n '/^Ver=/{s/^Ver=\([^[:space:]]*\).*$/\1/p;q}' "$site/$manifest_path"
}

# The run's trace lines, read once from its log into $traces.
load_traces() {
    traces=$(python3 demo/lib/trace_lines.py <"$logs/host.log")
}

has_trace() {
    grep -qxF -- "$1" <<<"$traces"
}

read_record() {
    record=$(wine reg query "$update_key" 2>/dev/null | tr -d '\r') || record=
}

# A value of the record as read by read_record; numbers in decimal.
record_value() {
    local value
    value=$(sed -n "s/^ *$1 *REG_[A-Z_]* *//p" <<<"$record" | head -1)
    case $value in
    0x*) printf '%d' "$value" ;;
    *) printf '%s' "$value" ;;
    esac
}

copy_path() {
    local path
    path=$(record_value UpdatePath)
    [ -n "$path" ] && winepath -u "$path" 2>/dev/null
}

print_versions() {
    say "installed version $installed_version, company \"$company\" ($vlnr_ini_win)"
    say "offered version $(offered_version) by the demo server ($update_url)"
}

print_traces() {
    [ -n "$traces" ] || fail "the run wrote no trace lines — see $(rel "$logs")/host.log"
    say "trace lines of the run, in order:"
    local line
    while IFS= read -r line; do
        printf '    %s\n' "$line"
    done <<<"$traces"
}

print_requests() {
    local first=$1 status bytes request
    say "requests that the demo server answered:"
    while read -r status bytes request; do
        printf '    %s %s (%s bytes)\n' "$status" "${request% HTTP/*}" "$bytes"
    done < <(served_since "$first")
}

print_record() {
    read_record
    if [ -z "$(record_value HasUpdate)" ]; then
        say "update record under $update_key: none"
        return
    fi
    say "update record under $update_key:"
    local name
    for name in HasUpdate UpdateVersion UpdatePath force Silent; do
        printf '    %-13s = %s\n' "$name" "$(record_value "$name")"
    done
    local copy
    copy=$(copy_path) || true
    if [ -n "$copy" ] && [ -f "$copy" ]; then
        say "copied package: $(record_value UpdatePath), $(stat -c %s "$copy") bytes"
    fi
}

# Whether this run fetched and recorded the offer, byte for byte.
recorded_by_this_run() {
    local copy
    copy=$(copy_path) || return 1
    [ "$(record_value HasUpdate)" = 1 ] &&
        [ "$(record_value UpdateVersion)" = "$(offered_version)" ] &&
        [ -f "$copy" ] && [ "$copy" -nt "$demo_dir/run-start" ] &&
        cmp -s "$copy" "$demo_package"
}

print_verification() {
    has_trace "Manifest signature verified" &&
        say "the manifest's signature was verified with the demo key"
    has_trace "Package digest verified" &&
        say "the package's SHA-256 and size matched the signed manifest"
    return 0
}

print_outcome() {
    local offered
    offered=$(offered_version)
    if [ "$tampered" = 1 ]; then
        has_trace "Package digest mismatch" && [ -z "$(record_value HasUpdate)" ] ||
            fail "the tampered package was not refused — see the trace lines above and $(rel "$logs")/host.log"
        say "done: the tampered package did not match the signed manifest's SHA-256, so it was deleted and nothing was recorded."
    elif has_trace "Start Downloading"; then
        recorded_by_this_run ||
            fail "the run did not record an update — see the trace lines above and $(rel "$logs")/host.log"
        say "done: the update to $offered was found, downloaded and recorded; the copy is the served package, byte for byte."
    elif grep -q "^strRegVersion=$offered .* hasRegVersion=1$" <<<"$traces"; then
        say "done: the offer of $offered is already pending from an earlier run, so nothing was fetched again (scripts/demo --reset starts clean)."
    elif ! grep -q '^strRegVersion=' <<<"$traces"; then
        fail "the run ended before it had read a manifest (no wizard, a cancelled one, or no answer from the server) — see the trace lines and requests above"
    else
        fail "the run read the manifest but found no update — see the trace lines above and the manifest in demo/site"
    fi
}

report_run() {
    local first_request=$1
    load_traces
    print_versions
    print_traces
    print_requests "$first_request"
    print_record
    print_verification
    print_outcome
}
