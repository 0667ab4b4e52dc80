#!/usr/bin/env bash
# Installs what is missing, configures, builds with warnings as errors and
# runs every test. The exit status is the tests'.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh
jobs=$(nproc 2>/dev/null || echo 2)
cmake -S . -B build -DKDLIB_WERROR=ON -DKDLIB_TESTS=ON > /dev/null
cmake --build build -j"$jobs"
cd build
ctest --output-on-failure -j"$jobs"
