#!/usr/bin/env python3
"""The Debian package, unpacked into a scratch root and started from there.

Builds the package from the build folder (cpack), checks its declared dependencies and what it
holds, validates the desktop entries, unpacks it with dpkg-deb (nothing is installed on this
machine) and starts the unpacked program without a display and without any library path: it
must set up its profile, load its compression component from the unpacked tree, listen, and
receive a folder (which passes through the component) byte-identical. Where cpack or dpkg-deb
is missing, `cmake --install` into the scratch root stands in for the package.
"""

import argparse
import gzip
import os
import re
import shutil
import subprocess
import sys
import tempfile
import xml.etree.ElementTree as ElementTree

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "headless"))
import sender  # noqa: E402  (the headless program driver and its independent sender)
from sender import Failure, check  # noqa: E402

STEP_TIMEOUT = 120
# What the unpacked program needs from the system, by package name.
DEPENDENCIES = ("libqt6core6", "libqt6widgets6", "libssl3", "libarchive13", "libqt6svg6",
                "libdeflate0", "libcanberra0")
# A package a receiver without a display can afford: no video or audio stack.
HEAVY = re.compile(r"multimedia|gstreamer|libav|ffmpeg|libva|pulse")
INSTALLED = ("usr/bin/vantrel",
             "usr/share/applications/vantrel.desktop",
             "usr/share/file-manager/actions/vantrel-send.desktop",
             "usr/share/kio/servicemenus/vantrel-servicemenu.desktop",
             "usr/share/icons/hicolor/scalable/apps/vantrel.svg",
             "usr/share/doc/vantrel/VNTHELP.html",
             "usr/share/doc/vantrel/copyright",
             "usr/share/doc/vantrel/changelog.gz",
             "usr/share/man/man1/vantrel.1.gz",
             "usr/lib/systemd/user/vantrel.service")


def run(command, **kwargs):
    result = subprocess.run(command, capture_output=True, text=True, timeout=STEP_TIMEOUT,
                            **kwargs)
    check(result.returncode == 0, "%s failed (%d):\n%s%s" % (" ".join(command), result.returncode,
                                                              result.stdout, result.stderr))
    return result.stdout


def unpack_package(build, cmake, cpack, work, root):
    """Builds the .deb and unpacks it into `root`; returns how."""
    if not (cpack and shutil.which("dpkg-deb") and shutil.which("dpkg-shlibdeps")):
        run([cmake, "--install", build, "--prefix", "/usr"],
            env=dict(os.environ, DESTDIR=root))
        return "cmake --install (no cpack or dpkg-deb here)"
    out = os.path.join(work, "package")
    run([cpack, "-G", "DEB", "--config", os.path.join(build, "CPackConfig.cmake"), "-B", out])
    debs = [name for name in os.listdir(out) if name.endswith(".deb")]
    check(len(debs) == 1, "cpack made %r" % debs)
    deb = os.path.join(out, debs[0])

    fields = {name: run(["dpkg-deb", "-f", deb, name]).strip()
              for name in ("Package", "Architecture", "Depends", "Recommends", "Version",
                           "Maintainer")}
    check(fields["Package"] == "vantrel", "the package is called %r" % fields["Package"])
    check(fields["Architecture"] not in ("", "all"), "architecture %r" % fields["Architecture"])
    declared = {re.split(r"[\s(]", item.strip())[0] for item in fields["Depends"].split(",")}
    missing = [name for name in DEPENDENCIES if name not in declared]
    check(not missing, "Depends lacks %r: %s" % (missing, fields["Depends"]))
    heavy = sorted(name for name in declared if HEAVY.search(name))
    check(not heavy, "Depends pulls a media stack: %r" % heavy)
    check("xdg-utils" in fields["Recommends"], "Recommends: %s" % fields["Recommends"])
    check(not re.search(r"@localhost|@example", fields["Maintainer"]),
          "maintainer %r" % fields["Maintainer"])
    # One version: the package's is the program's own.
    version = run([os.path.join(build, "vantrel"), "--version"]).split()[-1]
    check(fields["Version"] == version,
          "the package is version %r, the program %r" % (fields["Version"], version))
    # The component lives in a private folder: no maintainer script (ldconfig) is needed.
    control = run(["dpkg-deb", "-I", deb])
    scripts = [name for name in ("postinst", "postrm", "preinst", "prerm", "triggers")
               if re.search(r"\b%s\b" % name, control)]
    check(not scripts, "the package has maintainer scripts %r" % scripts)

    # Nothing outside /usr, and nothing from the build or the tests.
    listing = run(["dpkg-deb", "-c", deb])
    paths = [line.split()[-1] for line in listing.splitlines() if line.strip()]
    strays = [p for p in paths if not (p.startswith("./usr/") or p == "./")
              or re.search(r"test|standin|\.a$", p)]
    check(not strays, "unexpected files in the package: %r" % strays)
    # Debian's own checks of a package: no error, no warning.
    if shutil.which("lintian"):
        lint = subprocess.run(["lintian", "--pedantic", "--fail-on", "error,warning", deb],
                              capture_output=True, text=True, timeout=STEP_TIMEOUT)
        print("lintian --pedantic:\n" + (lint.stdout + lint.stderr or "(nothing)\n"), end="")
        check(lint.returncode == 0, "lintian reports errors or warnings")
    else:
        print("lintian is not installed: the package's lint is not checked here")
    run(["dpkg-deb", "-x", deb, root])
    return "cpack -G DEB, then dpkg-deb -x (%s)" % debs[0]


def find_component(root):
    """The one libzipbridge.so installed, in a "vantrel" folder of the library folder."""
    found = [os.path.join(folder, "libzipbridge.so") for folder, _, files in os.walk(root)
             if "libzipbridge.so" in files]
    check(len(found) == 1, "libzipbridge.so installed at %r" % found)
    relative = os.path.relpath(found[0], root)
    check(re.fullmatch(r"usr/lib/([^/]+/)?vantrel/libzipbridge\.so", relative),
          "the component is installed at /" + relative)
    return found[0]


def check_desktop_files(root):
    applications = os.path.join(root, "usr/share/applications")
    entry = os.path.join(applications, "vantrel.desktop")
    check(shutil.which("desktop-file-validate"),
          "desktop-file-validate is missing (desktop-file-utils, see scripts/install-deps.sh)")
    run(["desktop-file-validate", entry])
    actions = [os.path.join(root, "usr/share/file-manager/actions/vantrel-send.desktop"),
               os.path.join(root, "usr/share/kio/servicemenus/vantrel-servicemenu.desktop")]
    for path in [entry] + actions:
        with open(path, encoding="utf-8") as f:
            text = f.read()
        # The program the entry starts is the one installed, handed one path per start.
        check(re.search(r"^Exec=vantrel %f$", text, re.M), path + " does not start 'vantrel %f'")
        check(re.search(r"^Icon=vantrel$", text, re.M), path + " does not name the icon")
    for path in actions:
        with open(path, encoding="utf-8") as f:
            check(re.search(r"^Name=Send with Vantrel$", f.read(), re.M),
                  path + " offers no 'Send with Vantrel'")
    # An application that claims a type becomes its default opener wherever nothing else
    # claims it: folders and unknown files would start a send.
    for name in os.listdir(applications):
        with open(os.path.join(applications, name), encoding="utf-8") as f:
            check(not re.search(r"^MimeType=", f.read(), re.M), name + " claims file types")
    icon = os.path.join(root, "usr/share/icons/hicolor/scalable/apps/vantrel.svg")
    try:
        check(ElementTree.parse(icon).getroot().tag == "{http://www.w3.org/2000/svg}svg",
              icon + " is no SVG picture")
    except ElementTree.ParseError as error:
        raise Failure("%s is no XML: %s" % (icon, error))


def check_system_files(root):
    """The manual page, the changelog and the user unit of the copy without a display."""
    with gzip.open(os.path.join(root, "usr/share/man/man1/vantrel.1.gz"), "rt") as f:
        page = f.read()
    check(re.search(r'^\.TH VANTREL "1"', page, re.M), "the manual page has no title line")
    check("\\-\\-send" in page, "the manual page lacks --send")
    with gzip.open(os.path.join(root, "usr/share/doc/vantrel/changelog.gz"), "rt") as f:
        check(re.match(r"vantrel \(", f.read()), "the changelog names another package")
    with open(os.path.join(root, "usr/lib/systemd/user/vantrel.service"), encoding="utf-8") as f:
        unit = f.read()
    for line in (r"ExecStart=vantrel", r"Restart=on-failure", r"KillSignal=SIGTERM",
                 r"UnsetEnvironment=DISPLAY WAYLAND_DISPLAY", r"WantedBy=default.target"):
        check(re.search("^" + line, unit, re.M), "the user unit lacks " + line)


def start_headless(program, component, work):
    """The unpacked program on a fresh profile: set up, listening, serving through its component."""
    home = os.path.join(work, "profile")
    incoming = os.path.join(work, "incoming")
    os.makedirs(incoming)

    # --print-ca sets the profile up on first use and prints its authority.
    printed = run([program, "--print-ca"], env=sender.clean_environment(home),
                  stdin=subprocess.DEVNULL)
    check("BEGIN CERTIFICATE" in printed or re.search(r"([0-9A-Fa-f]{2}[:\s-]?){32}", printed),
          "--print-ca printed no authority:\n" + printed)
    # The manual and the sounds come with the program itself, not from a build folder.
    for name in ("ca.pem", "servercert.pem", "serverkey.pem", "clientcalist.pem",
                 "sounds/complete.wav", "VNTHELP.html"):
        check(os.path.exists(os.path.join(home, name)), "the profile lacks " + name)

    port = sender.free_port()
    sender.prepare_profile(program, home, port)
    sender.write_rules(home, [(True, "127.0.0.1", incoming, 0)])
    copy = sender.Program(program, home)
    try:
        copy.wait_for(r"Stop it with Ctrl\+C", sender.START_TIMEOUT)
        with open("/proc/%d/maps" % copy.process.pid, encoding="utf-8") as f:
            maps = f.read()
        component = os.path.realpath(component)
        loaded = sorted({line.split()[-1] for line in maps.splitlines()
                         if line.endswith("libzipbridge.so")})
        check(loaded == [component], "the component came from %r, not %s" % (loaded, component))

        tree = os.path.join(work, "sources", "tree")
        sender.write(os.path.join(tree, "a.txt"), b"packaged line\n" * 3000)
        sender.write(os.path.join(tree, "sub", "b.bin"), sender.random_bytes(40000, 5))
        offer = sender.directory_offer(tree)
        reply = sender.send(port, os.path.join(home, "ca.pem"), offer)
        check(reply["accepted"], "the folder was not accepted: %r" % reply)
        target = os.path.join(incoming, offer.name)
        copy.wait_for(sender.line_pattern("Completed", offer) + ": saved as " + re.escape(target))
        check(sender.tree_contents(target) == sender.tree_contents(tree),
              "the received folder differs from what was sent")
    finally:
        code = copy.stop()
    check(code == 0, "the program ended with %r" % code)


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--build", required=True, help="the configured and built build folder")
    parser.add_argument("--cmake", default=shutil.which("cmake"), help="the cmake program")
    parser.add_argument("--cpack", default=shutil.which("cpack"), help="the cpack program")
    arguments = parser.parse_args()
    # The unpacked program must find everything relative to itself.
    os.environ.pop("LD_LIBRARY_PATH", None)
    with tempfile.TemporaryDirectory(prefix="vantrel-package-") as work:
        try:
            root = os.path.join(work, "root")
            how = unpack_package(os.path.abspath(arguments.build), arguments.cmake,
                                 arguments.cpack, work, root)
            print("unpacked with", how)
            for path in INSTALLED:
                check(os.path.isfile(os.path.join(root, path)), "nothing installed at /" + path)
            component = find_component(root)
            check_desktop_files(root)
            check_system_files(root)
            start_headless(os.path.join(root, "usr/bin/vantrel"), component, work)
        except Failure as failure:
            print("FAILED:", failure, file=sys.stderr)
            return 1
    print("passed")
    return 0


if __name__ == "__main__":
    sys.exit(main())
