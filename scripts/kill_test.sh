#!/usr/bin/env bash
# Kills the real program at random moments while it is driven like a busy user (typing,
# switching, new, rename, cut and paste, delete, checkpoints), then checks each notebook left
# behind: `qmtool check` passes on both tree files, every step that returned is there, and the
# typed notes hold everything typed more than 2.5 s before the kill.
#
#   scripts/kill_test.sh [ITERATIONS] [KILL_DRIVER] [QMTOOL]
#
# ITERATIONS defaults to 200; the programs default to those of build/. QM_KILL_MAX_SECONDS (default
# 7) bounds the time from a start to its kill. Exit status 0 when every iteration passed.
set -uo pipefail
cd "$(dirname "$0")/.."
iterations=${1:-200}
driver=${2:-build/tests/app/window/kill_driver}
qmtool=${3:-build/src/qmtool/qmtool}
export QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen}

work=$(mktemp -d /var/tmp/qm-kill-XXXXXX)
trap 'rm -rf "$work"' EXIT
"$driver" generate "$work/original" 3000 || exit 1

failures=0
for ((i = 1; i <= iterations; i++)); do
    run="$work/run"
    rm -rf "$run"
    cp -r "$work/original" "$run"
    ledger="$work/ledger"
    : >"$ledger"
    "$driver" run "$run" "$ledger" "$i" 2>"$work/driver.err" &
    pid=$!
    # Some kills land during start-up, most while the steps go on.
    sleep "$((RANDOM % ${QM_KILL_MAX_SECONDS:-7})).$((RANDOM % 10))$((RANDOM % 10))"
    kill_ms=$(date +%s%3N)
    if ! kill -0 "$pid" 2>/dev/null; then
        wait "$pid"
        echo "iteration $i: the driver ended ($?) before the kill: $(grep -v QStandardPaths "$work/driver.err")"
        failures=$((failures + 1))
        continue
    fi
    kill -KILL "$pid"
    wait "$pid" 2>/dev/null
    problem=""
    for file in 笔记本.qm 回收站.qm; do
        if [[ -e "$run/$file" ]] && ! out=$("$qmtool" check "$run/$file" 2>&1); then
            problem+="qmtool check $file: $out; "
        fi
    done
    if ! out=$("$driver" check "$run" "$work/original/笔记本.qm" "$ledger" "$kill_ms" 2>&1); then
        problem+="$out"
    fi
    steps=$(wc -l <"$ledger")
    if [[ -n "$problem" ]]; then
        failures=$((failures + 1))
        echo "iteration $i: FAILED after $steps steps: $problem"
        cp -r "$run" "/var/tmp/qm-kill-failed-$i" && cp "$ledger" "/var/tmp/qm-kill-failed-$i/ledger"
        echo "$kill_ms" >"/var/tmp/qm-kill-failed-$i/kill_ms"
    else
        echo "iteration $i: $steps steps, $out"
    fi
done
echo "$((iterations - failures)) of $iterations iterations passed"
[[ $failures -eq 0 ]]
