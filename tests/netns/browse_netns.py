#!/usr/bin/env python3
"""The network neighbourhood between real processes: hosts running `kestrola-cli listen` (which
announces itself as the program does) in two workgroups, `kestrola-cli browse` in each of them,
and Samba's nmbd as a real peer in a host of its own.
Usage: browse_netns.py SCENARIO KESTROLA_CLI"""

import json
import os
import re
import shutil
import signal
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import netnslab  # noqa: E402
from netnslab import Capture, Lab, Skip, check, listen, main, stop_listener, wait_for  # noqa: E402

EXPECTED = {"WORKGROUP": ["HOSTA", "HOSTB"], "OTHERGRP": ["HOSTC"]}
FIELDS = ["ip.dst", "nbdgm.type", "nbdgm.source_name", "nbdgm.destination_name", "mailslot.name",
          "browser.command", "browser.server", "browser.server_type", "browser.period",
          "_ws.malformed", "_ws.expert"]


def three_hosts(lab):
    return (lab.host("a", 1, "HOSTA"), lab.host("b", 2, "HOSTB"),
            lab.host("c", 3, "HOSTC", "OTHERGRP"))


def scenario_hosts():
    """Three announcing hosts in two workgroups: a browse in each lists all three under the
    right workgroups within one scan; tshark reads our announcements and requests."""
    with Lab() as lab:
        hosts = three_hosts(lab)
        capture = Capture(lab, "udp port 138", "browser", FIELDS)
        listeners = {h.name: listen(h) for h in hosts}
        for host in hosts:
            # The browse needs the host's ports; its listener says goodbye and comes back after.
            stop_listener(listeners[host.name])
            started = time.monotonic()
            run = host.run([netnslab.CLI, "browse", "--format", "json"], timeout=30)
            took = time.monotonic() - started
            check(run.returncode == 0, f"browse in {host.name}: {run.returncode} {run.stderr}")
            listed = json.loads(run.stdout)
            groups = {g["name"]: [c["name"] for c in g["computers"]] for g in listed["workgroups"]}
            check(listed["provider"] == "NetBIOS over TCP/IP" and groups == EXPECTED,
                  f"browse in {host.name}: {run.stdout}")
            check(2.4 <= took < 8, f"browse in {host.name} took {took:.2f} s")
            listeners[host.name] = listen(host)

        # With a listener on the host the ports are taken, and browse runs beside it.
        run = hosts[0].run([netnslab.CLI, "browse", "--wait", "0"])
        check(run.returncode == 0 and "running beside it" in run.stderr,
              f"browse beside listen: {run.returncode} {run.stderr}")
        for bad in (["--wait", "x"], ["--wait", "601"], ["--format", "xml"], ["extra"]):
            run = hosts[0].run([netnslab.CLI, "browse", *bad])
            check(run.returncode == 2 and "usage" in run.stderr, f"browse {bad}: {run.stderr}")
        for listener in listeners.values():
            stop_listener(listener)
        frames = capture.stop()

        check(frames, "no browser frames on the bridge")
        for f in frames:
            check(not f["_ws.malformed"] and not f["_ws.expert"], f"tshark complains: {f}")
            check(f["nbdgm.type"] == "17" and f["ip.dst"] == "10.213.0.255", f"not a broadcast: {f}")
            check(f["mailslot.name"] == "\\MAILSLOT\\BROWSE", f)
        announcements = [f for f in frames if f["browser.command"] == "0x01"]
        requests = [f for f in frames if f["browser.command"] == "0x02"]
        for name, group in (("HOSTA", "WORKGROUP"), ("HOSTB", "WORKGROUP"), ("HOSTC", "OTHERGRP")):
            own = [f for f in announcements if f["browser.server"] == name]
            check(own, f"no announcement of {name}")
            for f in own:
                check(f["nbdgm.source_name"] == f"{name}<00>" and
                      f["nbdgm.destination_name"] == f"{group}<1d>", f"addressed wrongly: {f}")
            types = {int(f["browser.server_type"], 16) for f in own}
            check(types == {0x1, 0x0}, f"{name} announced server types {types}")
            first = own[0]
            check(int(first["browser.server_type"], 16) == 1 and first["browser.period"] == "60000",
                  f"{name}'s first announcement: {first}")
            goodbyes = [f for f in own if int(f["browser.server_type"], 16) == 0]
            check(len(goodbyes) == 3, f"{name} said goodbye {len(goodbyes)} times")
        asked = sorted({f["nbdgm.destination_name"] for f in requests})
        # Each browse (three, and one beside a listener) asks its own workgroup and every
        # workgroup (tshark shows the segment's browser name with its control bytes as
        # <01><02>...<02>).
        check(len(requests) == 8 and asked == ["<01><02>__MSBROWSE__<02><01>", "OTHERGRP<00>",
                                               "WORKGROUP<00>"], f"requests went to {asked}")


SMB_CONF = """[global]
netbios name = SAMBAPEER
workgroup = WORKGROUP
server string = Samba peer
server role = standalone server
interfaces = eth0
bind interfaces only = yes
local master = yes
preferred master = yes
os level = 65
domain master = no
wins support = no
dns proxy = no
lock directory = {d}/lock
state directory = {d}/state
cache directory = {d}/cache
private dir = {d}/private
pid directory = {d}/pid
ncalrpc dir = {d}/ncalrpc
log file = {d}/log/log.%m
log level = 1
"""


def browse_dat(folder):
    """The browse list nmbd wrote, as (name, type, comment, workgroup) tuples."""
    for root, _, files in os.walk(folder):
        if "browse.dat" in files:
            with open(os.path.join(root, "browse.dat")) as f:
                return [tuple(a or b for a, b in re.findall(r'"([^"]*)"|(\S+)', line))
                        for line in f if line.strip()]
    return []


def wait_browse_dat(peer, folder, condition, seconds, what):
    """Waits for nmbd's browse.dat to meet `condition`; SIGHUP makes nmbd write it at once."""
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        peer.send_signal(signal.SIGHUP)
        time.sleep(0.5)
        entries = browse_dat(folder)
        if condition(entries):
            return entries
    raise AssertionError(f"browse.dat never {what}: {browse_dat(folder)}")


def start_nmbd(lab, host):
    """Samba's nmbd as SAMBAPEER in `host`, with a configuration and folders of its own in the
    lab; returns (process, folder, configuration file). Skips where there is no nmbd."""
    nmbd = shutil.which("nmbd") or ("/usr/sbin/nmbd" if os.path.exists("/usr/sbin/nmbd") else None)
    if nmbd is None:
        raise Skip("needs nmbd (Debian samba)")
    folder = os.path.join(lab.work, "samba")
    for sub in ("lock", "state", "cache", "private", "pid", "ncalrpc", "log"):
        os.makedirs(os.path.join(folder, sub))
    conf = os.path.join(folder, "smb.conf")
    with open(conf, "w") as f:
        f.write(SMB_CONF.format(d=folder))
    # Only ever inside the lab: its own namespace, its own configuration and folders.
    peer = host.start([nmbd, "--foreground", "--no-process-group", "--debug-stdout",
                       "--configfile", conf], "nmbd")
    return peer, folder, conf


def scenario_samba():
    """Samba's nmbd in a host of its own, master browser of WORKGROUP: it appears in our list,
    and our hosts appear in its browse.dat, until they say goodbye."""
    with Lab() as lab:
        a, b, c = three_hosts(lab)
        peer, folder, _ = start_nmbd(lab, lab.host("s", 4, "SAMBAPEER"))
        listeners = [listen(a), listen(c)]
        wait_for(peer.out_path, r"is now a local master browser for workgroup WORKGROUP", 90)
        # On becoming master nmbd asks the workgroup to announce itself; A answers.
        entries = wait_browse_dat(peer, folder, lambda e: any(x[0] == "HOSTA" for x in e), 30,
                                  "listed HOSTA")
        hosta = [x for x in entries if x[0] == "HOSTA"][0]
        check(int(hosta[1], 16) & 0x1 and hosta[3] == "WORKGROUP", f"HOSTA in browse.dat: {hosta}")

        run = b.run([netnslab.CLI, "browse"], timeout=30)
        lines = run.stdout.splitlines()
        check(run.returncode == 0 and lines[0] == "OTHERGRP" and lines[1].split() == ["HOSTC"] and
              lines[2] == "WORKGROUP", f"browse: {run.returncode} {run.stderr} {run.stdout}")
        members = [line.split(None, 1) for line in lines[3:]]
        check([m[0] for m in members] == ["HOSTA", "HOSTB", "SAMBAPEER"] and
              members[2][1] == "Samba peer", run.stdout)

        # B announces itself as soon as it listens; A's goodbye takes it off nmbd's list.
        listeners.append(listen(b))
        wait_browse_dat(peer, folder, lambda e: {"HOSTA", "HOSTB"} <= {x[0] for x in e}, 30,
                        "listed HOSTA and HOSTB")
        stop_listener(listeners[0])
        entries = wait_browse_dat(peer, folder,
                                  lambda e: e and not any(x[0] == "HOSTA" for x in e), 30,
                                  "dropped HOSTA")
        check(any(x[0] == "HOSTB" for x in entries), f"HOSTB went too: {entries}")
        for listener in listeners[1:]:
            stop_listener(listener)


def run(scenario):
    def start(cli):
        netnslab.CLI = os.path.abspath(cli)
        scenario()
    return start


if __name__ == "__main__":
    main({"hosts": run(scenario_hosts), "samba": run(scenario_samba)})
