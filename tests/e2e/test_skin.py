"""The painted skin, read back pixel by pixel from a screenshot of the real
window: at the design size, at a larger size, and with a movie playing."""

import math
import time

import harness as h
from harness import BODY_YELLOW, LABELS, ICON_BOX


def in_box(x, y, box):
    bx, by, bw, bh = box
    return bx <= x < bx + bw and by <= y < by + bh


class Skin:
    """What the skin should look like in one screenshot of the window."""

    def __init__(self, shot, frame):
        self.shot, self.f, self.sk = shot, frame, h.skin()
        self.W, self.H = frame.w, frame.h
        # The middle of the title band is a 100-column piece of the bitmap
        # stretched to the window's outer width in twips minus 100, so only
        # its first few columns show, each many pixels wide.
        self.width_twips = frame.outer[2] * 15

    def px(self, cx, cy):
        return self.shot.px(*self.f.to_screen(cx, cy))

    def title_colours(self, cx, cy):
        """The skin colours a title-area pixel may show (no label or icon on it)."""
        W = self.W
        if cx >= W - 195:
            return [self.sk.px(cx - W + 367, cy)]
        if cx < 100:
            return [self.sk.px(cx, cy)]
        c = 100 + (cx - 100) * 100 / (self.width_twips - 100)
        cols = range(max(100, math.floor(c) - 1), min(199, math.floor(c) + 2) + 1)
        return [self.sk.px(col, cy) for col in cols]

    def is_title_background(self, cx, cy, tol=3):
        """True when the pixel is skin: one of the allowed colours, or a blend
        of neighbouring ones where the stretch smooths."""
        allowed = self.title_colours(cx, cy)
        p = self.px(cx, cy)
        lo = [min(c[i] for c in allowed) - tol for i in range(3)]
        hi = [max(c[i] for c in allowed) + tol for i in range(3)]
        return all(lo[i] <= p[i] <= hi[i] for i in range(3))

    def title_mismatches(self):
        """Title-area pixels outside the label and icon boxes that are not skin."""
        bad = []
        for cy in range(0, 40):
            for cx in range(0, self.W):
                if in_box(cx, cy, ICON_BOX) or any(in_box(cx, cy, b) for b in LABELS.values()):
                    continue
                if not self.is_title_background(cx, cy):
                    bad.append((cx, cy, self.px(cx, cy)))
        return bad

    def foreground(self, box):
        """Pixels inside a box that are not skin: the caption's ink."""
        bx, by, bw, bh = box
        return {(x, y): self.px(x, y) for y in range(by, by + bh) for x in range(bx, bx + bw)
                if not self.is_title_background(x, y)}

    def ink(self, box):
        """Positions of the dark core of a caption's strokes (no skin colour is that dark)."""
        return {xy for xy, p in self.foreground(box).items() if max(p) < 100}

    def cell_mismatches(self, cx, src_col):
        """A 29 x 29 button cell at (cx, 6) against the bitmap cell at (src_col, 6)."""
        bad = 0
        for j in range(29):
            for i in range(29):
                if not h.close(self.px(cx + i, 6 + j), self.sk.px(src_col + i, 6 + j), 2):
                    bad += 1
        return bad


class SkinTest(h.E2ETestCase):

    def check_skin(self, app):
        """Checks every painted region of one screenshot; returns the Skin for more checks."""
        h.move_away(self.session)
        shot = self.session.screenshot()
        frame = h.Frame(shot, app.geometry())
        s = Skin(shot, frame)
        W, H = frame.w, frame.h
        # The body is stretched from the bitmap, which ends at this row on screen.
        body_end = min(H, int(40 + 264 * (H + 40) / 304))
        with self.subTest("left end of the title area, unscaled at the top-left"):
            self.assertEqual(frame.left_mismatches, 0, frame)
        with self.subTest("title band: left end, stretched middle and right end"):
            bad = s.title_mismatches()
            self.assertLess(len(bad), 5, f"{frame}: {len(bad)} title pixels are not skin, e.g. {bad[:8]}")
        with self.subTest("glyph cells under the three hot areas"):
            for name, cx, src in (("minimise", W - 110, 257), ("maximise", W - 81, 286),
                                  ("close", W - 52, 315)):
                self.assertEqual(s.cell_mismatches(cx, src), 0,
                                 f"{name} cell at client x={cx} does not show bitmap cell {src}")
        with self.subTest("body colour in the margins around the player"):
            samples = []
            for cy in range(45, min(H - 10, body_end - 1), 23):
                samples += [(2, cy), (9, cy), (W - 10, cy), (W - 3, cy)]
            bottom_rows = range(H - 10, H) if H <= 560 else ()
            for cy in bottom_rows:
                samples += [(cx, cy) for cx in range(0, W, 37)]
            wrong = [(p, s.px(*p)) for p in samples if not h.close(s.px(*p), BODY_YELLOW, 2)]
            self.assertEqual(wrong, [], f"{frame}: margin pixels not RGB {BODY_YELLOW}")
        with self.subTest("player rectangle (10, 40, W-20, H-50)"):
            # Just inside each edge of the player the body yellow stops; just
            # outside it the skin shows.
            for cy in (60, H // 2, min(H, body_end) - 12):
                self.assertTrue(h.close(s.px(9, cy), BODY_YELLOW, 2))
                self.assertFalse(h.close(s.px(10, cy), BODY_YELLOW, 8), f"player left edge at y={cy}")
                self.assertFalse(h.close(s.px(W - 11, cy), BODY_YELLOW, 8), f"player right edge at y={cy}")
                self.assertTrue(h.close(s.px(W - 10, cy), BODY_YELLOW, 2))
            for cx in (12, W // 2, W - 12):
                self.assertTrue(s.is_title_background(cx, 39), f"title row 39 at x={cx}")
                self.assertFalse(h.close(s.px(cx, 40), BODY_YELLOW, 8), f"player top edge at x={cx}")
                self.assertFalse(h.close(s.px(cx, H - 11), BODY_YELLOW, 8), f"player bottom edge at x={cx}")
                if H <= 560:
                    self.assertTrue(h.close(s.px(cx, H - 10), BODY_YELLOW, 2), f"margin below player at x={cx}")
        with self.subTest("captions render over a transparent background"):
            for name, box in LABELS.items():
                ink = s.foreground(box)
                area = box[2] * box[3]
                self.assertGreaterEqual(len(ink), 12, f"{name}: no caption drawn in {box}")
                self.assertLess(len(ink), area * 0.7, f"{name}: the box is painted over, not transparent")
        with self.subTest("icon at (5, 0)"):
            icon = [(x, y) for y in range(0, 18) for x in range(5, 27)
                    if not h.close(s.px(x, y), s.sk.px(x, y), 6)]
            self.assertGreater(len(icon), 22 * 18 // 3, "the icon does not show at (5, 0)")
        return s, frame

    def test_design_size(self):
        app = self.launch()
        s, frame = self.check_skin(app)
        self.assertEqual((frame.w, frame.h), (h.DESIGN_W, h.DESIGN_H), frame)
        gx, gy, gw, gh = frame.outer
        with self.subTest("no caption from the window manager, a taskbar entry, an icon"):
            extents = self.session.run(["xprop", "-id", str(app.wid), "_NET_FRAME_EXTENTS"], check=False)
            self.assertIn("= 0, 0, 0, 0", extents)
            self.assertNotIn("_NET_WM_STATE_SKIP_TASKBAR", self.session.net_wm_state(app.wid))
            icon = self.session.run(["xprop", "-id", str(app.wid), "-notype", "_NET_WM_ICON"], check=False)
            self.assertIn("Icon (", icon, "the window has no icon")
        with self.subTest("centred on the screen"):
            self.assertLessEqual(abs(gx - (h.SCREEN_W - gw) // 2), 1, frame)
            self.assertLessEqual(abs(gy - (h.SCREEN_H - gh) // 2), 1, frame)

    def test_larger_size_moves_right_end_only(self):
        app = self.launch()
        before, f0 = self.check_skin(app)
        self.session.xdo("windowsize", app.wid, f0.outer[2] + 190, f0.outer[3] + 120)
        h.wait_until(lambda: app.geometry()[2:] == (f0.outer[2] + 190, f0.outer[3] + 120), 5)
        time.sleep(0.6)
        after, f1 = self.check_skin(app)
        self.assertEqual((f1.w, f1.h), (f0.w + 190, f0.h + 120), f1)
        with self.subTest("left end, icon and labels stay where they were"):
            for cy in range(0, 40):
                for cx in range(0, 100):
                    self.assertEqual(before.px(cx, cy), after.px(cx, cy), f"left end changed at ({cx}, {cy})")
            for name, box in LABELS.items():
                # The strokes themselves; their anti-aliased rims blend with a
                # band that does shift a little when the width changes.
                ink0, ink1 = before.ink(box), after.ink(box)
                self.assertGreater(len(ink0), 10, name)
                self.assertLessEqual(len(ink0 ^ ink1), len(ink0) // 20, f"{name} moved or changed")

    def test_maximised(self):
        app = self.launch()
        f0 = self.frame(app)
        self.client_press(f0, f0.w - 81 + 14, 20)  # the maximise button
        self.assertTrue(h.wait_until(lambda: app.geometry()[2:] == (h.SCREEN_W, h.SCREEN_H), 3), app.geometry())
        time.sleep(0.5)
        s, frame = self.check_skin(app)
        W, H = frame.w, frame.h
        self.assertGreater(H, 568, frame)
        # The body is the bitmap's rows 40..303 stretched by (H + 40) / 304 from
        # y = 40; below where the bitmap ends the plain background shows.
        end = 40 + 264 * (H + 40) / 304
        for cx in (3, W - 4):
            self.assertTrue(h.close(s.px(cx, int(end) - 3), BODY_YELLOW, 2), f"body above y={end:.0f}")
            self.assertFalse(h.close(s.px(cx, H - 2), BODY_YELLOW, 8), f"bitmap stretched past its last row")

    def test_movie_background_in_player(self):
        app = self.launch(h.DEMO)
        self.assertTrue(app.log.wait_for("player", "Movie", h.DEMO, timeout=5), app.log.lines())
        s, frame = self.check_skin(app)
        # The demo's stage is drawn show-all inside the player rectangle.
        centre = s.px(frame.w // 2, 40 + (frame.h - 50) // 2)
        self.assertFalse(h.close(centre, BODY_YELLOW, 8), centre)


if __name__ == "__main__":
    h.main()
