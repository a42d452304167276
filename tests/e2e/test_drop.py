"""Files dragged from another program onto the running player (XDND)."""

import os
import shutil
import subprocess
import time

import harness as h

DRAGSOURCE = os.environ.get("VANTREL_DRAGSOURCE") or os.path.join(h.SOURCE_DIR, "build", "tests", "e2e", "vantrel-e2e-dragsource")


class DropTest(h.E2ETestCase):

    def drag_file(self, app, frame, path):
        """Drags `path` from the helper window to the middle of the player area;
        returns what the helper says the drop target did."""
        source = h.spawn([DRAGSOURCE, path], env=dict(self.session.env, QT_QPA_PLATFORM="xcb"),
                         stdout=subprocess.PIPE)
        self.addCleanup(h.stop, source)
        wid = h.wait_until(lambda: (self.session.visible_windows("vantrel-dragsource", pid=source.pid) or [None])[0], 15)
        self.assertIsNotNone(wid, "the drag source did not show its window")
        time.sleep(0.4)
        sx, sy, sw, sh = self.session.geometry(wid)
        tx, ty = frame.to_screen(frame.w // 2, 40 + (frame.h - 50) // 2)
        self.session.drag(sx + sw // 2, sy + sh // 2, tx, ty, steps=16)
        try:
            out, _ = source.communicate(timeout=10)
        except subprocess.TimeoutExpired:
            self.fail("the drag did not end")
        return out.decode().strip()

    def test_dropped_movie_opens_and_other_files_are_refused(self):
        if not os.access(DRAGSOURCE, os.X_OK):
            self.skipTest("the drag source helper is not built")
        app = self.launch()
        f = self.frame(app)
        movie = os.path.join(self.session.tmp, "拖放 movie.swf")
        shutil.copy(h.DEMO, movie)
        text = os.path.join(self.session.tmp, "notes.txt")
        with open(text, "w") as t:
            t.write("not a movie\n")

        mark = app.log.count()
        self.assertEqual(self.drag_file(app, f, text), "ignored")
        time.sleep(0.5)
        self.assertFalse(app.log.has("player", "Movie", start=mark), app.log.since(mark))

        mark = app.log.count()
        self.assertEqual(self.drag_file(app, f, movie), "copy")
        self.assertTrue(app.log.wait_for("player", "Movie", movie, timeout=5, start=mark), app.log.since(mark))
        # The movie plays: the player area changes from frame to frame.
        self.assertTrue(h.movie_area_changes(self.session, f))


if __name__ == "__main__":
    h.main()
