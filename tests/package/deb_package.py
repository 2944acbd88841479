#!/usr/bin/env python3
"""Builds the Debian package from a build folder with CPack and checks it without installing
it: its fields, its files, its maintainer scripts (the postinst run against a recording
setcap) and lintian's verdict. Exits 1 with the faults listed, 77 when a tool is missing.
usage: deb_package.py BUILD_DIR VERSION"""

import os
import shutil
import subprocess
import sys
import tempfile

PROGRAMS = ["/usr/bin/kestrola-net", "/usr/bin/kestrola-cli"]
AUTOSTART = "/etc/xdg/autostart/kestrola-net.desktop"
FILES = PROGRAMS + [AUTOSTART, "/usr/lib/x86_64-linux-gnu/kestrola-net/kestrola-gio.so",
                    "/usr/share/applications/kestrola-net.desktop",
                    "/usr/share/icons/hicolor/48x48/apps/kestrola-net.png",
                    "/usr/share/icons/hicolor/scalable/apps/kestrola-net.svg"] + [
    f"/usr/share/doc/kestrola-net/{name}" for name in ("copyright", "changelog.gz")] + [
    f"/usr/share/kestrola-net/sounds/{name}.wav" for name in ("personal", "group", "send")] + [
    f"/usr/share/man/man1/{name}.1.gz" for name in ("kestrola-net", "kestrola-cli")]
# Packages the programs' shared libraries come from (computed by dpkg-shlibdeps), and setcap.
DEPENDS = ["libcap2-bin", "libqt6widgets6", "libqt6svg6", "libcanberra0", "libglib2.0-0"]


def run(*command, **options):
    return subprocess.run(command, capture_output=True, text=True, check=True, **options).stdout


def faults(build, version, work):
    run("cpack", "-G", "DEB", "--config", os.path.join(build, "CPackConfig.cmake"), "-B", work)
    deb = os.path.join(work, f"kestrola-net_{version}_amd64.deb")
    if not os.path.exists(deb):
        return [f"no {os.path.basename(deb)} in {os.listdir(work)}"]
    fields = dict(line.split(": ", 1) for line in run("dpkg-deb", "-f", deb).splitlines()
                  if ": " in line and not line.startswith(" "))
    found = [f"{name} is {fields.get(name)!r}, not {expected!r}" for name, expected in
             (("Package", "kestrola-net"), ("Version", version), ("Architecture", "amd64"))
             if fields.get(name) != expected]
    depends = [d.split()[0] for d in fields.get("Depends", "").split(",") if d.strip()]
    found += [f"Depends lacks {d}" for d in DEPENDS if d not in depends]
    listed = {line.split()[-1].lstrip(".") for line in run("dpkg-deb", "-c", deb).splitlines()}
    found += [f"the package lacks {f}" for f in FILES if f not in listed]

    run("dpkg-deb", "-e", deb, work)
    if AUTOSTART not in open(os.path.join(work, "conffiles")).read().split():
        found.append("the autostart entry is not a conffile")
    postinst = os.path.join(work, "postinst")
    if not os.access(postinst, os.X_OK):
        found.append("postinst is not executable")
    # The postinst against a setcap that records what it is asked, outside configure: nothing.
    log = os.path.join(work, "setcap.log")
    with open(os.path.join(work, "setcap"), "w") as fake, open(log, "w"):
        fake.write(f'#!/bin/sh\necho "$@" >> {log}\n')
    os.chmod(os.path.join(work, "setcap"), 0o755)
    for action in ("upgrade", "configure"):
        run("sh", postinst, action, env=dict(os.environ, PATH=work + ":/usr/bin:/bin"))
    granted = open(log).read().splitlines()
    if granted != [f"cap_net_bind_service,cap_net_raw=ep {p}" for p in PROGRAMS]:
        found.append(f"postinst upgrade and configure ran setcap {granted}")

    lint = subprocess.run(["lintian", "--no-cfg", "--display-info", "--pedantic", deb],
                          capture_output=True, text=True)
    serious = [line for line in lint.stdout.splitlines() if line[:2] in ("E:", "W:")]
    if lint.returncode != 0 or serious:
        found.append(f"lintian: {lint.stdout}{lint.stderr}")
    return found


if __name__ == "__main__":
    if missing := [tool for tool in ("dpkg-deb", "lintian", "cpack") if not shutil.which(tool)]:
        print(f"SKIP: {' '.join(missing)} missing (Debian packages dpkg, lintian, cmake)")
        sys.exit(77)
    with tempfile.TemporaryDirectory() as work:
        found = faults(*sys.argv[1:3], work)
    print("".join(f"FAIL: {fault}\n" for fault in found), end="")
    sys.exit(1 if found else 0)
