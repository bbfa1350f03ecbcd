# shellcheck shell=bash
# What the demo tells its user: progress lines, and the one line that ends a
# failed demo, saying what went wrong and what to do.

# A path as the user sees it from the repository's folder.
rel() {
    printf '%s' "${1#"$PWD/"}"
}

say() {
    printf 'demo: %s\n' "$*"
}

# Says what went wrong and what to do, and ends the demo with a failure; the
# EXIT trap then stops whatever the demo had started.
fail() {
    printf 'demo: %s\n' "$*" >&2
    exit 1
}

# For failures that no step foresaw, so that they too end in one clear line.
fail_unexpectedly() {
    local line=$1 file=$2 command=$3
    trap - ERR
    fail "unexpected failure at $file line $line ($command) — look at the messages above and the logs in ${logs:-build/demo/logs}"
}
