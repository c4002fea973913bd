#!/usr/bin/env python3
"""The demo run behind scripts/demo.sh: a real product patched by the real launcher under Wine.

Usage: demo.py <launcher.exe> <fixtures folder>   (LAUNCHER_TEST_PREFIX, LAUNCHER_TOOLS_DIR set)
"""
import json
import os
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "tests", "e2e"))
import harness  # noqa: E402


def msi_tool(*args):
    return harness.wine(harness.tool("msi_tool.exe"), *args).splitlines()


def main(launcher, fixtures):
    with open(os.path.join(fixtures, "catalog.json"), encoding="utf-8") as f:
        demo = json.load(f)["products"]["demo"]
    code = demo["code"]
    msi_tool("uninstall", code)
    result = msi_tool("install", harness.to_windows(os.path.join(fixtures, "demo-1.0.0.0.msi")))[0]
    if result != "0":
        sys.exit(f"installing the demo product failed with {result}")
    before = msi_tool("info", code, "VersionString")[1]
    print(f"{demo['name']} {code} is installed at version {before}.")

    temp, temp_windows = harness.temp_dir("demo")
    print(f"Running {os.path.basename(launcher)} with no switches (temporary folder {temp_windows}) ...")
    started = time.monotonic()
    run = harness.run(launcher, [], env={"TMP": temp_windows, "TEMP": temp_windows})
    seconds = time.monotonic() - started
    for number, box in enumerate(run.boxes, start=1):
        print(f"  box {number}: [{box.caption}] {box.text!r} (style 0x{box.style or 0:05x})")
    if not run.boxes:
        print("  no message box")
    print(f"  exit code {run.exit_code}, {seconds:.2f} s")

    after = msi_tool("info", code, "VersionString")[1]
    print(f"{demo['name']} is now at version {after}.")
    logs = [name for name in os.listdir(temp) if name.endswith(".log")]
    for name in logs:
        path = os.path.join(temp, name)
        print(f"Verbose log: {harness.to_windows(path)} ({os.path.getsize(path)} bytes), on Linux {path}")
    left = [name for name in os.listdir(temp) if not name.endswith(".log")]
    print("Nothing else is left in the temporary folder." if not left else f"Also left: {left}")
    return 0 if after != before else 1


if __name__ == "__main__":
    sys.exit(main(*sys.argv[1:3]))
