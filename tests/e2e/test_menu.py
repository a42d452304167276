"""The pop-up menu of the real program: where it opens, and every item."""

import os
import time

import harness as h

ICON = (16, 9)
TITLE_LABEL = (150, 11)
ABOUT_TITLE = "关于。。。"
ABOUT_TEXT = "Vantrel V3.5.0\\r\\n欢迎访问Talvenor软件主页：https://vantrel.org/"


class MenuTest(h.E2ETestCase):

    def open_menu(self, app, frame, where=ICON, button=1):
        """Clicks on the icon or the title label; returns (popup line, menu window geometry)."""
        mark = app.log.count()
        self.client_click(frame, *where, button=button)
        line = app.log.wait_for("popup", timeout=3, start=mark)
        self.assertTrue(line, f"no menu popped up after a click at {where}: {app.log.since(mark)}")
        menus = h.wait_until(self.session.popup_windows, 3)
        self.assertTrue(menus, "no menu window appeared")
        geoms = [self.session.geometry(w) for w in menus]
        menu = max(geoms, key=lambda g: g[2] * g[3])
        # Keys go to the menu; the pointer leaves it so that no item is hovered.
        h.move_away(self.session)
        return line, menu

    def wait_menu_closed(self):
        self.assertTrue(h.wait_until(lambda: not self.session.popup_windows(), 3), "the menu stayed open")

    def test_icon_and_title_label_open_menu_at_pointer(self):
        app = self.launch()
        f = self.frame(app)
        for where in (ICON, TITLE_LABEL):
            for button in (1, 3):
                with self.subTest(where=where, button=button):
                    px, py = f.to_screen(*where)
                    line, menu = self.open_menu(app, f, where, button)
                    self.assertEqual((int(line[1]), int(line[2])), (px, py), "popup not at the pointer")
                    self.assertLessEqual(abs(menu[0] - px), 2, f"menu at {menu}, pointer at {(px, py)}")
                    self.assertLessEqual(abs(menu[1] - py), 2, f"menu at {menu}, pointer at {(px, py)}")
                    self.assertGreater(menu[3], 150, "the menu is too short to hold its items")
                    mark = app.log.count()
                    self.session.key("Escape")
                    self.wait_menu_closed()
                    time.sleep(0.2)
                    self.assertEqual(app.log.since(mark), [], "dismissing the menu did something")
        self.assertFalse(app.log.has("move"), "a click on the icon or title label reached the strip")

    def test_press_beside_title_label_drags_instead(self):
        app = self.launch()
        f = self.frame(app)
        self.client_press(f, 215, 11)
        self.assertTrue(app.log.wait_for("move", "end", timeout=3))
        self.assertFalse(app.log.has("popup"))

    def test_about_shows_its_box(self):
        app = self.launch()
        f = self.frame(app)
        self.open_menu(app, f)
        self.session.key("a")
        line = app.log.wait_for("msgbox", timeout=3)
        self.assertEqual(line, ("msgbox", ABOUT_TITLE, ABOUT_TEXT))
        box = h.wait_until(lambda: self.session.visible_windows(ABOUT_TITLE, pid=app.proc.pid), 5)
        self.assertTrue(box, "no window titled %s" % ABOUT_TITLE)
        self.session.activate(box[0])
        self.session.key("Return")
        self.assertTrue(h.wait_until(lambda: not self.session.visible_windows(ABOUT_TITLE, pid=app.proc.pid), 5),
                        "Return did not close the About box")
        time.sleep(0.3)
        self.assertTrue(app.alive())
        self.assertTrue(self.session.is_viewable(app.wid))

    def test_exit_by_access_key_ends_without_unloading(self):
        app = self.launch(h.DEMO)
        f = self.frame(app)
        self.open_menu(app, f)
        self.session.key("x")
        self.assertTrue(app.exited(10), "Exit did not end the program")
        self.assertTrue(app.log.has("end"), app.log.lines())
        self.assertFalse(app.log.has("unload"), "Exit ran unload handlers")

    def test_exit_by_arrow_keys_ends_without_unloading(self):
        app = self.launch()
        f = self.frame(app)
        self.open_menu(app, f, TITLE_LABEL)
        self.session.key("Up", "Return")
        self.assertTrue(app.exited(10), "Up, Return did not choose Exit")
        self.assertFalse(app.log.has("unload"), "Exit ran unload handlers")

    def test_shortcuts_are_inert_in_main_window(self):
        app = self.launch(h.DEMO)
        f = self.frame(app)
        self.session.activate(app.wid)
        self.client_click(f, f.w // 2, f.h // 2)  # focus the player
        active = int(self.session.xdo("getactivewindow").split()[0])
        self.assertEqual(active, app.wid, "the main window does not have the keyboard")
        mark = app.log.count()
        self.session.key("ctrl+b", "ctrl+f", "ctrl+o", "ctrl+i")
        time.sleep(1.0)
        stepped = [l for l in app.log.since(mark) if l[0] in ("player", "frame", "popup", "state")]
        self.assertEqual(stepped, [], "a menu shortcut acted in the main window")
        self.assertTrue(app.alive())

    def test_frame_items_step_the_movie(self):
        app = self.launch(h.DEMO)
        f = self.frame(app)
        # Stop first, so that only the two steps move the movie.
        self.client_click(f, 294 + 16, 11)
        self.assertTrue(app.log.wait_for("player", "Stop", timeout=3))
        for downs, member in ((4, "Back"), (5, "Forward")):
            with self.subTest(member=member):
                mark = app.log.count()
                self.open_menu(app, f)
                self.session.key(*["Down"] * downs, "Return")
                line = app.log.wait_for("player", member, timeout=3, start=mark)
                self.assertTrue(line, f"{member} not called: {app.log.since(mark)}")
                self.assertTrue(app.log.wait_for("frame", timeout=2, start=mark), "no frame reported")
                self.wait_menu_closed()
        frames = [int(l[1]) for l in app.log.lines() if l[0] == "frame"]
        # Back then Forward: the second lands one frame after the first.
        self.assertEqual(len(frames), 2)
        self.assertEqual(frames[1], frames[0] + 1, frames)

    def test_open_play_pause_items(self):
        chosen = os.path.join(self.session.tmp, "chosen.swf")
        with open(h.DEMO, "rb") as src, open(chosen, "wb") as dst:
            dst.write(src.read())
        app = self.launch(env={"VANTREL_TEST_OPEN_FILE": chosen})
        f = self.frame(app)
        for key, want in (("o", ("player", "Movie", chosen)), ("p", ("player", "Playing")),
                          ("u", ("player", "Stop"))):
            with self.subTest(key=key):
                mark = app.log.count()
                self.open_menu(app, f)
                self.session.key(key)
                self.assertTrue(app.log.wait_for(*want, timeout=3, start=mark), app.log.since(mark))
                self.wait_menu_closed()
                time.sleep(0.3)
                calls = [l for l in app.log.since(mark) if l[0] == "player"]
                self.assertEqual(len(calls), 1, calls)

    def menu_rows(self, shot, menu):
        """Splits a screenshot of the open menu into its rows, top to bottom:
        ("item", top, bottom, darkest ink, has ink on the right) or ("separator", top, bottom)."""
        mx, my, mw, mh = menu
        img = shot.crop(mx, my, mw, mh)
        counts = {}
        for i in range(0, len(img.data), 3):
            counts[img.data[i:i + 3]] = counts.get(img.data[i:i + 3], 0) + 1
        bg = tuple(max(counts, key=counts.get))
        rows, band = [], None
        for y in range(3, mh - 3):
            ink = [(x, img.px(x, y)) for x in range(4, mw - 4) if not h.close(img.px(x, y), bg, 12)]
            if ink:
                band = band or {"top": y, "ink": []}
                band["ink"] += ink
                band["bottom"] = y
            elif band:
                rows.append(band)
                band = None
        result = []
        for b in rows:
            if b["bottom"] - b["top"] < 3:
                result.append(("separator", b["top"], b["bottom"]))
            else:
                darkest = min(max(p) for _, p in b["ink"])
                right = any(x > mw * 0.6 for x, _ in b["ink"])
                result.append(("item", b["top"], b["bottom"], darkest, right))
        return result

    def test_menu_shows_its_tree(self):
        app = self.launch()
        f = self.frame(app)
        _, menu = self.open_menu(app, f)
        rows = self.menu_rows(self.session.screenshot(), menu)
        kinds = "".join("i" if r[0] == "item" else "-" for r in rows)
        # Open | Play Pause | Back Forward | Zoom in, Zoom out, Full screen | About | Exit
        self.assertEqual(kinds, "i-ii-ii-iii-i-i", rows)
        items = [r for r in rows if r[0] == "item"]
        greyed = [r[3] > 110 for r in items]
        self.assertEqual(greyed, [False] * 5 + [True] * 3 + [False] * 2,
                         "only Zoom in, Zoom out and Full screen are greyed out")
        shortcuts = [r[4] for r in items]
        self.assertEqual(shortcuts, [False] * 3 + [True] * 4 + [False] * 3,
                         "shortcuts are shown beside Back, Forward, Zoom in and Zoom out only")
        # Clicking a greyed-out item does nothing and leaves the menu open.
        for r in items[5:8]:
            mark = app.log.count()
            self.session.click(menu[0] + menu[2] // 3, menu[1] + (r[1] + r[2]) // 2)
            time.sleep(0.5)
            self.assertTrue(self.session.popup_windows(), "a click on a greyed-out item closed the menu")
            self.assertEqual(app.log.since(mark), [])
        # And a click on an enabled one chooses it: Pause stops the player.
        mark = app.log.count()
        pause = items[2]
        self.session.click(menu[0] + menu[2] // 3, menu[1] + (pause[1] + pause[2]) // 2)
        self.assertTrue(app.log.wait_for("player", "Stop", timeout=3, start=mark), app.log.since(mark))
        self.wait_menu_closed()

    def test_switched_off_items_do_nothing(self):
        app = self.launch()
        f = self.frame(app)
        self.open_menu(app, f)
        mark = app.log.count()
        g0 = app.geometry()
        self.session.key("f")  # the greyed-out Full screen item's access key
        time.sleep(0.6)
        self.assertTrue(self.session.popup_windows(), "the access key of a greyed-out item closed the menu")
        self.assertEqual([l for l in app.log.since(mark) if l[0] in ("player", "state")], [])
        self.assertEqual(app.geometry(), g0)
        self.session.key("Escape")
        self.wait_menu_closed()

    def test_cancelled_open_leaves_movie_playing(self):
        app = self.launch(h.DEMO, env={"VANTREL_TEST_OPEN_CANCEL": "1"})
        self.assertTrue(app.log.wait_for("player", "Movie", h.DEMO, timeout=5))
        f = self.frame(app)
        mark = app.log.count()
        self.client_click(f, 228 + 16, 11)     # the Open label
        time.sleep(0.5)
        self.open_menu(app, f)                  # and the menu's Open item
        self.session.key("o")
        self.wait_menu_closed()
        time.sleep(0.5)
        self.assertEqual([l for l in app.log.since(mark) if l[0] == "player"], [],
                         "a cancelled Open called the player")
        self.assertTrue(h.movie_area_changes(self.session, f), "the movie stopped playing")


if __name__ == "__main__":
    h.main()
