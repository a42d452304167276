"""Player cost figures: each anim movie played maximised in the real program
under its own Xvfb and openbox. CPU is the process's user + system time over
the measured seconds (100 % is one core); frames shown are counted from the
paints the player logs through the test log. Prints figures only."""

import glob
import os
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "e2e"))
import harness as h  # noqa: E402

SECONDS = float(sys.argv[1]) if len(sys.argv) > 1 else 10.0
CORPUS = os.environ.get("VANTREL_CORPUS") or os.path.join(h.SOURCE_DIR, "..", "shared", "corpus")
TICK = os.sysconf("SC_CLK_TCK")
LABEL_STOP = (294 + 16, 4 + 7)
LABEL_FULL = (392 + 16, 4 + 7)


def cpu_seconds(pid):
    with open(f"/proc/{pid}/stat") as f:
        fields = f.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / TICK  # utime, stime


def rss_mib(pid):
    with open(f"/proc/{pid}/status") as f:
        for line in f:
            if line.startswith("VmRSS:"):
                return int(line.split()[1]) / 1024
    return float("nan")


def paints(app):
    return sum(1 for line in app.log.lines() if line and line[0] == "painted")


def play(session, movie):
    """CPU %, frames shown a second and resident MiB while playing, then CPU % and MiB after Stop."""
    app = h.Vantrel(session, [movie] if movie else [], env={"VANTREL_TEST_PAINTS": "1"})
    try:
        app.wait_window()
        frame = h.Frame(session.screenshot(), app.geometry())
        session.click(*frame.to_screen(*LABEL_FULL))
        h.wait_until(lambda: app.geometry()[2:] == (h.SCREEN_W, h.SCREEN_H), 5)
        h.move_away(session)
        time.sleep(2)  # the resize settles, caches fill
        pid = app.proc.pid
        c0, p0, t0 = cpu_seconds(pid), paints(app), time.monotonic()
        time.sleep(SECONDS)
        c1, p1, t1 = cpu_seconds(pid), paints(app), time.monotonic()
        playing_rss = rss_mib(pid)
        cpu = 100 * (c1 - c0) / (t1 - t0)
        fps = (p1 - p0) / (t1 - t0)
        stopped_cpu = stopped_rss = float("nan")
        if movie:
            frame = h.Frame(session.screenshot(), app.geometry())
            session.click(*frame.to_screen(*LABEL_STOP))
            time.sleep(1)
            c0, t0 = cpu_seconds(pid), time.monotonic()
            time.sleep(min(SECONDS, 5))
            c1, t1 = cpu_seconds(pid), time.monotonic()
            stopped_cpu = 100 * (c1 - c0) / (t1 - t0)
            stopped_rss = rss_mib(pid)
        return cpu, fps, playing_rss, stopped_cpu, stopped_rss
    finally:
        app.stop()


def main():
    if not os.access(h.VANTREL, os.X_OK):
        raise SystemExit(f"{h.VANTREL} is not built")
    movies = sys.argv[2:] or sorted(glob.glob(os.path.join(CORPUS, "anim", "*", "*.swf")))
    print(f"player {h.VANTREL}, maximised on {h.SCREEN_W}x{h.SCREEN_H}, {SECONDS:.0f} s a movie")
    print(f"{'movie':<44} {'cpu %':>6} {'shown/s':>8} {'rss MiB':>8} {'stopped cpu %':>14} {'stopped MiB':>12}")
    with h.XSession() as session:
        cpu, fps, rss, _, _ = play(session, None)
        print(f"{'(empty window)':<44} {cpu:6.1f} {fps:8.1f} {rss:8.1f}", flush=True)
        for movie in movies:
            name = os.path.basename(os.path.dirname(movie))
            try:
                cpu, fps, rss, scpu, srss = play(session, movie)
            except (AssertionError, RuntimeError) as e:
                print(f"{name:<44} failed: {e}", flush=True)
                continue
            print(f"{name:<44} {cpu:6.1f} {fps:8.1f} {rss:8.1f} {scpu:14.1f} {srss:12.1f}", flush=True)


if __name__ == "__main__":
    main()
