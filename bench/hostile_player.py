"""The hostile movies (build/vantrel-genhostile) in the real player, each in
its own Xvfb with openbox: seconds from start to the window showing, peak
resident memory over the run (default 20 s), whether the window still
answers at the end (a click on the icon must pop the menu up within 5 s,
which only a running event loop can do), and whether the process is alive.
Prints figures only.

    python3 bench/hostile_player.py [SECONDS] [NAME...]
"""

import os
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "tests", "e2e"))
import harness as h  # noqa: E402

GENHOSTILE = os.path.join(h.SOURCE_DIR, "build", "vantrel-genhostile")
ICON = (16, 9)


def status_kb(pid, field):
    try:
        with open(f"/proc/{pid}/status") as f:
            for line in f:
                if line.startswith(field + ":"):
                    return int(line.split()[1])
    except OSError:
        pass
    return None


def measure(movie, seconds):
    with h.XSession() as session:
        env = dict(session.env, QT_QPA_PLATFORM="xcb", LANG="C.UTF-8")
        t0 = time.monotonic()
        proc = h.spawn([h.VANTREL, movie], env=env, stderr=subprocess.DEVNULL)
        wids = h.wait_until(lambda: proc.poll() is None and session.visible_windows(h.TITLE, pid=proc.pid),
                            seconds, interval=0.02)
        shown = time.monotonic() - t0 if wids else None
        peak = 0
        while time.monotonic() - t0 < seconds and proc.poll() is None:
            peak = max(peak, status_kb(proc.pid, "VmHWM") or 0)
            time.sleep(0.5)
        peak = max(peak, status_kb(proc.pid, "VmHWM") or 0)
        alive = proc.poll() is None
        answers = False
        if alive and wids:
            x, y, _, _ = session.geometry(wids[0])
            t1 = time.monotonic()
            session.click(x + ICON[0], y + ICON[1])
            answers = bool(h.wait_until(session.popup_windows, 5))
            answered_in = time.monotonic() - t1
            session.key("Escape")
        h.stop(proc)
        return shown, peak // 1024, answers and answered_in, alive


def main():
    seconds = float(sys.argv[1]) if len(sys.argv) > 1 else 20.0
    only = set(sys.argv[2:])
    out = tempfile.mkdtemp(prefix="vantrel-hostile-player-")
    subprocess.run([GENHOSTILE, out], check=True)
    print(f"{'movie':28} {'shown s':>8} {'peak MB':>8} {'answers':>8} {'alive':>6}")
    for name in sorted(os.listdir(out)):
        stem = name[:-4]
        if only and stem not in only:
            continue
        shown, peak, answered, alive = measure(os.path.join(out, name), seconds)
        print(f"{stem:28} {shown if shown is None else round(shown, 2)!s:>8} {peak:>8} "
              f"{('%.2fs' % answered) if answered else 'no':>8} {'yes' if alive else 'no':>6}", flush=True)


if __name__ == "__main__":
    main()
