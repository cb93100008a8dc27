# Shared by the shell tests on the private desktop (tests/desktop/testbed): checks counted and
# told, bounded waits, and the debug log the test desktop gives the program (QUILLSTOW_DEBUG_LOG).
failures=0
passes=0
pids=()

check() { # check DESCRIPTION COMMAND...
    local what=$1
    shift
    if "$@"; then
        echo "ok: $what"
        passes=$((passes + 1))
    else
        echo "FAILED: $what"
        failures=$((failures + 1))
    fi
}
started() { # started COMMAND...: in the background, ended by finish
    "$@" &
    pids+=($!)
}
finish() { # ends what was started (pids), tells the count and exits with its verdict
    for p in "${pids[@]}"; do kill "$p" 2>/dev/null; done
    echo "$passes passed, $failures failed"
    [ $failures -eq 0 ]
    exit $?
}
wait_until() { # wait_until SECONDS COMMAND...
    local limit=$1 i
    shift
    for i in $(seq 1 $((limit * 20))); do
        "$@" >/dev/null 2>&1 && return 0
        sleep 0.05
    done
    return 1
}
# log_mark, then new_log: the lines the log gained since the mark.
log_mark() { log_start=$(stat -c %s "$QUILLSTOW_DEBUG_LOG" 2>/dev/null || echo 0); }
new_log() { tail -c +$((log_start + 1)) "$QUILLSTOW_DEBUG_LOG" 2>/dev/null; }
log_start=0
