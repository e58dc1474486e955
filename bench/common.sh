# Shared by the benchmark scripts (sourced): one timed run and the median.
# Needs $work (a scratch folder) and the command in the array CMD.

# One run: seconds (microsecond clock) into LAST_T, peak KiB into LAST_M; a
# failing command ends the bench, so a failure is never timed as a result.
timed_run() {
    local t0=$EPOCHREALTIME
    if ! /usr/bin/time -f '%M' -o "$work/mem.txt" "${CMD[@]}" >/dev/null 2>"$work/err.txt"; then
        echo "failed: ${CMD[*]}" >&2
        cat "$work/err.txt" >&2
        exit 1
    fi
    local t1=$EPOCHREALTIME
    LAST_T=$(awk -v a="$t0" -v b="$t1" 'BEGIN{printf "%.4f", b-a}')
    LAST_M=$(tail -n 1 "$work/mem.txt")
}

median() { sort -g | awk '{a[NR]=$1} END {print (NR%2 ? a[(NR+1)/2] : (a[NR/2]+a[NR/2+1])/2)}'; }
