#!/usr/bin/env bash
# Builds Кадролог with the sanitizers and runs the whole test suite headless.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bash "$root/scripts/install-deps.sh"
cd "$root"

# Formatting is part of the test: every C++ file must match .clang-format.
if git rev-parse --git-dir >/dev/null 2>&1; then
  mapfile -t sources < <(git ls-files -- '*.cpp' '*.h')
  if [ ${#sources[@]} -gt 0 ]; then
    bad=$(clang-format --dry-run "${sources[@]}" 2>&1 | grep -E '^[^ ].*: (warning|error)' | cut -d: -f1 | sort -u || true)
    if [ -n "$bad" ]; then
      echo "Formatting differs from .clang-format in:"; echo "$bad"
      echo "Fix with: clang-format -i \$(git ls-files '*.cpp' '*.h')"
      exit 1
    fi
  fi
fi

build="$root/build-asan"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DKADROL_SANITIZE=ON >/dev/null
cmake --build "$build"
export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=0:strict_string_checks=1"
export LSAN_OPTIONS="suppressions=$root/tests/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
cd "$build"
ctest --output-on-failure -j2 --timeout 600
