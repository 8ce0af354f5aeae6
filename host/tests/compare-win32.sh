#!/bin/bash
# Runs the same probes with the Linux gaugehost and with gaugehost.exe under
# Wine and fails on any difference in output (carriage returns aside) or exit
# status.
#   host/tests/compare-win32.sh <native build folder> <win32 build folder>
# Wine settings come from the environment; WINEPREFIX defaults to a prefix
# inside the win32 build folder (made on first use, which takes a while).
set -u
native=$(cd "${1:?native build folder}" && pwd)/bin
win32=$(cd "${2:?win32 build folder}" && pwd)/bin
export WINEARCH=${WINEARCH:-win32} WINEDEBUG=${WINEDEBUG:--all}
export WINEPREFIX=${WINEPREFIX:-$win32/../wineprefix}
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

cases=(
    "QT_K729_Gen2Btn.gau --set 575=1 --click 1,0"
    "QT_K729_Gen2Btn.gau --text-buffer 0"
    "QT_K729_Gen2Btn.gau --text-buffer 5 --set 575=nan"
    "QT_K729_BattBtn.gau --set 364=0.30000000000000004 --hold 0,0,3 --kill"
    "QT_K729_Start2_Btn.gau --set 573=-0 --hold 10,10,5 --sound no-terminate --kill"
    "QT_K729_Start2_Btn.gau --sound absent --kill --kill"
    "QT_K729_WrngLt.gau --set 626=4.999999999999999 --set 645=5"
    "test-modules/HostFixtureKinds.gau --set 100=nan --set 101=-0 --set 102=0.1 --set 103=-inf --set 106=int:0xFFFFFFFF --set 107=1e300 --set 108=3.3333333333333335 --set 110=5e-324"
    "test-modules/HostFixtureKinds.gau --set 101=123456789.125 --set 109=text:abc --click 12,12 --hold 20,0,4 --kill --frame"
    "test-modules/HostFixtureKinds.gau --service 4 --service 99 --service 12"
    "test-modules/HostFixtureFaulty.gau --text-buffer 3"
    "test-modules/HostFixtureCycle.gau"
    "test-modules/HostFixtureDeep.gau"
    "test-modules/MalformedBadId.gau"
    "QT_K729_Gen2Btn.gau --set 575=abc"
)

failed=0
run_case() { # module, arguments...
    local module=$1
    shift
    "$native/gaugehost" probe "$native/$module" "$@" >"$scratch/native" 2>/dev/null
    local native_status=$?
    wine "$win32/gaugehost.exe" probe "$win32/$module" "$@" >"$scratch/raw" 2>/dev/null
    local win32_status=$?
    tr -d '\r' <"$scratch/raw" >"$scratch/win32"
    if [ $native_status -eq $win32_status ] && cmp -s "$scratch/native" "$scratch/win32"; then
        echo "same (status $native_status): $module $*"
    else
        echo "DIFFERENT (status $native_status / $win32_status): $module $*"
        diff "$scratch/native" "$scratch/win32" | head -c 2000
        failed=1
    fi
}
for line in "${cases[@]}"; do
    read -r -a words <<<"$line"
    run_case "${words[@]}"
done
# A text with characters outside ASCII, which the shell cannot split safely above.
run_case test-modules/HostFixtureKinds.gau --set "109=text:€ °" --set 101=2.5
exit $failed
