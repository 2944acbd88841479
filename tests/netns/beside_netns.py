#!/usr/bin/env python3
"""The program (offscreen) beside Samba's nmbd, which holds UDP 137 and 138 on the same host:
messages still arrive, nmbd alone answers for the host's names, and the program resolves a
name and sends to it.
Usage: beside_netns.py samba KESTROLA_CLI KESTROLA_NET WINDOW_DRIVER"""

import os
import re
import shutil
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import messenger_netns as messenger  # noqa: E402
import netnslab  # noqa: E402
from netnslab import Lab, Skip, check, listen, main, send, stop_listener, wait_for  # noqa: E402

SMB_CONF = """[global]
netbios name = SAMBAPEER
workgroup = WORKGROUP
server role = standalone server
interfaces = eth0
bind interfaces only = yes
local master = yes
wins support = no
dns proxy = no
lock directory = {d}/lock
state directory = {d}/state
cache directory = {d}/cache
private dir = {d}/private
pid directory = {d}/pid
ncalrpc dir = {d}/ncalrpc
log file = {d}/log/log.%m
"""


def samba_host(lab):
    """Host S runs nmbd as SAMBAPEER with a configuration and folders of its own in the lab; our
    processes there take their identity from the same smb.conf. Returns (S, nmbd)."""
    nmbd = shutil.which("nmbd") or ("/usr/sbin/nmbd" if os.path.exists("/usr/sbin/nmbd") else None)
    if nmbd is None or shutil.which("nmblookup") is None:
        raise Skip("needs nmbd and nmblookup (Debian samba, samba-common-bin)")
    folder = os.path.join(lab.work, "samba")
    for sub in ("lock", "state", "cache", "private", "pid", "ncalrpc", "log"):
        os.makedirs(os.path.join(folder, sub))
    conf = os.path.join(folder, "smb.conf")
    with open(conf, "w") as f:
        f.write(SMB_CONF.format(d=folder))
    s = lab.host("s", 1, "SAMBAPEER")
    peer = s.start([nmbd, "--foreground", "--no-process-group", "--debug-stdout",
                    "--configfile", conf], "nmbd")
    plain_env = s.env
    s.env = lambda **extra: plain_env(**{"KESTROLA_NETBIOS_NAME": None,
                                         "KESTROLA_SMB_CONF": conf, **extra})
    return s, peer


def nmblookup(host, name):
    """Every answer to a broadcast query for `name`, as (address, name) pairs."""
    out = host.run(["nmblookup", "-s", "/dev/null", "-B", "10.213.0.255", name]).stdout
    return re.findall(r"^(\d+\.\d+\.\d+\.\d+) (\S+)$", out, re.M)


def scenario_samba():
    with Lab() as lab:
        s, peer = samba_host(lab)
        o = lab.host("o", 2, "OTHERPC")
        # nmbd registers its names by broadcast before it answers for them.
        deadline = time.monotonic() + 30
        while not nmblookup(o, "SAMBAPEER"):
            check(peer.poll() is None and time.monotonic() < deadline,
                  f"nmbd never answered for SAMBAPEER: {open(peer.out_path).read()[-2000:]}")
            time.sleep(0.5)
        files = messenger.start_program(lab, s)
        wait_for(files["proc"].err_path, "running beside it")
        sends = [("SAMBAPEER", "to the name"), ("WORKGROUP", "to the group"),
                 ("*", "to everybody")]
        for target, text in sends:
            send(o, target, text)
        got = [(r["from"], r["to"], r["text"]) for r in messenger.wait_records(files, len(sends))]
        check(got == [("OTHERPC", t, x) for t, x in sends], f"the program's base: {got}")
        for name in ("SAMBAPEER", "SAMBAPEER#03"):
            answers = nmblookup(o, name)
            check([a for a, _ in answers] == ["10.213.0.1"], f"nmblookup {name}: {answers}")
        messenger.stop_program(files)

        # The window resolves OTHERPC (which listen answers for) and sends to it.
        listener = listen(o)
        _, out = messenger.drive(lab, s, "--to", "otherpc", "--text", "from beside nmbd")
        check("recipient box: OTHERPC" in out, out)
        wait_for(listener.out_path, "from beside nmbd")
        heard = [d["text"] for d in stop_listener(listener)]
        check(heard == ["from beside nmbd"], f"OTHERPC heard {heard}")
        check(peer.poll() is None, "nmbd ended")


def start(cli, program="", driver=""):
    if not program:
        raise Skip("needs the program (a build with KESTROLA_BUILD_UI)")
    netnslab.CLI = os.path.abspath(cli)
    messenger.PROGRAM, messenger.DRIVER = os.path.abspath(program), os.path.abspath(driver)
    scenario_samba()


if __name__ == "__main__":
    main({"samba": start})
