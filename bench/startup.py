"""Start-up figures of the real program under its own Xvfb and openbox:
cold start to the first shown window (median of 5), beside a bare Qt window
(build/vantrel-bench-barewindow) started alternately with it in the same
session, and their ratio; resident memory of an idle window after 3 s, the
shared libraries it has mapped, and the size of the binary. Prints figures
only."""

import os
import statistics
import subprocess
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "e2e"))
import harness as h  # noqa: E402

RUNS = 5
BARE = os.environ.get("VANTREL_BARE_BIN") or os.path.join(os.path.dirname(h.VANTREL), "vantrel-bench-barewindow")
BARE_TITLE = "bare-window-yardstick"


def vm(pid, field):
    with open(f"/proc/{pid}/status") as f:
        for line in f:
            if line.startswith(field + ":"):
                return int(line.split()[1])  # kB
    return None


def mapped_libraries(pid):
    libs = set()
    with open(f"/proc/{pid}/maps") as f:
        for line in f:
            path = line.split()[-1] if len(line.split()) >= 6 else ""
            if ".so" in path:
                libs.add(os.path.basename(path))
    return libs


def measure(session, args, binary=None, title=None, libs=None):
    env = dict(session.env, QT_QPA_PLATFORM="xcb")
    t0 = time.monotonic()
    proc = h.spawn([binary or h.VANTREL] + args, env=env, stderr=subprocess.DEVNULL)
    wid = h.wait_until(lambda: session.visible_windows(title or h.TITLE, pid=proc.pid), 30, interval=0.005)
    shown = time.monotonic() - t0
    if not wid:
        h.stop(proc)
        raise SystemExit("the window did not appear")
    time.sleep(3)
    rss = vm(proc.pid, "VmRSS")
    if libs is not None:
        libs.update(mapped_libraries(proc.pid))
    h.stop(proc)
    return shown, rss


def main():
    if not os.access(h.VANTREL, os.X_OK):
        raise SystemExit(f"{h.VANTREL} is not built; run scripts/setup.sh first")
    with h.XSession() as session:
        # One warm-up start so that the figures below are not dominated by
        # the first read of Qt's libraries from disk.
        measure(session, [])
        bare = os.access(BARE, os.X_OK)
        if bare:
            measure(session, [BARE_TITLE], BARE, BARE_TITLE)
        else:
            print(f"{BARE} is not built: no bare window to compare with")
        for label, args in (("no movie", []), ("demo movie", [h.DEMO])):
            starts, rsss, bares, bare_rsss, libs = [], [], [], [], set()
            for _ in range(RUNS):
                # Alternated, so that both see the same load on the machine.
                shown, rss = measure(session, args, libs=libs)
                starts.append(shown)
                rsss.append(rss)
                if bare:
                    shown, rss = measure(session, [BARE_TITLE], BARE, BARE_TITLE)
                    bares.append(shown)
                    bare_rsss.append(rss)
            print(f"start to first shown window ({label}): median {statistics.median(starts) * 1000:.0f} ms "
                  f"(runs: {', '.join('%.0f' % (s * 1000) for s in starts)} ms)")
            if bare:
                ratios = [a / b for a, b in zip(starts, bares)]
                print(f"  bare Qt window in the same run: median {statistics.median(bares) * 1000:.0f} ms "
                      f"(runs: {', '.join('%.0f' % (s * 1000) for s in bares)} ms); "
                      f"ratio {statistics.median(starts) / statistics.median(bares):.2f} "
                      f"(median of paired ratios {statistics.median(ratios):.2f})")
            print(f"resident memory after 3 s idle ({label}): median {statistics.median(rsss) / 1024:.1f} MiB"
                  + (f"; bare window {statistics.median(bare_rsss) / 1024:.1f} MiB" if bare else ""))
            multimedia = sorted(lib for lib in libs if "Multimedia" in lib or "vantrel-audio" in lib)
            print(f"  libraries mapped ({label}): {len(libs)}; multimedia: {', '.join(multimedia) or 'none'}")
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
