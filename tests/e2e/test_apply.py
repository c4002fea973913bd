"""The default run of real launchers under Wine, against real products installed in the prefix
and the real patch packages the launchers carry (tools/fixtures/catalog.py)."""

import os
import unittest

import expect
import harness
import products

E2E_DIR = os.environ.get("LAUNCHER_E2E_DIR", "")
USER_LANGUAGE = 1033  # the prefix runs under the C locale


def launcher(name):
    return os.path.join(E2E_DIR, name + ".exe")


class DefaultRun(unittest.TestCase):
    KEYS = ()

    def setUp(self):
        products.remove(*self.KEYS)
        self.temp, self.temp_windows = harness.temp_dir("apply-" + self._testMethodName)

    def tearDown(self):
        products.remove(*self.KEYS)

    def launch(self, name, args=()):
        result = harness.run(launcher(name), list(args), env={"TMP": self.temp_windows, "TEMP": self.temp_windows})
        self.assertFalse(result.timed_out, result.describe())
        self.assertEqual(result.exit_code, 0, result.describe())
        return result

    def assertLogs(self, *keys):
        """Exactly the verbose logs of these products are in the temporary folder, and nothing else:
        the package file is gone."""
        expected = {products.name(key) + " SP1.log": products.code(key) for key in keys}
        self.assertEqual(sorted(os.listdir(self.temp)), sorted(expected))
        for name, code in expected.items():
            with open(os.path.join(self.temp, name), "rb") as log:
                content = log.read()
            self.assertIn(b"=== Logging started", content, name)
            self.assertIn(code.encode("ascii"), content, "the verbose log of the product's own reconfiguration")


class OnePackage(DefaultRun):
    KEYS = ("alpha", "beta", "gamma")

    def test_a_product_at_a_target_version_is_patched_once(self):
        products.install("alpha", "1.0.0.0")
        result = self.launch("launcher_alpha")
        # Patched under the product's own language: German, naming the product.
        self.assertEqual(expect.shown(result), [expect.message(1031, 301, products.name("alpha"))])
        self.assertEqual(result.boxes[0].buttons, ("OK",))
        self.assertTrue(result.boxes[0].icon)
        self.assertEqual(products.versions("alpha"), ["2.0.0.0"])
        self.assertEqual(products.installed_file("alpha"), "Größe 2.0\n".encode("utf-8"))
        self.assertLogs("alpha")

        again = self.launch("launcher_alpha")
        # Every product current: the locale goes back to the user's before the verdict.
        self.assertEqual(expect.shown(again), [expect.message(USER_LANGUAGE, 306, products.name("alpha"))])
        self.assertEqual(products.versions("alpha"), ["2.0.0.0"])
        self.assertLogs("alpha")

    def test_quiet_shows_nothing_and_still_patches(self):
        products.install("alpha", "1.0.0.0")
        result = self.launch("launcher_alpha", ["/q"])
        self.assertEqual(result.boxes, [])
        self.assertEqual(products.versions("alpha"), ["2.0.0.0"])
        self.assertLogs("alpha")

    def test_a_product_at_no_listed_version_is_left_alone(self):
        products.install("alpha", "1.5.0.0")
        result = self.launch("launcher_alpha")
        self.assertEqual(expect.shown(result), [expect.message(1031, 308, products.name("alpha"))])
        self.assertEqual(products.versions("alpha"), ["1.5.0.0"])
        self.assertLogs()

    def test_no_listed_product_installed(self):
        result = self.launch("launcher_alpha")
        self.assertEqual(expect.shown(result), [expect.message(USER_LANGUAGE, 307)])
        self.assertLogs()

    def test_a_failing_patch_shows_the_installer_result(self):
        # The package lacks its cabinet: Windows Installer fails and rolls back with 1603.
        products.install("beta", "1.0.0.0")
        result = self.launch("launcher_nocab")
        self.assertEqual(expect.shown(result), [expect.message(1036, 300, 1603)])
        self.assertEqual(products.versions("beta"), ["1.0.0.0"])
        self.assertLogs("beta")

    def test_a_variant_accepts_only_its_own_products(self):
        products.install("gamma", "1.0.0.0", suffix="pro")
        result = self.launch("launcher_variant")
        self.assertEqual(expect.shown(result), [expect.message(1033, 301, products.name("gamma"))])
        self.assertEqual(products.versions("gamma"), ["2.0.0.0"])
        products.remove("gamma")

        products.install("gamma", "1.0.0.0", suffix="lower")  # "pro-1": the letter case differs
        result = self.launch("launcher_variant")
        self.assertEqual(expect.shown(result), [expect.message(USER_LANGUAGE, 307)])
        self.assertEqual(products.versions("gamma"), ["1.0.0.0"])


class ThreePackages(DefaultRun):
    """"IDR_MSP" patches Global Suite (English), "IDR_MSP_LP" Sprachpaket (German), "IDR_MSP_PS"
    Module spécifique (French). The final message names the product of the global package and
    is shown in the language of the last product handled."""
    KEYS = ("global", "langpack", "specific")

    def test_all_three_applied_then_all_current(self):
        for key in self.KEYS:
            products.install(key, "1.0.0.0")
        result = self.launch("launcher_three")
        self.assertEqual(expect.shown(result), [expect.message(1036, 301, products.name("global"))])
        self.assertEqual(products.versions(*self.KEYS), ["2.0.0.0"] * 3)
        self.assertLogs(*self.KEYS)

        again = self.launch("launcher_three")
        self.assertEqual(expect.shown(again), [expect.message(USER_LANGUAGE, 306, products.name("global"))])

    def test_one_applied_between_two_current_succeeds(self):
        products.install("global", "2.0.0.0")
        products.install("langpack", "1.0.0.0")
        products.install("specific", "2.0.0.0")
        result = self.launch("launcher_three")
        # The last stage found its product current and set the user's language back.
        self.assertEqual(expect.shown(result), [expect.message(USER_LANGUAGE, 301, products.name("global"))])
        self.assertEqual(products.versions(*self.KEYS), ["2.0.0.0"] * 3)
        self.assertLogs("langpack")

    def test_a_halt_in_the_first_stage_stops_the_others(self):
        products.install("langpack", "1.0.0.0")
        products.install("specific", "1.0.0.0")
        result = self.launch("launcher_three")
        self.assertEqual(expect.shown(result), [expect.message(USER_LANGUAGE, 307)])
        self.assertEqual(products.versions(*self.KEYS), ["", "1.0.0.0", "1.0.0.0"])
        self.assertLogs()

    def test_a_halt_after_an_applied_stage_shows_no_verdict(self):
        products.install("global", "1.0.0.0")
        products.install("specific", "1.0.0.0")
        result = self.launch("launcher_three")
        # Stage 2 finds no product: 307 under the language stage 1 left, and stage 3 never runs.
        self.assertEqual(expect.shown(result), [expect.message(1033, 307)])
        self.assertEqual(products.versions(*self.KEYS), ["2.0.0.0", "", "1.0.0.0"])
        self.assertLogs("global")


if __name__ == "__main__":
    unittest.main()
