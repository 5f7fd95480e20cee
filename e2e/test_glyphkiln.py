"""glyphkiln end to end: the window and its font dialog as a person uses them, under Xvfb."""

import os
import subprocess
import unittest

import harness

GLYPHKILN, PLAQUER = os.environ["GLYPHKILN"], os.environ["PLAQUER"]


def contrast(a, b):
    """The WCAG contrast ratio of two (r, g, b) pixels."""
    linear = [[c / 3294.6 if c <= 10.31 else ((c / 255 + 0.055) / 1.055) ** 2.4 for c in p] for p in (a, b)]
    lum = [0.2126 * red + 0.7152 * green + 0.0722 * blue for red, green, blue in linear]
    return (max(lum) + 0.05) / (min(lum) + 0.05)


class Glyphkiln(harness.Session):
    def wait_preview(self, *options):
        """Waits for the preview on screen to be kilnbatch's --preview with `options`; returns its rows of (r, g, b)."""
        self.kilnbatch("sheet", "scratch", "--preview", self.path("preview"), *options)
        data = harness.read(self.path("preview"))  # 200 x 200 at 24 bits: 600 bytes a row, the bottom row first
        expected = [[tuple(data[i:i + 3][::-1]) for i in range(y, y + 600, 3)] for y in range(54 + 600 * 199, 53, -600)]
        harness.wait_for(lambda: [row[12:212] for row in self.server.screenshot(self.window)[72:272]] == expected,
                         "the preview of kilnbatch %s" % " ".join(options))  # inside the view's border at (10, 70)
        return expected

    def test_start_state_test_field_unwritable_target_and_a_shadow_built_as_the_batch_tool_does(self):
        app, self.window = self.start(GLYPHKILN), self.server.wait_window("Lumora")
        self.assertEqual(self.window.get_wm_class(), ("glyphkiln", "glyphkiln"))  # the desktop entry's StartupWMClass
        geometry = self.window.get_geometry()
        self.assertEqual((geometry.width, geometry.height), (296, 278))
        for number, text in ((1, "Arial"), (2, "8"), (3, "8"), (8, "0"), (10, "0"), (17, "1"), (13, "A")):
            self.wait_text(number, text)
        expected = self.wait_preview()
        self.assertGreater(max(map(max, expected)), (200, 0, 0))  # a white "A": not matched against an empty picture
        self.server.click(self.window, 275, 80)  # the test character
        for keys, text in ((["End"], "B"), (["Home"], "C"), (["End", "BackSpace"], "")):
            self.server.key(*keys)
            self.server.type(text)
            self.wait_text(13, text)
        self.wait_preview("--test", "")  # only the background

        # Even root cannot write a file where a folder stands: the dialog takes
        # the name "blocked", the program adds ".bmp" and meets the folder.
        os.mkdir(self.path("blocked.bmp"))
        self.server.click(self.window, 255, 115)  # Build
        self.answer("Save Image As", self.path("blocked"))
        self.answer("Error")  # Retry, the default button
        # Back at the default path, not at the one that failed.
        self.wait_dialog_start("Save Image As", lambda start: start.endswith("/charset.bmp"))
        self.answer("Save Image As", self.path("blocked"))
        self.answer("Error", key="Escape")  # Cancel

        self.server.click(self.window, 20, 50)  # shadow switch
        self.type_into(self.window, 85, 50, "5", 8)  # X typed
        self.server.click(self.window, 135, 50)  # Y: three steps down with the arrow key
        self.server.key("Down", "Down", "Down")
        self.wait_text(10, "-3")
        self.type_into(self.window, 185, 50, "4", 17)  # C typed
        self.server.click(self.window, 255, 115)
        self.answer("Save Image As", self.path("shadowsheet"))
        self.assert_saved_as(self.path("shadowsheet.bmp"),
                             self.kilnbatch("sheet", "reference", "--shadow", "--offset", "5,-3", "--count", "4"))
        self.server.click(self.window, 255, 155)  # Close
        self.assertEqual(app.wait_exit(), 0, app.stderr)

    def test_samples_in_white_black_and_yellow_stand_out_and_the_filter_picks_among_the_faces_shown(self):
        app, window = self.start(GLYPHKILN), self.server.wait_window("Lumora")
        self.server.click(window, 30, 20)  # Font 1
        dialog = self.server.wait_window("Font")
        self.server.focus(dialog)

        def black_rows():  # white, the start colour, is drawn on the only black in the dialog: the sample's ground
            shot = self.server.screenshot(dialog)
            rows = [y for y, row in enumerate(shot) if row.count((0, 0, 0)) >= 200]
            return len(rows) == 64 and (shot[rows[0]].index((0, 0, 0)), rows[0])
        x, y = harness.wait_for(black_rows, "the sample, 64 rows high")
        self.server.key(*["Tab"] * 7)  # from the filter to the colours: Black first, Yellow fifth from White last
        for keys, ink in (((), (255, 255, 255)), (("Home",), (0, 0, 0)), (("End",) + ("Up",) * 4, (255, 255, 0))):
            if keys:
                self.server.key(*keys)

            def drawn():  # the pixel farthest from the ground is the colour chosen, and stands out from it
                area = [p for row in self.server.screenshot(dialog)[y:y + 64] for p in row[x:x + 260]]
                return max(area, key=lambda p: contrast(p, area[0])) == ink and contrast(area[0], ink)
            self.assertGreaterEqual(harness.wait_for(drawn, "a sample drawn in %s" % (ink,)), 4.5, ink)
        self.server.key(*["shift+Tab"] * 7)  # back to the filter; the start face, Arial, is not among those shown
        self.server.type("SANS mono")
        self.server.key("Return")
        self.wait_text(1, "DejaVu Sans Mono")
        self.close(app, window)

    def test_options_make_a_packed_transparent_outlined_set_as_the_batch_tool_does(self):
        app, window = self.start(GLYPHKILN), self.server.wait_window("Lumora")
        self.server.click(window, 255, 264)  # Options
        dialog = self.server.wait_window("Sheet Options")
        for x, y in ((160, 35), (250, 140), (160, 243), (30, 423)):  # Windows-1252, packed, transparent, text
            self.server.click(dialog, x, y)
        self.type_into(dialog, 100, 295, "1", 44)  # outline width
        self.server.click(dialog, 287, 462)  # OK
        self.server.wait_no_window("Sheet Options")
        self.server.click(window, 255, 115)  # Build
        self.wait_dialog_start("Save Image As", lambda start: start.endswith("/charset.png"))
        self.answer("Save Image As", self.path("glyphset"))
        os.mkdir(self.path("batch"))
        self.kilnbatch("sheet", "batch/glyphset.png", "--charset", "windows-1252", "--pack", "--transparent",
                       "--outline", "1", "--descriptor", "text")
        self.assert_saved_as(self.path("glyphset.fnt"), self.path("batch/glyphset.fnt"))
        self.assert_saved_as(self.path("glyphset.png"), self.path("batch/glyphset.png"))
        self.close(app, window)


class WithoutADisplay(unittest.TestCase):
    def test_each_window_program_says_it_needs_a_display_and_exits_with_one(self):
        env = {k: v for k, v in os.environ.items() if k not in ("DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM")}
        for program in (GLYPHKILN, PLAQUER):
            run = subprocess.run([program], env=env, capture_output=True, text=True, timeout=harness.DEADLINE)
            self.assertEqual((run.returncode, "display" in run.stderr), (1, True), program + ": " + run.stderr)

