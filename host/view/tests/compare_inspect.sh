#!/usr/bin/env bash
# `inspect` on every built gauge, three ways, which must agree:
#   the native host on the ELF module (records and bitmaps),
#   the Windows host under Wine on the PE module: the same text but for the
#     first line (the file and its format), and the same exit status;
#   the native host on the PE module: it cannot load it, so only the bitmap
#     lines, which must be those of the ELF module.
#
#   compare_inspect.sh NATIVE_HOST NATIVE_BIN WINDOWS_HOST WINDOWS_BIN GAUGE...
set -uo pipefail

if [ $# -lt 5 ]; then
    echo "usage: compare_inspect.sh NATIVE_HOST NATIVE_BIN WINDOWS_HOST WINDOWS_BIN GAUGE..." >&2
    exit 2
fi
native_host=$1 native_bin=$2 windows_host=$3 windows_bin=$4
shift 4
if [ -z "${WINEPREFIX:-}" ]; then
    echo "compare_inspect.sh: WINEPREFIX is not set (run it through ctest)" >&2
    exit 2
fi

# The bitmap lines of a listing: from its "bitmap resources" line to the next
# line that does not start with a space.
bitmaps() { sed -n '/^bitmap resources/,/^[^ b]/p' | grep -v '^[^ b]'; }

failed=0
for gauge in "$@"; do
    elf="$native_bin/$gauge.gau" pe="$windows_bin/$gauge.gau" ok=1
    native=$("$native_host" inspect "$elf")
    native_status=$?
    windows=$(timeout 60 wine "$windows_host" inspect "$pe" | tr -d '\r')
    windows_status=${PIPESTATUS[0]}
    cross=$("$native_host" inspect "$pe")
    cross_status=$?

    if [ "$windows_status" != "$native_status" ] ||
        [ "$(tail -n +2 <<<"$windows")" != "$(tail -n +2 <<<"$native")" ]; then
        echo "FAIL $gauge: the Windows host lists the PE module otherwise (status $windows_status, native $native_status):"
        diff <(tail -n +2 <<<"$native") <(tail -n +2 <<<"$windows") | head -20
        ok=0
    fi
    if [ "$cross_status" != 0 ] || ! grep -q '^records: not read: a PE module' <<<"$cross" ||
        [ "$(bitmaps <<<"$cross")" != "$(bitmaps <<<"$native")" ]; then
        echo "FAIL $gauge: the native host lists the PE module's bitmaps otherwise (status $cross_status):"
        diff <(bitmaps <<<"$native") <(bitmaps <<<"$cross") | head -20
        ok=0
    fi
    if [ "$ok" = 1 ]; then echo "ok $gauge"; else failed=1; fi
done
exit "$failed"
