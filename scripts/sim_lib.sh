# Starting simulated controllers, for the demo and the sandbox. Expects
# $sim (the tavrix-sim program), $logs (a folder for their output) and
# $pids (the process list the caller stops on exit).

# sim_start NAME READY OPTIONS...: starts tavrix-sim with OPTIONS (it ends
# with its parent), its output in $logs/NAME.out and $logs/NAME.log, and
# waits until a line of either matches READY. A simulator that ends or is
# not ready within five seconds has its log shown and stops the script.
sim_start() {
    sim_name=$1
    sim_ready=$2
    shift 2
    "$sim" --exit-with-parent "$@" >"$logs/$sim_name.out" 2>"$logs/$sim_name.log" &
    sim_pid=$!
    pids="$pids $sim_pid"
    sim_tries=0
    until grep -q "$sim_ready" "$logs/$sim_name.out" "$logs/$sim_name.log" 2>/dev/null; do
        sim_tries=$((sim_tries + 1))
        if [ $sim_tries -gt 50 ] || ! kill -0 "$sim_pid" 2>/dev/null; then
            cat "$logs/$sim_name.log" >&2
            echo "$(basename "$0" .sh): the simulator $sim_name did not start" >&2
            exit 1
        fi
        sleep 0.1
    done
}
