#!/usr/bin/env bash
# Sets up, builds Zorvel with AddressSanitizer and UndefinedBehaviorSanitizer
# and runs the whole test suite, then the Python module's tests with pytest.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh
cmake -S . -B build-test -G Ninja -DCMAKE_BUILD_TYPE=Debug \
  -DZORVEL_SANITIZE=ON -DZORVEL_BENCH=OFF
cmake --build build-test
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=0
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
ctest --test-dir build-test --output-on-failure -j2

# The Python module loads the plug-in into the system's python3, so it is
# tested against a build without sanitizers.
cmake -S . -B build-release -G Ninja -DCMAKE_BUILD_TYPE=Release
cmake --build build-release --target zorvel zorvel_cli demo_tables
ZORVEL_BUILD=$PWD/build-release /usr/bin/python3 -m pytest -q -p no:cacheprovider tests/python
