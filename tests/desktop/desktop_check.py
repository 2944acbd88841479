#!/usr/bin/env python3
"""A person's check on a real desktop: an X display (Xvfb) with a window manager and a
notification area (icewm), the real kestrola-net inside a namespace host, a second host with
kestrola-cli, and xdotool clicking and typing as a person would. The blinking tray icon and
the expanded reply leave pictures in SCREENS/desktop-*.png.
usage: desktop_check.py KESTROLA_NET KESTROLA_CLI WINDOW_DRIVER SCREENS"""

import os
import re
import shutil
import subprocess
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "netns"))
import netnslab as nl  # noqa: E402
from netnslab import Lab, send, until  # noqa: E402

TOOLS = {"Xvfb": "xvfb", "icewm": "icewm", "xdotool": "xdotool", "import": "imagemagick",
         "xprop": "x11-utils", "xwininfo": "x11-utils", "dbus-daemon": "dbus", "dunst": "dunst"}
DISPLAY = {}  # the variables of the test's own display (and session bus)


def x(*args):
    return subprocess.run(args, env={**os.environ, **DISPLAY}, capture_output=True, text=True,
                          timeout=20).stdout


def spawn(lab, args, **env):
    lab.procs.append(subprocess.Popen(args, env={**os.environ, **DISPLAY, **env},
                                      stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL))
    return lab.procs[-1]


def start_wm(lab, tray):
    """icewm; without `tray` it keeps no notification area (a desktop like stock GNOME)."""
    config = os.path.join(lab.work, f"icewm-{tray}")
    os.makedirs(config)
    with open(os.path.join(config, "preferences"), "w") as f:
        f.write(f"TaskBarEnableSystemTray={int(tray)}\nTaskBarShowClock=0\n")
    wm = spawn(lab, ["icewm"], ICEWM_PRIVCFG=config, HOME=config)
    until(lambda: "window id" in x("xprop", "-root", "_NET_SUPPORTING_WM_CHECK"),
          "icewm did not start")
    time.sleep(1)
    return wm


def start(host, **settings):
    """The program of the multi-host tests on this display: its files and its main window."""
    files = nl.prepare_store(host, nl.PROGRAM, dict(DISPLAY, QT_QPA_PLATFORM="xcb"),
                             **settings)
    nl.start_program(host, files)

    def main_window():  # the tray icon's small window bears the same name
        return next((w for w in x("xdotool", "search", "--name", "^Kestrola NET").split()
                     if geometry(w)[2] > 100), None)
    window = until(main_window, "no main window", 15)
    time.sleep(1)
    return files, window


def geometry(window):
    info = x("xwininfo", "-id", window)
    return [int(re.search(rf"{key}:\s+(-?\d+)", info).group(1))
            for key in ("Absolute upper-left X", "Absolute upper-left Y", "Width", "Height")]


def viewable(window):
    return "IsViewable" in x("xwininfo", "-id", window)


def press(window, keys):
    """Keys typed on the keyboard into `window`, once it is the active window."""
    x("xdotool", "windowactivate", "--sync", window, "sleep", "0.3")
    x("xdotool", "key", keys, "sleep", "0.3")


def click(at, button=1, window=None):
    """A click at screen pixels, or at window pixels of `window`."""
    if window is not None:
        at = [a + b for a, b in zip(at, geometry(window))]
    x("xdotool", "mousemove", str(at[0]), str(at[1]), "sleep", "0.2", "click", str(button),
      "sleep", "0.5")


def shot(name, *args):
    path = os.path.join(SCREENS, f"desktop-{name}.png")
    x("import", *args, path)
    return open(path, "rb").read()


def tray_icon(window):
    """The tray icon's screen area: its own small window in icewm's notification area."""
    tree = x("xwininfo", "-root", "-tree")
    for match in re.finditer(r'(0x[0-9a-f]+) "Kestrola NET": \("kestrola-net" "Kestrola NET"\)'
                             r"\s+(\d+)x(\d+)\+-?\d+\+-?\d+\s+\+(-?\d+)\+(-?\d+)", tree):
        icon, width, height, left, top = match.group(1), *map(int, match.groups()[1:])
        if int(icon, 16) != int(window) and 8 < width <= 64 and 8 < height <= 64:
            return left, top, width, height


def with_tray(lab, places):
    a, b = lab.host("a", 1, "PC1"), lab.host("b", 2, "PC2")
    program, window = start(a)
    area = until(lambda: tray_icon(window), "no tray icon in the notification area")
    icon = (area[0] + area[2] // 2, area[1] + area[3] // 2)

    # Esc hides the window into the tray.
    press(window, "Escape")
    until(lambda: not viewable(window), "Esc did not hide the window")

    # A message from the second host: the icon blinks, the window comes up in front.
    send(b, "PC1", "Lunch at noon? The usual place, \\\\FILES\\menu\\today.txt")
    until(lambda: viewable(window), "the message did not bring the window up")
    until(lambda: "1 New" in x("xdotool", "getwindowname", window),
          "the title does not count the new message")
    active = x("xdotool", "getactivewindow").strip()
    assert int(active) == int(window), f"the window is not in front (active {active})"
    crop = ["-window", "root", "-crop", "{2}x{3}+{0}+{1}".format(*area)]
    first = shot("03-tray-blink-a", *crop)
    time.sleep(0.6)
    assert first != shot("03-tray-blink-b", *crop), "the tray icon does not blink"

    # Reply, type, Send: the second host hears the text.
    listener = nl.listen(b, "--count", "1", "--timeout", "40")
    click(places["reply"], window=window)
    until(lambda: geometry(window)[2] > places["expand"][0] + 100,
          "Reply did not expand the window")
    time.sleep(4)  # the scan that the expansion starts fills the tree of the README's picture
    click(places["composer"], window=window)
    x("xdotool", "key", "ctrl+End")
    x("xdotool", "type", "--delay", "60", "See you there.")
    shot("readme", "-window", window)  # the README's picture
    click(places["send"], window=window)
    listener.wait(timeout=45)
    heard = nl.read(listener.out_path)
    assert "See you there." in heard, f"the second host heard: {heard!r}"

    # Esc hides; a click on the tray icon brings the window back.
    press(window, "Escape")
    until(lambda: not viewable(window), "Esc did not hide the window")
    click(icon)
    until(lambda: viewable(window), "a click on the tray icon did not bring it back")

    # The tray menu's Exit (its last item) ends the program; every setting is written back.
    click(icon, button=3)
    x("xdotool", "key", "Up", "Return")
    assert program["proc"].wait(timeout=20) == 0, f"exit status {program['proc'].returncode}"
    keys = set(re.findall(r"^(\w+)=", nl.read(program["ini"]), re.M))
    missing = {"FlatButtons", "DesktopNotification", "ButtonFocusColor", "FaceName", "Count"}
    assert not missing - keys, f"{missing - keys} not written back: {sorted(keys)}"


def without_tray(lab):
    """With a session bus of the display's own and dunst as its notification service."""
    bus = os.path.join(lab.work, "session-bus")
    DISPLAY["DBUS_SESSION_BUS_ADDRESS"] = f"unix:path={bus}"
    spawn(lab, ["dbus-daemon", "--session", "--nofork", "--nopidfile",
                f"--address={DISPLAY['DBUS_SESSION_BUS_ADDRESS']}"])
    until(lambda: os.path.exists(bus), "the session bus did not start")
    with open(os.path.join(lab.work, "dunstrc"), "w") as f:
        f.write("[global]\n    follow = none\n    font = DejaVu Sans 10\n")
    spawn(lab, ["dunst", "-config", os.path.join(lab.work, "dunstrc")])
    time.sleep(1.5)
    a, b = lab.host("c", 3, "PC1"), lab.host("d", 4, "PC2")
    program, window = start(a, SystemSettings__NoClose=1, EventsSettings__UpWindowOnPersonal=0)
    press(window, "Escape")
    until(lambda: "Iconic" in x("xprop", "-id", window, "WM_STATE"),
          "Esc did not minimise the window to the task bar")
    send(b, "PC1", "Are you there?\r\nCall me back.")
    until(lambda: "DEMANDS_ATTENTION" in x("xprop", "-id", window, "_NET_WM_STATE"),
          "no urgency hint on the minimised window")
    # The desktop notification: the sender and the first line; its click (the default action)
    # brings the window up.
    until(lambda: "Are you there?" in x("dunstctl", "history") or
          x("dunstctl", "count", "displayed").strip() == "1", "no desktop notification")
    x("dunstctl", "action", "0")
    until(lambda: "Normal" in x("xprop", "-id", window, "WM_STATE"),
          "a click on the notification did not bring the window up")
    press(window, "alt+F4")
    assert program["proc"].wait(timeout=20) == 0, f"closing ended {program['proc'].returncode}"


def desktop_check():
    if missing := sorted({pkg for tool, pkg in TOOLS.items() if shutil.which(tool) is None}):
        nl.skip(f"needs the Debian packages {' '.join(missing)}")
    os.makedirs(SCREENS, exist_ok=True)
    with Lab() as lab:
        number = next(n for n in range(60, 100) if not os.path.exists(f"/tmp/.X11-unix/X{n}"))
        DISPLAY["DISPLAY"] = f":{number}"
        # -noreset: the server must not restart when its last client leaves, between the
        # two window managers, and refuse the next one meanwhile.
        spawn(lab, ["Xvfb", f":{number}", "-screen", "0", "1024x768x24", "-nolisten", "tcp",
                    "-noreset"])
        until(lambda: os.path.exists(f"/tmp/.X11-unix/X{number}"), "Xvfb did not start")
        # Where a person clicks the buttons and the composer, in window pixels.
        places = {name: (int(left), int(top)) for name, left, top in
                  map(str.split, x(nl.DRIVER, "--layout").splitlines())}
        wm = start_wm(lab, tray=True)
        with_tray(lab, places)
        wm.terminate()
        wm.wait(timeout=10)
        start_wm(lab, tray=False)
        without_tray(lab)


if __name__ == "__main__":
    SCREENS = sys.argv[-1]
    sys.argv.insert(1, "desktop")
    nl.main({"desktop": desktop_check}, ("PROGRAM", "CLI", "DRIVER"))
