"""The six command labels of the title strip, clicked in the real program."""

import os
import time

import harness as h


def centre(name):
    x, y, w, hgt = h.LABELS[name]
    return x + w // 2, y + hgt // 2


class CommandsTest(h.E2ETestCase):

    def click_label(self, app, frame, name):
        mark = app.log.count()
        self.client_click(frame, *centre(name))
        return mark

    def test_play_stop_zoom_make_one_call_each(self):
        app = self.launch(h.DEMO)
        f = self.frame(app)
        for name, want in (("lblPlay", ("player", "Playing")), ("lblStop", ("player", "Stop")),
                           ("lblDa", ("player", "Zoom", "50")), ("lblXiao", ("player", "Zoom", "200")),
                           ("lblStop", ("player", "Stop")), ("lblPlay", ("player", "Playing"))):
            with self.subTest(label=name):
                mark = self.click_label(app, f, name)
                self.assertTrue(app.log.wait_for(*want, timeout=3, start=mark), app.log.since(mark))
                time.sleep(0.3)
                calls = [l for l in app.log.since(mark) if l[0] == "player"]
                self.assertEqual(len(calls), 1, f"{name}: {calls}")
        self.assertFalse(app.log.has("move"), "a click on a label reached the strip")

    def test_zoom_changes_the_picture_and_back(self):
        app = self.launch(h.DEMO)
        f = self.frame(app)
        self.click_label(app, f, "lblStop")
        app.log.wait_for("player", "Stop", timeout=3)
        time.sleep(0.3)
        h.move_away(self.session)
        box = (*f.to_screen(10, 40), f.w - 20, f.h - 50)
        before = self.session.screenshot().crop(*box)
        self.click_label(app, f, "lblDa")
        app.log.wait_for("player", "Zoom", "50", timeout=3)
        h.move_away(self.session)
        time.sleep(0.3)
        zoomed = self.session.screenshot().crop(*box)
        self.assertNotEqual(before.data, zoomed.data, "zooming in changed nothing on screen")
        self.click_label(app, f, "lblXiao")
        app.log.wait_for("player", "Zoom", "200", timeout=3)
        h.move_away(self.session)
        time.sleep(0.3)
        back = self.session.screenshot().crop(*box)
        same = sum(1 for i in range(0, len(back.data), 3) if back.data[i:i + 3] == before.data[i:i + 3])
        self.assertGreater(same, len(back.data) // 3 * 0.98, "zoom in then out did not give the view back")

    def test_full_screen_maximises_without_touching_tooltip(self):
        app = self.launch()
        f = self.frame(app)
        g0 = app.geometry()
        self.click_label(app, f, "lblFullScreen")
        self.assertTrue(app.log.wait_for("state", "2", timeout=3), app.log.lines())
        self.assertTrue(h.wait_until(lambda: app.geometry()[2:] == (h.SCREEN_W, h.SCREEN_H), 3), app.geometry())
        self.assertFalse(app.log.has("tooltip"), "Full screen changed the maximise tooltip")
        # Again: already maximised, nothing changes.
        mark = self.click_label(app, f, "lblFullScreen")
        time.sleep(0.6)
        self.assertEqual(app.geometry()[2:], (h.SCREEN_W, h.SCREEN_H))
        self.assertFalse([l for l in app.log.since(mark) if l[0] in ("state", "player")])
        # The maximise button then restores, and sets its tooltip to the one it already had.
        f = self.frame(app)
        self.client_press(f, f.w - 81 + 14, 20)
        self.assertTrue(app.log.wait_for("tooltip", "ImaMax", "最大化", timeout=3), app.log.lines())
        self.assertTrue(h.wait_until(lambda: app.geometry() == g0, 3), f"{app.geometry()} != {g0}")

    def test_open_plays_the_chosen_file(self):
        chosen = os.path.join(self.session.tmp, "picked.swf")
        with open(h.DEMO, "rb") as src, open(chosen, "wb") as dst:
            dst.write(src.read())
        app = self.launch(env={"VANTREL_TEST_OPEN_FILE": chosen})
        f = self.frame(app)
        for _ in range(2):
            mark = self.click_label(app, f, "lblOpen")
            self.assertTrue(app.log.wait_for("player", "Movie", chosen, timeout=3, start=mark),
                            app.log.since(mark))
        self.assertTrue(h.movie_area_changes(self.session, f), "the chosen movie does not play")

    def test_cancelled_open_changes_nothing_without_movie(self):
        app = self.launch(env={"VANTREL_TEST_OPEN_CANCEL": "1"})
        f = self.frame(app)
        mark = self.click_label(app, f, "lblOpen")
        time.sleep(0.8)
        self.assertEqual([l for l in app.log.since(mark) if l[0] == "player"], [])
        self.assertTrue(app.alive())


if __name__ == "__main__":
    h.main()
