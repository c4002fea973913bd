"""The test products of tools/fixtures/catalog.py in the test prefix, through the real msi.dll
(msi_tool.exe): install, remove, and read what Windows Installer says of them afterwards.

Configured by LAUNCHER_FIXTURES_DIR (the folder catalog.py wrote) besides the harness's own
variables."""

import json
import os
import subprocess
import tempfile

import harness


def fixtures_dir():
    return os.environ["LAUNCHER_FIXTURES_DIR"]


def catalog():
    with open(os.path.join(fixtures_dir(), "catalog.json"), encoding="utf-8") as f:
        return json.load(f)


PRODUCTS = catalog()["products"] if "LAUNCHER_FIXTURES_DIR" in os.environ else {}


def code(key):
    return PRODUCTS[key]["code"]


def name(key):
    return PRODUCTS[key]["name"]


def language(key):
    return PRODUCTS[key]["language"]


def msi_tool(*commands):
    """Runs the commands (tuples of arguments) in one msi_tool process; returns its lines."""
    script = "".join("\t".join(map(str, command)) + "\n" for command in commands).encode("utf-8")
    with tempfile.TemporaryFile() as stdin, tempfile.TemporaryFile() as stdout:
        stdin.write(script)
        stdin.seek(0)
        # Output to a file: helper processes of Wine outlive the tool and would hold a pipe.
        subprocess.run(["wine", harness.tool("msi_tool.exe"), "batch"], stdin=stdin, stdout=stdout,
                       stderr=subprocess.DEVNULL, env=harness.wine_environment(), timeout=300, check=True)
        stdout.seek(0)
        return stdout.read().decode("utf-8").splitlines()


def install(key, version, suffix=None):
    """Installs the product built at `version`; fails the caller loudly when it cannot."""
    file_name = f"{key}{'-' + suffix if suffix else ''}-{version}.msi"
    result = msi_tool(("install", harness.to_windows(os.path.join(fixtures_dir(), file_name))))
    if result != ["0"]:
        raise harness.HarnessError(f"installing {file_name} gave {result}")


def remove(*keys):
    msi_tool(*[("uninstall", code(key)) for key in keys])


def versions(*keys):
    """The VersionString of each product ("" where it is not installed)."""
    lines = msi_tool(*[("info", code(key), "VersionString") for key in keys])
    return [lines[2 * i + 1] if lines[2 * i] == "0" else "" for i in range(len(keys))]


def installed_file(key):
    """The content of the product's one installed file, or None."""
    path = os.path.join(harness.prefix(), "drive_c", "Program Files (x86)",
                        "Fixture-" + code(key)[1:-1], "app.txt")
    if not os.path.exists(path):
        return None
    with open(path, "rb") as f:
        return f.read()
