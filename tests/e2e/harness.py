"""Runs Windows programs under Wine for the end-to-end tests and reports what the user saw.

Configured by the environment (CTest sets both):
  LAUNCHER_TEST_PREFIX  the Wine prefix of the run, prepared by scripts/wine-prefix.sh, with a
                        persistent wineserver already running
  LAUNCHER_TOOLS_DIR    the folder holding watcher.exe (and sample_boxes.exe)

run() starts the program through watcher.exe, which records every message box (caption, text,
buttons, icon), presses a button on it and returns the program's full 32-bit exit code. The style
word and the owner of each box are not observable from the window under Wine; they come from
Wine's relay trace of user32.MessageBoxW, enabled for the program under test only.
"""

import dataclasses
import functools
import json
import os
import re
import shutil
import subprocess
import tempfile
from typing import Dict, List, Optional, Sequence, Tuple, Union

# The child's debug channels follow the WINEDEBUG of the environment the watcher gives it, so the
# relay trace is switched on for the program under test alone. +pid tells its lines apart from
# those of Wine's helper processes (explorer.exe inherits the setting when a box starts it).
RELAY_CHANNELS = "-all,+pid,+relay"
RELAY_INCLUDE = "user32.MessageBoxW"
# Margin over the watcher's own timeout before the harness gives up on the watcher itself.
WATCHER_GRACE_SECONDS = 30

# Windows versions Wine accepts in AppDefaults\<exe>\Version (64-bit prefix).
APP_VERSIONS = frozenset({
    "nt40", "win2k", "winxp", "winxp64", "win2003", "vista", "win2008", "win7", "win2008r2",
    "win8", "win81", "win10",
})


class HarnessError(RuntimeError):
    """The tools failed, or what they saw does not add up: the test cannot judge the program."""


@dataclasses.dataclass
class Box:
    caption: str
    text: str
    buttons: Tuple[str, ...]          # left to right: "OK", "CANCEL", "YES", "NO", ...
    icon: bool
    style: Optional[int] = None       # MessageBoxW's uType, from the relay trace
    owner: Optional[int] = None       # MessageBoxW's hWnd, from the relay trace
    pressed: Optional[str] = None     # the button the watcher pressed
    result: Optional[int] = None      # what MessageBoxW returned to the program
    labels: Tuple[str, ...] = ()      # the buttons' texts as shown


@dataclasses.dataclass
class Result:
    exit_code: Optional[int]          # GetExitCodeProcess, unsigned 32-bit; None on timeout
    boxes: List[Box]
    timed_out: bool
    pid: Optional[int]
    command_line: str
    stdout: str                       # the watcher's JSON lines
    stderr: str                       # Wine's output, relay trace included

    @property
    def signed_exit_code(self) -> Optional[int]:
        if self.exit_code is None:
            return None
        return self.exit_code - (1 << 32) if self.exit_code & 0x80000000 else self.exit_code

    def describe(self) -> str:
        """What happened, for a failure message."""
        relay = [line for line in self.stderr.splitlines() if "MessageBoxW" in line]
        return "\n".join(["command line: " + self.command_line, "watcher:", self.stdout.rstrip(),
                          "relay:"] + relay)


# ------------------------------------------------------------------------------------------------
# Configuration

def prefix() -> str:
    value = os.environ.get("LAUNCHER_TEST_PREFIX")
    if not value:
        raise HarnessError("LAUNCHER_TEST_PREFIX is not set (the Wine prefix of the test run)")
    if not os.path.isdir(os.path.join(value, "drive_c")):
        raise HarnessError(f"LAUNCHER_TEST_PREFIX={value} is not a prepared Wine prefix")
    return os.path.abspath(value)


def tools_dir() -> str:
    value = os.environ.get("LAUNCHER_TOOLS_DIR")
    if not value:
        raise HarnessError("LAUNCHER_TOOLS_DIR is not set (the folder holding watcher.exe)")
    return os.path.abspath(value)


def tool(name: str) -> str:
    path = os.path.join(tools_dir(), name)
    if not os.path.isfile(path):
        raise HarnessError(f"{name} is not in LAUNCHER_TOOLS_DIR={tools_dir()}")
    return path


def wine_environment() -> Dict[str, str]:
    env = dict(os.environ)
    # The user language Wine reports follows the Unix locale: the same on every machine.
    env.update(WINEPREFIX=prefix(), WINEDEBUG="-all", WINEDLLOVERRIDES="mscoree,mshtml=", LC_ALL="C.UTF-8")
    # The prefix is headless; a display seen by some processes and not others confuses the server.
    env.pop("DISPLAY", None)
    return env


# ------------------------------------------------------------------------------------------------
# Paths

def _drives() -> List[Tuple[str, str]]:
    """(letter, real unix path) of each drive of the prefix, longest path first."""
    folder = os.path.join(prefix(), "dosdevices")
    drives = []
    for entry in os.listdir(folder):
        if re.fullmatch(r"[a-zA-Z]:", entry):
            drives.append((entry[0].upper(), os.path.realpath(os.path.join(folder, entry))))
    return sorted(drives, key=lambda drive: len(drive[1]), reverse=True)


def to_windows(unix_path: str) -> str:
    """The Windows path of a unix path, as a program in the prefix sees it (C:\\ over Z:\\)."""
    path = os.path.realpath(unix_path)
    for letter, root in _drives():
        if path == root or path.startswith(root.rstrip("/") + "/"):
            rest = path[len(root):].strip("/")
            return f"{letter}:\\" + rest.replace("/", "\\")
    raise HarnessError(f"{unix_path} is on no drive of the prefix")


def to_unix(windows_path: str) -> str:
    """The unix path of a Windows path; each existing component is matched without regard to
    case, as Windows does, so C:\\Windows\\System32 finds drive_c/windows/system32."""
    path = windows_path.replace("/", "\\")
    if path.startswith("\\\\?\\"):
        path = path[4:]
    match = re.fullmatch(r"([a-zA-Z]):(\\.*)?", path)
    if not match:
        raise HarnessError(f"not an absolute Windows path with a drive letter: {windows_path!r}")
    roots = dict(_drives())
    letter = match.group(1).upper()
    if letter not in roots:
        raise HarnessError(f"drive {letter}: is not mapped in the prefix")
    current = roots[letter]
    for part in (match.group(2) or "").split("\\"):
        if part in ("", "."):
            continue
        if part == "..":
            current = os.path.dirname(current)
            continue
        candidate = os.path.join(current, part)
        if not os.path.exists(candidate) and os.path.isdir(current):
            folded = [name for name in os.listdir(current) if name.lower() == part.lower()]
            if folded:
                candidate = os.path.join(current, sorted(folded)[0])
        current = candidate
    return current


def temp_dir(name: str) -> Tuple[str, str]:
    """A fresh, empty folder C:\\e2e\\<name> in the prefix: (unix path, Windows path). Whatever
    an earlier run left there is removed first."""
    safe = re.sub(r"[^A-Za-z0-9._-]", "_", name)
    if not safe.strip("."):
        raise HarnessError(f"unusable folder name: {name!r}")
    path = os.path.join(prefix(), "drive_c", "e2e", safe)
    shutil.rmtree(path, ignore_errors=True)
    os.makedirs(path)
    return path, to_windows(path)


# ------------------------------------------------------------------------------------------------
# Command lines

def quote_argument(argument: str) -> str:
    """One argument as CommandLineToArgvW and the C runtime read it back."""
    if argument and not re.search(r'[ \t\n\v"]', argument):
        return argument
    quoted = '"'
    backslashes = 0
    for char in argument:
        if char == "\\":
            backslashes += 1
            continue
        if char == '"':
            quoted += "\\" * (2 * backslashes + 1) + '"'
        else:
            quoted += "\\" * backslashes + char
        backslashes = 0
    return quoted + "\\" * (2 * backslashes) + '"'


def quote_program(program: str) -> str:
    # The program name is read up to the next quote, without escapes; a quote cannot be in it.
    if '"' in program:
        raise HarnessError(f"a program path cannot hold a quote: {program!r}")
    return f'"{program}"' if re.search(r"[ \t]", program) or not program else program


def _windows_program(exe: str) -> str:
    if os.path.isabs(exe) or os.path.exists(exe):
        return to_windows(exe)
    return exe  # already a Windows path, or a name the program search finds


def command_line(exe: str, args: Union[Sequence[str], str] = ()) -> str:
    """The command line run() gives the program: a list is quoted argument by argument; a string
    follows the program name and one blank verbatim."""
    program = quote_program(_windows_program(exe))
    if isinstance(args, str):
        return program + (" " + args if args else "")
    return " ".join([program] + [quote_argument(str(argument)) for argument in args])


# ------------------------------------------------------------------------------------------------
# Running programs

def _run_wine(arguments: Sequence[str], env: Dict[str, str], timeout: float,
              decode=lambda data: data.decode("utf-8", errors="replace")) -> Tuple[int, str, str]:
    # Output goes to files, not pipes: Wine's helper processes (explorer.exe, services) that a
    # program starts inherit its descriptors and outlive it, and would hold a pipe open.
    with tempfile.TemporaryFile() as out, tempfile.TemporaryFile() as err:
        process = subprocess.Popen(["wine", *arguments], stdin=subprocess.DEVNULL, stdout=out,
                                   stderr=err, env=env)
        try:
            code = process.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            process.kill()
            process.wait()
            raise HarnessError(f"wine {' '.join(arguments)} did not end within {timeout} s")
        out.seek(0)
        err.seek(0)
        return code, decode(out.read()), err.read().decode("utf-8", errors="replace")


def _decode_console_output(data: bytes) -> str:
    # Wine's console programs (cmd, reg) write to a file or pipe in the ANSI code page, 1252
    # under the default English locale, not in UTF-8: "é" arrives as the byte 0xE9.
    try:
        return data.decode("utf-8")
    except UnicodeDecodeError:
        return data.decode("cp1252", errors="replace")


def wine(*args: str, check: bool = True, timeout: float = 60) -> str:
    """Runs a Windows command in the prefix (e.g. wine("reg", "query", key)) and returns its
    standard output: UTF-8 when it is valid UTF-8, else read in code page 1252. A non-zero exit
    code raises HarnessError unless check is False."""
    code, out, err = _run_wine([str(arg) for arg in args], wine_environment(), timeout,
                               decode=_decode_console_output)
    if check and code != 0:
        raise HarnessError(f"wine {' '.join(map(str, args))} exited with {code}:\n{out}{err}")
    return out


def set_app_version(exe_name: str, version: Optional[str]) -> None:
    """Makes Wine report a Windows version (nt40, win2k, winxp, ...) to programs named exe_name,
    or, with None, the prefix's default again. Takes effect for programs started afterwards."""
    if not exe_name or re.search(r'[\\/:*?"<>|]', exe_name):
        raise HarnessError(f"not a program file name: {exe_name!r}")
    key = f"HKCU\\Software\\Wine\\AppDefaults\\{exe_name}"
    if version is None:
        # Deleting a value that is not there fails; the outcome is the same.
        wine("reg", "delete", key, "/v", "Version", "/f", check=False)
        return
    if version not in APP_VERSIONS:
        raise HarnessError(f"Wine knows no Windows version {version!r}; one of "
                           + ", ".join(sorted(APP_VERSIONS)))
    wine("reg", "add", key, "/v", "Version", "/d", version, "/f")


@functools.lru_cache(maxsize=None)
def _relay_limited(prefix_path: str) -> bool:
    try:
        with open(os.path.join(prefix_path, "user.reg"), encoding="utf-8",
                  errors="replace") as registry:
            text = registry.read()
    except OSError:
        return False
    section = re.search(r"^\[Software\\\\Wine\\\\Debug\][^\n]*\n(.*?)(?=^\[|\Z)", text,
                        re.MULTILINE | re.DOTALL)
    return bool(section) and f'"RelayInclude"="{RELAY_INCLUDE}"' in section.group(1)


def run(exe: str, args: Union[Sequence[str], str] = (), env: Optional[Dict[str, Optional[str]]]
        = None, timeout: float = 60, press: Union[str, Sequence[str]] = "OK",
        cwd: Optional[str] = None) -> Result:
    """Runs exe (a unix or Windows path) under the watcher and returns what the user saw.

    args: a list, each item quoted so that it arrives as one argument ("" and blanks survive),
          or a string put verbatim after the program name and one blank.
    env:  variables to set (or, with None, remove) for the program only, e.g. TMP and TEMP.
          WINEDEBUG here adds channels to the relay trace the harness needs (e.g. "+msi").
    press: the button to press on each box, or a list, one per box (the last one repeats);
          "NONE" leaves a box open. If a box lacks the button, Cancel or its first one is pressed.
    cwd:  the program's current directory (unix or Windows path).
    """
    if not _relay_limited(prefix()):
        # Without RelayInclude the trace covers every call: a gigabyte a minute.
        raise HarnessError(f"the prefix lacks RelayInclude={RELAY_INCLUDE}; prepare it with "
                           "scripts/wine-prefix.sh")
    line = command_line(exe, args)
    presses = [press] if isinstance(press, str) else list(press)
    env = dict(env or {})
    channels = RELAY_CHANNELS + ("," + env.pop("WINEDEBUG") if env.get("WINEDEBUG") else "")
    env.pop("WINEDEBUG", None)
    directives = [f"timeout {max(1, round(timeout * 1000))}", "press " + ",".join(presses),
                  "env WINEDEBUG=" + channels]
    for name, value in env.items():
        if "=" in name or "\n" in name or (value is not None and "\n" in str(value)):
            raise HarnessError(f"environment variable not passable: {name!r}={value!r}")
        directives.append(f"unset {name}" if value is None else f"env {name}={value}")
    if cwd:
        directives.append("dir " + (to_windows(cwd) if cwd.startswith("/") else cwd))
    try:
        request = ("\n".join(directives) + "\n--\n" + line).encode("utf-8")
    except UnicodeEncodeError as error:
        raise HarnessError(f"a command line or variable cannot hold an unpaired surrogate: "
                           f"{error}") from None
    with tempfile.NamedTemporaryFile("wb", suffix=".txt", prefix="watcher-", delete=False) as file:
        file.write(request)
    try:
        code, out, err = _run_wine([tool("watcher.exe"), "--request", to_windows(file.name)],
                                   wine_environment(), timeout + WATCHER_GRACE_SECONDS)
    finally:
        os.unlink(file.name)
    return _interpret(line, code, out, err)


def _interpret(line: str, code: int, out: str, err: str) -> Result:
    result = Result(exit_code=None, boxes=[], timed_out=False, pid=None, command_line=line,
                    stdout=out, stderr=err)
    ended = False
    for text in out.splitlines():
        try:
            record = json.loads(text)
        except ValueError:
            continue  # not the watcher's: something the program wrote to an inherited console
        if not isinstance(record, dict):
            continue
        if "error" in record:
            raise HarnessError(f"watcher: {record['error']} (code {record.get('code')})\n"
                               + result.describe())
        if "pid" in record:
            result.pid = record["pid"]
        elif "box" in record:
            result.boxes.append(Box(caption=record["caption"], text=record["text"],
                                    buttons=tuple(record["buttons"]), icon=record["icon"],
                                    pressed=record["pressed"], labels=tuple(record["labels"])))
        elif "exit" in record:
            result.exit_code = record["exit"]
            ended = True
        elif record.get("timeout"):
            result.timed_out = True
            if not record.get("killed"):
                raise HarnessError("the program timed out and could not be ended\n"
                                   + result.describe())
            ended = True
    if not ended:
        raise HarnessError(f"the watcher ended with {code} and no result\n{result.describe()}\n"
                           + err[-4000:])
    _attach_relay(result)
    return result


# ------------------------------------------------------------------------------------------------
# Relay trace of MessageBoxW

_CALL = re.compile(r"^([0-9a-f]+):([0-9a-f]+):Call user32\.MessageBoxW\((.*)\) ret=[0-9a-f]+$")
_RETURN = re.compile(r"^([0-9a-f]+):([0-9a-f]+):Ret  user32\.MessageBoxW\(\) retval=([0-9a-f]+)")


@dataclasses.dataclass
class RelayCall:
    owner: int
    text: Optional[str]           # None for a null pointer
    text_cut: bool                # the trace shows only the beginning of the text
    caption: Optional[str]
    caption_cut: bool
    style: int
    result: Optional[int] = None


def _read_relay_string(arguments: str, at: int) -> Tuple[Optional[str], bool, int]:
    """Reads one pointer argument at 'at': 'addr L"..."' (or '"...' when cut) or a bare null.
    Returns the text, whether it was cut, and the index past the argument."""
    match = re.compile(r'[0-9a-f]+( L")?').match(arguments, at)
    if not match:
        raise HarnessError(f"unreadable relay arguments: {arguments}")
    at = match.end()
    if not match.group(1):
        return None, False, at
    escapes = {"n": "\n", "r": "\r", "t": "\t", '"': '"', "\\": "\\"}
    units = []
    while True:
        char = arguments[at]
        if char == '"':
            at += 1
            break
        if char == "\\":
            following = arguments[at + 1]
            if following in escapes:
                units.append(escapes[following])
                at += 2
            else:
                units.append(chr(int(arguments[at + 1:at + 5], 16)))
                at += 5
        else:
            units.append(char)
            at += 1
    cut = arguments.startswith("...", at)
    if cut:
        at += 3
    # Units were appended one by one; pairs of surrogates become one character here.
    text = "".join(units).encode("utf-16-le", "surrogatepass").decode("utf-16-le", "surrogatepass")
    return text, cut, at


def parse_relay(stderr: str, pid: int) -> List[RelayCall]:
    """The MessageBoxW calls of process pid in Wine's relay trace, in order, with what each
    returned to the program when the trace shows it."""
    calls: List[RelayCall] = []
    open_calls: Dict[str, List[RelayCall]] = {}
    for line in stderr.splitlines():
        call = _CALL.match(line)
        if call and int(call.group(1), 16) == pid:
            arguments = call.group(3)
            owner = arguments.partition(",")[0]
            try:
                text, text_cut, at = _read_relay_string(arguments, len(owner) + 1)
                caption, caption_cut, at = _read_relay_string(arguments, at + 1)
                style = int(arguments[at + 1:], 16)
                entry = RelayCall(int(owner, 16), text, text_cut, caption, caption_cut, style)
            except (IndexError, ValueError):
                raise HarnessError(f"unreadable relay line: {line}") from None
            calls.append(entry)
            open_calls.setdefault(call.group(2), []).append(entry)
            continue
        ret = _RETURN.match(line)
        if ret and int(ret.group(1), 16) == pid and open_calls.get(ret.group(2)):
            open_calls[ret.group(2)].pop().result = int(ret.group(3), 16)
    return calls


def _attach_relay(result: Result) -> None:
    if result.pid is None:
        return
    calls = parse_relay(result.stderr, result.pid)
    # A timeout can end the program between its call and the window's appearance.
    if len(calls) != len(result.boxes) and not (result.timed_out
                                                and len(calls) == len(result.boxes) + 1):
        raise HarnessError(
            f"{len(result.boxes)} message boxes seen but {len(calls)} MessageBoxW calls traced "
            "(a box shown another way, e.g. MessageBoxIndirectW, is not traced)\n"
            + result.describe())
    for number, (box, call) in enumerate(zip(result.boxes, calls), start=1):
        for what, shown, given, cut in (("text", box.text, call.text, call.text_cut),
                                        ("caption", box.caption, call.caption, call.caption_cut)):
            # Wine cuts long strings in the trace, and not always with its "..." mark (seen
            # with texts of 80 or more non-ASCII characters): a beginning of the text is a match.
            cut = cut or len(given or "") >= 60
            if given is not None and not (shown.startswith(given) if cut else shown == given):
                raise HarnessError(f"box {number}: the window shows the {what} {shown!r} but "
                                   f"MessageBoxW was given {given!r}\n" + result.describe())
        box.style, box.owner, box.result = call.style, call.owner, call.result
