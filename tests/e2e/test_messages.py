"""Every catalogue message as a real message box, in each of the 14 languages, read from the
string table of the real launcher executable and shown through the launcher's own message
routine (the test tool message_probe.exe stands in for the flows that raise them)."""

import os
import sys
import unittest

import harness

SOURCE_DIR = os.environ.get("LAUNCHER_SOURCE_DIR", "")
sys.path.insert(0, os.path.join(SOURCE_DIR, "messages"))
import check_strings  # noqa: E402  (the catalogue's own parser)

LAUNCHER = os.path.join(os.environ.get("LAUNCHER_BIN_DIR", ""), "launcher.exe")
PRODUCT = "Prodüct Ω 日本"
ERROR = "1603"

# id: (caption id, style); every message of the table has the single OK button and an icon.
HANDLING = {
    300: (311, 0x50010), 301: (312, 0x50040), 306: (313, 0x50010), 307: (311, 0x50010),
    308: (311, 0x50010), 309: (311, 0x50010), 310: (311, 0x50010), 314: (311, 0x50010),
}


def catalogue():
    """{language: {id: text}} as the resource script holds it."""
    path = os.path.join(SOURCE_DIR, "messages", "strings.rc")
    ids = check_strings.read_ids(os.path.join(SOURCE_DIR, "messages", "string_ids.h"))
    with open(path, encoding="utf-8") as f:
        tables = check_strings.parse_tables(f.read(), ids)
    return {lcid: {ids.get(symbol, symbol): text for symbol, text, _ in entries}
            for lcid, _, entries in tables}


class Catalogue(unittest.TestCase):
    def test_every_message_in_every_language(self):
        texts = catalogue()
        self.assertEqual(len(texts), 14)
        for language, table in sorted(texts.items()):
            with self.subTest(language=language):
                result = harness.run(harness.tool("message_probe.exe"),
                                     [LAUNCHER, str(language), PRODUCT, ERROR] + [str(i) for i in HANDLING])
                self.assertEqual(result.exit_code, 0, result.describe())
                self.assertEqual(len(result.boxes), len(HANDLING), result.describe())
                for box, (message, (caption, style)) in zip(result.boxes, HANDLING.items()):
                    expected = table[message].replace("%d", ERROR).replace("%s", PRODUCT)
                    self.assertEqual(box.text, expected, f"{language}/{message}")
                    self.assertEqual(box.caption, table[caption], f"{language}/{message}")
                    self.assertEqual(box.style, style, f"{language}/{message}")
                    self.assertEqual(box.buttons, ("OK",))
                    self.assertTrue(box.icon)
                    self.assertEqual(box.owner, 0)

    def test_a_negative_error_code_and_an_empty_product_name(self):
        texts = catalogue()[1033]
        result = harness.run(harness.tool("message_probe.exe"), [LAUNCHER, "1033", "", "-2147023293", "300", "306"])
        self.assertEqual([box.text for box in result.boxes],
                         [texts[300].replace("%d", "-2147023293"), texts[306].replace("%s", "")])

    def test_quiet_shows_nothing(self):
        result = harness.run(harness.tool("message_probe.exe"),
                             ["/q", LAUNCHER, "1031", PRODUCT, ERROR] + [str(i) for i in HANDLING])
        self.assertEqual(result.exit_code, 0, result.describe())
        self.assertEqual(result.boxes, [])


if __name__ == "__main__":
    unittest.main()
