#!/usr/bin/env python3
"""Builds the Debian package from a build folder with CPack and checks it without installing
it: its fields, its files, its maintainer scripts (the postinst run against a recording
setcap) and lintian's verdict.

usage: deb_package.py BUILD_DIR VERSION
Exit status 0 when the package is sound, 1 with the faults listed, 77 (skip) when dpkg-deb or
lintian is missing."""

import os
import shutil
import subprocess
import sys
import tempfile

PROGRAMS = ["/usr/bin/kestrola-net", "/usr/bin/kestrola-cli"]
CAPABILITIES = "cap_net_bind_service,cap_net_raw=ep"
AUTOSTART = "/etc/xdg/autostart/kestrola-net.desktop"
FILES = PROGRAMS + [AUTOSTART, "/usr/share/applications/kestrola-net.desktop"] + [
    f"/usr/share/icons/hicolor/{size}/apps/kestrola-net.{kind}"
    for size, kind in (("48x48", "png"), ("scalable", "svg"))] + [
    f"/usr/share/kestrola-net/sounds/{name}.wav" for name in ("personal", "group", "send")] + [
    f"/usr/share/doc/kestrola-net/{name}" for name in ("copyright", "changelog.gz")] + [
    f"/usr/share/man/man1/{name}.1.gz" for name in ("kestrola-net", "kestrola-cli")]
# Packages the programs' shared libraries come from (computed by dpkg-shlibdeps), and setcap.
DEPENDS = ["libcap2-bin", "libqt6widgets6", "libqt6svg6", "libcanberra0", "libglib2.0-0"]


def run(*command, **options):
    return subprocess.run(command, capture_output=True, text=True, check=True, **options).stdout


def main():
    build, version = sys.argv[1], sys.argv[2]
    for tool in ("dpkg-deb", "lintian", "cpack"):
        if shutil.which(tool) is None:
            print(f"SKIP: {tool} is missing (Debian packages dpkg, lintian, cmake)")
            return 77
    faults = []
    with tempfile.TemporaryDirectory() as work:
        run("cpack", "-G", "DEB", "--config", os.path.join(build, "CPackConfig.cmake"),
            "-B", work)
        deb = os.path.join(work, f"kestrola-net_{version}_amd64.deb")
        if not os.path.exists(deb):
            print(f"FAIL: no {os.path.basename(deb)} in {os.listdir(work)}")
            return 1

        fields = dict((part.strip() for part in line.split(":", 1))
                      for line in run("dpkg-deb", "-f", deb).splitlines()
                      if line and not line.startswith(" ") and ":" in line)
        for name, expected in (("Package", "kestrola-net"), ("Version", version),
                               ("Architecture", "amd64")):
            if fields.get(name) != expected:
                faults.append(f"{name} is {fields.get(name)!r}, not {expected!r}")
        depends = [d.strip().split(" ")[0] for d in fields.get("Depends", "").split(",")]
        faults += [f"Depends lacks {d}" for d in DEPENDS if d not in depends]

        listed = {line.split()[-1].lstrip(".") for line in run("dpkg-deb", "-c", deb).splitlines()}
        faults += [f"the package lacks {f}" for f in FILES if f not in listed]

        control = os.path.join(work, "control")
        run("dpkg-deb", "-e", deb, control)
        with open(os.path.join(control, "conffiles")) as conffiles:
            if AUTOSTART not in conffiles.read().split():
                faults.append("the autostart entry is not a conffile")
        postinst = os.path.join(control, "postinst")
        if not os.access(postinst, os.X_OK):
            faults.append("postinst is not executable")
        # The postinst against a setcap that records what it is asked.
        tools = os.path.join(work, "tools")
        os.mkdir(tools)
        record = os.path.join(work, "setcap.log")
        with open(os.path.join(tools, "setcap"), "w") as fake:
            fake.write(f'#!/bin/sh\necho "$@" >> {record}\n')
        os.chmod(os.path.join(tools, "setcap"), 0o755)
        environment = dict(os.environ, PATH=tools + ":/usr/bin:/bin")
        run("sh", postinst, "configure", env=environment)
        with open(record) as log:
            granted = log.read().splitlines()
        expected = [f"{CAPABILITIES} {program}" for program in PROGRAMS]
        if granted != expected:
            faults.append(f"postinst configure ran setcap {granted}, not {expected}")
        os.remove(record)
        run("sh", postinst, "upgrade", env=environment)
        if os.path.exists(record):
            faults.append("postinst ran setcap outside configure")

        lint = subprocess.run(["lintian", "--no-cfg", "--display-info", "--pedantic", deb],
                              capture_output=True, text=True)
        print("lintian:", lint.stdout.rstrip() or "(nothing)")
        serious = [line for line in lint.stdout.splitlines() if line[:2] in ("E:", "W:")]
        if lint.returncode != 0 or serious:
            faults.append(f"lintian reports {len(serious)} errors and warnings")

    for fault in faults:
        print("FAIL:", fault)
    if not faults:
        print(f"kestrola-net_{version}_amd64.deb: fields, {len(FILES)} files, conffiles, postinst "
              "and lintian are sound")
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())
