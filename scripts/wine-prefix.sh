#!/usr/bin/env bash
# Prepares a headless Wine prefix for the tests and tools: message boxes become real modal
# windows on an invisible desktop, and Wine's relay trace can report MessageBoxW arguments.
# Usage: scripts/wine-prefix.sh <prefix directory>   (an existing prefix is reused as it is)
set -euo pipefail
prefix=${1:?usage: wine-prefix.sh <prefix directory>}
mkdir -p "$(dirname "$prefix")"
prefix=$(cd "$(dirname "$prefix")" && pwd)/$(basename "$prefix")
export WINEPREFIX=$prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" LC_ALL=C.UTF-8
unset DISPLAY

if [ -f "$prefix/.launcher-prefix-ready" ]; then
  exit 0
fi
wineboot -i >/dev/null 2>&1
wineserver -w
reg() { wine reg add "$@" /f >/dev/null 2>&1; }
reg 'HKCU\Software\Wine\Drivers' /v Graphics /d null
reg 'HKCU\Software\Wine\Explorer' /v Desktop /d Default
reg 'HKCU\Software\Wine\Explorer\Desktops' /v Default /d 1024x768
reg 'HKCU\Software\Wine\Debug' /v RelayInclude /d user32.MessageBoxW
wineserver -w
touch "$prefix/.launcher-prefix-ready"
