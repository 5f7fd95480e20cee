"""glyphkiln end to end: the window as a person uses it, under Xvfb."""

import os
import subprocess
import sys
import unittest

sys.path.insert(0, os.path.dirname(__file__))
import harness  # noqa: E402

GLYPHKILN, PLAQUER = os.environ["GLYPHKILN"], os.environ["PLAQUER"]


class Glyphkiln(harness.Session):
    def wait_preview(self, *options):
        """Waits for the preview on screen to be kilnbatch's --preview with `options`; returns its rows of (r, g, b)."""
        self.kilnbatch("sheet", "scratch", "--preview", self.path("preview"), *options)
        data = harness.read(self.path("preview"))  # 200 x 200 at 24 bits: 600 bytes a row, the bottom row first
        expected = [[tuple(data[i:i + 3][::-1]) for i in range(y, y + 600, 3)] for y in range(54 + 600 * 199, 53, -600)]
        harness.wait_for(lambda: [row[12:212] for row in self.server.screenshot(self.window)[72:272]] == expected,
                         "the preview of kilnbatch %s" % " ".join(options))  # inside the view's border at (10, 70)
        return expected

    def type_into(self, x, y, text, number):
        self.server.click(self.window, x, y)
        self.server.key("ctrl+a")
        self.server.type(text)
        self.wait_text(number, text)

    def test_start_state_test_field_unwritable_target_and_a_shadow_built_as_the_batch_tool_does(self):
        app, self.window = self.start(GLYPHKILN), self.server.wait_window("Lumora")
        self.assertEqual(self.server.wm_class(self.window), ("glyphkiln", "glyphkiln"))  # the desktop entry's StartupWMClass
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
        self.type_into(85, 50, "5", 8)          # X typed
        self.server.click(self.window, 135, 50)  # Y: three steps down with the arrow key
        self.server.key("Down", "Down", "Down")
        self.wait_text(10, "-3")
        self.type_into(185, 50, "4", 17)        # C typed
        self.server.click(self.window, 255, 115)
        self.answer("Save Image As", self.path("shadowsheet"))
        self.assert_saved_as(self.path("shadowsheet.bmp"),
                             self.kilnbatch("sheet", "reference", "--shadow", "--offset", "5,-3", "--count", "4"))
        self.server.click(self.window, 255, 155)  # Close
        self.assertEqual(app.wait_exit(), 0, app.stderr)


class WithoutADisplay(unittest.TestCase):
    def test_each_window_program_says_it_needs_a_display_and_exits_with_one(self):
        env = {k: v for k, v in os.environ.items() if k not in ("DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM")}
        for program in (GLYPHKILN, PLAQUER):
            run = subprocess.run([program], env=env, capture_output=True, text=True, timeout=harness.DEADLINE)
            self.assertEqual((run.returncode, "display" in run.stderr), (1, True), program + ": " + run.stderr)

