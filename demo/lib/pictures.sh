# shellcheck shell=bash
# The screenshots of a shown demo under its own Xvfb: the driver saves BMP
# files of the wizard's window; they become PNG files named for the page and
# the language, as docs/ holds them.

pictures_taken=()

# Converts the pictures of the last toured run; fails when one is missing.
keep_pictures() {
    local page bmp png
    for page in "$@"; do
        bmp=$pictures_raw/$page.bmp
        [ -f "$bmp" ] || fail "no picture of the $page page was taken — see $(rel "$logs")/driver.log"
        png=$pictures/wizard-$page-$language_tag.png
        convert "$bmp" -strip "$png" 2>>"$logs/driver.log" ||
            fail "the picture of the $page page could not be saved as PNG — see $(rel "$logs")/driver.log"
        pictures_taken+=("$page|$(rel "$png")|$(sed -n "s/^captured $page .*bar \(.*\)$/bar \1/p" "$logs/driver.log")")
    done
}

print_pictures() {
    local entry page path note
    say "screenshots of the wizard:"
    for entry in "${pictures_taken[@]}"; do
        IFS='|' read -r page path note <<<"$entry"
        printf '    %-11s %s%s\n' "$page" "$path" "${note:+  ($note)}"
    done
}
