#!/usr/bin/python3
"""Makes the README's pictures: both windows under Xvfb, a sample sheet and a
caption, as PNG files in docs/images.

Run from the project root after a build:  /usr/bin/python3 scripts/screenshots.py [BUILD]
"""

import os
import struct
import subprocess
import sys
import tempfile
import zlib

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(ROOT, "e2e"))
import harness  # noqa: E402

BUILD = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else os.path.join(ROOT, "build"))
OUT = os.path.join(ROOT, "docs", "images")
GLYPHKILN = os.path.join(BUILD, "renderer", "glyphkiln")
PLAQUER = os.path.join(BUILD, "composer", "plaquer")
KILNBATCH = os.path.join(BUILD, "kilnbatch", "kilnbatch")


def write_png(rows, path):
    height, width = len(rows), len(rows[0])
    raw = b"".join(b"\0" + bytes(c for pixel in row for c in pixel) for row in rows)

    def chunk(kind, body):
        return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body) & 0xFFFFFFFF)

    with open(path, "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0))
                + chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))


def bmp_rows(path):
    with open(path, "rb") as f:
        data = f.read()
    offset = int.from_bytes(data[10:14], "little")
    width = int.from_bytes(data[18:22], "little")
    height = int.from_bytes(data[22:26], "little")
    stride = (3 * width + 3) & ~3
    return [[(data[offset + (height - 1 - y) * stride + 3 * x + 2], data[offset + (height - 1 - y) * stride + 3 * x + 1],
              data[offset + (height - 1 - y) * stride + 3 * x]) for x in range(width)] for y in range(height)]


def main():
    os.makedirs(OUT, exist_ok=True)
    work = tempfile.mkdtemp(prefix="kilnshots")
    sheet = os.path.join(work, "sheet.bmp")
    caption = os.path.join(work, "caption.bmp")
    subprocess.run([KILNBATCH, "sheet", "-o", sheet, "--size", "16", "--bold", "--colour", "FFB000",
                    "--background", "203040", "--shadow", "--shadow-colour", "000000", "--offset", "0,0",
                    "--count", "2"], check=True, stdout=subprocess.DEVNULL)
    subprocess.run([KILNBATCH, "caption", "--sheet", sheet, "--text", "Start Game", "-o", caption], check=True)
    write_png(bmp_rows(sheet), os.path.join(OUT, "sheet.png"))
    write_png(bmp_rows(caption), os.path.join(OUT, "caption.png"))

    server = harness.XServer()
    try:
        state = os.path.join(work, "state")
        renderer = harness.Program(server, [GLYPHKILN], env={"KILN_GUI_STATE": state})
        window = server.wait_window("Lumora")
        server.click(window, 20, 50)       # shadows on
        server.click(window, 185, 50)      # C
        server.key("ctrl+a")
        server.type("3")
        server.click(window, 275, 80)      # the test character
        server.key("ctrl+a")
        server.type("G")
        def shows(number, text):
            report = harness.gui_state(state)
            return report and report["controls"][str(number)]["text"] == text
        harness.wait_for(lambda: shows(13, "G") and shows(17, "3"), "the settings to reach the window")
        write_png(server.screenshot(window), os.path.join(OUT, "glyphkiln.png"))
        server.click(window, 255, 264)     # Options
        dialog = server.wait_window("Sheet Options")
        for x, y in ((160, 35), (250, 140), (160, 243), (30, 423)):  # Windows-1252, packed, transparent, text
            server.click(dialog, x, y)
        def chosen(*numbers):
            report = harness.gui_state(state)
            return report and all(report["controls"][str(n)]["value"] == 1 for n in numbers)
        harness.wait_for(lambda: chosen(22, 31, 42, 52), "the options to reach the dialog")
        write_png(server.screenshot(dialog), os.path.join(OUT, "options.png"))
        server.close_request(dialog)
        server.wait_no_window("Sheet Options")
        server.close_request(window)
        renderer.wait_exit()
        renderer.kill()

        composer = harness.Program(server, [PLAQUER])
        dialog = server.wait_window("select a font image")
        server.focus(dialog)
        server.key("ctrl+a")
        server.type(sheet)
        server.key("Return")
        window = server.wait_window("Plaquer")
        server.wait_no_window("select a font image")
        server.click(window, 130, 50)
        server.type("Start Game")
        harness.wait_for(lambda: server.screenshot(window)[110][30] != server.screenshot(window)[95][15],
                         "the caption in the preview")
        write_png(server.screenshot(window), os.path.join(OUT, "plaquer.png"))
        server.close_request(window)
        composer.wait_exit()
        composer.kill()
    finally:
        server.close()
    print("wrote", ", ".join(sorted(os.listdir(OUT))), "in", OUT)


if __name__ == "__main__":
    main()
