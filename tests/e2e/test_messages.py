"""Every catalogue message as a real message box, in each of the 14 languages, read from the
string table of the real launcher executable and shown through the launcher's own message
routine (the test tool message_probe.exe stands in for the flows that raise them)."""

import os
import unittest

import expect
import harness

LAUNCHER = os.path.join(os.environ.get("LAUNCHER_BIN_DIR", ""), "launcher.exe")
PRODUCT = "Prodüct Ω 日本"
ERROR = "1603"
IDS = (300, 301, 306, 307, 308, 309, 310, 314)


class Catalogue(unittest.TestCase):
    def test_every_message_in_every_language(self):
        languages = sorted(expect.catalogue())
        self.assertEqual(len(languages), 14)
        for language in languages:
            with self.subTest(language=language):
                result = harness.run(harness.tool("message_probe.exe"),
                                     [LAUNCHER, str(language), PRODUCT, ERROR] + [str(i) for i in IDS])
                self.assertEqual(result.exit_code, 0, result.describe())
                self.assertEqual(expect.shown(result),
                                 [expect.message(language, i, ERROR if i == 300 else PRODUCT) for i in IDS])
                for box in result.boxes:
                    self.assertEqual(box.buttons, ("OK",))
                    self.assertTrue(box.icon)
                    self.assertEqual(box.owner, 0)

    def test_a_negative_error_code_and_an_empty_product_name(self):
        result = harness.run(harness.tool("message_probe.exe"), [LAUNCHER, "1033", "", "-2147023293", "300", "306"])
        self.assertEqual(expect.shown(result),
                         [expect.message(1033, 300, "-2147023293"), expect.message(1033, 306, "")])

    def test_quiet_shows_nothing(self):
        result = harness.run(harness.tool("message_probe.exe"),
                             ["/q", LAUNCHER, "1031", PRODUCT, ERROR] + [str(i) for i in IDS])
        self.assertEqual(result.exit_code, 0, result.describe())
        self.assertEqual(result.boxes, [])


if __name__ == "__main__":
    unittest.main()
