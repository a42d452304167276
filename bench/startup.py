"""Start-up figures of the real program under its own Xvfb and openbox:
cold start to the first shown window (median of 5), resident memory of an
idle window after 3 s, and the size of the binary. Prints figures only."""

import os
import statistics
import subprocess
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "e2e"))
import harness as h  # noqa: E402

RUNS = 5


def vm(pid, field):
    with open(f"/proc/{pid}/status") as f:
        for line in f:
            if line.startswith(field + ":"):
                return int(line.split()[1])  # kB
    return None


def measure(session, args):
    env = dict(session.env, QT_QPA_PLATFORM="xcb")
    t0 = time.monotonic()
    proc = h.spawn([h.VANTREL] + args, env=env, stderr=subprocess.DEVNULL)
    wid = h.wait_until(lambda: session.visible_windows(h.TITLE, pid=proc.pid), 30, interval=0.005)
    shown = time.monotonic() - t0
    if not wid:
        h.stop(proc)
        raise SystemExit("the window did not appear")
    time.sleep(3)
    rss = vm(proc.pid, "VmRSS")
    h.stop(proc)
    return shown, rss


def main():
    if not os.access(h.VANTREL, os.X_OK):
        raise SystemExit(f"{h.VANTREL} is not built; run scripts/setup.sh first")
    with h.XSession() as session:
        # One warm-up start so that the figures below are not dominated by
        # the first read of Qt's libraries from disk.
        measure(session, [])
        for label, args in (("no movie", []), ("demo movie", [h.DEMO])):
            starts, rsss = [], []
            for _ in range(RUNS):
                shown, rss = measure(session, args)
                starts.append(shown)
                rsss.append(rss)
            print(f"start to first shown window ({label}): median {statistics.median(starts) * 1000:.0f} ms "
                  f"(runs: {', '.join('%.0f' % (s * 1000) for s in starts)} ms)")
            print(f"resident memory after 3 s idle ({label}): median {statistics.median(rsss) / 1024:.1f} MiB")
    size = os.path.getsize(h.VANTREL)
    print(f"binary {h.VANTREL}: {size / 1024 / 1024:.2f} MiB ({size} bytes)")
    try:
        out = subprocess.run(["size", h.VANTREL], capture_output=True, text=True, check=True).stdout
        text = int(out.splitlines()[1].split()[0])
        print(f"binary code (text section): {text / 1024 / 1024:.2f} MiB")
    except (OSError, subprocess.CalledProcessError, IndexError, ValueError):
        pass


if __name__ == "__main__":
    main()
