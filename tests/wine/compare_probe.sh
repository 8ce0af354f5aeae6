#!/usr/bin/env bash
# Runs every case of the probe case file through the native host on the native
# modules and through the Windows host under Wine on the PE modules, and
# requires the same standard output and the same exit status from both.
#
#   compare_probe.sh CASES NATIVE_HOST NATIVE_BIN WINDOWS_HOST WINDOWS_BIN [CASE...]
#
# Case lines: `name | MODULE | probe steps... | expectations...`; the
# expectations are another test's business. Blank lines and lines starting
# with `#` are skipped. Naming cases runs only those.
set -uo pipefail

if [ $# -lt 5 ]; then
    echo "usage: compare_probe.sh CASES NATIVE_HOST NATIVE_BIN WINDOWS_HOST WINDOWS_BIN [CASE...]" >&2
    exit 2
fi
cases_file=$1 native_host=$2 native_bin=$3 windows_host=$4 windows_bin=$5
shift 5
declare -A wanted=()
for name in "$@"; do wanted[$name]=1; done

for f in "$cases_file" "$native_host" "$windows_host" "$native_bin" "$windows_bin"; do
    [ -e "$f" ] || { echo "compare_probe.sh: no $f" >&2; exit 2; }
done
# Each host runs from its own bin/ folder.
native_host=$(realpath "$native_host") windows_host=$(realpath "$windows_host")
native_bin=$(realpath "$native_bin") windows_bin=$(realpath "$windows_bin")
# Meant to run in the Wine stage's prefix (see wine_server.sh), never the
# user's own; and one stray Wine message in the output would fail every case.
if [ -z "${WINEPREFIX:-}" ]; then
    echo "compare_probe.sh: WINEPREFIX is not set (run it through ctest)" >&2
    exit 2
fi
[ "${WINEDEBUG:-}" = "-all" ] || echo "compare_probe.sh: warning: WINEDEBUG is not -all" >&2

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

trim() {
    local text=$1
    text=${text#"${text%%[![:space:]]*}"}
    printf '%s' "${text%"${text##*[![:space:]]}"}"
}

now() { date +%s%N; }
seconds() { printf '%d.%03d' $(($1 / 1000000000)) $(($1 / 1000000 % 1000)); }

# A hung run (a crash dialog, a deadlock) ends the case rather than the stage.
run_limit=60

declare -A seen=()
ran=0 failed=0 line_number=0
native_total=0 wine_total=0
while IFS= read -r line || [ -n "$line" ]; do
    line_number=$((line_number + 1))
    line=${line%$'\r'}
    [[ "$line" =~ ^[[:space:]]*(#|$) ]] && continue

    # Fields are separated by " | " exactly, as the native case test reads them.
    line=$(trim "$line")
    [[ "$line" == *"|" ]] && line+=" " # an empty last field
    line=${line//" | "/$'\x1f'}
    IFS=$'\x1f' read -r -a fields <<<"$line"
    name=$(trim "${fields[0]:-}")
    module=$(trim "${fields[1]:-}")
    steps=$(trim "${fields[2]:-}")
    where="$cases_file:$line_number"
    if [ "${#fields[@]}" -lt 3 ] || [ -z "$name" ] || [[ ! "$module" =~ ^[A-Za-z0-9_]+$ ]]; then
        echo "FAIL $where: not 'name | MODULE | steps... | expectations...': $line"
        failed=$((failed + 1))
        continue
    fi
    if [ -n "${seen[$name]:-}" ]; then
        echo "FAIL $where: case '$name' already defined at ${seen[$name]}"
        failed=$((failed + 1))
        continue
    fi
    seen[$name]=$where
    if [ ${#wanted[@]} -gt 0 ] && [ -z "${wanted[$name]:-}" ]; then continue; fi
    ran=$((ran + 1))

    read -r -a args <<<"$steps"
    missing=""
    for bin in "$native_bin" "$windows_bin"; do
        [ -f "$bin/$module.gau" ] || missing+=" $bin/$module.gau"
    done
    if [ -n "$missing" ]; then
        echo "FAIL $name ($where): no module file:$missing"
        failed=$((failed + 1))
        continue
    fi

    # Both hosts run from their bin/ folder and name the module the same way,
    # so nothing in the invocation differs but the build.
    t0=$(now)
    (cd "$native_bin" && timeout "$run_limit" "$native_host" probe "./$module.gau" "${args[@]}") \
        >"$work/native.out" 2>"$work/native.err" </dev/null
    native_status=$?
    t1=$(now)
    (cd "$windows_bin" && timeout "$run_limit" wine "$windows_host" probe "./$module.gau" "${args[@]}") \
        >"$work/wine.raw" 2>"$work/wine.err" </dev/null
    wine_status=$?
    t2=$(now)
    native_total=$((native_total + t1 - t0))
    wine_total=$((wine_total + t2 - t1))
    tr -d '\r' <"$work/wine.raw" >"$work/wine.out"

    if cmp -s "$work/native.out" "$work/wine.out" && [ "$native_status" = "$wine_status" ]; then
        echo "ok   $name (exit $native_status; native $(seconds $((t1 - t0))) s, wine $(seconds $((t2 - t1))) s)"
        continue
    fi
    failed=$((failed + 1))
    echo "FAIL $name ($where): ${module} ${args[*]}"
    [ "$native_status" = "$wine_status" ] ||
        echo "     exit status: native $native_status, wine $wine_status"
    if ! cmp -s "$work/native.out" "$work/wine.out"; then
        # The report is one long line: split after each comma to show where.
        for side in native wine; do sed 's/,/,\n/g' "$work/$side.out" >"$work/$side.split"; done
        diff -u --label "native stdout (split after commas)" --label "wine stdout" \
            "$work/native.split" "$work/wine.split" | sed 's/^/     /'
    fi
    for side in native wine; do
        if [ -s "$work/$side.err" ]; then
            echo "     $side stderr:"
            head -n 20 "$work/$side.err" | sed 's/^/       /'
        fi
    done
done <"$cases_file"

for name in "${!wanted[@]}"; do
    if [ -z "${seen[$name]:-}" ]; then
        echo "FAIL no case named '$name'"
        failed=$((failed + 1))
    fi
done
echo "$ran cases, $failed failed; native $(seconds "$native_total") s, wine $(seconds "$wine_total") s"
[ "$ran" -gt 0 ] || { echo "no case ran"; exit 1; }
[ "$failed" -eq 0 ]
