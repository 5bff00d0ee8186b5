# Runs the cases of the table on one side. Sourced by the virtual machine's
# init (busybox sh) and by the host's runner (bash); plain POSIX sh.
#
# The side defines:
#   attach OPTIONS WIRE   attaches the modules that the lumora-vmodule OPTIONS
#                         describe; their transcript goes to WIRE
#   detach                removes them
#   as USER COMMAND...    runs COMMAND as root or as the unprivileged operator
#
# Results, one directory per case: status, stdout, stderr, wire.

# The case lines of the table, one per line: name|modules|user|arguments.
case_lines() {
    sed -e '/^#/d' -e '/^expect /d' -e '/^ *$/d' -e 's/ *| */|/g' -e 's/ *$//' "$1"
}

run_cases() {  # table results
    case_lines "$1" | while IFS='|' read -r name modules user arguments; do
        dir=$2/$name
        mkdir -p "$dir"
        : > "$dir/wire"
        if [ "$modules" != none ]; then
            attach "$modules" "$dir/wire" || echo "could not attach: $modules" > "$dir/error"
        fi
        # shellcheck disable=SC2086 # the arguments are words of the table
        status=0
        as "$user" lumoractl $arguments > "$dir/stdout" 2> "$dir/stderr" < /dev/null || status=$?
        echo $status > "$dir/status"
        if [ "$modules" != none ]; then
            detach
        fi
    done
}
