# Compares two sides' results of the case table (cases), normalised into
# $compared/$first and $compared/$second: report for report, byte for byte,
# and on exit status, stdout and stderr; then the table's expectations on
# each side. Sourced by tests/realstack/run (the host against the virtual
# machine) and tests/windows/run (Linux against Windows under Wine), which
# set compared, first, second, first_label and second_label and define say;
# bash.

compare_home=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)

# Shows where two transcripts part: the line, the first byte that differs,
# and both lines up to a little past it.
wire_difference() {  # first second
    awk -v a="$first_label" -v b="$second_label" -v sa="$first" -v sb="$second" '
         function upto(line, words,    w, out, j) {
             split(line, w, " ")
             for (j = 1; j <= words && j in w; ++j) out = out (j > 1 ? " " : "") w[j]
             return out (length(w) > words ? " ..." : "")
         }
         NR == FNR { one[FNR] = $0; n = FNR; next }
         { two[FNR] = $0; m = FNR }
         END {
             for (i = 1; i <= (n > m ? n : m); ++i) {
                 if (one[i] == two[i]) continue
                 split(one[i], h, " "); split(two[i], v, " ")
                 for (k = 1; h[k] == v[k]; ++k) {}
                 # Words 1 and 2 are the module and the direction; bytes count from 0.
                 printf "    line %d, %s byte %d: %s %s, %s %s\n", i, (h[2] != "" ? h[2] : v[2]), k - 3, \
                        a, (k in h ? h[k] : "(none)"), b, (k in v ? v[k] : "(none)")
                 printf "      %-6s%s\n      %-6s%s\n", sa ":", upto(one[i], k + 4), sb ":", upto(two[i], k + 4)
                 if (++shown == 3) break
             }
             printf "    (%d lines on the %s side, %d on the %s side)\n", n, a, m, b
         }' "$1" "$2"
}

# Says how a case differs between the normalised sides; nothing when it does not.
case_difference() {  # name
    local name=$1 file one=$compared/$first/$1 two=$compared/$second/$1
    for file in $({ ls "$one" "$two" 2> /dev/null || true; } | sed '/:$/d; /^$/d' | sort -u); do
        if ! [[ -e $two/$file && -e $one/$file ]]; then
            echo "    $file only from the $([[ -e $two/$file ]] && echo "$second_label" || echo "$first_label"):"
            cat "$one/$file" "$two/$file" 2> /dev/null | sed -n '1,10s/^/      /p'
        elif ! cmp -s "$one/$file" "$two/$file"; then
            if [[ $file == wire ]]; then
                wire_difference "$one/wire" "$two/wire"
            else
                echo "    $file differs ($first_label -, $second_label +):"
                { diff -u "$one/$file" "$two/$file" || true; } | sed -n '3,22s/^/      /p'
            fi
        fi
    done
}

# The table's expectations, on both sides; returns the count that failed.
check_expectations() {  # table
    local name what other side dir problems=0
    while read -r _ name what other; do
        for side in "$first" "$second"; do
            dir=$compared/$side
            case $what in
            sends-nothing) [[ ! -s $dir/$name/wire ]] ;;
            same-wire-as) cmp -s "$dir/$name/wire" "$dir/$other/wire" ;;
            wire-of) ! grep -qv "^$other " "$dir/$name/wire" && [[ -s $dir/$name/wire ]] ;;
            exits) [[ $(cat "$dir/$name/status") == "$other" ]] ;;
            *) false ;;
            esac || {
                say "FAIL expect $name $what $other ($side)"
                problems=$((problems + 1))
            }
        done
    done < <(grep '^expect ' "$1")
    return "$problems"
}

# Compares every case of the table and checks its expectations: says ok or
# FAIL for each, and sets passed and failed.
compare_cases() {  # table
    passed=0
    failed=0
    while IFS='|' read -r name _; do
        if diff -rq "$compared/$first/$name" "$compared/$second/$name" > /dev/null 2>&1; then
            passed=$((passed + 1))
            say "ok   $name"
        else
            failed=$((failed + 1))
            say "FAIL $name"
            case_difference "$name"
        fi
    done < <(. "$compare_home/cases.sh" && case_lines "$1")
    check_expectations "$1" || failed=$((failed + $?))
}
