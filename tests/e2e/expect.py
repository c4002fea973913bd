"""What the user should read: catalogue texts as the launcher's resource script holds them."""

import functools
import os
import sys

SOURCE_DIR = os.environ.get("LAUNCHER_SOURCE_DIR", os.path.join(os.path.dirname(__file__), "..", ".."))
sys.path.insert(0, os.path.join(SOURCE_DIR, "messages"))
import check_strings  # noqa: E402  (the catalogue's own parser)

CAPTIONS = {300: 311, 301: 312, 306: 313, 307: 311, 308: 311, 309: 311, 310: 311, 314: 311}
STYLES = {300: 0x50010, 301: 0x50040, 306: 0x50010, 307: 0x50010, 308: 0x50010, 309: 0x50010,
          310: 0x50010, 314: 0x50010}


@functools.lru_cache(maxsize=None)
def catalogue():
    """{language: {id: text}} as the resource script holds it."""
    path = os.path.join(SOURCE_DIR, "messages", "strings.rc")
    ids = check_strings.read_ids(os.path.join(SOURCE_DIR, "messages", "string_ids.h"))
    with open(path, encoding="utf-8") as f:
        tables = check_strings.parse_tables(f.read(), ids)
    return {lcid: {ids.get(symbol, symbol): text for symbol, text, _ in entries}
            for lcid, _, entries in tables}


def message(language, id, insert=""):
    """(text, caption, style) of message `id` in `language` with its value inserted."""
    table = catalogue()[language]
    text = table[id].replace("%d", str(insert)).replace("%s", str(insert))
    return text, table[CAPTIONS[id]], STYLES[id]


def shown(result):
    """(text, caption, style) of each box a run showed."""
    return [(box.text, box.caption, box.style) for box in result.boxes]
