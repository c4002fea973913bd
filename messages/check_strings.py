#!/usr/bin/env python3
"""Checks the launcher's string table before windres sees it.

    python3 messages/check_strings.py messages/strings.rc

Exits 0 when every language block holds every id with a text that the launcher can safely
hand to wsprintfW and show in a message box; otherwise prints one line per fault
(`<lcid> <language>/<id> <symbol>: what is wrong`) and exits 1. The ids come from
string_ids.h beside the script being checked, as they do for windres.
"""

import os
import re
import sys

# Language and sublanguage symbols as windres sees them: with RC_INVOKED, <windows.h> takes
# them from winnt.rh, which lacks the country sublanguages of several languages (Czech,
# Hungarian, Japanese, Polish, Russian: SUBLANG_DEFAULT is the one to write there).
LANG_SYMBOLS = {
    "LANG_NEUTRAL": 0x00, "LANG_CHINESE": 0x04, "LANG_CZECH": 0x05, "LANG_GERMAN": 0x07,
    "LANG_ENGLISH": 0x09, "LANG_SPANISH": 0x0A, "LANG_FRENCH": 0x0C, "LANG_HUNGARIAN": 0x0E,
    "LANG_ITALIAN": 0x10, "LANG_JAPANESE": 0x11, "LANG_KOREAN": 0x12, "LANG_POLISH": 0x15,
    "LANG_PORTUGUESE": 0x16, "LANG_RUSSIAN": 0x19,
}
SUBLANG_SYMBOLS = {
    "SUBLANG_NEUTRAL": 0x00, "SUBLANG_DEFAULT": 0x01, "SUBLANG_SYS_DEFAULT": 0x02,
    "SUBLANG_CHINESE_TRADITIONAL": 0x01, "SUBLANG_CHINESE_SIMPLIFIED": 0x02,
    "SUBLANG_CHINESE_HONGKONG": 0x03, "SUBLANG_CHINESE_SINGAPORE": 0x04,
    "SUBLANG_ENGLISH_US": 0x01, "SUBLANG_ENGLISH_UK": 0x02, "SUBLANG_FRENCH": 0x01,
    "SUBLANG_GERMAN": 0x01, "SUBLANG_ITALIAN": 0x01, "SUBLANG_KOREAN": 0x01,
    "SUBLANG_PORTUGUESE": 0x02, "SUBLANG_PORTUGUESE_BRAZILIAN": 0x01, "SUBLANG_SPANISH": 0x01,
    "SUBLANG_SPANISH_MODERN": 0x03,
}

LANGUAGES = {
    1028: "Chinese (Traditional)", 1029: "Czech", 1031: "German", 1033: "English",
    1036: "French", 1038: "Hungarian", 1040: "Italian", 1041: "Japanese", 1042: "Korean",
    1045: "Polish", 1046: "Portuguese (Brazil)", 1049: "Russian",
    2052: "Chinese (Simplified)", 3082: "Spanish",
}
ENGLISH = 1033
# Languages written with CJK punctuation: an ASCII mark there is a slip.
CJK_PUNCTUATED = {1028, 1041, 2052}

ENGLISH_TEXTS = {
    "IDS_UPDATE_FAILED": "A problem prevented the Update from being installed. Contact your "
                         "system administrator. \n\n Error Code: %d",
    "IDS_UPDATE_SUCCEEDED": "The update was successfully installed and %s has been updated.",
    "IDS_ALREADY_CURRENT": "Your version of %s is up-to-date and this update is not necessary",
    "IDS_PRODUCT_NOT_FOUND": "The update could not be installed because the expected Vantorel "
                             "product could not be located on your computer.\nMake sure that "
                             "you are using the correct update for the product.",
    "IDS_VERSION_MISMATCH": "This update could not be installed because it is not designed "
                            "for the version of %s that is installed on your computer.",
    "IDS_BAD_COMMAND_LINE": "The command line that you supplied is incorrect. Please check it "
                            "for errors.",
    "IDS_NO_PATCH_LIST": "You must supply a patch list with the command line to install this "
                         "update.",
    "IDS_CAPTION_ERROR": "Installation Error",
    "IDS_CAPTION_SUCCESS": "Installation Successful",
    "IDS_CAPTION_UNNECESSARY": "Installation Unnecessary",
    "IDS_INSTALL_BLOCKED": "Installation of this update is blocked.  For more information, "
                           "please read Information for Windows Vista Users in the update "
                           "readme.",
    "IDS_FILES_IN_USE": "The following applications should be closed before continuing the "
                        "install:",
    "IDS_SUFFIX_GLOBAL": "_glob",
    "IDS_SUFFIX_LANGPACK": "_lp",
    "IDS_SUFFIX_PRODUCT": "_ps",
}
PLACEHOLDERS = {"IDS_UPDATE_FAILED": "%d", "IDS_UPDATE_SUCCEEDED": "%s",
                "IDS_ALREADY_CURRENT": "%s", "IDS_VERSION_MISMATCH": "%s"}
SUFFIXES = ("IDS_SUFFIX_GLOBAL", "IDS_SUFFIX_LANGPACK", "IDS_SUFFIX_PRODUCT")
# LoadStringW of a whole text into the launcher's buffer: characters, null excluded.
MAX_UTF16_UNITS = 255


class RcError(Exception):
    pass


def read_ids(header_path):
    """Maps each IDS_ symbol of the header to its number."""
    ids = {}
    with open(header_path, encoding="utf-8") as f:
        for line in f:
            m = re.match(r"\s*#\s*define\s+(IDS_\w+)\s+(\d+)\b", line)
            if m:
                ids[m.group(1)] = int(m.group(2))
    return ids


def tokenize(source):
    """Yields (kind, value, line) for the parts of the script windres reads as resources.

    Preprocessor lines are skipped; string literals are decoded the way windres decodes
    them, except that every escape but \\n is refused (a narrow \\x escape cuts the string
    in UTF-8 mode, and tabs or carriage returns have no place in a message box).
    """
    i, line, n = 0, 1, len(source)
    at_line_start = True
    while i < n:
        c = source[i]
        if c == "\n":
            line += 1
            i += 1
            at_line_start = True
            continue
        if c in " \t\r":
            i += 1
            continue
        if at_line_start and c == "#":
            while i < n and source[i] != "\n":
                i += 1
            continue
        at_line_start = False
        if source.startswith("//", i):
            while i < n and source[i] != "\n":
                i += 1
        elif source.startswith("/*", i):
            end = source.find("*/", i + 2)
            if end < 0:
                raise RcError(f"line {line}: unterminated comment")
            line += source.count("\n", i, end)
            i = end + 2
        elif c == '"':
            start_line = line
            i += 1
            text = []
            while True:
                if i >= n or source[i] == "\n":
                    raise RcError(f"line {start_line}: unterminated string")
                c = source[i]
                if c == '"':
                    if source.startswith('""', i):
                        text.append('"')
                        i += 2
                        continue
                    i += 1
                    break
                if c == "\\":
                    if source.startswith("\\n", i):
                        text.append("\n")
                        i += 2
                        continue
                    raise RcError(f"line {line}: escape {source[i:i + 2]!r}: write the "
                                  "character itself")
                text.append(c)
                i += 1
            yield "string", "".join(text), start_line
        elif c == ",":
            yield ",", c, line
            i += 1
        elif c in "{}":
            yield c, c, line
            i += 1
        else:
            m = re.compile(r"[A-Za-z0-9_]+").match(source, i)
            if not m:
                raise RcError(f"line {line}: unexpected {c!r}")
            yield "word", m.group(0), line
            i = m.end()


def symbol_value(word, table, line):
    if re.fullmatch(r"0[xX][0-9A-Fa-f]+|\d+", word):
        return int(word, 0)
    if word not in table:
        raise RcError(f"line {line}: {word} is unknown here (windres takes these from winnt.rh)")
    return table[word]


def parse_tables(source, ids):
    """Returns [(lcid, line, [(symbol or number, text, line), ...]), ...] in script order."""
    tokens = list(tokenize(source))
    tables = []
    lcid = None
    pos = 0

    def take(kind=None):
        nonlocal pos
        if pos >= len(tokens):
            raise RcError("unexpected end of the script")
        token = tokens[pos]
        if kind and token[0] != kind:
            raise RcError(f"line {token[2]}: expected {kind}, found {token[1]!r}")
        pos += 1
        return token

    while pos < len(tokens):
        kind, word, line = take()
        if kind == "word" and word == "LANGUAGE":
            lang = symbol_value(take("word")[1], LANG_SYMBOLS, line)
            take(",")
            sub = symbol_value(take("word")[1], SUBLANG_SYMBOLS, line)
            lcid = (sub << 10) | lang
        elif kind == "word" and word == "STRINGTABLE":
            if lcid is None:
                raise RcError(f"line {line}: STRINGTABLE without a LANGUAGE before it")
            opener = take()
            if opener[1] not in ("BEGIN", "{"):
                raise RcError(f"line {opener[2]}: expected BEGIN after STRINGTABLE")
            entries = []
            while True:
                kind, word, entry_line = take()
                if word in ("END", "}"):
                    break
                if kind != "word":
                    raise RcError(f"line {entry_line}: expected a string id, found {word!r}")
                if not (word in ids or word.isdigit()):
                    raise RcError(f"line {entry_line}: {word} is not in string_ids.h")
                if tokens[pos][0] == ",":
                    take(",")
                entries.append((word, take("string")[1], entry_line))
            tables.append((lcid, line, entries))
        else:
            raise RcError(f"line {line}: unexpected {word!r}")
    return tables


def text_faults(lcid, symbol, text):
    """Every rule one text of one language breaks, as short messages."""
    faults = []
    english = ENGLISH_TEXTS[symbol]
    if lcid == ENGLISH and text != english:
        faults.append(f"differs from the English reference {english!r}")

    placeholder = PLACEHOLDERS.get(symbol)
    wanted = 1 if placeholder else 0
    if text.count("%") != wanted or (placeholder and text.count(placeholder) != 1):
        wants = f"exactly one {placeholder} and no other '%'" if placeholder else "no '%'"
        faults.append(f"needs {wants}, has {re.findall(r'%.?', text)}")
    if text.count("\n") != english.count("\n"):
        faults.append(f"has {text.count(chr(10))} line feeds, needs {english.count(chr(10))}")
    elif symbol == "IDS_UPDATE_FAILED" and ("\n\n" not in text
                                            or "%d" not in text.rsplit("\n", 1)[-1]):
        faults.append("the error code must stand on its own line after two line feeds")
    for char, name in (('"', "double quote"), ("\r", "carriage return"), ("\t", "tab")):
        if char in text:
            faults.append(f"holds a {name}")
    units = len(text.encode("utf-16-le")) // 2
    if units > MAX_UTF16_UNITS:
        faults.append(f"{units} UTF-16 units, at most {MAX_UTF16_UNITS}")

    if symbol in SUFFIXES and text != english:
        faults.append(f"file-name suffix must be {english!r}")
    if symbol == "IDS_PRODUCT_NOT_FOUND" and not re.search(r"(?<!\w)Vantorel(?!\w)", text):
        faults.append("must name the maker as Vantorel, unchanged")
    if symbol == "IDS_INSTALL_BLOCKED" and "Windows Vista" not in text:
        faults.append("must keep the product name Windows Vista")

    if lcid != ENGLISH:
        # The English reference keeps its own spacing; translations must not copy it.
        if text != text.strip() or "  " in text or " \n" in text or "\n " in text:
            faults.append("stray spaces (leading, trailing, doubled or beside a line feed)")
        if lcid in CJK_PUNCTUATED and re.search(r"[,.:;!?()]", text):
            faults.append("ASCII punctuation where CJK punctuation belongs")
    return faults


def check(rc_path):
    """Returns the list of fault lines for the script at rc_path."""
    with open(rc_path, "rb") as f:
        raw = f.read()
    if raw.startswith(b"\xef\xbb\xbf"):
        return [f"{rc_path}: starts with a byte-order mark; windres wants plain UTF-8"]
    try:
        source = raw.decode("utf-8")
    except UnicodeDecodeError as e:
        return [f"{rc_path}: not UTF-8 ({e})"]

    faults = []
    if not source.startswith("#pragma code_page(65001)"):
        faults.append(f"{rc_path}: must begin with #pragma code_page(65001)")
    for include in ("#include <windows.h>", '#include "string_ids.h"'):
        if include not in source:
            faults.append(f"{rc_path}: missing {include}")

    header = os.path.join(os.path.dirname(os.path.abspath(rc_path)), "string_ids.h")
    ids = read_ids(header)
    missing = set(ENGLISH_TEXTS) - set(ids)
    if missing:
        return faults + [f"{header}: no id for {', '.join(sorted(missing))}"]
    by_number = {number: symbol for symbol, number in ids.items()}

    try:
        tables = parse_tables(source, ids)
    except RcError as e:
        return faults + [f"{rc_path}: {e}"]

    seen = {}
    for lcid, line, entries in tables:
        if lcid not in LANGUAGES:
            faults.append(f"{rc_path}: line {line}: language {lcid} (0x{lcid:04X}) is not "
                          "one of the 14")
            continue
        where = f"{lcid} {LANGUAGES[lcid]}"
        if lcid in seen:
            faults.append(f"{where}: second STRINGTABLE at line {line} (first at {seen[lcid]})")
            continue
        seen[lcid] = line
        texts = {}
        for word, text, entry_line in entries:
            symbol = by_number.get(int(word)) if word.isdigit() else word
            if symbol not in ENGLISH_TEXTS:
                faults.append(f"{where}/{word}: line {entry_line}: not a launcher text")
                continue
            label = f"{where}/{ids[symbol]} {symbol}"
            if symbol in texts:
                faults.append(f"{label}: given twice (line {entry_line})")
                continue
            texts[symbol] = text
            faults.extend(f"{label}: {fault}" for fault in text_faults(lcid, symbol, text))
        for symbol in ENGLISH_TEXTS:
            if symbol not in texts:
                faults.append(f"{where}/{ids[symbol]} {symbol}: missing")
    for lcid, name in LANGUAGES.items():
        if lcid not in seen:
            faults.append(f"{lcid} {name}: no STRINGTABLE")
    return faults


def main(argv):
    if len(argv) != 2:
        print(f"usage: {argv[0]} strings.rc", file=sys.stderr)
        return 2
    try:
        faults = check(argv[1])
    except OSError as e:
        print(f"{argv[1]}: {e}", file=sys.stderr)
        return 2
    for fault in faults:
        print(fault)
    if faults:
        print(f"{len(faults)} fault(s)")
        return 1
    print(f"ok: {len(LANGUAGES)} languages, {len(ENGLISH_TEXTS)} texts each")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
