"""glyphkiln's font dialog under Xvfb: a sample readable in any colour, and a filter over the faces."""

import os
import sys

sys.path.insert(0, os.path.dirname(__file__))
import harness  # noqa: E402


def contrast(a, b):
    """The WCAG contrast ratio of two (r, g, b) pixels."""
    linear = [[c / 3294.6 if c <= 10.31 else ((c / 255 + 0.055) / 1.055) ** 2.4 for c in p] for p in (a, b)]
    lum = [0.2126 * red + 0.7152 * green + 0.0722 * blue for red, green, blue in linear]
    return (max(lum) + 0.05) / (min(lum) + 0.05)


class FontDialog(harness.Session):
    def test_samples_in_white_black_and_yellow_stand_out_and_the_filter_picks_among_the_faces_shown(self):
        app, window = self.start(os.environ["GLYPHKILN"]), self.server.wait_window("Lumora")
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
