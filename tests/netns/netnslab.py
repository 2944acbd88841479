"""A small network of hosts for multi-host tests: one namespace holding a bridge, one namespace
per host joined to it by a veth pair, addresses in 10.213.0.0/24. Everything is removed when the
lab closes, also after a failure or a signal; namespaces left behind by a run that was killed
are removed by the next run."""

import json
import os
import re
import shutil
import signal
import socket
import struct
import subprocess
import sys
import tempfile
import time

SKIP = 77
PREFIX = "kt"


class Skip(Exception):
    pass


def require_root():
    if os.geteuid() != 0:
        raise Skip("needs root to build network namespaces")
    if shutil.which("ip") is None:
        raise Skip("needs ip (Debian iproute2)")


def _ip(*args, check=True):
    return subprocess.run(["ip", *args], check=check, capture_output=True, text=True)


def remove_stale_namespaces():
    """Namespaces of earlier runs whose process is gone (a run killed by a timeout)."""
    listed = _ip("netns", "list", check=False).stdout.split("\n")
    for line in listed:
        match = re.match(rf"^({PREFIX}(\d+)-\S+)", line)
        if match and not os.path.exists(f"/proc/{match.group(2)}"):
            _ip("netns", "del", match.group(1), check=False)


class Host:
    def __init__(self, lab, label, number, name, workgroup):
        self.lab = lab
        self.label = label
        self.ns = f"{lab.prefix}-{label}"
        self.address = f"10.213.0.{number}"
        self.name = name
        self.workgroup = workgroup

    def env(self, **extra):
        """The environment of our programs in this host; a value None removes the variable."""
        env = {**os.environ, "KESTROLA_NETBIOS_NAME": self.name, "KESTROLA_WORKGROUP":
               self.workgroup, "KESTROLA_SMB_CONF": "/dev/null", "KESTROLA_OEM_CODEPAGE": "437",
               **extra}
        return {k: v for k, v in env.items() if v is not None}

    def run(self, args, timeout=20, env=None, **kwargs):
        """Runs a command in this host and waits for it."""
        return subprocess.run(["ip", "netns", "exec", self.ns, *args], env=env or self.env(),
                              capture_output=True, text=True, timeout=timeout, **kwargs)

    def start(self, args, tag, env=None):
        """Starts a command in this host; its output goes to files in the lab's folder."""
        out = os.path.join(self.lab.work, f"{self.label}-{tag}.out")
        proc = subprocess.Popen(["ip", "netns", "exec", self.ns, *args], env=env or self.env(),
                                stdout=open(out, "w"), stderr=open(out + ".err", "w"))
        proc.out_path, proc.err_path = out, out + ".err"
        self.lab.procs.append(proc)
        return proc


class Lab:
    def __init__(self):
        require_root()
        remove_stale_namespaces()
        self.prefix = f"{PREFIX}{os.getpid()}"
        self.namespaces = []
        self.procs = []
        self.work = tempfile.mkdtemp(prefix="kestrola-netns.")
        os.chmod(self.work, 0o755)
        self.bridge = f"{self.prefix}-br"

    def __enter__(self):
        signal.signal(signal.SIGTERM, lambda *_: sys.exit(143))
        try:
            self._add_namespace(self.bridge)
            _ip("-n", self.bridge, "link", "add", "br0", "type", "bridge")
            _ip("-n", self.bridge, "link", "set", "br0", "up")
        except BaseException:
            self.close()
            raise
        return self

    def __exit__(self, *exc):
        self.close()
        return False

    def _add_namespace(self, ns):
        _ip("netns", "add", ns)
        self.namespaces.append(ns)

    def host(self, label, number, name, workgroup="WORKGROUP"):
        host = Host(self, label, number, name, workgroup)
        self._add_namespace(host.ns)
        _ip("-n", self.bridge, "link", "add", f"p{number}", "type", "veth", "peer", "name",
            "eth0", "netns", host.ns)
        _ip("-n", self.bridge, "link", "set", f"p{number}", "master", "br0", "up")
        _ip("-n", host.ns, "addr", "add", f"{host.address}/24", "brd", "10.213.0.255", "dev",
            "eth0")
        _ip("-n", host.ns, "link", "set", "eth0", "up")
        _ip("-n", host.ns, "link", "set", "lo", "up")
        return host

    def close(self):
        for proc in self.procs:
            if proc.poll() is None:
                proc.terminate()
        for proc in self.procs:
            try:
                proc.wait(timeout=5)
            except subprocess.TimeoutExpired:
                proc.kill()
                proc.wait()
        self.procs = []
        for ns in reversed(self.namespaces):
            _ip("netns", "del", ns, check=False)
        self.namespaces = []
        if not os.environ.get("KEEP_NETNS_WORK"):
            shutil.rmtree(self.work, ignore_errors=True)


def wait_for(path, pattern, seconds=10):
    """Waits until the file has a line matching the pattern; returns the file's text."""
    deadline = time.monotonic() + seconds
    text = ""
    while time.monotonic() < deadline:
        text = open(path).read() if os.path.exists(path) else ""
        if re.search(pattern, text, re.M):
            return text
        time.sleep(0.05)
    raise AssertionError(f"timed out waiting for {pattern!r} in {path}:\n{text}")


def check(condition, message):
    if not condition:
        raise AssertionError(message)


CLI = ""  # kestrola-cli, set by the scenario script


def listen(host, tag="listen", form="json", *extra):
    proc = host.start([CLI, "listen", "--format", form, *extra], tag)
    wait_for(proc.err_path, r"^listening on ")
    return proc


def stop_listener(proc):
    """Ends a listener (which must end cleanly); returns its datagrams as parsed JSON lines."""
    if proc.poll() is None:
        proc.send_signal(signal.SIGTERM)
    check(proc.wait(timeout=10) == 0, f"listen ended {proc.returncode}")
    with open(proc.out_path) as f:
        return [json.loads(line) for line in f if line.strip()]


def send(host, *args, expect=0, env=None):
    run = host.run([CLI, "send", *args], env=env)
    check(run.returncode == expect, f"send {args} ended {run.returncode}: {run.stderr}")
    return run


def encode_name(name, suffix=0):
    raw = (name if isinstance(name, bytes) else name.upper().encode()).ljust(15, b" ")
    raw += bytes([suffix])
    return b"\x20" + bytes(c for b in raw for c in (0x41 + (b >> 4), 0x41 + (b & 15))) + b"\0"


def mailslot_datagram(source_ip, source, destination, data, slot=b"\\MAILSLOT\\MESSNGR"):
    """An independent build of a mailslot write (DIRECT_UNIQUE)."""
    n = len(slot) + 1
    pad = (4 - (69 + n) % 4) % 4
    offset = 69 + n + pad
    smb = (b"\xffSMB\x25" + bytes(4) + b"\x18\x04\x00" + bytes(12) + b"\0\0\xff\xfe" + bytes(4) +
           struct.pack("<BHHHHBBHIHHHHHBBHHHH", 17, 0, len(data), 0, 0, 0, 0, 0, 0, 0, 0, offset,
                       len(data), offset, 3, 0, 1, 0, 2, n + pad + len(data)) +
           slot + b"\0" + bytes(pad) + data)
    header = struct.pack(">BBH4sHHH", 0x10, 0x02, 0x1234, socket.inet_aton(source_ip), 138,
                         68 + len(smb), 0)
    return header + encode_name(source) + encode_name(destination) + smb


def main(scenarios):
    """Runs the scenario named by the first argument; exits 77 with a message when skipped."""
    if len(sys.argv) < 2 or sys.argv[1] not in scenarios:
        print(f"usage: {sys.argv[0]} {'|'.join(scenarios)} ...", file=sys.stderr)
        sys.exit(2)
    try:
        scenarios[sys.argv[1]](*sys.argv[2:])
    except Skip as skip:
        print(f"SKIP: {skip}")
        sys.exit(SKIP)
    print(f"PASS: {sys.argv[1]}")
