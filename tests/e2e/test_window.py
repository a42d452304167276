"""The frameless window under a real window manager: moving by the title
strip, resizing by the self-drawn border within its limits, maximise and
restore, minimise and restore."""

import time

import harness as h

STRIP = (210, 25)          # an empty part of the title strip, in client pixels
MIN_OUTER = (611, 458)
MAX_OUTER = (h.SCREEN_W + 30, h.SCREEN_H + 3)


def button_centre(frame, left):
    return left + 14, 6 + 14


class WindowTest(h.E2ETestCase):

    def lines_of(self, app, kind, start=0):
        return [l for l in app.log.since(start) if l[0] == kind]

    # -- moving --------------------------------------------------------------

    def test_left_drag_on_strip_moves_window_by_the_drag(self):
        app = self.launch()
        f = self.frame(app)
        x0, y0 = app.geometry()[:2]
        sx, sy = f.to_screen(*STRIP)
        self.session.drag(sx, sy, sx - 140, sy + 90, ready=lambda: app.log.has("move", "begin"))
        moved = h.wait_until(lambda: app.geometry()[:2] == (x0 - 140, y0 + 90), 3)
        self.assertTrue(moved, f"window at {app.geometry()[:2]}, expected {(x0 - 140, y0 + 90)}")
        self.assertEqual(app.geometry()[2:], f.outer[2:], "the drag resized the window")
        begin = app.log.wait_for("move", "begin", timeout=2)
        end = app.log.wait_for("move", "end", timeout=3)
        self.assertTrue(begin and end, app.log.lines())
        kinds = [l for l in app.log.lines() if l[0] == "move"]
        self.assertEqual(kinds, [("move", "begin"), ("move", "end")])

    def test_left_press_without_movement_leaves_window(self):
        app = self.launch()
        f = self.frame(app)
        g0 = app.geometry()
        self.client_press(f, *STRIP)
        self.assertTrue(app.log.wait_for("move", "end", timeout=3), "the press did not start and end a move")
        time.sleep(0.3)
        self.assertEqual(app.geometry(), g0)

    def test_right_and_middle_drag_on_strip_do_not_move(self):
        app = self.launch()
        f = self.frame(app)
        g0 = app.geometry()
        sx, sy = f.to_screen(*STRIP)
        for button in (3, 2):
            self.session.drag(sx, sy, sx + 120, sy + 80, button=button)
            h.move_away(self.session)
            time.sleep(0.3)
            self.assertEqual(app.geometry(), g0, f"button {button} moved the window")
        self.assertEqual(self.lines_of(app, "move"), [])
        self.assertTrue(app.alive())

    # -- resizing ------------------------------------------------------------

    def test_border_drag_stops_at_the_size_limits(self):
        app = self.launch()
        x, y, w, hgt = app.geometry()
        corner = (x + w - 2, y + hgt - 2)
        # Inwards, far past the minimum.
        self.session.drag(*corner, x + 100, y + 100)
        got = h.wait_until(lambda: app.geometry()[2:] == MIN_OUTER, 3)
        self.assertTrue(got, f"after dragging inwards the window is {app.geometry()[2:]}, want {MIN_OUTER}")
        self.assertEqual(app.geometry()[:2], (x, y), "a bottom-right resize moved the top-left corner")
        # Outwards: put the window partly off the top-left of the screen so
        # that the pointer can go further than the maximum allows.
        self.session.xdo("windowmove", app.wid, -300, -100)
        h.wait_until(lambda: app.geometry()[:2] == (-300, -100), 3)
        x, y, w, hgt = app.geometry()
        self.assertLess(x, 0, "the window manager kept the window on screen; cannot test the maximum")
        self.session.drag(x + w - 2, y + hgt - 2, h.SCREEN_W - 1, h.SCREEN_H - 1)
        got = h.wait_until(lambda: app.geometry()[2:] == MAX_OUTER, 3)
        self.assertTrue(got, f"after dragging outwards the window is {app.geometry()[2:]}, want {MAX_OUTER}")

    def test_edge_drags_resize_one_side(self):
        app = self.launch()
        x, y, w, hgt = app.geometry()
        # The right edge outwards by 120: the width grows, the left side stays.
        # (The height may jump up to the minimum once the resize begins.)
        self.session.drag(x + w - 2, y + hgt // 2, x + w - 2 + 120, y + hgt // 2 + 40)
        want = (x, y, w + 120, max(hgt, MIN_OUTER[1]))
        self.assertTrue(h.wait_until(lambda: app.geometry() == want, 3), f"{app.geometry()} != {want}")
        # The left edge outwards by 60: the left side moves, the right side stays.
        x, y, w, hgt = app.geometry()
        self.session.drag(x + 1, y + hgt // 2, x + 1 - 60, y + hgt // 2 + 30)
        want = (x - 60, y, w + 60, hgt)
        self.assertTrue(h.wait_until(lambda: app.geometry() == want, 3), f"{app.geometry()} != {want}")
        self.assertFalse(app.log.has("move"), "a border press started a move")

    # -- maximise and restore ------------------------------------------------

    def assert_maximised(self, app):
        got = h.wait_until(lambda: app.geometry()[2:] == (h.SCREEN_W, h.SCREEN_H), 3)
        self.assertTrue(got, f"not maximised: {app.geometry()}")

    def assert_restored(self, app, geom):
        got = h.wait_until(lambda: app.geometry() == geom, 3)
        self.assertTrue(got, f"not restored: {app.geometry()} != {geom}")

    def test_double_click_on_strip_toggles_maximised(self):
        app = self.launch()
        f = self.frame(app)
        g0 = app.geometry()
        self.client_click(f, *STRIP, repeat=2)
        self.assertTrue(app.log.wait_for("state", "2", timeout=3), app.log.lines())
        self.assertTrue(app.log.wait_for("tooltip", "ImaMax", "还原", timeout=2), app.log.lines())
        self.assert_maximised(app)
        mark = app.log.count()
        f = self.frame(app)
        self.client_click(f, *STRIP, repeat=2)
        self.assertTrue(app.log.wait_for("state", "0", timeout=3, start=mark), app.log.lines())
        self.assertTrue(app.log.wait_for("tooltip", "ImaMax", "最大化", timeout=2, start=mark), app.log.lines())
        self.assert_restored(app, g0)
        tips = [l for l in app.log.lines() if l[0] == "tooltip"]
        self.assertEqual(tips, [("tooltip", "ImaMax", "还原"), ("tooltip", "ImaMax", "最大化")])

    def test_double_click_after_right_press_does_nothing(self):
        app = self.launch()
        f = self.frame(app)
        g0 = app.geometry()
        # The right press sets the last title button to 2, so a following
        # double-click with the right button must not toggle.
        self.client_click(f, *STRIP, button=3, repeat=2)
        time.sleep(0.8)
        self.assertEqual(app.geometry(), g0)
        self.assertFalse(app.log.has("state"), app.log.lines())

    def test_left_press_on_maximise_button_toggles(self):
        app = self.launch()
        f = self.frame(app)
        g0 = app.geometry()
        # A right press does nothing.
        self.client_press(f, *button_centre(f, f.w - 81), button=3)
        time.sleep(0.6)
        self.assertEqual(app.geometry(), g0)
        self.assertFalse(app.log.has("state"))
        self.client_press(f, *button_centre(f, f.w - 81))
        self.assertTrue(app.log.wait_for("tooltip", "ImaMax", "还原", timeout=3), app.log.lines())
        self.assert_maximised(app)
        f = self.frame(app)
        self.client_press(f, *button_centre(f, f.w - 81))
        self.assertTrue(app.log.wait_for("tooltip", "ImaMax", "最大化", timeout=3), app.log.lines())
        self.assert_restored(app, g0)
        self.assertFalse(app.log.has("move"), "a press on a button reached the strip")

    # -- minimise and restore ------------------------------------------------

    def test_minimise_then_restore_looks_the_same(self):
        app = self.launch()
        f = self.frame(app)
        g0 = app.geometry()
        h.move_away(self.session)
        before = self.session.screenshot().crop(*g0)
        self.client_press(f, *button_centre(f, f.w - 110))
        self.assertTrue(app.log.wait_for("state", "1", timeout=3), app.log.lines())
        self.assertTrue(h.wait_until(lambda: not self.session.is_viewable(app.wid), 3), "still mapped")
        self.session.xdo("windowactivate", app.wid, check=False)
        if not h.wait_until(lambda: self.session.is_viewable(app.wid), 3):
            self.session.xdo("windowmap", app.wid)
        self.assertTrue(h.wait_until(lambda: self.session.is_viewable(app.wid), 3), "not restored")
        self.assertEqual(h.wait_until(app.geometry, 1), g0)
        h.move_away(self.session)
        time.sleep(0.5)
        after = self.session.screenshot().crop(*g0)
        diff = sum(1 for i in range(0, len(before.data), 3) if before.data[i:i + 3] != after.data[i:i + 3])
        self.assertEqual(diff, 0, f"{diff} pixels differ after minimise and restore")
        self.assertFalse(app.log.has("tooltip"), "minimise touched the maximise tooltip")
        self.assertFalse(app.log.has("move"), "a press on a button reached the strip")


if __name__ == "__main__":
    h.main()
