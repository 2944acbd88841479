#!/usr/bin/env python3
"""Receiving without privileges and beside Samba's nmbd: the program (offscreen) and
kestrola-cli give up every capability once they hold their sockets; on a host where nmbd holds
UDP 137 and 138 they receive copies of its datagrams and answer nothing, while nmbd keeps
answering and browsing.
Usage: beside_netns.py SCENARIO KESTROLA_CLI [KESTROLA_NET WINDOW_DRIVER]"""

import json
import os
import re
import shutil
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import browse_netns  # noqa: E402
import messenger_netns as messenger  # noqa: E402
import netnslab  # noqa: E402
from netnslab import (Lab, Skip, check, cpu_seconds, listen, main, send,  # noqa: E402
                      stop_listener, wait_for)

BESIDE = "running beside it"


def check_no_capabilities(proc, executable):
    exe = os.path.realpath(f"/proc/{proc.pid}/exe")
    check(exe == os.path.realpath(executable), f"pid {proc.pid} is {exe}, not {executable}")
    caps = {k: int(v, 16) for k, v in re.findall(r"^(Cap(?:Inh|Prm|Eff|Amb)):\s+(\w+)$",
                                                 open(f"/proc/{proc.pid}/status").read(), re.M)}
    check(len(caps) == 4 and not any(caps.values()), f"{os.path.basename(exe)} keeps {caps}")


def scenario_capabilities():
    """Run by root: listen and the program hold their ports with no capability left, and still
    receive."""
    with Lab() as lab:
        a = lab.host("a", 1, "PC1")
        b = lab.host("b", 2, "PC2")
        c = lab.host("c", 3, "PC3")
        listener = listen(a)
        files = messenger.start_program(lab, c)
        check_no_capabilities(listener, netnslab.CLI)
        check_no_capabilities(files["proc"], messenger.PROGRAM)
        send(b, "PC1", "to the listener")
        send(b, "PC3", "to the program")
        found = messenger.wait_records(files, 1)
        messenger.stop_program(files)
        heard = [d["text"] for d in stop_listener(listener)]
        check(heard == ["to the listener"], f"the listener heard {heard}")
        check([(r["from"], r["text"]) for r in found] == [("PC2", "to the program")],
              f"the program's base: {found}")


def samba_host(lab):
    """Host S (10.213.0.1) runs nmbd as SAMBAPEER; our processes there take their identity from
    the same smb.conf. Returns (S, nmbd, its folder) once nmbd holds both ports."""
    s = lab.host("s", 1, "SAMBAPEER")
    peer, folder, conf = browse_netns.start_nmbd(lab, s)
    plain_env = s.env
    s.env = lambda **extra: plain_env(**{"KESTROLA_NETBIOS_NAME": None,
                                         "KESTROLA_SMB_CONF": conf, **extra})
    deadline = time.monotonic() + 20
    while not {":008A ", ":0089 "} <= set(re.findall(r":008[9A] ", s.run(["cat", "/proc/net/udp"]).stdout)):
        check(peer.poll() is None and time.monotonic() < deadline,
              f"nmbd never held UDP 137 and 138: {open(peer.out_path).read()[-2000:]}")
        time.sleep(0.2)
    return s, peer, folder


def nmblookup(host, name):
    """Every answer to a broadcast query for `name`, as (address, name) pairs."""
    out = host.run(["nmblookup", "-s", "/dev/null", "-B", "10.213.0.255", name]).stdout
    return re.findall(r"^(\d+\.\d+\.\d+\.\d+) (\S+)$", out, re.M)


def scenario_samba():
    """The program beside nmbd: messages to its name, its workgroup and * arrive; nmbd alone
    answers its names and keeps its browse list; the program sends to a name it resolves; the
    companion's names, browse and listen work beside nmbd too."""
    if shutil.which("nmblookup") is None:
        raise Skip("needs nmblookup (Debian samba-common-bin)")
    with Lab() as lab:
        s, peer, folder = samba_host(lab)
        o = lab.host("o", 2, "OTHERPC")

        run = s.run([netnslab.CLI, "names"])
        check("computer: SAMBAPEER" in run.stdout and
              "mode: beside another NetBIOS service" in run.stdout and
              "KESTROLA_NETBIOS_NAME" not in run.stdout, f"names beside nmbd:\n{run.stdout}")
        run = s.run([netnslab.CLI, "names"], env=s.env(KESTROLA_NETBIOS_NAME="MINE"))
        check(re.search(r"^note: the computer name MINE .*\(SAMBAPEER\)", run.stdout, re.M),
              f"names with another name:\n{run.stdout}")

        files = messenger.start_program(lab, s)
        wait_for(files["proc"].err_path, BESIDE)
        # nmbd registers its names by broadcast before it answers for them.
        deadline = time.monotonic() + 30
        while not nmblookup(o, "SAMBAPEER"):
            check(time.monotonic() < deadline, "nmbd never answered for SAMBAPEER")
            time.sleep(0.5)
        sends = [("SAMBAPEER", "to the name"), ("WORKGROUP", "to the group"),
                 ("*", "to everybody")]
        for target, text in sends:
            send(o, target, text)
        found = messenger.wait_records(files, len(sends))
        got = [(r["from"], r["to"], r["text"]) for r in found]
        check(got == [("OTHERPC", t, x) for t, x in sends], f"the program's base: {got}")

        # nmbd answers for the host's names, and only nmbd.
        for name in ("SAMBAPEER", "SAMBAPEER#03", "SAMBAPEER#20"):
            answers = nmblookup(o, name)
            check(len(answers) == 1 and answers[0][0] == "10.213.0.1",
                  f"nmblookup {name}: {answers}")

        # The program sends to a name that OTHERPC's listen answers for, to the workgroup and
        # to everybody.
        listener = listen(o)
        _, out = messenger.drive(lab, s, "--to", "otherpc", "--text", "from beside nmbd")
        check("recipient box: OTHERPC" in out, out)
        messenger.drive(lab, s, "--to", "WORKGROUP", "--text", "to the workgroup")
        messenger.drive(lab, s, "--to", "*", "--text", "to everybody")
        wait_for(listener.out_path, "to everybody")
        heard = [d["text"] for d in stop_listener(listener)]
        check(heard == ["from beside nmbd", "to the workgroup", "to everybody"],
              f"OTHERPC heard {heard}")

        # Our browse list has OTHERPC from its announcements and this host from nmbd's.
        listener = listen(o, "listen2")
        run = s.run([netnslab.CLI, "browse", "--format", "json", "--wait", "4"], timeout=30)
        check(run.returncode == 0 and BESIDE in run.stderr, f"browse: {run.stderr}")
        groups = {g["name"]: [c["name"] for c in g["computers"]]
                  for g in json.loads(run.stdout)["workgroups"]}
        check(groups.get("WORKGROUP") == ["OTHERPC", "SAMBAPEER"], f"browse beside nmbd: {groups}")
        # nmbd's own list still has both hosts once it is the master browser.
        wait_for(peer.out_path, r"is now a local master browser for workgroup WORKGROUP", 90)
        browse_netns.wait_browse_dat(peer, folder,
                                     lambda e: {"SAMBAPEER", "OTHERPC"} <= {x[0] for x in e},
                                     30, "listed SAMBAPEER and OTHERPC")
        stop_listener(listener)
        messenger.stop_program(files)

        # The companion beside nmbd prints what arrives as it does with its own ports.
        listener = listen(s)
        send(o, "SAMBAPEER", "to the companion")
        wait_for(listener.out_path, "to the companion")
        shown = stop_listener(listener)[0]
        check((shown["source"], shown["destination"], shown["type"], shown["sourceName"],
               shown["destinationName"], shown["from"], shown["to"], shown["text"]) ==
              ("10.213.0.2", "10.213.0.1", 16, "OTHERPC<00>", "SAMBAPEER<00>", "OTHERPC",
               "SAMBAPEER", "to the companion"), f"listen beside nmbd: {shown}")
        check(peer.poll() is None, "nmbd ended")


FLOOD = r"""
import socket, sys, time
count, rate, target = int(sys.argv[1]), int(sys.argv[2]), sys.argv[3]
s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
payload = bytes(100)
sent, start = 0, time.monotonic()
while sent < count and time.monotonic() - start < 2 * count / rate:
    for port in range(5000, 5100):
        try:
            s.sendto(payload, (target, port))
        except OSError:
            pass
        sent += 1
    ahead = sent / rate - (time.monotonic() - start)
    if ahead > 0:
        time.sleep(ahead)
print(sent, flush=True)
"""

FLOOD_PACKETS = 60000
FLOOD_RATE = 20000


def flooded(sender, listener, messages):
    """Floods the listener's host with UDP to other ports while sending `messages` to it;
    returns (CPU seconds of the listener during the flood, the flood's packets, its seconds)."""
    before = cpu_seconds(listener.pid)
    started = time.monotonic()
    flood = sender.start([sys.executable, "-c", FLOOD, str(FLOOD_PACKETS), str(FLOOD_RATE),
                          "10.213.0.1"], f"flood{time.monotonic_ns()}")
    for target, text in messages:
        send(sender, target, text)
    flood.wait(timeout=2 * FLOOD_PACKETS / FLOOD_RATE + 10)
    wait_for(listener.out_path, re.escape(messages[-1][1]))
    took = time.monotonic() - started
    with open(flood.out_path) as f:
        sent = int(f.read())
    return cpu_seconds(listener.pid) - before, sent, took


def scenario_flood():
    """A flood of UDP to other ports of the Samba host never reaches listen's handling beside
    nmbd (the kernel filter drops it); its CPU cost against listen holding its own ports."""
    with Lab() as lab:
        s, peer, _ = samba_host(lab)
        o = lab.host("o", 2, "OTHERPC")
        messages = [("SAMBAPEER", f"during the flood {i}") for i in range(5)]
        figures = {}
        for mode in ("beside", "own"):
            if mode == "own":
                peer.terminate()
                peer.wait(timeout=10)
            listener = listen(s, mode, "json", "--stats")
            cpu, sent, took = flooded(o, listener, messages)
            heard = [d["text"] for d in stop_listener(listener)]
            with open(listener.err_path) as f:
                stats = json.loads(f.read().strip().splitlines()[-1])
            figures[mode] = (cpu, sent, took, heard, stats)
        print("flood (figures): " + "; ".join(
            f"{mode}: {sent} packets in {took:.1f} s, listen used {cpu:.2f} s CPU"
            for mode, (cpu, sent, took, _, _) in figures.items()))
        for mode, (_, _, _, heard, stats) in figures.items():
            check(heard == [t for _, t in messages], f"heard {mode}: {heard}")
            check(stats["beside"] == (mode == "beside"), f"{mode}: {stats}")
        stats = figures["beside"][4]
        check(stats["rawTaken"] == len(messages), f"taken beside nmbd: {stats}")
        # Only port-138 traffic passes the filter: our messages and nmbd's own broadcasts.
        check(stats["rawRead"] < len(messages) + 50, f"read on the raw socket: {stats}")


def run(scenario):
    def start(cli, program="", driver=""):
        netnslab.CLI = os.path.abspath(cli)
        messenger.PROGRAM = program and os.path.abspath(program)
        messenger.DRIVER = driver and os.path.abspath(driver)
        if scenario is not scenario_flood and not program:
            raise Skip("needs the program (a build with KESTROLA_BUILD_UI)")
        scenario()
    return start


if __name__ == "__main__":
    main({"capabilities": run(scenario_capabilities), "samba": run(scenario_samba),
          "flood": run(scenario_flood)})
