#!/usr/bin/env python3
"""The measurements behind scripts/bench.sh: what the launcher costs next to the tools it stands
beside, under Wine, as a Markdown table of medians.

Usage: bench.py <build dir>   (LAUNCHER_TEST_PREFIX: a prepared prefix with its server running;
                               LAUNCHER_TOOLS_DIR, LAUNCHER_FIXTURES_DIR as for the tests;
                               BENCH_RUNS: runs per figure, default 7)

Every Windows program is timed by bench_run.exe (tools/bench), a Windows-side parent: the time
runs from just before CreateProcessW to the moment the process handle is signalled, so the
start of Wine's own `wine` command is in no figure. Memory is sampled by the same parent every
millisecond through GetProcessMemoryInfo. The two sides of a comparison run in alternation, one
round after the other, after one unmeasured warm-up run of each.
"""
import filecmp
import json
import os
import platform
import statistics
import struct
import subprocess
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "tests", "e2e"))
import harness  # noqa: E402
import products  # noqa: E402

MIB = 1024 * 1024
RUNS = int(os.environ.get("BENCH_RUNS", "7"))
DEMO_TARGET_VERSION = "1.0.0.0"
DEMO_PATCHED_VERSION = "2.0.0.0"


class BenchError(RuntimeError):
    pass


# ------------------------------------------------------------------------------------------------
# Running programs

class Bench:
    def __init__(self, build):
        self.build = os.path.abspath(build)
        self.dir = os.path.join(self.build, "bench")
        self.runner = os.path.join(self.dir, "bench_run.exe")
        self.out, self.out_windows = harness.temp_dir("bench")
        self.tmp, self.tmp_windows = harness.temp_dir("bench-tmp")

    def exe(self, name):
        path = os.path.join(self.dir, name)
        if not os.path.isfile(path):
            raise BenchError(f"{path} is missing: build the target 'bench'")
        return path

    def run(self, exe, args=(), poll=False, env=None, timeout=120):
        """Runs one program under bench_run.exe; returns its JSON record."""
        options = ["--timeout", str(timeout * 1000)]
        if poll:
            options += ["--poll", "1"]
        for name, value in (env or {}).items():
            options += ["--env", f"{name}={value}"]
        line = harness.command_line(exe, list(args))
        out = harness.wine(self.runner, *options, "--", line, check=False, timeout=timeout + 30)
        records = [json.loads(text) for text in out.splitlines() if text.startswith("{")]
        if not records or "exit" not in records[-1]:
            raise BenchError(f"{line}: {out.strip() or 'no result from bench_run'}")
        return records[-1]

    def checked(self, exe, args=(), **kwargs):
        record = self.run(exe, args, **kwargs)
        if record["exit"] != 0:
            raise BenchError(f"{os.path.basename(exe)} {' '.join(args)} exited with {record['exit']}")
        return record


def alternate(sides, runs=RUNS, prepare=None, check=None):
    """Runs each side (name -> function returning a record) once unmeasured, then `runs` rounds
    in alternation, the order flipped every round. prepare(name) runs before and check(name,
    record) after each run, both outside the measured time. Returns name -> list of records."""
    names = list(sides)
    records = {name: [] for name in names}
    for round_number in range(-1, runs):
        order = names if round_number % 2 == 0 else names[::-1]
        for name in order:
            if prepare:
                prepare(name)
            record = sides[name]()
            if check:
                check(name, record)
            if round_number >= 0:
                records[name].append(record)
    return records


def median(records, field="seconds"):
    return statistics.median(record[field] for record in records)


# ------------------------------------------------------------------------------------------------
# The executable file

def resource_sizes(path):
    """Bytes of section data per section name, and of resource data per resource type."""
    with open(path, "rb") as f:
        data = f.read()
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    sections_count, optional_size = struct.unpack_from("<H12xH", data, pe + 6)
    table = pe + 24 + optional_size
    sections = {}
    rsrc = None
    for index in range(sections_count):
        name, raw_size, raw_offset = struct.unpack_from("<8s8xII", data, table + 40 * index)
        name = name.rstrip(b"\0").decode()
        sections[name] = raw_size
        if name == ".rsrc":
            rsrc = raw_offset
    types = {}
    if rsrc is not None:
        base = rsrc

        def entries(offset):
            named, numbered = struct.unpack_from("<12xHH", data, base + offset)
            for index in range(named + numbered):
                yield struct.unpack_from("<II", data, base + offset + 16 + 8 * index)

        def total(offset):
            if offset & 0x80000000:  # a subdirectory: languages, names
                return sum(total(child) for _, child in entries(offset & 0x7FFFFFFF))
            return struct.unpack_from("<4xI", data, base + offset)[0]  # a data entry's size

        for name, child in entries(0):
            key = name  # a numbered type: 3 icon, 14 icon group, 6 strings, ...
            if name & 0x80000000:  # a named type ("MSP"): a counted UTF-16 string
                at = base + (name & 0x7FFFFFFF)
                length = struct.unpack_from("<H", data, at)[0]
                key = data[at + 2:at + 2 + 2 * length].decode("utf-16-le")
            types[key] = total(child)
    return sections, types


# ------------------------------------------------------------------------------------------------
# The measurements

def measure_size(bench):
    path = bench.exe("launcher_1b.exe")
    sections, types = resource_sizes(path)
    return {
        "bytes": os.path.getsize(path),
        "empty_bytes": os.path.getsize(bench.exe("empty.exe")),
        "text": sections.get(".text", 0),
        "rsrc": sections.get(".rsrc", 0),
        "icons": types.get(3, 0) + types.get(14, 0),
        "strings": types.get(6, 0),
        "package": types.get("MSP", 0),
    }


def measure_extraction(bench):
    launcher = bench.exe("launcher_64m.exe")
    payload = os.path.join(bench.dir, f"payload_{64 * MIB}.bin")
    outputs = {"launcher": os.path.join(bench.out, "out_glob.msp"),
               "copy": os.path.join(bench.out, "copy.bin")}

    def prepare(name):
        # Each side writes a new file, never over an old one.
        if name in outputs and os.path.exists(outputs[name]):
            os.unlink(outputs[name])

    def check(name, _):
        if name in outputs and os.path.getsize(outputs[name]) != 64 * MIB:
            raise BenchError(f"{name}: {outputs[name]} does not hold the 64 MB package")

    records = alternate({
        "launcher": lambda: bench.checked(launcher, ["/e", bench.out_windows + "\\out.msp"]),
        "copy": lambda: bench.checked(bench.exe("copy_file.exe"),
                                      [harness.to_windows(payload), bench.out_windows + "\\copy.bin"]),
        "loading": lambda: bench.checked(launcher, ["/pi"]),
    }, prepare=prepare, check=check)
    for path in outputs.values():
        if not filecmp.cmp(path, payload, shallow=False):
            raise BenchError(f"{path} differs from the package")
        os.unlink(path)
    return {name: median(runs) for name, runs in records.items()}


def measure_memory(bench):
    extracted = os.path.join(bench.out, "out_glob.msp")
    sides = {}
    for size in ("1m", "64m"):
        launcher = bench.exe(f"launcher_{size}.exe")
        sides[("/e", size)] = (lambda launcher=launcher: bench.checked(
            launcher, ["/e", bench.out_windows + "\\out.msp"], poll=True))
        sides[("/pi", size)] = lambda launcher=launcher: bench.checked(launcher, ["/pi"], poll=True)

    def prepare(_):
        if os.path.exists(extracted):
            os.unlink(extracted)

    def check(name, record):
        if record.get("samples", 0) < 3:
            raise BenchError(f"{name}: only {record.get('samples')} memory samples")

    records = alternate(sides, prepare=prepare, check=check)
    prepare(None)
    return {name: {"private": median(runs, "pagefile_max"), "working_set": median(runs, "working_set_max"),
                   "samples": min(record["samples"] for record in runs)}
            for name, runs in records.items()}


def measure_default_run(bench):
    code = products.code("demo")
    msi = harness.to_windows(os.path.join(products.fixtures_dir(), f"demo-{DEMO_TARGET_VERSION}.msi"))
    package = harness.to_windows(os.path.join(products.fixtures_dir(), "demo.msp"))
    launcher = os.path.join(bench.build, "bin", "launcher.exe")
    env = {"TMP": bench.tmp_windows, "TEMP": bench.tmp_windows}

    def prepare(_):
        for name in os.listdir(bench.tmp):
            os.unlink(os.path.join(bench.tmp, name))
        # Fresh: whatever an earlier run left is removed, then the demo product is installed.
        lines = products.msi_tool(("uninstall", code), ("install", msi))
        if lines[-1:] != ["0"]:
            raise BenchError(f"installing the demo product gave {lines}")

    def check(name, _):
        lines = products.msi_tool(("info", code, "VersionString"), ("uninstall", code))
        if lines[:2] != ["0", DEMO_PATCHED_VERSION]:
            raise BenchError(f"{name} did not patch the demo product: {lines}")

    records = alternate({
        "launcher": lambda: bench.checked(launcher, ["/q"], env=env),
        "msiexec": lambda: bench.checked("C:\\windows\\system32\\msiexec.exe", ["/p", package, "/qb"],
                                         env=env),
    }, prepare=prepare, check=check)
    return {name: median(runs) for name, runs in records.items()}


def measure_startup(bench):
    launcher = os.path.join(bench.build, "bin", "launcher.exe")
    records = alternate({
        "launcher": lambda: bench.checked(launcher, ["/pi"]),
        "empty": lambda: bench.checked(bench.exe("empty.exe")),
        "imports": lambda: bench.checked(bench.exe("empty_imports.exe")),
    })
    return {name: median(runs) for name, runs in records.items()}


# ------------------------------------------------------------------------------------------------
# Report

def machine():
    model = "unknown CPU"
    with open("/proc/cpuinfo", encoding="utf-8") as f:
        for line in f:
            if line.startswith("model name"):
                model = line.split(":", 1)[1].strip()
                break
    with open("/proc/meminfo", encoding="utf-8") as f:
        memory = int(f.readline().split()[1]) / 1024 / 1024
    wine = subprocess.run(["wine", "--version"], capture_output=True, text=True).stdout.strip()
    return (f"{model}, {os.cpu_count()} cores, {memory:.1f} GiB RAM, Linux {platform.release()}, "
            f"{wine}")


def ms(seconds):
    return f"{seconds * 1000:.0f} ms"


def mib(count):
    value = count / MIB
    return f"{0.0 if abs(value) < 0.05 else value:.1f} MiB"


def kib(count):
    return f"{count / 1024:+.0f} KiB" if count else "0 KiB"


def report(size, extraction, memory, default, startup, elapsed):
    def private(switch, size_name):
        return memory[(switch, size_name)]["private"]

    lines = [
        f"Machine: {machine()}. Medians of {RUNS} runs; the two sides of each ratio ran in "
        "alternation.",
        "",
        "| Measure | Launcher | Peer | Launcher / peer |",
        "|---|---|---|---|",
        f"| Executable size, 1-byte package | {size['bytes']:,} bytes | empty wWinMain, same flags: "
        f"{size['empty_bytes']:,} bytes | {size['bytes'] / size['empty_bytes']:.1f} |",
        f"| Extraction: `/e` of a 64 MB package vs CopyFileW of the same file | "
        f"{ms(extraction['launcher'])} | {ms(extraction['copy'])} | "
        f"{extraction['launcher'] / extraction['copy']:.2f} |",
        f"| Default run: `/q` vs `msiexec /p demo.msp /qb`, fresh install each run | "
        f"{ms(default['launcher'])} | {ms(default['msiexec'])} | "
        f"{default['launcher'] / default['msiexec']:.2f} |",
        f"| Start-up: `/pi` vs empty wWinMain, same flags | {ms(startup['launcher'])} | "
        f"{ms(startup['empty'])} | {startup['launcher'] / startup['empty']:.2f} |",
        "",
        "| Peak private memory | 1 MB package | 64 MB package | Difference |",
        "|---|---|---|---|",
    ]
    for switch, label in (("/e", "`/e`"), ("/pi", "`/pi` (loading alone)")):
        small, big = private(switch, "1m"), private(switch, "64m")
        lines.append(f"| {label} | {mib(small)} | {mib(big)} | {mib(big - small)} |")
    own_small = private("/e", "1m") - private("/pi", "1m")
    own_big = private("/e", "64m") - private("/pi", "64m")
    lines.append(f"| `/e` minus `/pi`: the launcher's own | {kib(own_small)} | {kib(own_big)} | "
                 f"{kib(own_big - own_small)} |")
    samples = min(entry["samples"] for entry in memory.values())
    lines += [
        "",
        "Where it goes, from the same run:",
        f"- Start-up: an empty wWinMain that imports the launcher's DLLs (msi, shell32, user32) "
        f"takes {ms(startup['imports'])}; `/pi` / that = "
        f"{startup['launcher'] / startup['imports']:.2f}.",
        f"- Extraction: `/pi` of the same 64 MB launcher takes {ms(extraction['loading'])}.",
        f"- Memory: private = PagefileUsage, sampled every millisecond (at least {samples} samples "
        f"a run). Peak working set of `/e` with 64 MB: "
        f"{mib(memory[('/e', '64m')]['working_set'])}, file pages included.",
        f"- Size: code (.text) {size['text']:,} bytes; resources (.rsrc) {size['rsrc']:,} bytes, of "
        f"which the icon {size['icons']:,}, the string table {size['strings']:,}, the package "
        f"{size['package']:,}.",
        "",
        f"Whole benchmark: {elapsed:.0f} s.",
    ]
    return "\n".join(lines)


def main(build):
    started = time.monotonic()
    bench = Bench(build)
    steps = [("size", measure_size), ("extraction", measure_extraction), ("memory", measure_memory),
             ("default run", measure_default_run), ("start-up", measure_startup)]
    results = []
    for label, step in steps:
        print(f"Measuring {label} ...", file=sys.stderr, flush=True)
        results.append(step(bench))
    print(report(*results, time.monotonic() - started))
    return 0


if __name__ == "__main__":
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    try:
        sys.exit(main(sys.argv[1]))
    except (BenchError, harness.HarnessError) as error:
        sys.exit(f"bench: {error}")
