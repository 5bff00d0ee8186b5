# Runs the cases of the table on one side. Sourced by the virtual machine's
# init (busybox sh) and by the host's runner (bash); plain POSIX sh.
#
# The side defines:
#   attach OPTIONS WIRE   attaches the modules that the lumora-vmodule OPTIONS
#                         describe; their transcript goes to WIRE
#   detach                removes them; fails, saying why on stderr, when
#                         they did not go cleanly
#   as USER COMMAND...    runs COMMAND as root or as the unprivileged operator
#
# Results, one directory per case: status, stdout, stderr, wire; a second
# program's status, stdout and stderr as 2.status, 2.stdout, 2.stderr; and
# "error" when the modules could not be attached or removed.

# The case lines of the table, one per line: name|modules|user|arguments.
case_lines() {
    sed -e '/^#/d' -e '/^expect /d' -e '/^ *$/d' -e 's/ *| */|/g' -e 's/ *$//' "$1"
}

run_lumoractl() {  # user arguments prefix
    status=0
    # shellcheck disable=SC2086 # the arguments are words of the table
    as "$1" lumoractl $2 > "$3stdout" 2> "$3stderr" < /dev/null || status=$?
    echo $status > "$3status"
}

children() {  # process: the processes it started
    for stat in /proc/[0-9]*/stat; do
        read -r pid _ _ parent _ < "$stat" 2> /dev/null && [ "$parent" = "$1" ] && echo "$pid"
    done
}

run_cases() {  # table results
    case_lines "$1" | while IFS='|' read -r name modules user arguments; do
        dir=$2/$name
        mkdir -p "$dir"
        : > "$dir/wire"
        if [ "$modules" != none ]; then
            attach "$modules" "$dir/wire" || echo "could not attach: $modules" >> "$dir/error"
        fi
        case $arguments in
        *' & '*)
            # Two programs at once: the second starts once the first has
            # the module and has sent its first report.
            run_lumoractl "$user" "${arguments%% & *}" "$dir/" &
            first=$!
            while [ ! -s "$dir/wire" ] && kill -0 $first 2> /dev/null; do
                sleep 0.01
            done
            run_lumoractl "$user" "${arguments#* & }" "$dir/2."
            wait $first
            ;;
        *' ^INT')
            # Ctrl-C as an operator gives it: SIGINT once the program has
            # sent its first report, while it waits for the reply. The
            # simulated controller waits out a silent read as a module does.
            LUMORA_SIM_REAL_TIMEOUTS=1 run_lumoractl "$user" "${arguments% ^INT}" "$dir/" &
            first=$!
            while [ ! -s "$dir/wire" ] && kill -0 $first 2> /dev/null; do
                sleep 0.01
            done
            # shellcheck disable=SC2046 # one process ID a word
            kill -INT $(children $first)
            wait $first
            ;;
        *) run_lumoractl "$user" "$arguments" "$dir/" ;;
        esac
        if [ "$modules" != none ]; then
            detach 2>> "$dir/error" || echo "the modules did not go cleanly" >> "$dir/error"
        fi
        [ -s "$dir/error" ] || rm -f "$dir/error"
    done
}
