"""plaquer end to end: the window as a person uses it, under Xvfb."""

import os
import subprocess
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.dirname(__file__))
import harness  # noqa: E402

PLAQUER = os.environ["PLAQUER"]
GLYPHKILN = os.environ["GLYPHKILN"]
KILNBATCH = os.environ["KILNBATCH"]

WIDTH_SPIN, HEIGHT_SPIN, CAPTION, NAME_FIELD, PREVIEW = 10, 11, 3, 1, 4


def read(path):
    with open(path, "rb") as f:
        return f.read()


class Plaquer(unittest.TestCase):
    def setUp(self):
        self.server = harness.XServer()
        self.addCleanup(self.server.close)
        # No "." in the path, or the ".bmp" rule would not add the extension.
        self.folder = tempfile.mkdtemp(prefix="plaquere2e", dir="/tmp")
        self.state = os.path.join(self.folder, "state")

    def sheet(self, name, *options):
        path = os.path.join(self.folder, name + ".bmp")
        subprocess.run([KILNBATCH, "sheet", "-o", path] + list(options), check=True, stdout=subprocess.DEVNULL)
        return path

    def start(self, program=PLAQUER):
        app = harness.Program(self.server, [program], env={"KILN_GUI_STATE": self.state})
        self.addCleanup(app.kill)
        return app

    def answer_dialog(self, title, text):
        dialog = self.server.wait_window(title)
        self.server.focus(dialog)
        self.server.key("ctrl+a")
        self.server.type(text)
        self.server.key("Return")
        self.server.wait_no_window(title)

    def state_of(self, number, field="text"):
        state = harness.gui_state(self.state)
        return state["controls"][str(number)][field] if state else None

    def wait_text(self, number, text):
        harness.wait_for(lambda: self.state_of(number) == text, "control %d to show %r" % (number, text))

    def preview_size(self, window):
        """The preview view's size, from the first column and row of its border."""
        shot = self.server.screenshot(window)
        x0, y0 = 20, 100
        background = shot[y0 - 5][x0 - 5]
        width = 0
        while x0 + width < len(shot[0]) and shot[y0 + 1][x0 + width] != background:
            width += 1
        height = 0
        while y0 + height < len(shot) and shot[y0 + height][x0 + 1] != background:
            height += 1
        return width, height

    def open_sheet(self, path):
        app = self.start()
        self.answer_dialog("select a font image", path)
        window = self.server.wait_window("Plaquer")
        return app, window

    def save_matches_the_batch_tool(self, window, sheet, caption, name):
        """Saves through the dialog and compares with `kilnbatch caption`."""
        self.server.click(window, 225, 50)  # Save
        target = os.path.join(self.folder, name)
        self.answer_dialog("Save button as", target)
        harness.wait_file(target + ".bmp")
        reference = os.path.join(self.folder, "reference")
        subprocess.run([KILNBATCH, "caption", "--sheet", sheet, "--text", caption, "-o", reference], check=True)
        self.assertEqual(read(target + ".bmp"), read(reference))

    def close(self, app, window):
        self.server.close_request(window)
        self.assertEqual(app.wait_exit(), 0)

    def test_a_chosen_sheet_sets_the_cell_size_and_a_caption_saves_the_batch_tools_bytes(self):
        sheet = self.sheet("small")  # 8 points: 170 wide, so W = H = 13
        app, window = self.open_sheet(sheet)
        self.assertEqual(self.server.geometry(window)[2:], (319, 300))
        self.wait_text(NAME_FIELD, "small.bmp")
        self.wait_text(WIDTH_SPIN, "13")
        self.wait_text(HEIGHT_SPIN, "13")
        self.server.click(window, 130, 50)  # caption field
        for length, letter in enumerate("Play", start=1):
            self.server.type(letter)
            harness.wait_for(lambda: self.preview_size(window) == (length * 13 + 4, 13 + 4),
                             "the preview to grow to %d characters" % length)
        self.save_matches_the_batch_tool(window, sheet, "Play", "play")
        self.close(app, window)

    def test_a_large_sheets_default_is_inside_the_widened_range(self):
        sheet = self.sheet("large", "--size", "40")
        width = int.from_bytes(read(sheet)[18:22], "little")
        size = width // 10 - 4
        self.assertGreater(size, 40)
        app, window = self.open_sheet(sheet)
        self.wait_text(WIDTH_SPIN, str(size))
        self.server.click(window, 130, 50)
        self.server.type("Go")
        harness.wait_for(lambda: self.state_of(PREVIEW, "value") not in (None, 0), "a composition")
        self.save_matches_the_batch_tool(window, sheet, "Go", "go")
        self.close(app, window)

    def test_sizes_change_by_arrows_and_typing_and_a_new_sheet_resets_them(self):
        app, window = self.open_sheet(self.sheet("small"))
        self.wait_text(WIDTH_SPIN, "13")
        self.server.click(window, 130, 50)
        self.server.type("AB")
        harness.wait_for(lambda: self.preview_size(window) == (2 * 13 + 4, 17), "the first composition")
        self.server.click(window, 95, 80)  # W field
        self.server.key("Up", "Up")
        self.wait_text(WIDTH_SPIN, "15")
        harness.wait_for(lambda: self.preview_size(window) == (2 * 15 + 4, 17), "W to reach the preview")
        self.server.key("ctrl+a")
        self.server.type("9")
        self.wait_text(WIDTH_SPIN, "9")
        harness.wait_for(lambda: self.preview_size(window) == (2 * 9 + 4, 17), "the typed W to reach the preview")
        bigger = self.sheet("bigger", "--size", "12")
        big_size = int.from_bytes(read(bigger)[18:22], "little") // 10 - 4
        self.server.click(window, 35, 20)  # Font
        self.answer_dialog("select a font image", bigger)
        self.wait_text(NAME_FIELD, "bigger.bmp")
        self.wait_text(WIDTH_SPIN, str(big_size))
        self.wait_text(HEIGHT_SPIN, str(big_size))
        harness.wait_for(lambda: self.preview_size(window) == (2 * big_size + 4, big_size + 4), "the recomposition")
        self.close(app, window)

    def test_a_file_that_is_not_a_bmp_offers_retry_at_start_and_ok_later(self):
        junk = os.path.join(self.folder, "junk")
        with open(junk, "w") as f:
            f.write("not a picture")
        app = self.start()
        self.answer_dialog("select a font image", junk)
        error = self.server.wait_window("Error")
        harness.wait_for(lambda: harness.gui_state(self.state)["dialog"]["start"] == "Unable to load image\n" + junk,
                         "the error text")
        self.server.focus(error)
        self.server.key("Return")  # Retry
        self.server.wait_window("select a font image")
        harness.wait_for(lambda: harness.gui_state(self.state)["dialog"]["start"].endswith("/*.bmp"),
                         "the dialog back at the default path")
        self.answer_dialog("select a font image", junk)
        error = self.server.wait_window("Error")
        self.server.focus(error)
        self.server.key("Escape")  # Cancel
        self.assertEqual(app.wait_exit(), 0)

    def test_a_failed_sheet_change_keeps_the_old_sheet_composing(self):
        sheet = self.sheet("small")
        app, window = self.open_sheet(sheet)
        self.wait_text(WIDTH_SPIN, "13")
        junk = os.path.join(self.folder, "junk")
        with open(junk, "w") as f:
            f.write("not a picture")
        os.remove(sheet)  # the old sheet lives on in memory
        self.server.click(window, 35, 20)
        self.answer_dialog("select a font image", junk)
        error = self.server.wait_window("Error")
        self.server.focus(error)
        self.server.key("Return")  # OK
        self.server.wait_no_window("Error")
        self.assertEqual(self.state_of(NAME_FIELD), "small.bmp")
        self.server.click(window, 130, 50)
        self.server.type("Hi")
        harness.wait_for(lambda: self.preview_size(window) == (2 * 13 + 4, 17), "a composition from the old sheet")
        self.close(app, window)

    def test_cancelling_the_first_dialog_ends_the_program(self):
        app = self.start()
        dialog = self.server.wait_window("select a font image")
        self.server.focus(dialog)
        self.server.key("Escape")
        self.assertEqual(app.wait_exit(), 0)

    def test_a_sheet_saved_by_glyphkiln_is_captioned_by_plaquer(self):
        renderer = self.start(GLYPHKILN)
        lumora = self.server.wait_window("Lumora")
        self.server.click(lumora, 255, 115)  # Build
        sheet = os.path.join(self.folder, "roundtrip")
        self.answer_dialog("Save Image As", sheet)
        harness.wait_file(sheet + ".bmp")
        self.server.close_request(lumora)
        self.assertEqual(renderer.wait_exit(), 0)

        app, window = self.open_sheet(sheet + ".bmp")
        self.wait_text(NAME_FIELD, "roundtrip.bmp")
        self.server.click(window, 130, 50)
        self.server.type("OK")
        harness.wait_for(lambda: self.state_of(PREVIEW, "value") not in (None, 0), "a composition")
        self.save_matches_the_batch_tool(window, sheet + ".bmp", "OK", "okbutton")
        self.close(app, window)


class WithoutADisplay(unittest.TestCase):
    def test_the_program_says_it_needs_a_display_and_exits_with_one(self):
        code, errors = harness.run_without_display(PLAQUER)
        self.assertEqual(code, 1)
        self.assertIn("display", errors)


if __name__ == "__main__":
    unittest.main()
