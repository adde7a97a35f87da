#!/usr/bin/env bash
# Builds the whole project and test suite with AddressSanitizer and UndefinedBehaviorSanitizer
# in ${BUILD_DIR:-build-asan} and runs the suite. Any sanitizer report stops the process that
# made it, so its test fails. Leaks inside system libraries that the project cannot free are
# listed in scripts/lsan-suppressions.txt; project code is never suppressed.
# Usage: scripts/sanitize.sh [CTEST ARGUMENTS...]   e.g. -R tst_wire
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
BUILD_DIR=$(realpath -m "${BUILD_DIR:-build-asan}")
JOBS=${JOBS:-$(nproc)}
flags="-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined"

cmake -S . -B "$BUILD_DIR" -DCMAKE_BUILD_TYPE=Debug \
    -DCMAKE_CXX_FLAGS="$flags" \
    -DCMAKE_EXE_LINKER_FLAGS="-fsanitize=address,undefined" \
    -DCMAKE_SHARED_LINKER_FLAGS="-fsanitize=address,undefined" \
    -DZM_BUILD_TESTS=ON -DZM_TEST_HOOKS=ON -DZM_BUILD_BENCH=OFF -DZM_BUILD_FUZZERS=OFF -DZM_TEST_TIMEOUT=1500
cmake --build "$BUILD_DIR" -j"$JOBS"

suppressions=$(realpath scripts/lsan-suppressions.txt)
export ASAN_OPTIONS=detect_leaks=1:halt_on_error=1:detect_stack_use_after_return=1:strict_init_order=1:check_initialization_order=1
export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
export LSAN_OPTIONS=suppressions=$suppressions:print_suppressions=0
# QtTest's limit per test function (300 s by default) is too short for the slowest functions here.
export QTEST_FUNCTION_TIMEOUT=${QTEST_FUNCTION_TIMEOUT:-1200000}

cd "$BUILD_DIR"
set +e
ctest --output-on-failure -j"$JOBS" --timeout 900 "$@"
rc=$?
set -e
log=Testing/Temporary/LastTest.log
if grep -qE 'ERROR: (AddressSanitizer|LeakSanitizer)|runtime error:' "$log"; then
    echo "== sanitizer reports:"
    grep -nE 'ERROR: (AddressSanitizer|LeakSanitizer)|runtime error:|^SUMMARY:' "$log" | head -n 40
    rc=1
fi
[ "$rc" -eq 0 ] && echo "sanitized suite passed with no report"
exit "$rc"
