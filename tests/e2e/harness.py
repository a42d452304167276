"""End-to-end harness: runs the real vantrel binary in its own X server.

Each test module gets a private Xvfb (display number chosen by the server
itself through -displayfd) with openbox as window manager; every program the
harness starts is killed when the test process goes away, even if it is
killed itself (parent-death signal), so parallel ctest runs never collide and
never leave servers behind.

Everything here uses the Python standard library plus the command-line tools
xdotool, xwininfo, xprop and ImageMagick's import.
"""

import atexit
import ctypes
import glob
import os
import re
import select
import shutil
import signal
import struct
import subprocess
import sys
import tempfile
import time
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
SOURCE_DIR = os.path.abspath(os.path.join(HERE, "..", ".."))
VANTREL = os.environ.get("VANTREL_BIN") or os.path.join(SOURCE_DIR, "build", "vantrel")
DEMO = os.environ.get("VANTREL_DEMO") or os.path.join(SOURCE_DIR, "examples", "demo.swf")

SCREEN_W, SCREEN_H = 1024, 768
DESIGN_W, DESIGN_H = 610, 434     # client area at design size
BODY_YELLOW = (248, 244, 0)
TITLE = "Vantrel"

# Label boxes in client pixels (left, top, width, height), from the window definition.
LABELS = {
    "Label1": (100, 4, 101, 15),
    "lblOpen": (228, 4, 33, 15),
    "lblPlay": (261, 4, 33, 15),
    "lblStop": (294, 4, 33, 15),
    "lblDa": (326, 4, 33, 15),
    "lblXiao": (359, 4, 33, 15),
    "lblFullScreen": (392, 4, 33, 15),
}
ICON_BOX = (5, 0, 22, 18)

_children = []


def _die_with_parent():
    # Runs in the child between fork and exec: ask the kernel to kill it when
    # the test process dies, however it dies.
    libc = ctypes.CDLL(None, use_errno=True)
    PR_SET_PDEATHSIG = 1
    libc.prctl(PR_SET_PDEATHSIG, signal.SIGKILL)


def spawn(argv, env=None, stdout=subprocess.DEVNULL, stderr=None, pass_fds=()):
    proc = subprocess.Popen(argv, env=env, stdin=subprocess.DEVNULL, stdout=stdout,
                            stderr=stderr, pass_fds=pass_fds, preexec_fn=_die_with_parent)
    _children.append(proc)
    return proc


def stop(proc, grace=3.0):
    """Stops one process we started: SIGTERM, then SIGKILL after `grace` seconds."""
    if proc is None or proc.poll() is not None:
        return
    try:
        proc.terminate()
        proc.wait(timeout=grace)
    except subprocess.TimeoutExpired:
        proc.kill()
        proc.wait(timeout=5)
    except ProcessLookupError:
        pass


def _stop_all():
    for proc in reversed(_children):
        try:
            if proc.poll() is None:
                proc.kill()
                proc.wait(timeout=5)
        except Exception:
            pass


atexit.register(_stop_all)


def _on_signal(signum, frame):
    _stop_all()
    sys.exit(128 + signum)


for _sig in (signal.SIGTERM, signal.SIGINT, signal.SIGHUP):
    signal.signal(_sig, _on_signal)


# Waits end as soon as what they wait for happens, so they can be generous:
# a loaded CI machine (builds or other tests on both cores) is slow.
TIME_SCALE = float(os.environ.get("VANTREL_E2E_TIME_SCALE", "3"))


def wait_until(predicate, timeout=10.0, interval=0.05):
    """Polls predicate until it returns something truthy; returns it, or None on timeout."""
    deadline = time.monotonic() + timeout * TIME_SCALE
    while True:
        value = predicate()
        if value:
            return value
        if time.monotonic() >= deadline:
            return None
        time.sleep(interval)


# --------------------------------------------------------------------------
# Images


class Image:
    """An RGB image, 3 bytes per pixel, rows top to bottom."""

    def __init__(self, width, height, data):
        self.width, self.height, self.data = width, height, data

    def px(self, x, y):
        if not (0 <= x < self.width and 0 <= y < self.height):
            raise IndexError(f"pixel ({x}, {y}) outside {self.width}x{self.height}")
        i = (y * self.width + x) * 3
        return tuple(self.data[i:i + 3])

    def crop(self, x, y, w, h):
        rows = []
        for yy in range(y, y + h):
            i = (yy * self.width + x) * 3
            rows.append(self.data[i:i + w * 3])
        return Image(w, h, b"".join(rows))

    def save_ppm(self, path):
        with open(path, "wb") as f:
            f.write(b"P6\n%d %d\n255\n" % (self.width, self.height))
            f.write(self.data)


def parse_ppm(blob):
    """Parses a binary (P6) PPM with maxval 255."""
    tokens, pos = [], 0
    while len(tokens) < 4:
        while blob[pos:pos + 1].isspace():
            pos += 1
        if blob[pos:pos + 1] == b"#":
            pos = blob.index(b"\n", pos) + 1
            continue
        start = pos
        while not blob[pos:pos + 1].isspace():
            pos += 1
        tokens.append(blob[start:pos])
    pos += 1  # the single whitespace byte after maxval
    if tokens[0] != b"P6":
        raise ValueError("not a binary PPM: %r" % tokens[0])
    width, height, maxval = int(tokens[1]), int(tokens[2]), int(tokens[3])
    if maxval != 255:
        raise ValueError("unsupported PPM maxval %d" % maxval)
    data = blob[pos:pos + width * height * 3]
    if len(data) != width * height * 3:
        raise ValueError("PPM pixel data truncated")
    return Image(width, height, data)


def load_bmp(path):
    """Reads an uncompressed 24-bit BMP (bottom-up or top-down) into an Image."""
    with open(path, "rb") as f:
        blob = f.read()
    if blob[:2] != b"BM":
        raise ValueError(f"{path}: not a BMP")
    offset = struct.unpack_from("<I", blob, 10)[0]
    width, height = struct.unpack_from("<ii", blob, 18)
    bpp, compression = struct.unpack_from("<HI", blob, 28)
    if bpp != 24 or compression != 0:
        raise ValueError(f"{path}: {bpp} bpp, compression {compression}; want 24 bpp uncompressed")
    bottom_up = height > 0
    height = abs(height)
    stride = (width * 3 + 3) & ~3
    rows = []
    for y in range(height):
        src_row = height - 1 - y if bottom_up else y
        start = offset + src_row * stride
        row = bytearray(blob[start:start + width * 3])
        row[0::3], row[2::3] = row[2::3], row[0::3]  # BGR -> RGB
        rows.append(bytes(row))
    return Image(width, height, b"".join(rows))


_skin = None


def skin():
    """The committed skin bitmap (367 x 304, 24 bits), found under resources/."""
    global _skin
    if _skin is None:
        for path in sorted(glob.glob(os.path.join(SOURCE_DIR, "resources", "**", "*.bmp"), recursive=True)):
            try:
                img = load_bmp(path)
            except (ValueError, struct.error):
                continue
            if (img.width, img.height) == (367, 304):
                _skin = img
                break
        else:
            raise unittest.SkipTest("no 367x304 skin bitmap under resources/")
    return _skin


def move_away(session):
    """Parks the pointer in the screen's corner, away from tooltips and hover effects."""
    session.move_pointer(session.width - 1, session.height - 1)
    time.sleep(0.2)


def movie_area_changes(session, frame, attempts=4, pause=0.35):
    """True when the player rectangle shows different pictures a moment apart."""
    move_away(session)
    x, y = frame.to_screen(10, 40)
    box = (x, y, frame.w - 20, frame.h - 50)
    first = session.screenshot().crop(*box)
    for _ in range(attempts):
        time.sleep(pause)
        if session.screenshot().crop(*box).data != first.data:
            return True
    return False


def close(a, b, tol):
    return all(abs(p - q) <= tol for p, q in zip(a, b))


# --------------------------------------------------------------------------
# The X session


class XSession:
    """A private Xvfb with openbox; use as a context manager."""

    def __init__(self, width=SCREEN_W, height=SCREEN_H):
        self.width, self.height = width, height
        self.xvfb = self.wm = None
        self.tmp = tempfile.mkdtemp(prefix="vantrel-e2e-")
        # A private runtime directory: the single-instance lock of one test
        # module never sees the copies another module runs at the same time.
        self.runtime_dir = os.path.join(self.tmp, "runtime")
        os.mkdir(self.runtime_dir, 0o700)
        self.display = None

    def __enter__(self):
        self.start()
        return self

    def __exit__(self, *exc):
        self.stop()

    def start(self):
        for tool in ("Xvfb", "openbox", "xdotool", "xwininfo", "xprop", "import"):
            if shutil.which(tool) is None:
                raise RuntimeError(f"{tool} is not installed (scripts/setup.sh installs it)")
        read_fd, write_fd = os.pipe()
        self.xvfb_log = open(os.path.join(self.tmp, "xvfb.log"), "wb")
        self.xvfb = spawn(["Xvfb", "-displayfd", str(write_fd), "-screen", "0",
                           f"{self.width}x{self.height}x24", "-nolisten", "tcp", "-noreset"],
                          stderr=self.xvfb_log, pass_fds=(write_fd,))
        os.close(write_fd)
        number = b""
        deadline = time.monotonic() + 20
        while not number.endswith(b"\n"):
            left = deadline - time.monotonic()
            ready, _, _ = select.select([read_fd], [], [], max(left, 0))
            if not ready:
                raise RuntimeError("Xvfb did not report its display number in time")
            chunk = os.read(read_fd, 16)
            if not chunk:
                raise RuntimeError("Xvfb exited early; see " + self.xvfb_log.name)
            number += chunk
        os.close(read_fd)
        self.display = ":" + number.decode().strip()
        self.env = dict(os.environ)
        self.env.pop("WAYLAND_DISPLAY", None)
        self.env.update(DISPLAY=self.display, XDG_RUNTIME_DIR=self.runtime_dir,
                        XDG_SESSION_TYPE="x11")
        self.wm_log = open(os.path.join(self.tmp, "openbox.log"), "wb")
        self.wm = spawn(["openbox", "--sm-disable"], env=self.env, stderr=self.wm_log)
        if not wait_until(self._wm_ready, timeout=20):
            raise RuntimeError("openbox did not come up")

    def _wm_ready(self):
        out = self.run(["xprop", "-root", "_NET_SUPPORTING_WM_CHECK"], check=False)
        return "window id" in out

    def stop(self):
        stop(self.wm)
        stop(self.xvfb)
        for f in (getattr(self, "wm_log", None), getattr(self, "xvfb_log", None)):
            if f:
                f.close()
        if os.environ.get("VANTREL_E2E_KEEP") is None:
            shutil.rmtree(self.tmp, ignore_errors=True)

    # -- commands -------------------------------------------------------------

    def run(self, argv, check=True, timeout=20):
        res = subprocess.run(argv, env=self.env, stdin=subprocess.DEVNULL,
                             stdout=subprocess.PIPE, stderr=subprocess.PIPE, timeout=timeout)
        if check and res.returncode != 0:
            raise RuntimeError(f"{' '.join(map(str, argv))} failed: {res.stderr.decode(errors='replace')}")
        return res.stdout.decode("utf-8", errors="replace")

    def xdo(self, *args, check=True):
        return self.run(["xdotool"] + [str(a) for a in args], check=check)

    def move_pointer(self, x, y):
        # Not xdotool's --sync: it waits forever when the pointer is already there.
        self.xdo("mousemove", x, y)
        wait_until(lambda: self.pointer() == (x, y), 2, interval=0.02)

    def activate(self, wid):
        """Gives a window the focus; True once the window manager says it is active."""
        self.xdo("windowactivate", wid, check=False)
        def active():
            out = self.xdo("getactivewindow", check=False).split()
            return out and int(out[0]) == wid
        return bool(wait_until(active, 3))

    def pointer(self):
        out = self.xdo("getmouselocation", "--shell")
        vals = dict(line.split("=", 1) for line in out.split())
        return int(vals["X"]), int(vals["Y"])

    def drag(self, x0, y0, x1, y1, button=1, steps=12, ready=None):
        """Presses at (x0, y0), moves to (x1, y1) in steps, releases. `ready`,
        if given, is polled after the press until the program is ready for the
        movement (e.g. has begun a window move)."""
        self.move_pointer(x0, y0)
        time.sleep(0.1)
        self.xdo("mousedown", button)
        time.sleep(0.25)
        if ready is not None:
            wait_until(ready, 5)
        for i in range(1, steps + 1):
            self.xdo("mousemove", x0 + (x1 - x0) * i // steps, y0 + (y1 - y0) * i // steps)
            time.sleep(0.04)
        time.sleep(0.25)
        self.xdo("mouseup", button)
        time.sleep(0.3)

    def click(self, x, y, button=1, repeat=1, hold=0.08, gap=0.12):
        """Clicks (or double-clicks, repeat=2) at (x, y), holding each press a
        moment as a hand does: a press that starts a window-manager move must
        reach the window manager before its release does. One chained xdotool
        call, so that a loaded machine cannot stretch a double-click."""
        # Two separate clicks on one spot less than the double-click time
        # apart would be a double-click; keep them apart as a hand would.
        last = getattr(self, "_last_click", None)
        if last and last[0] == (x, y, button):
            time.sleep(max(0.0, last[1] + 0.7 - time.monotonic()))
        self.move_pointer(x, y)
        time.sleep(0.05)
        chain = []
        for i in range(repeat):
            if i:
                chain += ["sleep", gap]
            chain += ["mousedown", button, "sleep", hold, "mouseup", button]
        self.xdo(*chain)
        self._last_click = ((x, y, button), time.monotonic())

    def press(self, x, y, button=1):
        """A single press and release at (x, y), held for a tenth of a second."""
        self.click(x, y, button, hold=0.1)

    def key(self, *keys):
        self.xdo("key", "--delay", 60, *keys)

    def screenshot(self, window="root"):
        blob = subprocess.run(["import", "-silent", "-window", str(window), "-depth", "8", "ppm:-"],
                              env=self.env, stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                              stderr=subprocess.PIPE, timeout=30, check=True).stdout
        return parse_ppm(blob)

    def visible_windows(self, name=None, pid=None):
        """Mapped windows with exactly this title (any title if None), of one process if pid is given."""
        args = ["search", "--onlyvisible"]
        if pid is not None:
            args += ["--pid", pid]
        else:
            args += ["--name", "^%s$" % re.escape(name) if name else "."]
        ids = [int(w) for w in self.xdo(*args, check=False).split()]
        if name is None:
            return ids
        return [w for w in ids if self.window_name(w) == name]

    def window_name(self, wid):
        return self.xdo("getwindowname", wid, check=False).rstrip("\n")

    def geometry(self, wid):
        """Absolute outer position and size of a window: (x, y, w, h)."""
        out = self.run(["xwininfo", "-id", str(wid)])
        def field(label):
            return int(re.search(label + r":\s+(-?\d+)", out).group(1))
        return (field("Absolute upper-left X"), field("Absolute upper-left Y"),
                field("Width"), field("Height"))

    def is_viewable(self, wid):
        out = self.run(["xwininfo", "-id", str(wid)], check=False)
        return "IsViewable" in out

    def net_wm_state(self, wid):
        out = self.run(["xprop", "-id", str(wid), "_NET_WM_STATE"], check=False)
        return set(re.findall(r"_NET_WM_STATE_\w+", out))

    def popup_windows(self):
        """Mapped override-redirect windows: menus, tooltips."""
        out = self.run(["xwininfo", "-root", "-children"], check=False)
        ids = re.findall(r"^\s+(0x[0-9a-f]+) ", out, re.M)
        found = []
        for wid in ids:
            attrs = self.run(["xwininfo", "-id", wid], check=False)
            if "IsViewable" not in attrs or "Override Redirect State: yes" not in attrs:
                continue
            # The window manager keeps a 1x1 window of its own off screen.
            w = int(re.search(r"Width:\s+(\d+)", attrs).group(1))
            hgt = int(re.search(r"Height:\s+(\d+)", attrs).group(1))
            if w > 2 and hgt > 2:
                found.append(int(wid, 16))
        return found


# --------------------------------------------------------------------------
# The program under test


class Log:
    """The program's event log (VANTREL_TEST_LOG), one tab-separated event per line."""

    def __init__(self, path):
        self.path = path

    def lines(self):
        try:
            with open(self.path, "rb") as f:
                text = f.read().decode("utf-8")
        except FileNotFoundError:
            return []
        return [tuple(line.split("\t")) for line in text.split("\n") if line]

    def count(self):
        return len(self.lines())

    def since(self, mark):
        return self.lines()[mark:]

    def wait_for(self, *fields, timeout=10.0, start=0):
        """Waits for a line whose leading fields equal `fields`; returns it or None."""
        def find():
            for line in self.lines()[start:]:
                if line[:len(fields)] == fields:
                    return line
            return None
        return wait_until(find, timeout)

    def has(self, *fields, start=0):
        return any(line[:len(fields)] == fields for line in self.lines()[start:])


class Vantrel:
    """One running copy of the player."""

    def __init__(self, session, args=(), env=None, name="app"):
        self.session = session
        self.dir = tempfile.mkdtemp(prefix=name + "-", dir=session.tmp)
        self.log = Log(os.path.join(self.dir, "events.log"))
        self.env = dict(session.env, QT_QPA_PLATFORM="xcb", LANG="C.UTF-8",
                        VANTREL_TEST_LOG=self.log.path)
        self.env.pop("VANTREL_TEST_AUTODISMISS", None)
        self.env.pop("VANTREL_TEST_OPEN_CANCEL", None)
        self.env.pop("VANTREL_TEST_OPEN_FILE", None)
        self.env.update(env or {})
        if not os.access(VANTREL, os.X_OK):
            raise RuntimeError(f"{VANTREL} is not built (run scripts/setup.sh)")
        self.stderr = open(os.path.join(self.dir, "stderr.txt"), "wb")
        self.proc = spawn([VANTREL] + list(args), env=self.env, stderr=self.stderr)
        self.wid = None

    def wait_window(self, timeout=20.0):
        """Waits until the main window is mapped and drawn; returns its id."""
        def found():
            if self.proc.poll() is not None:
                raise AssertionError(f"vantrel exited with {self.proc.returncode} before showing "
                                     f"its window; stderr: {self.stderr_text()}")
            ids = self.session.visible_windows(TITLE, pid=self.proc.pid)
            return ids[0] if ids else None
        self.wid = wait_until(found, timeout)
        if self.wid is None:
            raise AssertionError("the main window did not appear within %.0f s" % timeout)
        # Let the first resize and paint land before anything looks at pixels.
        time.sleep(0.6)
        return self.wid

    def stderr_text(self):
        self.stderr.flush()
        with open(self.stderr.name, "rb") as f:
            return f.read().decode(errors="replace")[-2000:]

    def exited(self, timeout=10.0):
        try:
            self.proc.wait(timeout=timeout)
            return True
        except subprocess.TimeoutExpired:
            return False

    def alive(self):
        return self.proc.poll() is None

    def stop(self):
        stop(self.proc)
        self.stderr.close()

    def geometry(self):
        return self.session.geometry(self.wid)


class Frame:
    """Where the client area of the main window lies on the screen.

    The window draws its own sizing border around the client area, so the
    client origin is found by matching the unscaled left end of the skin
    (bitmap columns 0..99, rows 0..39, minus the icon) against the
    screenshot; the right end gives the client width the same way.
    """

    def __init__(self, shot, geom):
        gx, gy, gw, gh = geom
        sk = skin()
        # Cheap samples first (a row through the band's rules and the bar),
        # the whole region only for offsets that pass them.
        best = None
        for dy in range(0, 13):
            for dx in range(0, 13):
                if _mismatches(shot, sk, gx + dx, gy + dy, 28, 5, 72, 1, 28, 5) + \
                        _mismatches(shot, sk, gx + dx, gy + dy, 0, 18, 28, 1, 0, 18) > 2:
                    continue
                bad = _mismatches(shot, sk, gx + dx, gy + dy, 28, 0, 72, 40, 28, 0)
                bad += _mismatches(shot, sk, gx + dx, gy + dy, 0, 18, 28, 22, 0, 18)
                if best is None or bad < best[0]:
                    best = (bad, dx, dy)
        if best is None:
            best = (28 * 40 + 72 * 40, (gw - DESIGN_W) // 2, (gh - DESIGN_H) // 2)
        self.left_mismatches, self.inset_x, self.inset_y = best
        self.x, self.y = gx + self.inset_x, gy + self.inset_y
        # The right end: bitmap columns 172..366 at client x = W - 195 .. W - 1;
        # its first 18 columns are skipped, which the last label may cover at
        # the design width.
        best_w = None
        for w in range(max(200, gw - 2 * self.inset_x - 12), gw - self.inset_x + 1):
            if _mismatches(shot, sk, self.x, self.y, w - 177, 9, 177, 1, 190, 9) > 2:
                continue
            bad = _mismatches(shot, sk, self.x, self.y, w - 177, 0, 177, 40, 190, 0)
            if best_w is None or bad < best_w[0]:
                best_w = (bad, w)
        if best_w is None:
            best_w = (177 * 40, gw - 2 * self.inset_x)
        self.right_mismatches, self.w = best_w
        right_inset = gw - self.inset_x - self.w
        # The border is the same width all round.
        self.h = gh - self.inset_y - right_inset
        self.outer = geom

    def to_screen(self, cx, cy):
        return self.x + cx, self.y + cy

    def __repr__(self):
        return (f"Frame(client at {self.x},{self.y} size {self.w}x{self.h}, "
                f"inset {self.inset_x},{self.inset_y}, outer {self.outer})")


def _mismatches(shot, sk, ox, oy, cx, cy, w, h, sx, sy, tol=2):
    """Counts pixels of the client rectangle (cx, cy, w, h) (client origin at
    screen (ox, oy)) that differ from the skin rectangle starting at (sx, sy)."""
    bad = 0
    for j in range(h):
        for i in range(w):
            X, Y = ox + cx + i, oy + cy + j
            if not (0 <= X < shot.width and 0 <= Y < shot.height):
                bad += 1
                continue
            if not close(shot.px(X, Y), sk.px(sx + i, sy + j), tol):
                bad += 1
    return bad


class E2ETestCase(unittest.TestCase):
    """Base class: one X session per test class, one fresh program per test."""

    session = None

    @classmethod
    def setUpClass(cls):
        cls.session = XSession()
        cls.session.start()

    @classmethod
    def tearDownClass(cls):
        cls.session.stop()

    def launch(self, *args, env=None, wait=True, name="app"):
        app = Vantrel(self.session, args, env=env, name=name)
        self.addCleanup(app.stop)
        if wait:
            app.wait_window()
        return app

    def frame(self, app):
        return Frame(self.session.screenshot(), app.geometry())

    def client_click(self, frame, cx, cy, button=1, repeat=1):
        self.session.click(*frame.to_screen(cx, cy), button=button, repeat=repeat)

    def client_press(self, frame, cx, cy, button=1):
        self.session.press(*frame.to_screen(cx, cy), button=button)


def main():
    unittest.main(verbosity=2)
