# Runs the platform layer's test programs against the Linux rzl-sim on loopback: one that
# answers as a module does and one that sends its replies in two pieces (--fault split); their
# ports go to the programs as RZL_SIM_PORT and RZL_SPLIT_SIM_PORT. Sourced by
# tests/scripts/platform_layer_test.sh (the Linux programs) and scripts/windows/test-platform.sh
# (the Windows programs, under Wine). Call platform_stop_sims when leaving.

platform_sims=()
platform_port=""

# platform_start_sim SIM LOG [rzl-sim options]: starts it on a free loopback port, which goes to
# platform_port.
platform_start_sim() {
    local sim=$1 log=$2
    shift 2
    "$sim" --listen 127.0.0.1:0 "$@" >"$log" 2>&1 &
    local pid=$!
    platform_sims+=("$pid")
    platform_port=""
    for _ in $(seq 1 100); do
        platform_port=$(sed -n 's/^rzl-sim listening on 127\.0\.0\.1:\([0-9][0-9]*\)$/\1/p' "$log")
        [ -n "$platform_port" ] && return 0
        kill -0 "$pid" 2>/dev/null || break
        sleep 0.05
    done
    echo "rzl-sim $* did not start:"
    cat "$log"
    return 1
}

platform_stop_sims() {
    local pid
    for pid in "${platform_sims[@]}"; do
        kill "$pid" 2>/dev/null
        wait "$pid" 2>/dev/null
    done
    platform_sims=()
}

# platform_run_tests SIM BINDIR WORK [RUNNER...]: every platform_*_test program in BINDIR, each
# started through RUNNER when one is given (wine). Fails when any fails or none is found.
platform_run_tests() {
    local sim=$1 bindir=$2 work=$3
    shift 3
    platform_start_sim "$sim" "$work/sim.log" || return 1
    export RZL_SIM_PORT=$platform_port
    platform_start_sim "$sim" "$work/split-sim.log" --fault split || return 1
    export RZL_SPLIT_SIM_PORT=$platform_port
    local program failed=0 found=0
    for program in "$bindir"/platform_*_test "$bindir"/platform_*_test.exe; do
        [ -f "$program" ] || continue
        found=1
        echo "== ${program##*/}"
        "$@" "$program" </dev/null || failed=1
    done
    platform_stop_sims
    if [ "$found" -eq 0 ]; then
        echo "no platform test programs in $bindir"
        return 1
    fi
    return "$failed"
}
