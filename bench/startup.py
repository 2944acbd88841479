"""Start-up to a mapped window on Xvfb: kestrola-net with an empty base against a bare Qt 6
dialog, alternating, medians of several runs; then one traced start of kestrola-net.
Both run inside a network namespace of their own whose only interface is one end of a veth pair
whose other end lies in the same namespace, so that nothing the program sends leaves it. Needs root, Xvfb and python3-xlib.

usage: startup.py KESTROLA_NET BARE_DIALOG WORK_FOLDER"""
import os
import shutil
import signal
import statistics
import subprocess
import sys
import time

RUNS = 21
DISPLAY_NUMBER = 71


def skip(why):
    print(f"start-up: skipped, {why}")
    sys.exit(0)


def main():
    program, bare, work = sys.argv[1], sys.argv[2], os.path.abspath(sys.argv[3])
    if os.geteuid() != 0:
        skip("a network namespace needs root")
    if shutil.which("Xvfb") is None:
        skip("Xvfb is not installed")
    try:
        from Xlib import X, display as xdisplay
    except ImportError:
        skip("python3-xlib is not installed")
    ns = f"kn-bench-{os.getpid()}"
    xvfb = subprocess.Popen(["Xvfb", f":{DISPLAY_NUMBER}", "-nolisten", "tcp", "-screen", "0",
                             "1280x800x24"], stderr=subprocess.DEVNULL)
    try:
        for args in (["netns", "add", ns], ["-n", ns, "link", "set", "lo", "up"],
                     ["-n", ns, "link", "add", "eth0", "type", "veth", "peer", "name", "sink"],
                     ["-n", ns, "link", "set", "sink", "up"],
                     ["-n", ns, "addr", "add", "10.213.250.1/24", "brd", "10.213.250.255",
                      "dev", "eth0"],
                     ["-n", ns, "link", "set", "eth0", "up"]):
            subprocess.run(["ip", *args], check=True)
        deadline = time.monotonic() + 10
        while True:
            try:
                d = xdisplay.Display(f":{DISPLAY_NUMBER}")
                break
            except Exception:
                if time.monotonic() > deadline:
                    raise
                time.sleep(0.05)
        root = d.screen().root
        root.change_attributes(event_mask=X.SubstructureNotifyMask)
        d.sync()

        home = os.path.join(work, "startup-home")
        shutil.rmtree(home, ignore_errors=True)
        os.makedirs(os.path.join(home, "config"))
        with open(os.path.join(home, "config", os.path.basename(program) + ".INI"), "w") as f:
            f.write("[SystemSettings]\nCurrentVersion=1.0\n[SendRecervieSettings]\n"
                    f"BaseFileName={home}/base.msg\nHistoryFileName={home}/history.txt\n")
        env = dict(os.environ, DISPLAY=f":{DISPLAY_NUMBER}", XDG_CONFIG_HOME=f"{home}/config",
                   XDG_DATA_HOME=home, XDG_RUNTIME_DIR=home, QT_QPA_PLATFORM="xcb")

        def time_to_map(command, extra_env=None):
            while d.pending_events():
                d.next_event()
            started = time.perf_counter()
            proc = subprocess.Popen(["ip", "netns", "exec", ns, *command],
                                    env=dict(env, **(extra_env or {})),
                                    stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
            mapped = None
            while mapped is None:
                if time.perf_counter() - started > 20:
                    break
                if d.pending_events() == 0:
                    time.sleep(0.0005)
                    continue
                event = d.next_event()
                if event.type == X.MapNotify and not event.override:
                    mapped = time.perf_counter() - started
            proc.send_signal(signal.SIGTERM)
            try:
                _, err = proc.communicate(timeout=10)
            except subprocess.TimeoutExpired:
                proc.kill()
                _, err = proc.communicate()
            if os.path.exists(f"{home}/base.msg"):
                os.remove(f"{home}/base.msg")
            return mapped, err.decode(errors="replace")

        ours, baseline = [], []
        for _ in range(RUNS):
            ours.append(time_to_map([program, "-i"])[0])
            baseline.append(time_to_map([bare])[0])
        if None in ours or None in baseline:
            print("start-up: a window never appeared")
            sys.exit(1)
        mo, mb = statistics.median(ours), statistics.median(baseline)
        print(f"\nstart-up to a mapped window on Xvfb, medians of {RUNS} alternating runs "
              "(each through `ip netns exec`):")
        print(f"  kestrola-net, empty base {mo * 1e3:7.1f} ms")
        print(f"  bare Qt dialog           {mb * 1e3:7.1f} ms")
        print(f"{'start-up / bare Qt dialog':44} {mo / mb:6.2f}x  (target <= 1.10)")
        _, trace = time_to_map([program, "-i"], {"KESTROLA_TRACE_STARTUP": "1"})
        print("one traced start (step, its duration, time since main):")
        print("".join(f"  {line}\n" for line in trace.splitlines() if line.startswith("startup:")),
              end="")
    finally:
        subprocess.run(["ip", "netns", "del", ns], stderr=subprocess.DEVNULL)
        xvfb.terminate()
        xvfb.wait()


if __name__ == "__main__":
    main()
