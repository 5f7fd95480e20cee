"""The programs as a user gets them: installed by `cmake --install`, and
packaged by `cpack -G DEB` then unpacked into a fresh root. Everything is
checked on the installed copies, never on the build tree."""

import os
import re
import shutil
import subprocess
import sys
import tempfile
import unittest

SOURCE = os.environ["KILN_SOURCE_DIR"]
BUILD = os.environ["KILN_BUILD_DIR"]
VERSION = os.environ["KILN_VERSION"]
CMAKE = os.environ["KILN_CMAKE"]
CPACK = os.environ["KILN_CPACK"]

sys.path.insert(0, os.path.join(SOURCE, "e2e"))
import harness  # noqa: E402
from Xlib import X  # noqa: E402

WINDOW_PROGRAMS = ("glyphkiln", "plaquer")
PROGRAMS = WINDOW_PROGRAMS + ("kilnbatch",)
ICON_SIDE = 48


def tool(name):
    path = shutil.which(name)
    if path is None:
        raise AssertionError("%s is missing: scripts/install-deps.sh installs it" % name)
    return path


def run(argv, **options):
    """Runs a command; fails the test with its output when it fails."""
    done = subprocess.run(argv, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True,
                          timeout=300, **options)
    if done.returncode != 0:
        raise AssertionError("%s exited with %d:\n%s" % (" ".join(argv), done.returncode, done.stdout))
    return done.stdout


def expected_files(prefix):
    files = ["bin/" + p for p in PROGRAMS]
    for p in WINDOW_PROGRAMS:
        files += ["share/applications/%s.desktop" % p,
                  "share/icons/hicolor/scalable/apps/%s.svg" % p,
                  "share/icons/hicolor/48x48/apps/%s.png" % p,
                  "share/icons/hicolor/256x256/apps/%s.png" % p,
                  "share/metainfo/org.glyphkiln.%s.metainfo.xml" % p]
    files += ["share/man/man1/kilnbatch.1", "share/doc/glyphkiln/copyright"]
    return [os.path.join(prefix, f) for f in files]


def png_header(path):
    """(width, height, bit depth, colour type) from a PNG file's IHDR."""
    with open(path, "rb") as f:
        data = f.read(33)
    if data[:8] != b"\x89PNG\r\n\x1a\n" or data[12:16] != b"IHDR":
        return None
    return (int.from_bytes(data[16:20], "big"), int.from_bytes(data[20:24], "big"), data[24], data[25])


def desktop_entry(path):
    with open(path, encoding="utf-8") as f:
        return dict(line.rstrip("\n").split("=", 1) for line in f if "=" in line)


class InstalledTree:
    """Checks shared by `cmake --install` and the unpacked package, on a
    prefix holding bin/ and share/."""

    def check_files(self, prefix):
        for path in expected_files(prefix):
            self.assertTrue(os.path.isfile(path), path + " is not installed")
        for p in PROGRAMS:
            self.assertTrue(os.access(os.path.join(prefix, "bin", p), os.X_OK), p + " is not executable")

    def check_desktop_entries(self, prefix):
        validate = tool("desktop-file-validate")
        for p in WINDOW_PROGRAMS:
            path = os.path.join(prefix, "share/applications/%s.desktop" % p)
            # Warnings and hints count: the output must be empty.
            self.assertEqual(run([validate, path]), "", path)
            entry = desktop_entry(path)
            self.assertEqual(entry["Exec"], p)
            self.assertTrue(os.path.isfile(os.path.join(prefix, "bin", entry["Exec"])))
            self.assertEqual(entry["Icon"], p)

    def check_metainfo(self, prefix):
        appstream = tool("appstreamcli")
        for p in WINDOW_PROGRAMS:
            path = os.path.join(prefix, "share/metainfo/org.glyphkiln.%s.metainfo.xml" % p)
            output = run([appstream, "validate", "--no-net", "--pedantic", path])
            self.assertNotRegex(output, r"(?m)^\s*[EWIP]: ", output)
            self.assertRegex(output, r"Validation was successful\.\s*$", output)
            with open(path, encoding="utf-8") as f:
                text = f.read()
            self.assertEqual(re.findall(r'<release version="([^"]+)"', text), [VERSION])
            self.assertIn("<metadata_license>CC0-1.0</metadata_license>", text)
            self.assertIn("<project_license>MIT</project_license>", text)
            self.assertIn('<launchable type="desktop-id">%s.desktop</launchable>' % p, text)
        # The whole tree: the metadata with its desktop entries and icons.
        output = run([appstream, "validate-tree", "--no-net", os.path.dirname(os.path.join(prefix, ""))])
        self.assertNotRegex(output, r"(?m)^\s*[EWIP]: ", output)
        self.assertRegex(output, r"Validation was successful\.\s*$", output)

    def check_icons(self, prefix):
        for p in WINDOW_PROGRAMS:
            for side in (48, 256):
                path = os.path.join(prefix, "share/icons/hicolor/%dx%d/apps/%s.png" % (side, side, p))
                self.assertEqual(png_header(path), (side, side, 8, 6), path)
            with open(os.path.join(prefix, "share/icons/hicolor/scalable/apps/%s.svg" % p), encoding="utf-8") as f:
                self.assertIn("<svg", f.read())

    def check_texts(self, prefix):
        with open(os.path.join(SOURCE, "LICENSE"), encoding="utf-8") as f:
            licence = f.read()
        self.assertIn("MIT License", licence)
        with open(os.path.join(prefix, "share/doc/glyphkiln/copyright"), encoding="utf-8") as f:
            self.assertEqual(f.read(), licence)
        with open(os.path.join(prefix, "share/man/man1/kilnbatch.1"), encoding="utf-8") as f:
            page = f.read()
        self.assertRegex(page, r'(?m)^\.TH KILNBATCH 1 \S+ "glyphkiln %s"' % re.escape(VERSION))
        for option in ("sheet", "caption", "convert", "--shadow-colour", "--offset", "--count", "--dpi"):
            self.assertIn(option.replace("-", r"\-"), page)
        self.assertEqual(run([os.path.join(prefix, "bin/kilnbatch"), "--version"]), "kilnbatch %s\n" % VERSION)

    def check_no_build_paths_in_dynamic_section(self, prefix):
        readelf = tool("readelf")
        for p in PROGRAMS:
            dynamic = run([readelf, "-d", os.path.join(prefix, "bin", p)])
            for line in dynamic.splitlines():
                if "RPATH" in line or "RUNPATH" in line:
                    self.assertNotIn(BUILD, line, p)
                    self.assertNotIn(SOURCE, line, p)

    def check_everything(self, prefix):
        self.check_files(prefix)
        self.check_desktop_entries(prefix)
        self.check_metainfo(prefix)
        self.check_icons(prefix)
        self.check_texts(prefix)
        self.check_no_build_paths_in_dynamic_section(prefix)


class Installed(InstalledTree, unittest.TestCase):
    def test_cmake_install_puts_each_file_in_place_and_the_validators_pass(self):
        prefix = tempfile.mkdtemp(prefix="kilninstall")
        self.addCleanup(shutil.rmtree, prefix, ignore_errors=True)
        run([CMAKE, "--install", BUILD, "--prefix", prefix])
        self.check_everything(prefix)


def expected_icon(program):
    """The compiled-in icon as _NET_WM_ICON holds it: ARGB values, top row first."""
    with open(os.path.join(SOURCE, "packaging/icons/%s-48.bgra" % program), "rb") as f:
        data = f.read()
    stride = 4 * ICON_SIDE
    pixels = []
    for y in range(ICON_SIDE):
        row = data[(ICON_SIDE - 1 - y) * stride:(ICON_SIDE - y) * stride]
        for x in range(ICON_SIDE):
            b, g, r, a = row[4 * x:4 * x + 4]
            pixels.append((a << 24) | (r << 16) | (g << 8) | b)
    return pixels


def window_icons(server, window):
    """{(width, height): ARGB values} of a window's _NET_WM_ICON."""
    atom = server.connection.intern_atom("_NET_WM_ICON")
    prop = window.get_full_property(atom, X.AnyPropertyType)
    values = list(prop.value) if prop else []
    icons, at = {}, 0
    while at + 2 <= len(values):
        width, height = values[at], values[at + 1]
        icons[(width, height)] = values[at + 2:at + 2 + width * height]
        at += 2 + width * height
    return icons


class DebianPackage(InstalledTree, unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.work = tempfile.mkdtemp(prefix="kilndeb")
        try:
            arch = run([tool("dpkg"), "--print-architecture"]).strip()
            out = os.path.join(cls.work, "out")
            run([CPACK, "-G", "DEB", "--config", os.path.join(BUILD, "CPackConfig.cmake"), "-B", out])
            cls.deb = os.path.join(out, "glyphkiln_%s_%s.deb" % (VERSION, arch))
            if not os.path.isfile(cls.deb):
                raise AssertionError("cpack made no %s: %s" % (cls.deb, os.listdir(out)))
            cls.root = os.path.join(cls.work, "root")
            os.mkdir(cls.root)
            run([tool("dpkg"), "-x", cls.deb, cls.root])
        except BaseException:
            shutil.rmtree(cls.work, ignore_errors=True)
            raise

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.work, ignore_errors=True)

    def field(self, name):
        return run([tool("dpkg-deb"), "--field", self.deb, name]).rstrip("\n")

    def test_control_fields_name_the_version_the_description_and_every_dependency(self):
        info = run([tool("dpkg-deb"), "-I", self.deb])
        self.assertIn(" Package: glyphkiln\n", info)
        self.assertEqual(self.field("Version"), VERSION)
        self.assertEqual(self.field("Section"), "graphics")
        depends = [d.strip().split(" ")[0] for d in self.field("Depends").split(",")]
        # fonts-liberation2 from the package settings; the libraries computed
        # by dpkg-shlibdeps from the binaries.
        for package in ("fonts-liberation2", "libc6", "libstdc++6", "libqt6widgets6", "libqt6gui6",
                        "libqt6core6", "libfontconfig1", "libfreetype6"):
            self.assertIn(package, depends, self.field("Depends"))
        description = self.field("Description").split("\n")
        self.assertEqual(description[0], "bitmap lettering from system fonts for game and web buttons")
        self.assertGreater(len(description), 2)
        self.assertTrue(all(line.startswith(" ") for line in description[1:]), description)
        self.assertIn("character sheet", self.field("Description"))

    def test_files_are_owned_by_root_under_usr(self):
        listing = run([tool("dpkg-deb"), "-c", self.deb]).splitlines()
        self.assertTrue(listing)
        for line in listing:
            self.assertIn(" root/root ", line)
            path = line.split()[-1]
            self.assertTrue(path == "./" or path.startswith("./usr/"), path)

    def test_unpacked_files_are_complete_valid_and_free_of_build_paths(self):
        prefix = os.path.join(self.root, "usr")
        self.check_everything(prefix)
        for folder, _, names in os.walk(self.root):
            for name in names:
                with open(os.path.join(folder, name), "rb") as f:
                    data = f.read()
                self.assertNotIn(BUILD.encode(), data, os.path.join(folder, name))

    def test_unpacked_kilnbatch_makes_a_sheet_and_a_caption(self):
        kilnbatch = os.path.join(self.root, "usr/bin/kilnbatch")
        folder = tempfile.mkdtemp(prefix="kilndebrun")
        self.addCleanup(shutil.rmtree, folder, ignore_errors=True)
        sheet, caption = os.path.join(folder, "sheet.bmp"), os.path.join(folder, "play.bmp")
        printed = run([kilnbatch, "sheet", "-o", sheet, "--size", "12", "--shadow", "--count", "2"], cwd=folder)
        cell = int(re.fullmatch(r"cell (\d+), sheet (\d+)x\2\n", printed).group(1))
        run([kilnbatch, "caption", "--sheet", sheet, "--text", "Play", "-o", caption], cwd=folder)
        for path, size in ((sheet, (10 * cell, 10 * cell)), (caption, (4 * (cell - 4), cell - 4))):
            with open(path, "rb") as f:
                data = f.read()
            self.assertEqual(data[:2], b"BM", path)
            self.assertEqual(int.from_bytes(data[2:6], "little"), len(data), path)
            self.assertEqual(int.from_bytes(data[28:30], "little"), 24, path)
            self.assertEqual((int.from_bytes(data[18:22], "little", signed=True),
                              abs(int.from_bytes(data[22:26], "little", signed=True))), size, path)

    def wait_icon(self, server, window, program):
        expected = expected_icon(program)
        icon = harness.wait_for(lambda: window_icons(server, window).get((ICON_SIDE, ICON_SIDE)),
                                "a %d-pixel icon on the window" % ICON_SIDE)
        self.assertEqual(len(icon), len(expected))
        for at, (shown, drawn) in enumerate(zip(icon, expected)):
            self.assertEqual(shown >> 24, drawn >> 24, "alpha of pixel %d" % at)
            if drawn >> 24 == 0xFF:  # partly clear pixels may round through premultiplication
                self.assertEqual(shown, drawn, "pixel %d" % at)

    def start(self, server, program):
        app = harness.Program(server, [os.path.join(self.root, "usr/bin", program)])
        self.addCleanup(app.kill)
        return app

    def test_unpacked_glyphkiln_shows_its_window_with_its_icon_and_closes(self):
        server = harness.XServer()
        self.addCleanup(server.close)
        app = self.start(server, "glyphkiln")
        window = server.wait_window("Lumora")
        self.wait_icon(server, window, "glyphkiln")
        server.close_request(window)
        self.assertEqual(app.wait_exit(), 0, getattr(app, "stderr", ""))
        self.assertEqual(app.stderr, "")

    def test_unpacked_plaquer_asks_for_a_sheet_with_its_icon_and_ends_on_cancel(self):
        server = harness.XServer()
        self.addCleanup(server.close)
        app = self.start(server, "plaquer")
        dialog = server.wait_window("select a font image")
        self.wait_icon(server, dialog, "plaquer")
        server.focus(dialog)
        server.key("Escape")
        self.assertEqual(app.wait_exit(), 0, getattr(app, "stderr", ""))


if __name__ == "__main__":
    unittest.main()
