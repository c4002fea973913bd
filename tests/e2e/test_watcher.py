"""Proves the end-to-end tools themselves: watcher.exe and harness.py against a sample program
(tools/watcher/sample_boxes.cpp) that shows the boxes its command line asks for."""

import os
import sys
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import harness  # noqa: E402

MB_OKCANCEL = 0x1
MB_ICONHAND = 0x10
MB_ICONEXCLAMATION = 0x30
MB_ICONASTERISK = 0x40
MB_SETFOREGROUND = 0x10000
MB_TOPMOST = 0x40000
IDCANCEL = 2

# Longer than the part of a string the relay trace shows (about 290 escaped bytes).
LONG_TEXT = ("Die Aktualisierung «Ü» wurde \"abgebrochen\" in C:\\Programme\\Test\\; "
             "bitte erneut versuchen. ") * 6


class WatcherTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.sample = harness.tool("sample_boxes.exe")

    def show(self, exit_code, boxes, **options):
        """Runs the sample showing boxes [(style, caption, text), ...]."""
        args = [str(exit_code)]
        for style, caption, text in boxes:
            args += [str(style), caption, text]
        return harness.run(self.sample, args, **options)

    def test_boxes_are_recorded_in_order_and_the_full_exit_code_returns(self):
        boxes = [
            # style, caption, text, buttons, icon
            (MB_TOPMOST | MB_SETFOREGROUND | MB_ICONHAND, "Mise à jour — 更新",
             "Première ligne\nseconde ligne\r\n\n« fin » 𝄞", ("OK",), True),
            (MB_TOPMOST | MB_SETFOREGROUND | MB_ICONASTERISK, "", LONG_TEXT, ("OK",), True),
            (MB_TOPMOST | MB_SETFOREGROUND | MB_OKCANCEL, "Sans icône", "x", ("OK", "CANCEL"),
             False),
        ]
        result = self.show(1603, [box[:3] for box in boxes], press=["OK", "OK", "CANCEL"])
        self.assertEqual(result.exit_code, 1603, result.describe())
        self.assertFalse(result.timed_out)
        self.assertEqual(len(result.boxes), len(boxes), result.describe())
        for number, (seen, (style, caption, text, buttons, icon)) in enumerate(
                zip(result.boxes, boxes), start=1):
            with self.subTest(box=number):
                self.assertEqual((seen.caption, seen.text, seen.buttons, seen.icon, seen.style,
                                  seen.owner), (caption, text, buttons, icon, style, 0))
        self.assertEqual([box.pressed for box in result.boxes], ["OK", "OK", "CANCEL"])
        self.assertEqual(result.boxes[2].result, IDCANCEL)

    def test_exit_codes_come_back_whole(self):
        # Through the wine command only the low 8 bits would: 1603 -> 67, 3010 -> 194.
        for code in (0, 1603, 3010, 0xC0000135, 0xFFFFFFFF):
            with self.subTest(code=hex(code)):
                result = self.show(code, [])
                self.assertEqual(result.exit_code, code, result.describe())
                self.assertEqual(result.boxes, [])
        self.assertEqual(result.signed_exit_code, -1)

    def test_arguments_arrive_exactly(self):
        tricky = ["", " ", "a  b", 'say "hi"', "back\\slash\\", 'end\\"', "\\\\server\\share\\",
                  "tab\there", "line\nfeed", "é€𝄞", "@@", "ends in\\"]
        result = self.show(0, [(0, str(number), text) for number, text in enumerate(tricky)])
        self.assertEqual([box.text for box in result.boxes], tricky, result.describe())

    def test_a_raw_command_line_is_passed_verbatim(self):
        raw = '7  0 "two  blanks" @cmdline'
        result = harness.run(self.sample, raw)
        self.assertEqual([(box.caption, box.text) for box in result.boxes],
                         [("two  blanks", harness.command_line(self.sample, raw))],
                         result.describe())
        self.assertTrue(result.boxes[0].text.endswith(" " + raw))
        self.assertEqual(result.exit_code, 7)

    def test_a_hanging_program_is_ended_at_the_timeout(self):
        result = harness.run(self.sample, ["hang", "0x30", "c", "before the hang"], timeout=2)
        self.assertTrue(result.timed_out)
        self.assertIsNone(result.exit_code)
        self.assertEqual([(box.text, box.style) for box in result.boxes],
                         [("before the hang", MB_ICONEXCLAMATION)])

    def test_a_box_left_open_times_out_with_the_box_recorded(self):
        result = self.show(0, [(0, "c", "stays")], press="NONE", timeout=2)
        self.assertTrue(result.timed_out)
        self.assertEqual([(box.text, box.pressed) for box in result.boxes], [("stays", None)])

    def test_environment_changes_reach_the_program(self):
        unix, windows = harness.temp_dir(self.id())
        self.assertEqual(os.listdir(unix), [])
        result = self.show(0, [(0, "c", "@temp")], env={"TMP": windows, "TEMP": windows})
        self.assertEqual(result.boxes[0].text, windows + "\\")
        # Without them the profile's own Temp again: nothing stays behind from the run before.
        result = self.show(0, [(0, "c", "@temp")])
        default = harness.to_unix(result.boxes[0].text).rstrip("/")
        self.assertEqual((os.path.dirname(os.path.dirname(default)), os.path.basename(default)),
                         (os.path.join(harness.prefix(), "drive_c", "users"), "Temp"))

    def test_app_version_sets_the_windows_version_the_program_sees(self):
        self.addCleanup(harness.set_app_version, "sample_boxes.exe", None)
        for version, expected in (("winxp", "5.1.2600"), ("win2k", "5.0.2195"),
                                  (None, "6.1.7601")):
            with self.subTest(version=version):
                harness.set_app_version("sample_boxes.exe", version)
                result = self.show(0, [(0, "c", "@version")])
                self.assertEqual(result.boxes[0].text, expected)
        with self.assertRaises(harness.HarnessError):
            harness.set_app_version("sample_boxes.exe", "win95x")

    def test_a_program_that_cannot_start_is_reported(self):
        with self.assertRaisesRegex(harness.HarnessError, "CreateProcessW failed \\(code 2\\)"):
            harness.run("C:\\no\\such\\program.exe")

    def test_a_box_the_trace_cannot_see_fails_loudly(self):
        # MessageBoxIndirectW shows a box without a MessageBoxW call: no style to attach.
        with self.assertRaisesRegex(harness.HarnessError, "1 message boxes seen but 0"):
            self.show(0, [("i0x40", "c", "indirect")])

    def test_paths_convert_both_ways(self):
        root = harness.prefix()
        cases = [
            # unix, windows
            (os.path.join(root, "drive_c"), "C:\\"),
            (os.path.join(root, "drive_c", "windows", "system32"), "C:\\windows\\system32"),
            ("/", "Z:\\"),
            ("/tmp/a b/é", "Z:\\tmp\\a b\\é"),
        ]
        for unix, windows in cases:
            with self.subTest(unix=unix):
                self.assertEqual(harness.to_windows(unix), windows)
                self.assertEqual(harness.to_unix(windows).rstrip("/") or "/", unix)
        # Windows ignores case; the unix path must name what is on disk.
        self.assertEqual(harness.to_unix("c:/WINDOWS/System32/KERNEL32.dll"),
                         os.path.join(root, "drive_c", "windows", "system32", "kernel32.dll"))
        with self.assertRaises(harness.HarnessError):
            harness.to_unix("relative\\path")


if __name__ == "__main__":
    unittest.main()
