#!/usr/bin/env python3
"""A person's check on a real desktop: an X display (Xvfb) with a window manager and a
notification area (icewm), the real kestrola-net inside a namespace host, a second host with
kestrola-cli, and xdotool clicking and typing as a person would. The blinking tray icon and
the expanded reply leave pictures in SCREENS/desktop-*.png.
usage: desktop_check.py KESTROLA_NET KESTROLA_CLI WINDOW_DRIVER SCREENS"""

import os
import re
import shutil
import signal
import subprocess
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "netns"))
from messenger_netns import prepare_store  # noqa: E402
from netnslab import Lab, Skip, check, main, require_root  # noqa: E402

PROGRAM = CLI = DRIVER = SCREENS = ""
TOOLS = {"Xvfb": "xvfb", "icewm": "icewm", "xdotool": "xdotool", "import": "imagemagick",
         "xprop": "x11-utils", "xwininfo": "x11-utils"}


class Desktop:
    """An X display of its own with icewm, with or without its notification area."""

    def __init__(self, work):
        self.work = work
        self.number = next(n for n in range(60, 100)
                           if not os.path.exists(f"/tmp/.X11-unix/X{n}"))
        self.display = f":{self.number}"
        self.xvfb = subprocess.Popen(["Xvfb", self.display, "-screen", "0", "1024x768x24",
                                      "-nolisten", "tcp"], stderr=subprocess.DEVNULL)
        self.wm = self.bus = self.notices = self.bus_address = None
        wait(lambda: os.path.exists(f"/tmp/.X11-unix/X{self.number}"), "Xvfb did not start", 10)

    def env(self, **extra):
        env = dict(os.environ, DISPLAY=self.display, **extra)
        if self.bus_address:
            env["DBUS_SESSION_BUS_ADDRESS"] = self.bus_address
        return env

    def start_notifications(self):
        """A session bus of this display's own with dunst as its notification service; false
        when the Debian packages dbus and dunst are missing."""
        if shutil.which("dbus-daemon") is None or shutil.which("dunst") is None:
            return False
        socket = os.path.join(self.work, "session-bus")
        self.bus_address = f"unix:path={socket}"
        self.bus = subprocess.Popen(["dbus-daemon", "--session", "--nofork", "--nopidfile",
                                     f"--address={self.bus_address}"],
                                    stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        wait(lambda: os.path.exists(socket), "the session bus did not start")
        config = os.path.join(self.work, "dunstrc")
        with open(config, "w") as f:
            f.write("[global]\n    follow = none\n    font = DejaVu Sans 10\n")
        self.notices = subprocess.Popen(["dunst", "-config", config], env=self.env(),
                                        stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        time.sleep(1.5)
        return True

    def start_wm(self, tray):
        """icewm; without `tray` it keeps no notification area (a desktop like stock GNOME)."""
        self.stop_wm()
        config = os.path.join(self.work, "icewm-tray" if tray else "icewm-plain")
        os.makedirs(config, exist_ok=True)
        with open(os.path.join(config, "preferences"), "w") as f:
            f.write(f"TaskBarEnableSystemTray={1 if tray else 0}\nTaskBarShowClock=0\n")
        self.wm = subprocess.Popen(["icewm"], env=self.env(ICEWM_PRIVCFG=config, HOME=config),
                                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        time.sleep(2)
        owner = self.x("xprop", "-root", "_NET_SUPPORTING_WM_CHECK")
        check("window id" in owner, f"icewm did not start: {owner}")

    def stop_wm(self):
        if self.wm is not None:
            self.wm.terminate()
            self.wm.wait(timeout=10)
            self.wm = None

    def close(self):
        for proc in (self.notices, self.bus, self.wm, self.xvfb):
            if proc is not None:
                proc.terminate()
                proc.wait(timeout=10)

    def x(self, *args):
        return subprocess.run(args, env=self.env(), capture_output=True, text=True,
                              timeout=20).stdout

    def shot(self, name, crop=None, window=None):
        path = os.path.join(SCREENS, f"desktop-{name}.png")
        args = ["import", "-window", window or "root"]
        if crop:
            args += ["-crop", "{2}x{3}+{0}+{1}".format(*crop)]
        subprocess.run([*args, path], env=self.env(), check=True, timeout=20)
        with open(path, "rb") as f:
            return f.read()

    def windows(self, pattern):
        return self.x("xdotool", "search", "--name", pattern).split()

    def geometry(self, window):
        info = self.x("xwininfo", "-id", window)
        return [int(re.search(rf"{key}:\s+(-?\d+)", info).group(1))
                for key in ("Absolute upper-left X", "Absolute upper-left Y", "Width", "Height")]

    def viewable(self, window):
        return "IsViewable" in self.x("xwininfo", "-id", window)

    def press(self, window, keys):
        """Keys typed on the keyboard into `window`, once it is the active window."""
        self.x("xdotool", "windowactivate", "--sync", window)
        time.sleep(0.3)
        self.x("xdotool", "key", keys)
        time.sleep(0.3)

    def click(self, x, y, button=1):
        self.x("xdotool", "mousemove", str(x), str(y), "sleep", "0.2", "click", str(button))
        time.sleep(0.5)


def wait(condition, message, seconds=15):
    deadline = time.monotonic() + seconds
    while not condition():
        check(time.monotonic() < deadline, message)
        time.sleep(0.1)


def layout(desktop):
    """Where the buttons lie in the main window (window pixels), as this display draws them."""
    out = subprocess.run([DRIVER, "--layout", "1"], env=desktop.env(), capture_output=True,
                         text=True, timeout=30, check=True).stdout
    return {name: tuple(map(int, rest)) for name, *rest in (l.split() for l in out.splitlines())}


def start(lab, desktop, host, **settings):
    # The run folder and INI store of the multi-host tests, on this display.
    files = prepare_store(lab, host, PROGRAM, **settings)
    files["env"].update(QT_QPA_PLATFORM="xcb", DISPLAY=desktop.display, HOME=files["home"])
    if desktop.bus_address:
        files["env"]["DBUS_SESSION_BUS_ADDRESS"] = desktop.bus_address
    files["proc"] = host.start([PROGRAM, "-i"], "program", env=files["env"])
    wait(lambda: os.path.exists(files["base"]) or files["proc"].poll() is not None,
         "the program never opened its base", 30)
    check(files["proc"].poll() is None, f"the program ended: {open(files['proc'].err_path).read()}")
    wait(lambda: main_window(desktop), "no main window", 15)
    files["window"] = main_window(desktop)
    time.sleep(1)
    return files


def main_window(desktop):
    """The main window; the tray icon's small window bears the same name."""
    return next((w for w in desktop.windows("^Kestrola NET") if desktop.geometry(w)[2] > 100), None)


def send(host, text):
    result = host.run([CLI, "send", "PC1", text])
    check(result.returncode == 0, f"send failed: {result.stderr}")


def tray_icon(desktop, main_window):
    """The tray icon's own small window, embedded in icewm's notification area (deeper than
    xdotool searches): its id and its area on the screen."""
    tree = desktop.x("xwininfo", "-root", "-tree")
    for match in re.finditer(r'(0x[0-9a-f]+) "Kestrola NET": \("kestrola-net" "Kestrola NET"\)'
                             r"\s+(\d+)x(\d+)\+-?\d+\+-?\d+\s+\+(-?\d+)\+(-?\d+)", tree):
        window, width, height, x, y = match.group(1), *map(int, match.groups()[1:])
        if int(window, 16) != int(main_window) and 8 < width <= 64 and 8 < height <= 64:
            return window, (x, y, width, height)
    return None, None


def scenario_tray(lab, desktop, places):
    a = lab.host("a", 1, "PC1")
    b = lab.host("b", 2, "PC2")
    desktop.start_wm(tray=True)
    program = start(lab, desktop, a)
    window = program["window"]
    wait(lambda: tray_icon(desktop, window)[0], "no tray icon in the notification area")
    icon, area = tray_icon(desktop, window)

    # Esc hides the window into the tray.
    desktop.press(window, "Escape")
    wait(lambda: not desktop.viewable(window), "Esc did not hide the window")

    # A message from the second host: the icon blinks, the window comes up in front.
    send(b, "Lunch at noon? The usual place, \\\\FILES\\menu\\today.txt")
    wait(lambda: desktop.viewable(window), "the message did not bring the window up")
    wait(lambda: "1 New" in desktop.x("xdotool", "getwindowname", window),
         "the title does not count the new message")
    active = desktop.x("xdotool", "getactivewindow").strip()
    check(int(active) == int(window), f"the window is not in front (active {active})")
    first = desktop.shot("03-tray-blink-a", crop=area)
    time.sleep(0.6)
    second = desktop.shot("03-tray-blink-b", crop=area)
    check(first != second, "the tray icon does not blink")

    # Reply, type, Send: the second host hears the text.
    listener = b.start([CLI, "listen", "--count", "1", "--timeout", "40"], "listen")
    time.sleep(1)
    x, y, _, _ = desktop.geometry(window)
    rx, ry, rw, rh = places["reply"]
    desktop.click(x + rx + rw // 2, y + ry + rh // 2)
    wait(lambda: desktop.geometry(window)[2] > places["expand"][0] + 100,
         "Reply did not expand the window")
    time.sleep(4)  # the scan that the expansion starts fills the tree
    # Open the workgroup (a double-click) and choose PC2 in it, as a person checks the tree.
    tx, ty, _, th = places["row"]
    desktop.x("xdotool", "mousemove", str(x + tx + 40), str(y + ty + th // 2), "click",
              "--repeat", "2", "--delay", "80", "1")
    time.sleep(0.5)
    desktop.x("xdotool", "key", "Down", "Down")
    cx, cy, cw, ch = places["composer"]
    desktop.click(x + cx + cw // 2, y + cy + ch - 8)
    desktop.x("xdotool", "key", "ctrl+End")
    desktop.x("xdotool", "type", "--delay", "60", "See you there.")
    desktop.shot("05-expanded-reply", window=window)
    shutil.copyfile(os.path.join(SCREENS, "desktop-05-expanded-reply.png"),
                    os.path.join(SCREENS, "desktop-readme.png"))
    sx, sy, sw, sh = places["send"]
    desktop.click(x + sx + sw // 2, y + sy + sh // 2)
    listener.wait(timeout=45)
    heard = open(listener.out_path).read()
    check("See you there." in heard, f"the second host heard: {heard!r}")

    # Esc hides; a click on the tray icon brings the window back.
    desktop.press(window, "Escape")
    wait(lambda: not desktop.viewable(window), "Esc did not hide the window")
    desktop.click(area[0] + area[2] // 2, area[1] + area[3] // 2)
    wait(lambda: desktop.viewable(window), "a click on the tray icon did not bring it back")

    # The tray menu's Exit (its last item) ends the program; every setting is written back.
    desktop.click(area[0] + area[2] // 2, area[1] + area[3] // 2, button=3)
    desktop.x("xdotool", "key", "Up", "Return")
    program["proc"].wait(timeout=20)
    check(program["proc"].returncode == 0, f"exit status {program['proc'].returncode}")
    with open(program["ini"]) as f:
        keys = {line.split("=", 1)[0] for line in f if "=" in line}
    for key in ("FlatButtons", "DesktopNotification", "ButtonFocusColor", "FaceName", "Count"):
        check(key in keys, f"{key} was not written back: {sorted(keys)}")


def scenario_no_tray(lab, desktop):
    a = lab.host("c", 3, "PC1")
    b = lab.host("d", 4, "PC2")
    desktop.start_wm(tray=False)
    notifying = desktop.start_notifications()
    program = start(lab, desktop, a, SystemSettings__NoClose=1,
                    EventsSettings__UpWindowOnPersonal=0)
    window = program["window"]
    desktop.press(window, "Escape")
    wait(lambda: "Iconic" in desktop.x("xprop", "-id", window, "WM_STATE"),
         "Esc did not minimise the window to the task bar")
    send(b, "Are you there?\r\nCall me back.")
    wait(lambda: "_NET_WM_STATE_DEMANDS_ATTENTION" in
         desktop.x("xprop", "-id", window, "_NET_WM_STATE"),
         "no urgency hint on the minimised window")
    if notifying:
        # The desktop notification: the sender and the first line; its click (the default
        # action) brings the window up.
        wait(lambda: "Are you there?" in desktop.x("dunstctl", "history") or
             desktop.x("dunstctl", "count", "displayed").strip() == "1",
             "no desktop notification")
        desktop.x("dunstctl", "action", "0")
        wait(lambda: "Normal" in desktop.x("xprop", "-id", window, "WM_STATE"),
             "a click on the notification did not bring the window up")
    else:
        print("no dbus-daemon or dunst: the desktop notification is not checked here")
    desktop.press(window, "alt+F4")
    program["proc"].wait(timeout=20)
    check(program["proc"].returncode == 0, f"closing ended with {program['proc'].returncode}")


def scenario_desktop(program, cli, driver, screens):
    global PROGRAM, CLI, DRIVER, SCREENS
    PROGRAM, CLI, DRIVER, SCREENS = program, cli, driver, screens
    require_root()
    missing = sorted({package for tool, package in TOOLS.items() if shutil.which(tool) is None})
    if missing:
        raise Skip(f"needs the Debian packages {' '.join(missing)}")
    os.makedirs(SCREENS, exist_ok=True)
    with Lab() as lab:
        desktop = Desktop(lab.work)
        try:
            places = layout(desktop)
            scenario_tray(lab, desktop, places)
            scenario_no_tray(lab, desktop)
        finally:
            desktop.close()


if __name__ == "__main__":
    signal.signal(signal.SIGINT, lambda *_: sys.exit(130))
    sys.argv.insert(1, "desktop")
    main({"desktop": scenario_desktop})
