#!/usr/bin/env bash
# Builds everything and runs every test under Wine, in a fresh prefix of its own.
# Usage: scripts/test.sh [ctest arguments...]   (e.g. -L unit, -R e2e.extract)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build}
"$root/scripts/build.sh"

prefix=$build/wineprefix
"$root/scripts/wine-session.sh" stop "$prefix"
rm -rf "$prefix"
"$root/scripts/wine-session.sh" start "$prefix"
trap '"$root/scripts/wine-session.sh" stop "$prefix"' EXIT

ctest --test-dir "$build" --output-on-failure -j "$(nproc)" "$@"
