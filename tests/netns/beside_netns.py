#!/usr/bin/env python3
"""The program (offscreen) beside Samba's nmbd, which holds UDP 137 and 138 on the same host:
messages still arrive, nmbd alone answers for the host's names, and the program's window
resolves a name and sends to it.
Usage: beside_netns.py samba KESTROLA_CLI KESTROLA_NET WINDOW_DRIVER"""

import os
import re
import shutil
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import netnslab as nl  # noqa: E402
from netnslab import Lab, read, send  # noqa: E402

SMB_CONF = """[global]
netbios name = SAMBAPEER
workgroup = WORKGROUP
interfaces = eth0
bind interfaces only = yes
log file = {d}/log.%m
""" + "".join(f"{key} = {{d}}\n" for key in ("lock directory", "state directory",
                                            "cache directory", "private dir", "pid directory",
                                            "ncalrpc dir"))


def nmblookup(host, name):
    """Every answer to a broadcast query for `name`, as addresses."""
    out = host.run(["nmblookup", "-s", "/dev/null", "-B", "10.213.0.255", name]).stdout
    return re.findall(r"^(\d+\.\d+\.\d+\.\d+) \S+$", out, re.M)


def samba():
    nmbd = shutil.which("nmbd") or "/usr/sbin/nmbd"
    if not os.path.exists(nmbd) or shutil.which("nmblookup") is None:
        nl.skip("needs nmbd and nmblookup (Debian samba, samba-common-bin)")
    with Lab() as lab:
        # Host S runs nmbd with a configuration and folders of its own in the lab; our
        # processes there take their identity from the same smb.conf.
        folder = os.path.join(lab.work, "samba")
        os.mkdir(folder)
        conf = os.path.join(folder, "smb.conf")
        with open(conf, "w") as f:
            f.write(SMB_CONF.format(d=folder))
        s, o = lab.host("s", 1, "SAMBAPEER"), lab.host("o", 2, "OTHERPC")
        s.extra.update(KESTROLA_NETBIOS_NAME=None, KESTROLA_SMB_CONF=conf)
        peer = s.start([nmbd, "--foreground", "--no-process-group", "--debug-stdout",
                        "--configfile", conf], "nmbd")
        # nmbd registers its names by broadcast before it answers for them.
        nl.until(lambda: nmblookup(o, "SAMBAPEER"),
                 lambda: f"nmbd never answered: {read(peer.out_path)[-2000:]}", 30)
        files = nl.start_program(s)
        nl.wait_for(files["proc"].err_path, "running beside it")
        sends = [("SAMBAPEER", "to the name"), ("WORKGROUP", "to the group"), ("*", "to all")]
        for target, text in sends:
            send(o, target, text)
        got = [(r["from"], r["to"], r["text"]) for r in nl.wait_records(files, len(sends))]
        assert got == [("OTHERPC", t, x) for t, x in sends], f"the program's base: {got}"
        for name in ("SAMBAPEER", "SAMBAPEER#03"):
            assert nmblookup(o, name) == ["10.213.0.1"], f"nmblookup {name}: {nmblookup(o, name)}"
        nl.stop_program(files)

        # The window resolves OTHERPC (which listen answers for) and sends to it.
        listener = nl.listen(o)
        driver = nl.prepare_store(s, nl.DRIVER)
        run = s.run([nl.DRIVER, "otherpc", "from beside nmbd"], env=driver["env"], timeout=60)
        assert run.returncode == 0 and "recipient box: OTHERPC" in run.stdout, \
            f"driver: {run.returncode} {run.stdout} {run.stderr}"
        nl.wait_for(listener.out_path, "from beside nmbd")
        time.sleep(0.5)  # a second copy would show now
        heard = read(listener.out_path)
        assert heard.count("from beside nmbd") == 1, f"OTHERPC heard {heard}"
        assert peer.poll() is None, "nmbd ended"


if __name__ == "__main__":
    nl.main({"samba": samba}, ("CLI", "PROGRAM", "DRIVER"))
