"""glyphkiln end to end: the window as a person uses it, under Xvfb."""

import os
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.dirname(__file__))
import harness  # noqa: E402

GLYPHKILN = os.environ["GLYPHKILN"]
KILNBATCH = os.environ["KILNBATCH"]
PREVIEW_AT = (12, 72)  # the preview image inside its bordered view at (10, 70)


def bmp_pixels(path):
    """(width, height, rows of (r, g, b)) of a 24-bit BMP file."""
    with open(path, "rb") as f:
        data = f.read()
    offset = int.from_bytes(data[10:14], "little")
    width = int.from_bytes(data[18:22], "little", signed=True)
    height = int.from_bytes(data[22:26], "little", signed=True)
    stride = (3 * width + 3) & ~3
    rows = []
    for y in range(height):
        start = offset + (height - 1 - y) * stride
        row = data[start:start + 3 * width]
        rows.append([(row[3 * x + 2], row[3 * x + 1], row[3 * x]) for x in range(width)])
    return width, height, rows


class Glyphkiln(unittest.TestCase):
    def setUp(self):
        self.server = harness.XServer()
        self.addCleanup(self.server.close)
        # No "." in the path, or the ".bmp" rule would not add the extension.
        self.folder = tempfile.mkdtemp(prefix="glyphkilne2e", dir="/tmp")
        self.state = os.path.join(self.folder, "state")
        self.app = harness.Program(self.server, [GLYPHKILN], env={"KILN_GUI_STATE": self.state})
        self.addCleanup(self.app.kill)
        self.window = self.server.wait_window("Lumora")

    def kilnbatch(self, *args):
        import subprocess
        subprocess.run([KILNBATCH] + list(args), check=True, stdout=subprocess.DEVNULL)

    def expected_preview(self, *args):
        path = os.path.join(self.folder, "expected_preview_bmp")
        self.kilnbatch("sheet", "-o", os.path.join(self.folder, "scratch_bmp"), "--preview", path, *args)
        return bmp_pixels(path)[2]

    def preview_on_screen(self):
        shot = self.server.screenshot(self.window)
        x0, y0 = PREVIEW_AT
        return [row[x0:x0 + 200] for row in shot[y0:y0 + 200]]

    def wait_preview(self, expected, what):
        harness.wait_for(lambda: self.preview_on_screen() == expected, what)

    def control_text(self, number):
        return harness.gui_state(self.state)["controls"][str(number)]["text"]

    def wait_text(self, number, text):
        harness.wait_for(lambda: harness.gui_state(self.state) and self.control_text(number) == text,
                         "control %d to show %r" % (number, text))

    def click(self, x, y, button=1):
        self.server.click(self.window, x, y, button)

    def build_and_save(self, path):
        self.click(255, 115)  # Build
        dialog = self.server.wait_window("Save Image As")
        self.server.focus(dialog)
        self.server.key("ctrl+a")
        self.server.type(path)
        self.server.key("Return")
        self.server.wait_no_window("Save Image As")

    def close_and_expect_zero(self):
        self.server.close_request(self.window)
        self.assertEqual(self.app.wait_exit(), 0, self.app.stderr if hasattr(self.app, "stderr") else "")

    def test_start_shows_the_defaults_and_a_white_a_at_thirty_thirty(self):
        self.assertEqual(self.server.geometry(self.window)[2:], (296, 278))
        for number, text in ((1, "Arial"), (2, "8"), (3, "8"), (8, "0"), (10, "0"), (17, "1"), (13, "A")):
            self.wait_text(number, text)
        expected = self.expected_preview()
        self.wait_preview(expected, "the default preview")
        # The "A" is white on black (grey edges only: no shadow colour) with
        # its box at (30, 30).
        colours = {p for row in expected for p in row}
        self.assertTrue(all(r == g == b for r, g, b in colours))
        self.assertGreater(max(r for r, _, _ in colours), 200)
        ink = [(x, y) for y, row in enumerate(expected) for x, p in enumerate(row) if p != (0, 0, 0)]
        self.assertGreaterEqual(min(x for x, _ in ink), 30)
        self.assertGreaterEqual(min(y for _, y in ink), 30)
        self.close_and_expect_zero()

    def test_the_test_field_keeps_the_character_just_typed(self):
        self.wait_text(13, "A")
        self.click(275, 80)
        self.server.key("End")
        self.server.type("B")
        self.wait_text(13, "B")
        self.server.key("Home")
        self.server.type("C")
        self.wait_text(13, "C")
        self.server.key("End", "BackSpace")
        self.wait_text(13, "")
        self.wait_preview(self.expected_preview("--test", ""), "a preview of only the background")
        self.close_and_expect_zero()

    def test_a_default_build_saves_the_batch_tools_bytes_with_bmp_added(self):
        self.wait_text(13, "A")
        target = os.path.join(self.folder, "defaultsheet")
        self.build_and_save(target)
        harness.wait_file(target + ".bmp")
        reference = os.path.join(self.folder, "reference_bmp")
        self.kilnbatch("sheet", "-o", reference)
        with open(target + ".bmp", "rb") as a, open(reference, "rb") as b:
            self.assertEqual(a.read(), b.read())
        self.close_and_expect_zero()

    def test_a_shadow_set_by_typing_and_arrows_builds_the_batch_tools_bytes(self):
        self.wait_text(13, "A")
        self.click(20, 50)             # shadow switch
        self.click(85, 50)             # X: typed
        self.server.key("ctrl+a")
        self.server.type("5")
        self.wait_text(8, "5")
        self.click(135, 50)            # Y: three steps down with the arrow key
        self.server.key("Down", "Down", "Down")
        self.wait_text(10, "-3")
        self.click(185, 50)            # C: typed
        self.server.key("ctrl+a")
        self.server.type("4")
        self.wait_text(17, "4")
        target = os.path.join(self.folder, "shadowsheet")
        self.build_and_save(target)
        harness.wait_file(target + ".bmp")
        reference = os.path.join(self.folder, "reference_bmp")
        self.kilnbatch("sheet", "-o", reference, "--shadow", "--offset", "5,-3", "--count", "4")
        with open(target + ".bmp", "rb") as a, open(reference, "rb") as b:
            self.assertEqual(a.read(), b.read())
        self.close_and_expect_zero()

    def test_an_unwritable_path_offers_retry_then_cancel_and_the_program_goes_on(self):
        self.wait_text(13, "A")
        # Even root cannot write a file where a folder stands: the dialog takes
        # the name "blocked", the program adds ".bmp" and meets the folder.
        blocked = os.path.join(self.folder, "blocked")
        os.mkdir(blocked + ".bmp")
        self.build_and_save(blocked)
        error = self.server.wait_window("Error")
        self.server.focus(error)
        self.server.key("Return")  # Retry, the default button
        dialog = self.server.wait_window("Save Image As")
        # Back at the default path, not at the one that failed.
        harness.wait_for(lambda: harness.gui_state(self.state)["dialog"]["start"].endswith("/charset.bmp"),
                         "the dialog to start from the default path")
        self.assertEqual(harness.gui_state(self.state)["dialog"]["title"], "Save Image As")
        self.server.focus(dialog)
        self.server.key("ctrl+a")
        self.server.type(blocked)
        self.server.key("Return")
        error = self.server.wait_window("Error")
        self.server.focus(error)
        self.server.key("Escape")  # Cancel
        self.server.wait_no_window("Error")
        self.server.wait_no_window("Save Image As")
        self.click(255, 155)  # Close
        self.assertEqual(self.app.wait_exit(), 0)


class WithoutADisplay(unittest.TestCase):
    def test_the_program_says_it_needs_a_display_and_exits_with_one(self):
        code, errors = harness.run_without_display(GLYPHKILN)
        self.assertEqual(code, 1)
        self.assertIn("display", errors)


if __name__ == "__main__":
    unittest.main()
