#!/bin/sh
# check-man-pages.sh PAGE...: each page must format without a warning from man/groff (the
# way lintian runs it) and hold the sections a reader looks for. Status 77 (skipped)
# without man.
command -v man > /dev/null || { echo "man is not installed"; exit 77; }
status=0
for page in "$@"; do
    warnings=$(LC_ALL=C.UTF-8 MANROFFSEQ='' MANWIDTH=80 man --warnings -E UTF-8 -l -Tutf8 -Z "$page" 2>&1 > /dev/null)
    if [ -n "$warnings" ]; then
        echo "$page: $warnings"
        status=1
    fi
    for section in NAME SYNOPSIS DESCRIPTION OPTIONS EXAMPLES "SEE ALSO"; do
        if ! zcat -f "$page" | grep -q "^\.SH \"*$section\"*\$"; then
            echo "$page: no $section section"
            status=1
        fi
    done
done
exit $status
