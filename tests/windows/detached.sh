#!/bin/sh
# Runs a Windows program under Wine with its output going to a file, then
# prints that: the services Wine starts on a program's behalf (services.exe,
# rpcss.exe, ...) inherit its output and outlive it, and CTest would wait for
# every holder of its pipe until the test's time-out.
#   detached.sh WINE PROGRAM [ARGUMENT...]
out=$(mktemp) || exit 1
"$@" > "$out" 2>&1
status=$?
cat "$out"
rm -f "$out"
exit "$status"
