#!/usr/bin/env bash
# Builds Dialdex (the programs, the tests, the benchmarks' programs) and runs every test; then builds the
# suite with AddressSanitizer and UndefinedBehaviorSanitizer (build-asan, every test) and with
# ThreadSanitizer (build-tsan, the window tests, which run the search worker and shutdown, and the unit
# tests that start threads: the member pool, the tools' shared tables). Any sanitizer
# report fails the run. DIALDEX_QUICK=1 skips the sanitizer builds. Installs what it needs first, only when missing.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
"$top/scripts/install-dependencies.sh"
# The benchmarks' programs are built too (not run), so that a change to what they call cannot leave them
# broken until the next benchmark run.
# Warnings fail the project's own builds (an option, off for everyone else's).
"$top/scripts/build.sh" "$top/build" -DDIALDEX_BENCH=ON -DDIALDEX_WERROR=ON
export QT_QPA_PLATFORM=offscreen
export XDG_RUNTIME_DIR=${XDG_RUNTIME_DIR:-$(mktemp -d)}
chmod 700 "$XDG_RUNTIME_DIR"
cd "$top/build"
ctest --output-on-failure -j2 --timeout 600
[ "${DIALDEX_QUICK:-0}" = 1 ] && exit 0

# Runs ctest in a sanitizer build with the given ctest arguments. The reports of every process, the
# programs the window tests start included, go to files in reports/: a test that ignores a child's exit
# code cannot hide one.
run_sanitized() {
  local folder=$1
  shift
  rm -rf "$folder/reports"
  mkdir -p "$folder/reports"
  chmod 1777 "$folder/reports" # the fault tests run the program as another user too
  local failed=0
  (cd "$folder" && ctest --output-on-failure -j2 --timeout 1200 "$@") || failed=1
  if compgen -G "$folder/reports/*" > /dev/null; then
    echo "Sanitizer reports in $folder:"
    cat "$folder"/reports/*
    failed=1
  fi
  return $failed
}

"$top/scripts/build.sh" "$top/build-asan" -DDIALDEX_SANITIZE=address -DDIALDEX_WERROR=ON
ASAN_OPTIONS="halt_on_error=1:detect_leaks=1:log_path=$top/build-asan/reports/asan" \
LSAN_OPTIONS="suppressions=$top/tests/lsan.supp:print_suppressions=0" \
UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1:log_path=$top/build-asan/reports/ubsan" \
  run_sanitized "$top/build-asan"

# Qt itself is not instrumented: tests/tsan.supp names the races TSan sees inside Qt's own code only.
"$top/scripts/build.sh" "$top/build-tsan" -DDIALDEX_SANITIZE=thread -DDIALDEX_WERROR=ON
TSAN_OPTIONS="halt_on_error=1:exitcode=66:second_deadlock_stack=1:suppressions=$top/tests/tsan.supp:log_path=$top/build-tsan/reports/tsan" \
  run_sanitized "$top/build-tsan" -L 'ui|threads'
