"""The programs as a user gets them, installed by `cmake --install` or packaged by `cpack -G DEB` and
unpacked: only those copies are checked. What the programs do is for e2e/; here each only starts."""

import gzip
import os
import re
import shutil
import subprocess
import sys
import tempfile
import unittest
from pathlib import Path

SOURCE, BUILD, VERSION = os.environ["KILN_SOURCE_DIR"], os.environ["KILN_BUILD_DIR"], os.environ["KILN_VERSION"]
sys.path.insert(0, os.path.join(SOURCE, "e2e"))
import harness  # noqa: E402

FIRST_WINDOW = {"glyphkiln": "Lumora", "plaquer": "select a font image"}


def run(*argv, **options):
    """Runs a command; fails the test with its output when it fails."""
    done = subprocess.run(argv, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True, timeout=300, **options)
    if done.returncode != 0:
        raise AssertionError("%s exited with %d:\n%s" % (" ".join(argv), done.returncode, done.stdout))
    return done.stdout


def icon_48(server, window):
    """The ARGB pixels of the 48 x 48 picture in the window's _NET_WM_ICON (width, height, pixels, ...)."""
    prop = window.get_full_property(server.connection.intern_atom("_NET_WM_ICON"), harness.X.AnyPropertyType)
    values = list(prop.value) if prop else []
    while len(values) >= 2 and values[:2] != [48, 48]:
        values = values[2 + values[0] * values[1]:]
    return values[2:2 + 48 * 48] or None


def check_tree(test, prefix):
    """Every file in place under `prefix`, valid, of one version, with no path into the build tree."""
    share = os.path.join(prefix, "share/")
    for p in [*FIRST_WINDOW, "kilnbatch"]:
        test.assertTrue(os.access(prefix + "/bin/" + p, os.X_OK), p)
        test.assertNotRegex(run("readelf", "-d", prefix + "/bin/" + p), "R(UN)?PATH.*(%s|%s)" % (BUILD, SOURCE))
        man = gzip.decompress(Path(share + "man/man1/%s.1.gz" % p).read_bytes()).decode()
        test.assertRegex(man, r'(?m)^\.TH %s 1 \S+ "glyphkiln %s"' % (p.upper(), re.escape(VERSION)))
    validations = [run("appstreamcli", "validate-tree", "--no-net", prefix)]
    for p in FIRST_WINDOW:
        for side in (48, 256):  # the PNG's width and height
            png = Path(share + "icons/hicolor/%dx%d/apps/%s.png" % (side, side, p)).read_bytes()
            test.assertEqual(png[16:24], side.to_bytes(4, "big") * 2, p)
        test.assertIn("<svg", Path(share + "icons/hicolor/scalable/apps/%s.svg" % p).read_text())
        desktop = share + "applications/%s.desktop" % p
        test.assertEqual(run("desktop-file-validate", desktop), "", desktop)  # even a hint fails
        test.assertIn("\nExec=%s\n" % p, Path(desktop).read_text())
        metainfo = share + "metainfo/org.glyphkiln.%s.metainfo.xml" % p
        test.assertEqual(re.findall(r'<release version="([^"]+)"', Path(metainfo).read_text()), [VERSION])
        validations.append(run("appstreamcli", "validate", "--no-net", "--pedantic", metainfo))
    for output in validations:
        test.assertNotRegex(output, r"(?m)^\s*[EWIP]: ", output)
        test.assertRegex(output, r"Validation was successful\.\s*$", output)
    doc = share + "doc/glyphkiln/"
    test.assertEqual(Path(doc + "copyright").read_text(), Path(SOURCE, "LICENSE").read_text())
    for link in re.findall(r"\]\(([^):#]+)\)", Path(doc + "README.md").read_text()):  # the About box names it
        test.assertTrue(os.path.isfile(doc + link), link)
    test.assertEqual(run(os.path.join(prefix, "bin/kilnbatch"), "--version"), "kilnbatch %s\n" % VERSION)


class Installed(unittest.TestCase):
    def test_cmake_install_puts_each_file_in_place_and_the_validators_pass(self):
        prefix = tempfile.mkdtemp(prefix="kilninstall")
        self.addCleanup(shutil.rmtree, prefix, ignore_errors=True)
        run(os.environ["KILN_CMAKE"], "--install", BUILD, "--prefix", prefix)
        check_tree(self, prefix)


class DebianPackage(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.work = tempfile.mkdtemp(prefix="kilndeb")
        cls.addClassCleanup(shutil.rmtree, cls.work, ignore_errors=True)
        run(os.environ["KILN_CPACK"], "-G", "DEB", "--config", os.path.join(BUILD, "CPackConfig.cmake"), "-B", cls.work)
        arch = run("dpkg", "--print-architecture").strip()
        cls.deb, cls.root = os.path.join(cls.work, "glyphkiln_%s_%s.deb" % (VERSION, arch)), cls.work + "/root"
        run("dpkg", "-x", cls.deb, cls.root)

    def test_control_fields_files_owned_by_root_under_usr_and_the_unpacked_tree(self):
        field = lambda name: run("dpkg-deb", "--field", self.deb, name).rstrip("\n")  # noqa: E731
        self.assertEqual([field("Package"), field("Version"), field("Section")], ["glyphkiln", VERSION, "graphics"])
        # The fonts from the package settings; every library, with its version, from dpkg-shlibdeps.
        depends = {d.split()[0]: d for d in field("Depends").split(", ")}
        self.assertEqual(depends.pop("fonts-liberation2"), "fonts-liberation2")
        self.assertLessEqual({"libfontconfig1", "libfreetype6", "libharfbuzz0b", "libpng16-16"}, depends.keys())
        self.assertTrue(all(" (>= " in d for d in depends.values()), depends)
        self.assertRegex(field("Description"), r"\Abitmap lettering from system fonts for game and web buttons\n ")
        for line in run("dpkg-deb", "-c", self.deb).splitlines():
            self.assertRegex(line, r" root/root .* \./(usr/.*)?$")
        check_tree(self, self.root + "/usr")
        for folder, _, names in os.walk(self.root):
            for path in (os.path.join(folder, name) for name in names):
                self.assertNotIn(BUILD.encode(), Path(path).read_bytes(), path)

    def test_lintian_pedantic_reports_no_error_or_warning(self):
        lintian = shutil.which("lintian")
        self.assertIsNotNone(lintian, "lintian missing: scripts/install-deps.sh installs it")
        done = subprocess.run([lintian, "--pedantic", "-I", "-E", self.deb], stdout=subprocess.PIPE,
                              stderr=subprocess.STDOUT, text=True, timeout=300)
        self.assertEqual(re.findall(r"(?m)^[EW]: .*", done.stdout), [], done.stdout)

    def test_each_unpacked_program_starts_kilnbatch_making_a_sheet_and_a_caption_the_others_their_icons(self):
        kilnbatch = self.root + "/usr/bin/kilnbatch"  # fonts, kerning and PNG through the libraries it links
        printed = run(kilnbatch, "sheet", "-o", "sheet.png", "--descriptor", "text", cwd=self.work)
        self.assertRegex(printed, r"\Acell \d+, sheet \d+x\d+\n\Z")
        run(kilnbatch, "caption", "--sheet", "sheet.png", "--text", "Play", "-o", "play.png", cwd=self.work)
        server = harness.XServer()
        self.addCleanup(server.close)
        for program, title in FIRST_WINDOW.items():
            app = harness.Program(server, [self.root + "/usr/bin/" + program])
            self.addCleanup(app.kill)
            window = server.wait_window(title)
            icon = harness.wait_for(lambda: icon_48(server, window), program + "'s 48-pixel icon")
            self.assertEqual((len(icon), {0, 0xFF} <= {value >> 24 for value in icon}), (48 * 48, True), program)
            server.close_request(window)
            self.assertEqual((app.wait_exit(), app.stderr), (0, ""), program)
