"""Start-up and shutdown of the real program: the close button, the single
running copy, and movies named on the command line."""

import os
import shutil
import signal
import time

import harness as h

ALREADY_RUNNING = "程序已经运行！"


class LifetimeTest(h.E2ETestCase):

    def close_button(self, f):
        return f.w - 52 + 14, 20

    def test_close_button_acts_on_left_press_only(self):
        app = self.launch()
        f = self.frame(app)
        self.client_press(f, *self.close_button(f), button=3)
        self.client_press(f, *self.close_button(f), button=2)
        time.sleep(0.8)
        self.assertTrue(app.alive(), "a right or middle press on the close button ended the program")
        self.assertFalse(app.log.has("unload"))
        self.client_press(f, *self.close_button(f))
        self.assertTrue(app.exited(10), "a left press on the close button did not end the program")
        self.assertEqual(app.proc.returncode, 0, app.stderr_text())
        events = [l for l in app.log.lines() if l[0] in ("unload", "end")]
        # The main window unloads first (its handler runs), then the menu form.
        self.assertEqual([l for l in events if l[0] == "unload"],
                         [("unload", "frmMain"), ("unload", "frmMenu")], app.log.lines())

    def test_close_button_closes_even_when_released_outside(self):
        app = self.launch()
        f = self.frame(app)
        x, y = f.to_screen(*self.close_button(f))
        self.session.move_pointer(x, y)
        self.session.xdo("mousedown", 1)
        # The program ends on the press; releasing far away changes nothing.
        ended = app.exited(10)
        self.session.xdo("mousemove", x - 300, y + 200)
        self.session.xdo("mouseup", 1)
        self.assertTrue(ended, "the close button waited for the release")
        self.assertTrue(app.log.has("unload", "frmMain"))

    def test_second_copy_shows_message_and_ends(self):
        first = self.launch()
        g0 = first.geometry()
        second = self.launch(env={"VANTREL_TEST_AUTODISMISS": "1"}, wait=False, name="second")
        self.assertTrue(second.exited(15), "the second copy kept running")
        self.assertIn(("msgbox", "Vantrel", ALREADY_RUNNING), second.log.lines())
        self.assertFalse(second.log.has("player"), "the refused copy set up its player")
        self.assertFalse(second.log.has("unload"), "the refused copy ran unload handlers")
        self.assertTrue(first.alive())
        self.assertEqual(first.geometry(), g0)
        self.assertTrue(self.session.is_viewable(first.wid))
        self.assertFalse(first.log.has("msgbox"), "the first copy was told something")

    def test_second_copy_box_is_dismissed_with_return(self):
        first = self.launch()
        second = self.launch(wait=False, name="second")
        box = h.wait_until(lambda: self.session.visible_windows("Vantrel", pid=second.proc.pid), 15)
        self.assertTrue(box, "the second copy showed no window titled Vantrel")
        bx, by, bw, bh = self.session.geometry(box[0])
        self.assertLess(bw * bh, 600 * 400, "the second copy showed a main window, not a message box")
        self.assertTrue(second.log.wait_for("msgbox", "Vantrel", ALREADY_RUNNING, timeout=3), second.log.lines())
        self.assertTrue(second.alive(), "the copy ended before its box was dismissed")
        self.session.activate(box[0])
        time.sleep(0.3)
        self.session.key("Return")
        self.assertTrue(second.exited(10), "Return did not dismiss the box and end the second copy")
        self.assertTrue(first.alive())

    def test_killed_copy_does_not_block_the_next(self):
        first = self.launch()
        os.kill(first.proc.pid, signal.SIGKILL)
        first.proc.wait(5)
        nxt = self.launch(env={"VANTREL_TEST_AUTODISMISS": "1"}, name="next")
        self.assertTrue(nxt.alive())
        self.assertFalse(nxt.log.has("msgbox"), nxt.log.lines())

    def test_movie_named_on_command_line_plays(self):
        app = self.launch(h.DEMO)
        self.assertTrue(app.log.wait_for("player", "Movie", h.DEMO, timeout=5), app.log.lines())
        lines = app.log.lines()
        # The load handler's defaults come before the movie is assigned.
        order = [l[:2] for l in lines if l[0] == "player"]
        self.assertEqual(order[:3], [("player", "ScaleMode"), ("player", "Playing"), ("player", "Movie")])
        self.assertIn(("player", "ScaleMode", "0"), lines)
        f = self.frame(app)
        self.assertTrue(h.movie_area_changes(self.session, f), "the demo movie does not animate")

    def test_path_with_blanks_reaches_the_player_whole(self):
        folder = os.path.join(self.session.tmp, "my movies")
        os.makedirs(folder, exist_ok=True)
        path = os.path.join(folder, "a demo.swf")
        shutil.copy(h.DEMO, path)
        # Split by the shell into three arguments.
        app = self.launch(*path.split(" "))
        self.assertTrue(app.log.wait_for("player", "Movie", path, timeout=5), app.log.lines())
        app.stop()
        # Passed as one argument wrapped in double quotes.
        app = self.launch('"%s"' % path)
        self.assertTrue(app.log.wait_for("player", "Movie", path, timeout=5), app.log.lines())

    def test_unreadable_movie_keeps_the_program_running(self):
        bad = os.path.join(self.session.tmp, "not-a-movie.swf")
        with open(bad, "wb") as f:
            f.write(b"this is not a movie at all" * 10)
        app = self.launch(bad)
        self.assertTrue(app.log.wait_for("player", "Movie", bad, timeout=5))
        time.sleep(0.5)
        self.assertTrue(app.alive())
        # The player area says why, in text drawn over the blank player.
        f = self.frame(app)
        shot = self.session.screenshot()
        x0, y0 = f.to_screen(10, 40)
        colours = {shot.px(x, y) for y in range(y0, y0 + f.h - 50, 2) for x in range(x0, x0 + f.w - 20, 2)}
        self.assertGreater(len(colours), 2, "the player area shows no message")


if __name__ == "__main__":
    h.main()
