#!/bin/sh
# Stands in for xfreerdp: writes "program=" and the name it was started as, each argument on a line
# of its own, then "stdin=" and all its standard input held, to the file named by
# CORVALIS_RDP_RECORD. Written aside, then renamed: the record appears whole or not at all.
PATH=/usr/bin:/bin  # the tests leave only the stand-ins on PATH
{
    printf 'program=%s\n' "${0##*/}"
    for argument; do
        printf '%s\n' "$argument"
    done
    printf stdin=
    cat
} >"$CORVALIS_RDP_RECORD.partial" && mv "$CORVALIS_RDP_RECORD.partial" "$CORVALIS_RDP_RECORD"
