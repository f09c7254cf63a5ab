#!/usr/bin/env bash
# Installs what is missing, builds with warnings as errors, runs every test (unit, end-to-end,
# GUI offscreen), runs the unit, window and end-to-end tests once more under AddressSanitizer and
# UndefinedBehaviorSanitizer, and in that same clang tree builds the fuzz targets and runs each
# for a short while. Prints failures and a summary per tree; the full logs stay in each tree's
# ctest.log.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
jobs=$(nproc)
"$top/scripts/install-deps.sh"

# The two trees and the tests' scratch images take about 2.5 GiB; a full disk shows up as scattered
# "No space left on device" failures in unrelated tests, so say so once, up front.
free_mib=$(df -Pm "$top" | awk 'NR == 2 { print $4 }')
if [ "$free_mib" -lt 4096 ]; then
  echo "run-tests: only $free_mib MiB free on the disk of $top; the run needs about 3 GiB" >&2
fi

# Configures and builds one tree; ninja prints only what fails, then one line with the time, so
# that a slow CI run shows which phase grew.
build_tree() {
  local tree=$1
  shift
  local started=$SECONDS
  cmake -S "$top" -B "$tree" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
  cmake --build "$tree" -j "$jobs" -- --quiet
  echo "$(basename "$tree"): built ($((SECONDS - started)) s)"
}

# Runs ctest in a tree with the given arguments; prints the failures with their output, or the
# summary.
run_tests() {
  local tree=$1
  shift
  local started=$SECONDS
  if ! (cd "$tree" && ctest --output-on-failure -j "$jobs" "$@" >ctest.log 2>&1); then
    grep -v -E '^ *Start +[0-9]+: |^ *[0-9]+/[0-9]+ Test +#[0-9]+: .*(Passed|Skipped) +[0-9.]+ sec$' \
      "$tree/ctest.log"
    return 1
  fi
  echo "$(basename "$tree"): $(grep -E 'tests passed' "$tree/ctest.log") ($((SECONDS - started)) s)"
}

# Every tree runs even when an earlier one failed, so that one run shows every failure.
failed=0
# Each test program in a few shards rather than a process per test case (tests/CMakeLists.txt).
# Line tables only: backtraces keep file and line, and the tree takes half the disk it takes with
# full debug information (a CI machine's disk can be small).
plain_flags="-O2 -g1 -DNDEBUG"
build_tree "$top/build" -DQUILLON_WERROR=ON -DQUILLON_TEST_EACH_CASE=OFF \
  -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="$plain_flags" -DCMAKE_C_FLAGS_RELWITHDEBINFO="$plain_flags"
QT_QPA_PLATFORM=offscreen run_tests "$top/build" || failed=1
# The .deb from this build, unpacked and checked as a user meets it.
"$top/scripts/check-package.sh" || failed=1

# Once under the sanitizers: every unit (one process per test program), window and end-to-end
# test, and each fuzz target for a short while; not the benchmarks, the 200 % repeats of the
# window tests, or the image builder's own tests (they run none of our code).
# clang, -O1 and line tables only: half the build time of gcc's instrumentation, and reports
# still give file and line; the warnings are the plain tree's business. The fuzz targets share
# this tree's core rather than building a third tree.
sanitized_flags="-O1 -g1 -DNDEBUG"
CC=clang CXX=clang++ build_tree "$top/build-asan" -DQUILLON_SANITIZE=address,undefined \
  -DQUILLON_FUZZ=ON -DQUILLON_BUILD_BENCH=OFF \
  -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="$sanitized_flags" \
  -DCMAKE_C_FLAGS_RELWITHDEBINFO="$sanitized_flags"
QT_QPA_PLATFORM=offscreen ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 \
  UBSAN_OPTIONS=print_stacktrace=1 run_tests "$top/build-asan" -E '^e2e\.mkimage|\.scaled$' ||
  failed=1
echo "run-tests: $((SECONDS / 60)) min $((SECONDS % 60)) s"
exit $failed
