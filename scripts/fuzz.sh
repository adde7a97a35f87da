#!/usr/bin/env bash
# Builds the libFuzzer targets with clang in ${BUILD_DIR:-build-fuzz} and runs each for
# SECONDS (default 60), starting from its seed corpus in fuzz/corpus/<name>/. Fails when any
# target reports a crash, a leak, a hang, a broken property or a sanitizer finding; the input
# that caused it is kept in $BUILD_DIR/artifacts/.
# Usage: scripts/fuzz.sh [SECONDS] [TARGET...]
# ZM_FUZZ_SEED=N fixes libFuzzer's random seed, so that a short run (as in CI) is repeatable.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh clang libclang-rt-14-dev
SECONDS_PER_TARGET=${1:-60}
shift || true
BUILD_DIR=$(realpath -m "${BUILD_DIR:-build-fuzz}")
JOBS=${JOBS:-$(nproc)}
mkdir -p "$BUILD_DIR"

CC=clang CXX=clang++ cmake -S . -B "$BUILD_DIR" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
    -DZM_BUILD_FUZZERS=ON -DZM_BUILD_TESTS=OFF -DZM_BUILD_BENCH=OFF >"$BUILD_DIR/configure.log" 2>&1 \
    || { cat "$BUILD_DIR/configure.log"; exit 1; }
cmake --build "$BUILD_DIR" --target fuzzers -j"$JOBS"

if [ $# -gt 0 ]; then
    targets=("$@")
else
    mapfile -t targets < <(sed 's/^fuzz_//; /^$/d' "$BUILD_DIR/fuzz-targets.txt")
fi

export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:halt_on_error=1:abort_on_error=0:strict_string_checks=1:detect_stack_use_after_return=1}
# Leaks of system libraries, never of project code, as in the sanitizer build.
export LSAN_OPTIONS=${LSAN_OPTIONS:-suppressions=$(realpath scripts/lsan-suppressions.txt):print_suppressions=0}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-halt_on_error=1:print_stacktrace=1}
export QT_QPA_PLATFORM=offscreen

mkdir -p "$BUILD_DIR/artifacts" "$BUILD_DIR/logs"
failed=()
for name in "${targets[@]}"; do
    # Absolute: a target may change its working directory.
    seeds=$PWD/fuzz/corpus/$name
    work=$BUILD_DIR/corpus/$name
    log=$BUILD_DIR/logs/$name.log
    mkdir -p "$work"
    [ -d "$seeds" ] || { echo "no seed corpus $seeds" >&2; failed+=("$name"); continue; }
    echo "== fuzz_$name for ${SECONDS_PER_TARGET}s"
    set +e
    # A target that does not end (a hang at exit, out of libFuzzer's reach) fails instead of
    # holding up the run.
    timeout -k 10 $((SECONDS_PER_TARGET + 120)) "$BUILD_DIR/fuzz/fuzz_$name" "$work" "$seeds" \
        -max_total_time="$SECONDS_PER_TARGET" -timeout=10 -rss_limit_mb=2048 -max_len=16384 \
        -error_exitcode=77 -timeout_exitcode=78 -print_final_stats=1 \
        -artifact_prefix="$BUILD_DIR/artifacts/$name-" ${ZM_FUZZ_SEED:+-seed="$ZM_FUZZ_SEED"} >"$log" 2>&1
    rc=$?
    set -e
    if [ "$rc" -eq 124 ] || [ "$rc" -eq 137 ]; then
        echo "fuzz_$name did not end in time" >>"$log"
    fi
    if [ "$rc" -ne 0 ] || grep -qE 'ERROR: (libFuzzer|AddressSanitizer|LeakSanitizer)|runtime error:|FUZZ_CHECK failed' "$log"; then
        echo "fuzz_$name FAILED (exit $rc); log: $log"
        grep -E 'ERROR:|runtime error:|FUZZ_CHECK|SUMMARY|Test unit written|did not end' "$log" | head -n 20
        failed+=("$name")
    else
        grep -E '^stat::(number_of_executed_units|peak_rss_mb)' "$log" | tr '\n' ' '
        echo
    fi
done

if [ ${#failed[@]} -gt 0 ]; then
    echo "fuzzing found problems in: ${failed[*]}"
    exit 1
fi
echo "fuzzing found nothing in ${#targets[@]} targets"
