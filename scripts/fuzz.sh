#!/usr/bin/env bash
# Builds the fuzz targets with clang and libFuzzer (AddressSanitizer, UndefinedBehaviorSanitizer)
# in build-fuzz/ and runs each for SECONDS (default 60), one after another at low priority.
# Usage: scripts/fuzz.sh [SECONDS] [TARGET...]   (targets: the names of fuzz/*.cpp entries)
# The repository's seeds in fuzz/corpus/<target>/ are read, never written: what a run finds
# goes to build-fuzz/corpus/<target>/, and crashing, hanging or leaking inputs to
# build-fuzz/findings/<target>/ (add them to the seeds once the fault is mended). A file
# fuzz/<target>.options adds libFuzzer flags of that target (one line).
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
shift || true
all_targets=(qm_image edit_log text_decode settings text_match calculator link_pattern file_names)
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=("${all_targets[@]}")

bash scripts/install-deps.sh
CC=clang-14 CXX=clang++-14 cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DQM_FUZZ=ON -DQM_BUILD_GUI=OFF -DQM_BUILD_BENCH=OFF -DBUILD_TESTING=OFF >/dev/null
cmake --build build-fuzz -j"$(nproc)" --target "${targets[@]/#/fuzz_}"

summary=()
status=0
for target in "${targets[@]}"; do
    work=build-fuzz/corpus/$target
    findings=build-fuzz/findings/$target
    log=build-fuzz/logs/$target.log
    mkdir -p "$work" "$findings" "$(dirname "$log")"
    extra=()
    [ -f "fuzz/$target.options" ] && read -r -a extra <"fuzz/$target.options"
    echo "== $target: ${seconds}s ${extra[*]}"
    started=$SECONDS
    set +e
    nice -n 10 "build-fuzz/fuzz/fuzz_$target" "$work" "fuzz/corpus/$target" \
        -max_total_time="$seconds" -timeout=20 -rss_limit_mb=2048 -malloc_limit_mb=1024 \
        -print_final_stats=1 -artifact_prefix="$findings/" "${extra[@]}" >"$log" 2>&1
    rc=$?
    set -e
    ran=$((SECONDS - started))
    runs=$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$log" | grep -o '[0-9]*$' | tail -1)
    found=$(find "$findings" -type f | wc -l)
    if [ "$rc" -ne 0 ] || [ "$found" -gt 0 ]; then
        status=1
        grep -E 'ERROR|SUMMARY|fuzz property|Test unit written' "$log" | head -5 || true
    fi
    summary+=("$(printf '%-13s %6ss %12s runs  exit %s  findings %s' "$target" "$ran" \
        "${runs:-?}" "$rc" "$found")")
done
echo
printf '%s\n' "${summary[@]}"
exit "$status"
