#!/usr/bin/env bash
# The launcher's main job on a demo product: installs the demo product at the version that the
# embedded demo package targets, runs the launcher with no switches, and shows what happened.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build}
"$root/scripts/setup.sh"
cmake -S "$root" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" >/dev/null
cmake --build "$build" -j "$(nproc)" --target launcher watcher msi_tool >/dev/null

prefix=$build/demo-prefix
"$root/scripts/wine-session.sh" start "$prefix"
trap '"$root/scripts/wine-session.sh" stop "$prefix"' EXIT
LAUNCHER_TEST_PREFIX=$prefix LAUNCHER_TOOLS_DIR=$build/tools \
  python3 "$root/scripts/demo.py" "$build/bin/launcher.exe" "$build/fixtures"
