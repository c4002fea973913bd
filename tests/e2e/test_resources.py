"""What the built executables carry, read straight from their PE files: a GUI program that
imports only system DLLs, the manifest, the icon group, the string table in 14 languages and the
packages."""

import os
import struct
import unittest

import expect

BIN_DIR = os.environ.get("LAUNCHER_BIN_DIR", "")
E2E_DIR = os.environ.get("LAUNCHER_E2E_DIR", "")
FIXTURES_DIR = os.environ.get("LAUNCHER_FIXTURES_DIR", "")
SYSTEM_DLLS = {"kernel32.dll", "user32.dll", "shell32.dll", "msi.dll", "msvcrt.dll", "advapi32.dll"}
RT_ICON, RT_STRING, RT_GROUP_ICON, RT_MANIFEST = 3, 6, 14, 24


class PeFile:
    def __init__(self, path):
        with open(path, "rb") as f:
            self.data = f.read()
        header = struct.unpack_from("<I", self.data, 0x3C)[0]
        assert self.data[header:header + 4] == b"PE\0\0", path
        sections, optional_size = struct.unpack_from("<2xH12xH", self.data, header + 4)
        optional = header + 24
        magic = struct.unpack_from("<H", self.data, optional)[0]
        assert magic == 0x20B, "a 64-bit program"
        self.subsystem = struct.unpack_from("<H", self.data, optional + 68)[0]
        directories = optional + 112
        self.sections = [struct.unpack_from("<8sIIII", self.data, optional + optional_size + 40 * i)
                         for i in range(sections)]
        self.import_rva = struct.unpack_from("<I", self.data, directories + 8)[0]
        self.resource_rva = struct.unpack_from("<I", self.data, directories + 16)[0]

    def offset(self, rva):
        for _, virtual_size, address, raw_size, raw in self.sections:
            if address <= rva < address + max(virtual_size, raw_size):
                return raw + rva - address
        raise ValueError(f"RVA {rva:#x} is in no section")

    def string(self, rva):
        at = self.offset(rva)
        return self.data[at:self.data.index(b"\0", at)].decode("ascii")

    def imports(self):
        names, at = [], self.offset(self.import_rva)
        while True:
            entry = struct.unpack_from("<5I", self.data, at)
            if not any(entry):
                return names
            names.append(self.string(entry[3]).lower())
            at += 20

    def resources(self):
        """{(type, name, language): bytes}"""
        base = self.offset(self.resource_rva)
        found = {}

        def walk(at, path):
            named, numbered = struct.unpack_from("<12xHH", self.data, base + at)
            for k in range(named + numbered):
                name, target = struct.unpack_from("<II", self.data, base + at + 16 + 8 * k)
                if name & 0x80000000:
                    length = struct.unpack_from("<H", self.data, base + (name & 0x7FFFFFFF))[0]
                    start = base + (name & 0x7FFFFFFF) + 2
                    name = self.data[start:start + 2 * length].decode("utf-16-le")
                if target & 0x80000000:
                    walk(target & 0x7FFFFFFF, path + (name,))
                else:
                    rva, size = struct.unpack_from("<II", self.data, base + target)
                    found[path + (name,)] = self.data[self.offset(rva):self.offset(rva) + size]

        walk(0, ())
        return found


def read(path):
    with open(path, "rb") as f:
        return f.read()


class LauncherExecutable(unittest.TestCase):
    def setUp(self):
        self.pe = PeFile(os.path.join(BIN_DIR, "launcher.exe"))
        self.resources = self.pe.resources()

    def test_a_gui_program_that_imports_only_system_dlls(self):
        self.assertEqual(self.pe.subsystem, 2)
        self.assertLessEqual(set(self.pe.imports()), SYSTEM_DLLS, self.pe.imports())

    def test_the_manifest_asks_for_administrator_rights_without_ui_access(self):
        manifests = [data for (kind, _, _), data in self.resources.items() if kind == RT_MANIFEST]
        self.assertEqual(len(manifests), 1)
        self.assertIn(b'level="requireAdministrator"', manifests[0])
        self.assertIn(b'uiAccess="false"', manifests[0])

    def test_one_icon_group_of_eighteen_images(self):
        groups = {name: data for (kind, name, _), data in self.resources.items() if kind == RT_GROUP_ICON}
        self.assertEqual(list(groups), [319])
        reserved, kind, count = struct.unpack_from("<HHH", groups[319], 0)
        self.assertEqual((reserved, kind, count), (0, 1, 18))
        icons = {name for (kind, name, _) in self.resources if kind == RT_ICON}
        for k in range(count):
            self.assertIn(struct.unpack_from("<H", groups[319], 6 + 14 * k + 12)[0], icons)

    def test_the_string_table_holds_every_text_in_every_language(self):
        compiled = {}
        for (kind, block, language), data in self.resources.items():
            if kind != RT_STRING:
                continue
            at = 0
            for k in range(16):
                length = struct.unpack_from("<H", data, at)[0]
                if length:
                    compiled[(language, (block - 1) * 16 + k)] = data[at + 2:at + 2 + 2 * length].decode("utf-16-le")
                at += 2 + 2 * length
        expected = {(language, id): text for language, table in expect.catalogue().items()
                    for id, text in table.items()}
        self.assertEqual(compiled, expected)
        self.assertEqual(len({language for language, _ in compiled}), 14)
        self.assertEqual({id for _, id in compiled}, {300, 301} | set(range(306, 319)))

    def test_the_demo_package_alone_in_english(self):
        packages = {(name, language): data for (kind, name, language), data in self.resources.items()
                    if kind == "MSP"}
        self.assertEqual(list(packages), [("IDR_MSP", 1033)])
        self.assertEqual(packages[("IDR_MSP", 1033)], read(os.path.join(FIXTURES_DIR, "demo.msp")))

    def test_three_packages_when_three_are_embedded(self):
        resources = PeFile(os.path.join(E2E_DIR, "launcher_three.exe")).resources()
        packages = {name: data for (kind, name, language), data in resources.items() if kind == "MSP"}
        self.assertEqual(packages, {
            "IDR_MSP": read(os.path.join(FIXTURES_DIR, "global.msp")),
            "IDR_MSP_LP": read(os.path.join(FIXTURES_DIR, "langpack.msp")),
            "IDR_MSP_PS": read(os.path.join(FIXTURES_DIR, "specific.msp")),
        })


if __name__ == "__main__":
    unittest.main()
