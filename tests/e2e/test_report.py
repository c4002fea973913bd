"""The "/i" report box of real launchers under Wine: the embedded packages and the operating
system, compared whole."""

import os
import shutil
import unittest

import harness
import products

BIN_DIR = os.environ.get("LAUNCHER_BIN_DIR", "")
E2E_DIR = os.environ.get("LAUNCHER_E2E_DIR", "")
SEPARATOR = "\n\n" + "-" * 47 + "\n\n"
DEFAULT_SYSTEM = "Windows Vista (6.1.0.0)"  # what Wine reports by default: 6.1, workstation, AMD64


def section(title, products_list="", target="", upgrade="", system=DEFAULT_SYSTEM):
    return (f"{title}\n\nProducts:\n{products_list}\nTarget:\n\t{target}\nUpgrade:\n\t{upgrade}"
            f"\nOSInfo:\n\t{system}")


def report(*sections):
    return SEPARATOR.join(sections)


class Report(unittest.TestCase):
    def setUp(self):
        self.temp, self.temp_windows = harness.temp_dir("report-" + self._testMethodName)

    def show(self, exe, args=("/i",)):
        result = harness.run(exe, list(args), env={"TMP": self.temp_windows, "TEMP": self.temp_windows})
        self.assertEqual(result.exit_code, 0, result.describe())
        self.assertEqual(len(result.boxes), 1, result.describe())
        box = result.boxes[0]
        self.assertEqual(box.caption, "Info")
        self.assertEqual(box.style, 0x50030)
        self.assertEqual(box.buttons, ("OK",))
        self.assertTrue(box.icon)
        self.assertEqual(os.listdir(self.temp), [], "the report's copies of the packages are removed")
        return box.text

    def test_the_global_package_alone(self):
        text = self.show(os.path.join(BIN_DIR, "launcher.exe"))
        self.assertEqual(text, report(
            section("Global MSP", products.code("demo"), "1.0.0.0", "2.0.0.0"),
            section("Language pack MSP"),
            section("Product Specific MSP")))

    def test_three_packages_under_quiet_too(self):
        for args in (["/i"], ["/q", "/i"], ["/i", "/q"]):
            with self.subTest(args=args):
                text = self.show(os.path.join(E2E_DIR, "launcher_three.exe"), args)
                self.assertEqual(text, report(
                    section("Global MSP", products.code("global"), "1.0.0.0", "2.0.0.0"),
                    section("Language pack MSP", products.code("langpack"), "1.0.0.0", "2.0.0.0"),
                    section("Product Specific MSP", products.code("specific"), "1.0.0.0", "2.0.0.0")))

    def test_the_system_line_under_the_windows_versions_wine_can_report(self):
        # Wine reports a version per program name; a copy of the launcher keeps the others apart.
        exe = os.path.join(self.temp, "..", "report-os-launcher.exe")
        shutil.copy(os.path.join(BIN_DIR, "launcher.exe"), exe)
        rows = [
            # Wine's setting, the system line (a 64-bit prefix: the AMD64 architecture everywhere)
            ("nt40", "Microsoft Windows NT (4.0.0.0)"),
            ("win2k", "Microsoft Windows 2000 (5.0.0.0)"),
            ("winxp", "Microsoft Windows XP (5.1.0.0)"),
            ("winxp64", "Microsoft Windows XP Professional x64 Edition (5.2.0.0)"),
            ("win2003", "Microsoft Windows Server 2003(5.2.0.0)"),
            ("vista", "Windows Vista (6.0.0.0)"),
            ("win2008", "Windows Server \"Longhorn\" (6.0.0.0)"),
            ("win2008r2", "Windows Vista (6.1.0.0)"),
            # Wine 8 reports win7 as a server (its product types of win7 and win2008r2 are swapped).
            ("win7", "Windows Server \"Longhorn\" (6.1.0.0)"),
            # Without a manifest that declares it, Windows 8.1 and 10 report 6.2.
            ("win10", "Windows Vista (6.2.0.0)"),
            (None, DEFAULT_SYSTEM),
        ]
        try:
            for version, system in rows:
                with self.subTest(version=version):
                    harness.set_app_version("report-os-launcher.exe", version)
                    text = self.show(exe)
                    self.assertEqual(text.count("\nOSInfo:\n\t" + system), 3, text)
                    self.assertTrue(text.endswith("\nOSInfo:\n\t" + system), text)
        finally:
            harness.set_app_version("report-os-launcher.exe", None)
            os.remove(exe)


if __name__ == "__main__":
    unittest.main()
