"""plaquer end to end: the window as a person uses it, under Xvfb."""

import os

import harness

PLAQUER = os.environ["PLAQUER"]
NAME_FIELD, CAPTION_FIELD, WIDTH_SPIN, HEIGHT_SPIN, TEXT_BOX, LETTER_SPACING = 1, 3, 10, 11, 14, 15
CHOOSE = "select a font image"


class Plaquer(harness.Session):
    def junk(self):
        with open(self.path("junk"), "w") as f:
            f.write("not a picture")
        return f.name

    def wait_preview(self, window, size):
        """Waits for the preview view at (20, 100) to have `size`, measured along its border."""
        def run(pixels, background):
            return next((n for n, p in enumerate(pixels) if p == background), len(pixels))
        def measured():
            shot = self.server.screenshot(window)
            return run(shot[101][20:], shot[95][15]), run([row[21] for row in shot[100:]], shot[95][15])
        harness.wait_for(lambda: measured() == size, "a preview of %d x %d" % size)

    def save_caption(self, window, sheet, text, name):
        """Saves through the dialog and compares with `kilnbatch caption`."""
        self.server.click(window, 225, 50)  # Save
        self.answer("Save button as", self.path(name))
        reference = self.kilnbatch("caption", "reference", "--sheet", sheet, "--text", text)
        self.assert_saved_as(self.path(name + ".bmp"), reference)

    def test_the_default_sheet_captioned_then_size_fields_and_a_failed_and_a_good_sheet_change(self):
        small = self.kilnbatch("sheet", "small.bmp")  # glyphkiln's default, 8 points: 170 wide, so W = H = 13
        app = self.start(PLAQUER)
        self.answer(CHOOSE, small)
        window = self.server.wait_window("Plaquer")
        self.assertEqual(window.get_wm_class(), ("plaquer", "plaquer"))  # the desktop entry's StartupWMClass
        geometry = window.get_geometry()
        self.assertEqual((geometry.width, geometry.height), (319, 300))
        for number, text in ((NAME_FIELD, "small.bmp"), (WIDTH_SPIN, "13"), (HEIGHT_SPIN, "13")):
            self.wait_text(number, text)
        self.server.click(window, 130, 50)  # the caption, letter by letter: the preview grows a cell at a time
        for length, letter in enumerate("Play", start=1):
            self.server.type(letter)
            self.wait_preview(window, (length * 13 + 4, 17))
        self.save_caption(window, small, "Play", "play")
        self.type_into(window, 95, 80, "9", WIDTH_SPIN)  # W typed here, stepped with the arrow key below
        self.wait_preview(window, (4 * 9 + 4, 17))

        os.remove(small)  # the old sheet lives on in memory
        self.server.click(window, 35, 20)  # Font
        self.answer(CHOOSE, self.junk())
        self.answer("Error")  # OK
        self.assertEqual(self.state_of(NAME_FIELD), "small.bmp")
        self.server.click(window, 95, 80)
        self.server.key("Up")
        self.wait_text(WIDTH_SPIN, "10")
        self.wait_preview(window, (4 * 10 + 4, 17))  # composed from the old sheet

        # A large sheet: its default W and H lie beyond the usual range, which widens.
        large = self.kilnbatch("sheet", "large.bmp", "--size", "40")
        side = int.from_bytes(harness.read(large)[18:22], "little") // 10 - 4
        self.assertGreater(side, 40)
        self.server.click(window, 35, 20)
        self.answer(CHOOSE, large)
        for number, text in ((NAME_FIELD, "large.bmp"), (WIDTH_SPIN, str(side)), (HEIGHT_SPIN, str(side))):
            self.wait_text(number, text)
        self.wait_preview(window, (4 * side + 4, side + 4))
        self.save_caption(window, large, "Play", "playlarge")
        self.close(app, window)

    def test_cancelling_the_first_dialog_or_the_error_after_a_file_that_is_not_a_bmp_ends_the_program(self):
        app = self.start(PLAQUER)
        self.answer(CHOOSE, key="Escape")
        self.assertEqual(app.wait_exit(), 0, app.stderr)
        junk = self.junk()
        app = self.start(PLAQUER)
        self.answer(CHOOSE, junk)
        self.wait_dialog_start("Error", lambda start: start == "Unable to load image\n" + junk)
        self.answer("Error")  # Retry
        self.wait_dialog_start(CHOOSE, lambda start: start.endswith("/*.bmp"))  # back at the default path
        self.answer(CHOOSE, junk)
        self.answer("Error", key="Escape")  # Cancel
        self.assertEqual(app.wait_exit(), 0, app.stderr)

    def test_a_packed_set_opened_from_its_descriptor_is_set_as_text_as_kilnbatch_sets_it(self):
        self.kilnbatch("sheet", "x.png", "--charset", "windows-1252", "--pack", "--transparent", "--outline", "1",
                       "--page-size", "256x256")
        app = self.start(PLAQUER)
        self.answer(CHOOSE, self.path("x.fnt"))
        window = self.server.wait_window("Plaquer")
        self.wait_text(NAME_FIELD, "x.fnt (packed)")
        self.assertEqual(gui_value(self.state, TEXT_BOX), 1)  # ticked, as a packed set can only be set as text
        self.type_into(window, 280, 80, "1", LETTER_SPACING)
        self.type_into(window, 130, 50, "Caf\u00e9 5\u20ac", CAPTION_FIELD)
        self.server.click(window, 225, 50)  # Save
        self.answer("Save button as", self.path("cafe.png"))
        reference = self.kilnbatch("caption", "reference.png", "--sheet", self.path("x.png"), "--text", "Caf\u00e9 5\u20ac",
                                   "--layout", "proportional", "--letter-spacing", "1")
        self.assert_saved_as(self.path("cafe.png"), reference)
        self.close(app, window)


def gui_value(state, number):
    return harness.gui_state(state)["controls"][str(number)]["value"]
