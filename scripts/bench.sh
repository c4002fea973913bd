#!/usr/bin/env bash
# Benchmarks: what the launcher costs next to the tools it stands beside, under Wine. Builds what
# it needs into build/ (or $BUILD_DIR), runs in its own prefix <build>/bench-prefix, and prints a
# Markdown table of medians (BENCH_RUNS runs per figure, default 7). Takes a few minutes.
# Usage: scripts/bench.sh
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build}
"$root/scripts/setup.sh"
cmake -S "$root" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" >/dev/null
echo "Building the benchmark's programs ..." >&2
cmake --build "$build" -j "$(nproc)" --target bench >/dev/null

prefix=$build/bench-prefix
"$root/scripts/wine-session.sh" start "$prefix"
trap '"$root/scripts/wine-session.sh" stop "$prefix"' EXIT
LAUNCHER_TEST_PREFIX=$prefix LAUNCHER_TOOLS_DIR=$build/tools LAUNCHER_FIXTURES_DIR=$build/fixtures \
  python3 "$root/scripts/bench.py" "$build"
