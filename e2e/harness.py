"""Drives the real programs in a real X server (Xvfb), as a person would. Every wait
polls for what it expects (a window, a file, a text, an exit) up to a deadline."""

import json
import os
import shutil
import subprocess
import tempfile
import time
import unittest

from Xlib import X, display as xdisplay, error as xerror, protocol

# Generous, for sanitizer builds on a loaded machine; a passing test never waits it out.
DEADLINE = float(os.environ.get("KILN_E2E_DEADLINE", "120"))


def wait_for(condition, what, timeout=DEADLINE, interval=0.05):
    end = time.monotonic() + timeout
    while not (value := condition()):
        if time.monotonic() > end:
            raise AssertionError("timed out after %.0f s waiting for %s" % (timeout, what() if callable(what) else what))
        time.sleep(interval)
    return value


class XServer:
    def __init__(self):
        read_end, write_end = os.pipe()
        self.process = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write_end), "-screen", "0", "1280x1024x24", "-nolisten", "tcp", "-noreset"],
            pass_fds=(write_end,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(write_end)
        with os.fdopen(read_end, "rb") as pipe:
            self.name = ":" + pipe.readline().decode().strip()  # written once Xvfb listens
        self.connection = xdisplay.Display(self.name)

    def close(self):
        self.connection.close()
        self.process.terminate()
        self.process.wait(timeout=DEADLINE)

    def mapped_window(self, title):
        def walk(window):
            try:
                if window.get_wm_name() == title and window.get_attributes().map_state == X.IsViewable:
                    return window
                children = window.query_tree().children
            except xerror.XError:  # gone while we looked
                return None
            return next(filter(None, map(walk, children)), None)
        self.connection.sync()
        return walk(self.connection.screen().root)

    def wait_window(self, title):
        return wait_for(lambda: self.mapped_window(title), "a window titled %r" % title)

    def wait_no_window(self, title):
        wait_for(lambda: self.mapped_window(title) is None, "the window %r to close" % title)

    def screenshot(self, window):
        """The window's inner area as rows of (r, g, b)."""
        g = window.get_geometry()
        data = window.get_image(0, 0, g.width, g.height, X.ZPixmap, 0xFFFFFFFF).data
        stride = len(data) // g.height  # blue, green, red, unused
        return [[tuple(data[i:i + 3][::-1]) for i in range(y, y + 4 * g.width, 4)] for y in range(0, len(data), stride)]

    def close_request(self, window):
        """What a window manager sends when the user clicks the close box."""
        c = self.connection
        event = protocol.event.ClientMessage(window=window, client_type=c.intern_atom("WM_PROTOCOLS"),
                                             data=(32, [c.intern_atom("WM_DELETE_WINDOW"), X.CurrentTime, 0, 0, 0]))
        window.send_event(event, event_mask=X.NoEventMask)
        c.flush()

    def xdotool(self, *args):
        subprocess.run(["xdotool"] + [str(a) for a in args], env=dict(os.environ, DISPLAY=self.name),
                       check=True, stdout=subprocess.DEVNULL, timeout=DEADLINE)

    def focus(self, window):
        self.xdotool("windowfocus", "--sync", window.id)

    def type(self, text):
        self.bind_keys(text)
        self.xdotool("type", "--delay", "30", "--", text)

    def bind_keys(self, text):
        """Gives each character outside the keymap a spare key of its own, for good. Left to itself, xdotool
        binds such a character for one keystroke and unbinds it at once, and a loaded program reads the
        keymap after the unbinding and loses the character."""
        c = self.connection
        first = c.display.info.min_keycode
        keymap = c.get_keyboard_mapping(first, c.display.info.max_keycode - first + 1)
        bound = {keysym for keysyms in keymap for keysym in keysyms}
        spare = (first + i for i, keysyms in enumerate(keymap) if not any(keysyms))
        wanted = {ord(ch) if ord(ch) < 0x100 else 0x1000000 | ord(ch) for ch in text if ch.isprintable()}
        for keysym in sorted(wanted - bound):
            keycode = next(spare, None)
            if keycode is None:
                raise AssertionError("no spare key left in the keymap for %r" % chr(keysym & 0xFFFFFF))
            c.change_keyboard_mapping(keycode, [(keysym, keysym)])
        c.sync()

    def key(self, *keys):
        self.xdotool("key", "--delay", "30", *keys)

    def click(self, window, x, y):
        # A window manager gives the keyboard to the window clicked; without one, the harness does.
        self.focus(window)
        self.xdotool("mousemove", "--window", window.id, x, y, "click", 1)


class Program:
    """A program started on the X server, with its own temporary settings folders."""

    def __init__(self, server, argv, env=None):
        self.home = tempfile.mkdtemp(prefix="kilne2e")  # private (0700), as a run-time folder must be
        environment = {k: v for k, v in os.environ.items() if k != "WAYLAND_DISPLAY"}
        environment.update(DISPLAY=server.name, HOME=self.home, QT_QPA_PLATFORM="xcb", XDG_RUNTIME_DIR=self.home,
                           XDG_CONFIG_HOME=self.home, XDG_CACHE_HOME=self.home, **(env or {}))
        self.process = subprocess.Popen(argv, cwd=self.home, env=environment,
                                        stdout=subprocess.PIPE, stderr=subprocess.PIPE)

    def wait_exit(self):
        self.stderr = self.process.communicate(timeout=DEADLINE)[1].decode(errors="replace")
        return self.process.returncode

    def kill(self):
        if self.process.poll() is None:
            self.process.kill()
            self.process.communicate()
        shutil.rmtree(self.home, ignore_errors=True)


def gui_state(path):
    """The control texts and values the toolkit last wrote to `path`, or None."""
    try:
        with open(path, encoding="utf-8") as f:
            return json.load(f)
    except (OSError, ValueError):
        return None


def read(path):
    with open(path, "rb") as f:
        return f.read()


class Session(unittest.TestCase):
    """A test with its own X server and folder; the programs it starts report their controls."""

    def setUp(self):
        self.server = XServer()
        self.addCleanup(self.server.close)
        self.folder = tempfile.mkdtemp(prefix="kilne2e", dir="/tmp")
        self.addCleanup(shutil.rmtree, self.folder, ignore_errors=True)
        self.state = os.path.join(self.folder, "state")

    def path(self, name):
        return os.path.join(self.folder, name)

    def start(self, program):
        app = Program(self.server, [program], env={"KILN_GUI_STATE": self.state})
        self.addCleanup(app.kill)
        return app

    def kilnbatch(self, command, output, *options):
        subprocess.run([os.environ["KILNBATCH"], command, "-o", self.path(output), *options],
                       check=True, stdout=subprocess.DEVNULL)
        return self.path(output)

    def state_of(self, number):
        state = gui_state(self.state)
        return state["controls"][str(number)]["text"] if state else None

    def wait_text(self, number, text):
        wait_for(lambda: self.state_of(number) == text,
                 lambda: "control %d to show %r (it shows %r)" % (number, text, self.state_of(number)))

    def type_into(self, window, x, y, text, number):
        self.server.click(window, x, y)
        self.server.key("ctrl+a")
        self.server.type(text)
        self.wait_text(number, text)

    def wait_dialog_start(self, title, start):
        """Waits for the dialog `title` to open from a starting text that `start` accepts."""
        def report():
            dialog = (gui_state(self.state) or {}).get("dialog", {})
            return dialog.get("title") == title and start(dialog["start"])
        wait_for(report, "the dialog %r's starting text" % title)

    def answer(self, title, text=None, key="Return"):
        """Answers the window `title`: `text` typed over its field, then `key`."""
        self.server.focus(self.server.wait_window(title))
        if text is not None:
            self.server.key("ctrl+a")
            self.server.type(text)
        self.server.key(key)
        self.server.wait_no_window(title)

    def assert_saved_as(self, path, reference):
        """Waits for `path` (written beside it and renamed: whole once there) and compares it with `reference`."""
        wait_for(lambda: os.path.exists(path), "the file " + path)
        self.assertEqual(read(path), read(reference))

    def close(self, app, window):
        self.server.close_request(window)
        self.assertEqual(app.wait_exit(), 0, app.stderr)

