"""Drives the real programs in a real X server (Xvfb), as a person would.

Every wait has a deadline and polls for what it expects (a window, a file,
a pixel, an exit); nothing relies on a fixed sleep alone.
"""

import os
import shutil
import subprocess
import tempfile
import time

from Xlib import X, Xatom, display as xdisplay, error as xerror, protocol

# Generous, for sanitizer builds on a loaded machine; a passing test never waits it out.
DEADLINE = float(os.environ.get("KILN_E2E_DEADLINE", "120"))


def wait_for(condition, what, timeout=DEADLINE, interval=0.05):
    """Polls `condition` until it returns something true; fails after `timeout`."""
    end = time.monotonic() + timeout
    while True:
        value = condition()
        if value:
            return value
        if time.monotonic() > end:
            raise AssertionError("timed out after %.0f s waiting for %s" % (timeout, what))
        time.sleep(interval)


class XServer:
    """An Xvfb server on a display it picks itself."""

    def __init__(self, width=1280, height=1024):
        read_end, write_end = os.pipe()
        self.process = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write_end), "-screen", "0", "%dx%dx24" % (width, height),
             "-nolisten", "tcp", "-noreset"],
            pass_fds=(write_end,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(write_end)
        number = b""
        with os.fdopen(read_end, "rb") as pipe:
            while not number.endswith(b"\n"):
                chunk = pipe.read(1)
                if not chunk:
                    raise AssertionError("Xvfb did not start")
                number += chunk
        self.name = ":" + number.decode().strip()
        self.connection = wait_for(self._connect, "the X server " + self.name)

    def _connect(self):
        try:
            return xdisplay.Display(self.name)
        except Exception:  # not accepting connections yet
            return None

    def close(self):
        try:
            self.connection.close()
        except Exception:
            pass
        self.process.terminate()
        self.process.wait(timeout=DEADLINE)

    # --- windows -------------------------------------------------------
    def windows_named(self, title):
        found = []
        def walk(window):
            try:
                name = window.get_wm_name()
                children = window.query_tree().children
            except xerror.XError:
                return
            if name == title:
                found.append(window)
            for child in children:
                walk(child)
        self.connection.sync()
        walk(self.connection.screen().root)
        return found

    def wait_window(self, title, timeout=DEADLINE):
        def mapped():
            for w in self.windows_named(title):
                try:
                    if w.get_attributes().map_state == X.IsViewable:
                        return w
                except xerror.XError:
                    pass
            return None
        return wait_for(mapped, "a window titled %r" % title, timeout)

    def wait_no_window(self, title, timeout=DEADLINE):
        def gone():
            for w in self.windows_named(title):
                try:
                    if w.get_attributes().map_state == X.IsViewable:
                        return False
                except xerror.XError:
                    pass
            return True
        wait_for(gone, "the window %r to close" % title, timeout)

    def geometry(self, window):
        """(x, y, width, height) of the window's inner area on the screen."""
        g = window.get_geometry()
        origin = window.translate_coords(self.connection.screen().root, 0, 0)
        return (-origin.x, -origin.y, g.width, g.height)

    def screenshot(self, window):
        """The window's inner area as rows of (r, g, b)."""
        g = window.get_geometry()
        image = window.get_image(0, 0, g.width, g.height, X.ZPixmap, 0xFFFFFFFF)
        data = image.data
        stride = len(data) // g.height
        rows = []
        for y in range(g.height):
            row = data[y * stride:(y + 1) * stride]
            rows.append([(row[4 * x + 2], row[4 * x + 1], row[4 * x]) for x in range(g.width)])
        return rows

    def close_request(self, window):
        """What a window manager sends when the user clicks the close box."""
        c = self.connection
        protocols = c.intern_atom("WM_PROTOCOLS")
        delete = c.intern_atom("WM_DELETE_WINDOW")
        event = protocol.event.ClientMessage(window=window, client_type=protocols,
                                             data=(32, [delete, X.CurrentTime, 0, 0, 0]))
        window.send_event(event, event_mask=X.NoEventMask)
        c.flush()

    # --- input ---------------------------------------------------------
    def xdotool(self, *args):
        env = dict(os.environ, DISPLAY=self.name)
        subprocess.run(["xdotool"] + [str(a) for a in args], env=env, check=True,
                       stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, timeout=DEADLINE)

    def focus(self, window):
        self.xdotool("windowfocus", "--sync", window.id)

    def type(self, text):
        self.xdotool("type", "--delay", "30", "--", text)

    def key(self, *keys):
        self.xdotool("key", "--delay", "30", *keys)

    def click(self, window, x, y, button=1):
        # A window manager gives the keyboard to the window clicked; without
        # one, the harness does.
        self.focus(window)
        self.xdotool("mousemove", "--window", window.id, x, y)
        self.xdotool("click", button)


class Program:
    """A program started on the X server, with its own temporary settings folders."""

    def __init__(self, server, argv, cwd=None, env=None):
        self.home = tempfile.mkdtemp(prefix="kilne2e")
        for sub in ("runtime", "config", "cache"):
            os.makedirs(os.path.join(self.home, sub), mode=0o700)
        environment = dict(os.environ)
        environment.update({
            "DISPLAY": server.name,
            "HOME": self.home,
            "XDG_RUNTIME_DIR": os.path.join(self.home, "runtime"),
            "XDG_CONFIG_HOME": os.path.join(self.home, "config"),
            "XDG_CACHE_HOME": os.path.join(self.home, "cache"),
            "QT_QPA_PLATFORM": "xcb",
        })
        environment.pop("WAYLAND_DISPLAY", None)
        environment.update(env or {})
        self.process = subprocess.Popen(argv, cwd=cwd or self.home, env=environment,
                                        stdout=subprocess.PIPE, stderr=subprocess.PIPE)

    def wait_exit(self, timeout=DEADLINE):
        try:
            out, err = self.process.communicate(timeout=timeout)
        except subprocess.TimeoutExpired:
            self.process.kill()
            self.process.communicate()
            raise AssertionError("the program did not end within %.0f s" % timeout)
        self.stdout, self.stderr = out.decode(errors="replace"), err.decode(errors="replace")
        return self.process.returncode

    def kill(self):
        if self.process.poll() is None:
            self.process.kill()
            self.process.communicate()
        shutil.rmtree(self.home, ignore_errors=True)


def wait_file(path, timeout=DEADLINE):
    """Waits until `path` exists and its size has stopped changing."""
    last = [None]
    def settled():
        if not os.path.exists(path):
            return False
        size = os.path.getsize(path)
        stable = size == last[0]
        last[0] = size
        return stable
    wait_for(settled, "the file " + path, timeout, interval=0.1)


def gui_state(path):
    """The control texts and values the toolkit last wrote to `path`, or None."""
    import json
    try:
        with open(path, encoding="utf-8") as f:
            return json.load(f)
    except (OSError, ValueError):
        return None


def run_without_display(program):
    """Runs `program` with no display of any kind; returns (exit code, stderr)."""
    env = {k: v for k, v in os.environ.items() if k not in ("DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM")}
    run = subprocess.run([program], env=env, capture_output=True, text=True, timeout=DEADLINE)
    return run.returncode, run.stderr
