#!/usr/bin/env bash
# Installs what is missing, builds, and runs the whole test suite with ctest.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/build.sh -DZM_TEST_HOOKS=ON
cd "${BUILD_DIR:-build}"
ctest --output-on-failure -j"$(nproc)" --timeout 300
