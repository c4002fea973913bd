"""The real launcher under Wine: "/e" writes the embedded package out, and the switches decide
which flows run. The launcher here carries a binary payload that is no Windows Installer package,
so the apply flow, when it runs, stops at the unreadable package with message 300."""

import os
import unittest

import harness

E2E_DIR = os.environ.get("LAUNCHER_E2E_DIR", "")
LAUNCHER = os.path.join(E2E_DIR, "launcher_payload.exe")
PAYLOAD = os.path.join(E2E_DIR, "payload.bin")


def read(path):
    with open(path, "rb") as f:
        return f.read()


class LauncherRun(unittest.TestCase):
    """A private temporary folder and an output folder per test; every run must end with 0."""

    def setUp(self):
        self.temp, self.temp_win = harness.temp_dir("extract-tmp-" + self._testMethodName)
        self.out, self.out_win = harness.temp_dir("extract-out-" + self._testMethodName)

    def launch(self, args):
        result = harness.run(LAUNCHER, args, env={"TMP": self.temp_win, "TEMP": self.temp_win})
        self.assertFalse(result.timed_out, result.describe())
        self.assertEqual(result.exit_code, 0, result.describe())
        return result


class Extraction(LauncherRun):
    def setUp(self):
        super().setUp()
        self.payload = read(PAYLOAD)

    def assertWritten(self, names):
        self.assertEqual(sorted(os.listdir(self.out)), sorted(names))
        for name in names:
            self.assertEqual(read(os.path.join(self.out, name)), self.payload, name)

    def test_a_path_gets_the_global_package_and_no_other(self):
        result = self.launch(["/e", self.out_win + "\\upd.msp"])
        self.assertEqual(result.boxes, [])
        self.assertWritten(["upd_glob.msp"])
        self.assertEqual(os.listdir(self.temp), [])

    def test_an_existing_file_is_replaced(self):
        with open(os.path.join(self.out, "upd_glob.msp"), "wb") as f:
            f.write(b"x" * (len(self.payload) + 1000))
        self.launch(["/E", self.out_win + "\\upd.msp"])
        self.assertWritten(["upd_glob.msp"])

    def test_no_path_writes_a_new_temporary_file(self):
        result = self.launch(["/e"])
        self.assertEqual(result.boxes, [])
        names = os.listdir(self.temp)
        self.assertEqual(len(names), 1, names)
        self.assertRegex(names[0], r"^MSP[0-9]+$")
        self.assertEqual(read(os.path.join(self.temp, names[0])), self.payload)

    def test_a_missing_directory_gets_nothing(self):
        result = self.launch(["/e", self.out_win + "\\missing\\upd.msp"])
        self.assertEqual(result.boxes, [])
        self.assertEqual(os.listdir(self.out), [])
        self.assertEqual(os.listdir(self.temp), [])

    def test_the_last_path_decides_and_a_trailing_switch_keeps_it(self):
        self.launch(["/e", self.out_win + "\\first.msp", "/e", self.out_win + "\\second.msp"])
        self.assertWritten(["second_glob.msp"])
        os.remove(os.path.join(self.out, "second_glob.msp"))
        self.launch(["/e", self.out_win + "\\first.msp", "/e"])
        self.assertWritten(["first_glob.msp"])

    def test_a_path_with_spaces_and_accents(self):
        self.launch(["/e", self.out_win + "\\Mise à jour v2.fix.msp"])
        self.assertWritten(["Mise à jour v2.fix_glob.msp"])


class Switches(LauncherRun):
    """Which flows run: apply (message 300 for the payload), extract (a file), report (one box
    with the caption "Info")."""

    def assertApplyRan(self, result):
        self.assertEqual(len(result.boxes), 1, result.describe())
        box = result.boxes[0]
        self.assertEqual(box.caption, "Installation Error")
        self.assertTrue(box.text.startswith("A problem prevented the Update from being installed."), box.text)
        # Windows Installer cannot open a file that is no package: its result is the code shown.
        self.assertTrue(box.text.endswith("Error Code: 1627"), box.text)
        self.assertEqual(box.style, 0x50010)
        self.assertEqual(os.listdir(self.temp), [], "the package file is removed")

    def test_the_apply_flow_runs_unless_a_switch_turns_it_off(self):
        for args in ([], ["/quiet"], ["-q"], ["/unknown", "x"], ["q"]):
            with self.subTest(args=args):
                self.assertApplyRan(self.launch(args))

    def test_quiet_silences_the_messages_of_the_apply_flow(self):
        for args in (["/q"], ["/Q"], ["/q", "/q", "anything"]):
            with self.subTest(args=args):
                result = self.launch(args)
                self.assertEqual(result.boxes, [], result.describe())
                self.assertEqual(os.listdir(self.temp), [])

    def test_report_and_extract_together_or_alone(self):
        path = self.out_win + "\\upd.msp"
        cases = [
            # arguments, report shown, file written
            (["/e", path, "/i"], True, True),
            (["/i", "/e", path], True, False),
            (["/e", path, "/pi"], False, True),
            (["/e", path, "/pi", "/i"], False, True),
            (["/pi"], False, False),
            (["/PI", "/i"], False, False),
            (["/i", "/q"], True, False),
            (["/q", "/i"], True, False),
            (["/I"], True, False),
        ]
        for args, report, written in cases:
            with self.subTest(args=args):
                for name in os.listdir(self.out):
                    os.remove(os.path.join(self.out, name))
                result = self.launch(args)
                self.assertEqual([box.caption for box in result.boxes], ["Info"] if report else [],
                                 result.describe())
                self.assertEqual(os.listdir(self.out), ["upd_glob.msp"] if written else [])
                self.assertEqual(os.listdir(self.temp), [], "nothing is left in the temporary directory")


if __name__ == "__main__":
    unittest.main()
