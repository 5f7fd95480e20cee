#!/usr/bin/env python3
"""kilnbatch's font descriptors read and laid out by third-party npm packages:
every glyph's box must match kilnbatch's own proportional caption.
usage: check_descriptors.py KILNBATCH"""
import fcntl, json, os, shutil, subprocess, sys, tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
KILNBATCH = os.path.abspath(sys.argv[1])
SHEETS = {"plain": [], "shadow": ["--shadow", "--offset", "2,2", "--count", "2", "--transparent"],
          # Pages small enough that the set has several.
          "packed": ["--pack", "--page-size", "128x128", "--transparent", "--outline", "1", "--shadow", "--shadow-blur", "2"],
          "effects": ["--outline", "2", "--gradient", "FFE080,C06000", "--shadow", "--shadow-size", "20",
                      "--offset", "1,1", "--shadow-blur", "4", "--transparent"],
          "field": ["--sdf", "4", "--descriptor", "json"]}
TEXTS = ["Hello World", "AVATAR"]


def fail(message):
    sys.exit("descriptor_consumers: " + message)


def run(args, **kw):
    done = subprocess.run(args, capture_output=True, text=True, **kw)
    if done.returncode != 0:
        fail(f"{' '.join(args)} exited {done.returncode}:\n{done.stdout}{done.stderr}")
    return done.stdout


def installed_packages(lock_path):
    try:
        with open(lock_path) as f:
            packages = json.load(f)["packages"]
    except (OSError, ValueError, KeyError):
        return None
    return {k: v.get("version") for k, v in packages.items() if k}


def ensure_consumers():
    for tool in ("node", "npm"):
        if not shutil.which(tool):
            fail(f"{tool} is missing; scripts/install-deps.sh installs it")
    # Several build folders may run this test at once over the same folder.
    lock = os.open(HERE, os.O_RDONLY)
    try:
        fcntl.flock(lock, fcntl.LOCK_EX)
        wanted = installed_packages(os.path.join(HERE, "package-lock.json"))
        have = installed_packages(os.path.join(HERE, "node_modules", ".package-lock.json"))
        if wanted and have == wanted:
            return
        done = subprocess.run(["npm", "ci", "--no-audit", "--no-fund", "--fetch-retries=1"],
                              cwd=HERE, capture_output=True, text=True, timeout=240)
        if done.returncode != 0:
            fail("npm ci failed (is the npm registry reachable?):\n" + done.stdout + done.stderr)
    finally:
        os.close(lock)


def parse_boxes(output):
    # A box with no pixels (the space) places nothing: the caption lists only what it draws.
    boxes = [tuple(map(int, line.split())) for line in output.splitlines() if line.strip()]
    return [b for b in boxes if b[3] > 0 and b[4] > 0]


def caption_boxes(sheet, text):
    return parse_boxes(run([KILNBATCH, "caption", "--sheet", sheet, "--text", text,
                            "--layout", "proportional", "--boxes", "-o", "c.png"]))


def relative(boxes):
    x0, y0 = boxes[0][1], boxes[0][2]
    return [(code, x - x0, y - y0, w, h) for code, x, y, w, h in boxes]


def main():
    ensure_consumers()
    failures = []
    with tempfile.TemporaryDirectory() as tmp:
        os.chdir(tmp)
        for name, options in SHEETS.items():
            run([KILNBATCH, "sheet", "--font", "Arial", "--size", "20", "--descriptor", "text",
                 "--descriptor", "xml", *options, "-o", name + ".png"])
            fnt, xml = name + ".fnt", name + ".xml"
            # A set of several pages names them NAME_0.png, NAME_1.png, ...
            sheet = name + ".png" if os.path.exists(name + ".png") else name + "_1.png"
            if "--pack" in options and sheet == name + ".png":
                failures.append(f"{name} sheet: one page, where several were meant")
            for text in TEXTS:
                consumer = parse_boxes(run(["node", os.path.join(HERE, "layout.js"), fnt, xml, text]))
                ours = caption_boxes(sheet, text)
                if relative(consumer) != relative(ours):
                    failures.append(f"{name} sheet, {text!r}:\n  consumer {consumer}\n  caption  {ours}")
        # A distance field's descriptors through the loader web text libraries use.
        run(["node", os.path.join(HERE, "load_field.js"), "field", "4"])
    if failures:
        fail("boxes differ after one translation\n" + "\n".join(failures))
    print(f"descriptor_consumers: {len(SHEETS) * len(TEXTS)} layouts match")


main()
