"""A small network of hosts for multi-host tests: one namespace holding a bridge, one namespace
per host joined to it by a veth pair, addresses in 10.213.0.0/24. Everything is removed when the
lab closes, also after a failure or a signal; namespaces left behind by a run that was killed
are removed by the next run. Also the program's run folder and the scenario runner."""

import json
import os
import re
import shutil
import signal
import subprocess
import sys
import tempfile
import time

PROGRAM = CLI = DRIVER = ""  # kestrola-net, kestrola-cli, kestrola_window_driver: set by main


def skip(why):
    print(f"SKIP: {why}")
    sys.exit(77)


def _ip(*args, check=True):
    return subprocess.run(["ip", *args], check=check, capture_output=True, text=True)


def read(path):
    return open(path, errors="replace", newline="").read() if os.path.exists(path) else ""


def until(condition, message, seconds=10):
    """Waits until condition() is true and returns its value; `message` may be a function."""
    deadline = time.monotonic() + seconds
    while not (value := condition()):
        assert time.monotonic() < deadline, message() if callable(message) else message
        time.sleep(0.05)
    return value


def wait_for(path, pattern, seconds=10):
    """Waits until the file has a line matching the pattern; returns the file's text."""
    return until(lambda: re.search(pattern, read(path), re.M) and read(path),
                 lambda: f"timed out waiting for {pattern!r} in {path}:\n{read(path)}", seconds)


class Host:
    def __init__(self, lab, label, number, name, workgroup):
        self.lab, self.label, self.ns = lab, label, f"{lab.prefix}-{label}"
        self.address, self.name = f"10.213.0.{number}", name
        self.extra = {"KESTROLA_NETBIOS_NAME": name, "KESTROLA_WORKGROUP": workgroup,
                      "KESTROLA_SMB_CONF": "/dev/null", "KESTROLA_OEM_CODEPAGE": "437"}

    def env(self, **extra):
        """The environment of our programs in this host; a value None removes the variable."""
        env = {**os.environ, **self.extra, **extra}
        return {k: v for k, v in env.items() if v is not None}

    def run(self, args, timeout=20, env=None):
        return subprocess.run(["ip", "netns", "exec", self.ns, *args], env=env or self.env(),
                              capture_output=True, text=True, timeout=timeout)

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
        if os.geteuid() != 0 or shutil.which("ip") is None:
            skip("needs root and ip (Debian iproute2) to build network namespaces")
        for line in _ip("netns", "list", check=False).stdout.split("\n"):
            stale = re.match(r"^(kt(\d+)-\S+)", line)  # of a run whose process is gone
            if stale and not os.path.exists(f"/proc/{stale.group(2)}"):
                _ip("netns", "del", stale.group(1), check=False)
        self.prefix, self.namespaces, self.procs = f"kt{os.getpid()}", [], []
        self.work = tempfile.mkdtemp(prefix="kestrola-netns.")
        os.chmod(self.work, 0o755)
        signal.signal(signal.SIGTERM, lambda *_: sys.exit(143))
        self.bridge = f"{self.prefix}-br"  # left behind by a failure here, removed by the next run
        _ip("netns", "add", self.bridge)
        self.namespaces.append(self.bridge)
        _ip("-n", self.bridge, "link", "add", "br0", "type", "bridge")
        _ip("-n", self.bridge, "link", "set", "br0", "up")

    def __enter__(self):
        return self

    def host(self, label, number, name, workgroup="WORKGROUP"):
        host = Host(self, label, number, name, workgroup)
        _ip("netns", "add", host.ns)
        self.namespaces.append(host.ns)
        _ip("-n", self.bridge, "link", "add", f"p{number}", "type", "veth", "peer", "name",
            "eth0", "netns", host.ns)
        _ip("-n", self.bridge, "link", "set", f"p{number}", "master", "br0", "up")
        _ip("-n", host.ns, "addr", "add", f"{host.address}/24", "brd", "10.213.0.255", "dev",
            "eth0")
        _ip("-n", host.ns, "link", "set", "eth0", "up")
        _ip("-n", host.ns, "link", "set", "lo", "up")
        return host

    def __exit__(self, *exc):
        for proc in self.procs:
            proc.terminate()  # unless it has ended
        for proc in self.procs:
            try:
                proc.wait(timeout=5)
            except subprocess.TimeoutExpired:
                proc.kill()
                proc.wait()
        for ns in reversed(self.namespaces):
            _ip("netns", "del", ns, check=False)
        shutil.rmtree(self.work, ignore_errors=True)


def listen(host, *args):
    proc = host.start([CLI, "listen", *args], "listen")
    wait_for(proc.err_path, r"^listening on ")
    return proc


def send(host, *args):
    run = host.run([CLI, "send", *args])
    assert run.returncode == 0, f"send {args} ended {run.returncode}: {run.stderr}"


def prepare_store(host, executable, env=None, **settings):
    """A run folder for `executable` in `host`: an INI store whose first run is done, with
    `settings` as Section__Key=value, the base, the history and the log of sounds asked for."""
    home = os.path.join(host.lab.work, f"{host.label}-{os.path.basename(executable)}")
    os.makedirs(os.path.join(home, "config"), exist_ok=True)
    files = {k: os.path.join(home, v) for k, v in
             (("base", "base.msg"), ("history", "history.txt"), ("sounds", "sounds.log"))}
    files["ini"] = os.path.join(home, "config", f"{os.path.basename(executable)}.INI")
    sections = {"SystemSettings": {"CurrentVersion": "1.0"},
                "SendRecervieSettings": {"BaseFileName": files["base"],
                                         "HistoryFileName": files["history"], "History": "1",
                                         "IncludeSendedInBase": "1", "SuccesMessageTimeOut": "0"},
                "EventsSettings": {}}
    for key, value in settings.items():
        section, name = key.split("__")
        sections[section][name] = str(value)
    with open(files["ini"], "w") as f:
        f.write("".join(f"[{s}]\n" + "".join(f"{k}={v}\n" for k, v in keys.items())
                        for s, keys in sections.items()))
    files["env"] = host.env(**{"XDG_CONFIG_HOME": os.path.join(home, "config"), "HOME": home,
                               "XDG_DATA_HOME": home, "XDG_RUNTIME_DIR": home,
                               "QT_QPA_PLATFORM": "offscreen", "KESTROLA_SOUND_LOG":
                               files["sounds"], **(env or {})})
    return files


def start_program(host, files=None, **settings):
    """The program with its INI store in `host`, once it has opened its mailslot and base."""
    files = files or prepare_store(host, PROGRAM, **settings)
    proc = files["proc"] = host.start([PROGRAM, "-i"], "program", env=files["env"])
    until(lambda: os.path.exists(files["base"]) or proc.poll() is not None,
          "the program never opened its base", 30)
    assert proc.poll() is None, f"the program ended: {read(proc.err_path)}"
    return files


def stop_program(files):
    files["proc"].send_signal(signal.SIGTERM)
    assert files["proc"].wait(timeout=10) == 0, f"the program ended {files['proc'].returncode}"


def records(files):
    return json.loads(subprocess.run([CLI, "base", "list", files["base"], "--format", "json"],
                                     capture_output=True, text=True, check=True).stdout)


def sounds(files):
    return read(files["sounds"]).split()


def wait_records(files, count, seconds=10):
    """Waits until `count` messages have asked for their sound (after being stored), then reads
    the base once: a reader meanwhile holds the file the program opens unshared to store."""
    until(lambda: len(sounds(files)) >= count,
          lambda: f"{len(sounds(files))} of {count} messages came in", seconds)
    found = records(files)
    assert len(found) >= count, f"{len(found)} of {count} records: {found}"
    return found


def main(scenarios, tools):
    """argv: a scenario's name, then the paths of `tools` (names of this module's globals)."""
    if len(sys.argv) < 2 + len(tools) or sys.argv[1] not in scenarios:
        sys.exit(f"usage: {sys.argv[0]} {'|'.join(scenarios)} {' '.join(tools)}")
    globals().update(zip(tools, map(os.path.abspath, sys.argv[2:])))
    scenarios[sys.argv[1]]()
