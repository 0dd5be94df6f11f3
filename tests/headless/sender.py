#!/usr/bin/env python3
"""An independent sender against the real program started without a display.

It speaks the wire records itself (TLS client verified against the profile's authority,
request, reply, data header, stream) and checks that the copy serves its auto-receive rules
alone: a file (raw and as an archive) and a directory arrive byte-identical in the rule's
folder, a request that no rule matches is refused with its reason, and the printed lines say
so. Only 127.0.0.1 is ever contacted; every wait is bounded.
"""

import argparse
import io
import os
import queue
import random
import re
import signal
import socket
import ssl
import struct
import subprocess
import sys
import tempfile
import threading
import time
import zipfile

REQUEST = struct.Struct("<iHH32s256s256sIIIii")  # 572 bytes
REPLY = struct.Struct("<iiiI32s256s")  # 304 bytes
DATA = struct.Struct("<iiI")  # 12 bytes
RULE = struct.Struct("<I512s512sI")  # 1032 bytes
assert (REQUEST.size, REPLY.size, DATA.size, RULE.size) == (572, 304, 12, 1032)

KIND_REQUEST, KIND_DATA = 0, 2
REASON_REFUSED = 2
BLOCK = 1024
NICK = "Pysender"
REFUSAL = ("Nobody can answer requests on this computer now: it runs without a display and "
           "accepts only its auto-receive rules.")
START_TIMEOUT = 60
STEP_TIMEOUT = 60


class Failure(Exception):
    pass


def check(condition, message):
    if not condition:
        raise Failure(message)


def free_port():
    with socket.socket(socket.AF_INET, socket.SOCK_STREAM) as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def clean_environment(home):
    env = dict(os.environ)
    for name in ("DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"):
        env.pop(name, None)
    env["VANTREL_HOME"] = home
    return env


def prepare_profile(program, home, port):
    """Installs the profile, then sets its port and nickname before the first start."""
    result = subprocess.run([program, "--install"], env=clean_environment(home),
                            capture_output=True, timeout=STEP_TIMEOUT)
    check(result.returncode == 0, "--install failed: %r" % result.stderr)
    ini = os.path.join(home, "Vantrel.ini")
    with open(ini, encoding="utf-8") as f:
        text = f.read()
    check("[General]" in text, "no [General] section in " + ini)
    text = text.replace("[General]", "[General]\nServerPort=%d\nNickName=Headless" % port, 1)
    with open(ini, "w", encoding="utf-8") as f:
        f.write(text)


def write_rules(home, rules):
    """autorec.vnt: a count, then one record per (enabled, host, folder, band limit)."""
    with open(os.path.join(home, "autorec.vnt"), "wb") as f:
        f.write(struct.pack("<I", len(rules)))
        for enabled, host, folder, limit in rules:
            f.write(RULE.pack(1 if enabled else 0, host.encode(), folder.encode(), limit))


class Program:
    """The program running headless, its output lines collected as they come."""

    def __init__(self, program, home):
        self.lines = []
        self.errors = []
        self._changed = threading.Condition()
        self.process = subprocess.Popen([program], env=clean_environment(home),
                                        stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                                        stderr=subprocess.PIPE)
        for stream, into in ((self.process.stdout, self.lines),
                             (self.process.stderr, self.errors)):
            threading.Thread(target=self._collect, args=(stream, into), daemon=True).start()

    def _collect(self, stream, into):
        for raw in stream:
            with self._changed:
                into.append(raw.decode("utf-8", "replace").rstrip("\n"))
                self._changed.notify_all()

    def wait_for(self, pattern, timeout=STEP_TIMEOUT):
        """The first printed line matching `pattern`; fails after `timeout` seconds."""
        regex = re.compile(pattern)
        deadline = time.monotonic() + timeout
        with self._changed:
            while True:
                for line in self.lines:
                    if regex.search(line):
                        return line
                left = deadline - time.monotonic()
                check(left > 0 and self.process.poll() is None,
                      "no line matching %r; printed:\n%s\nerrors:\n%s"
                      % (pattern, "\n".join(self.lines), "\n".join(self.errors)))
                self._changed.wait(min(left, 0.2))

    def matching(self, pattern):
        regex = re.compile(pattern)
        with self._changed:
            return [line for line in self.lines if regex.search(line)]

    def stop(self):
        if self.process.poll() is None:
            self.process.send_signal(signal.SIGTERM)
            try:
                self.process.wait(timeout=30)
            except subprocess.TimeoutExpired:
                self.process.kill()
                self.process.wait(timeout=30)
        return self.process.returncode


def connect(port, authority):
    context = ssl.SSLContext(ssl.PROTOCOL_TLS_CLIENT)
    context.load_verify_locations(cafile=authority)  # verifies chain and 127.0.0.1
    raw = socket.create_connection(("127.0.0.1", port), timeout=STEP_TIMEOUT)
    return context.wrap_socket(raw, server_hostname="127.0.0.1")


def read_exactly(channel, size):
    data = b""
    while len(data) < size:
        chunk = channel.recv(size - len(data))
        if not chunk:
            break
        data += chunk
    return data


def closed_by_peer(channel):
    """True once the other side has closed the session (bounded by the socket's timeout)."""
    try:
        return channel.recv(1) == b""
    except (ssl.SSLEOFError, ConnectionError):
        return True


class Offer:
    def __init__(self, name, stream, raw, dirs, files, total):
        self.name, self.stream, self.raw = name, stream, raw
        self.dirs, self.files, self.total = dirs, files, total


def file_offer(path, raw):
    with open(path, "rb") as f:
        content = f.read()
    name = os.path.basename(path)
    if raw:
        stream = content
    else:
        buffer = io.BytesIO()
        with zipfile.ZipFile(buffer, "w", zipfile.ZIP_DEFLATED) as archive:
            archive.writestr(name, content)
        stream = buffer.getvalue()
    return Offer(name, stream, raw, 0, 1, len(content))


def directory_offer(root):
    buffer = io.BytesIO()
    dirs, files, total = 1, 0, 0
    with zipfile.ZipFile(buffer, "w", zipfile.ZIP_DEFLATED) as archive:
        for folder, subfolders, names in sorted(os.walk(root)):
            subfolders.sort()
            relative = os.path.relpath(folder, root)
            if relative != ".":
                dirs += 1
                archive.writestr(relative.replace(os.sep, "/") + "/", b"")
            for name in sorted(names):
                path = os.path.join(folder, name)
                archive.write(path, os.path.relpath(path, root).replace(os.sep, "/"))
                files += 1
                total += os.path.getsize(path)
    return Offer(os.path.basename(root), buffer.getvalue(), False, dirs, files, total)


def send(port, authority, offer):
    """Offers `offer`; streams it when accepted. Returns the reply's fields."""
    with connect(port, authority) as channel:
        channel.sendall(REQUEST.pack(KIND_REQUEST, 1, 4, NICK.encode(), offer.name.encode(),
                                     b"sent by the independent sender", offer.dirs,
                                     offer.files, offer.total, 0, 1 if offer.raw else 0))
        reply = read_exactly(channel, REPLY.size)
        check(len(reply) == REPLY.size, "short reply: %d bytes" % len(reply))
        kind, accepted, reason, offset, nick, comment = REPLY.unpack(reply)
        fields = {"kind": kind, "accepted": accepted, "reason": reason, "offset": offset,
                  "nick": nick.split(b"\0", 1)[0].decode(),
                  "comment": comment.split(b"\0", 1)[0].decode()}
        if accepted:
            check(offset == 0, "a fresh offer resumed at %d" % offset)
            channel.sendall(DATA.pack(KIND_DATA, 1 if offer.raw else 0, len(offer.stream)))
            for start in range(0, len(offer.stream), BLOCK):
                channel.sendall(offer.stream[start:start + BLOCK])
        # Nobody should keep the sender waiting: the receiver closes when it is done.
        fields["closed"] = closed_by_peer(channel)
        return fields


def random_bytes(size, seed):
    generator = random.Random(seed)
    return bytes(generator.getrandbits(8) for _ in range(size))


def write(path, content):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(content)


def tree_contents(root):
    """Every folder and file below `root`, with the files' bytes."""
    found = {}
    for folder, subfolders, names in os.walk(root):
        relative = os.path.relpath(folder, root)
        found[relative + "/"] = None
        for name in names:
            with open(os.path.join(folder, name), "rb") as f:
                found[os.path.join(relative, name)] = f.read()
    return found


def line_pattern(outcome, offer):
    what = "directory" if offer.dirs else "file"
    return r'^%s: .* \(%s\), %s "%s", .*\(%d bytes\)' % (
        outcome, NICK, what, re.escape(offer.name), offer.total)


def run(program, work):
    home = os.path.join(work, "profile")
    incoming = os.path.join(work, "incoming")
    sources = os.path.join(work, "sources")
    os.makedirs(incoming)
    port = free_port()
    prepare_profile(program, home, port)
    authority = os.path.join(home, "ca.pem")

    # A disabled rule for this peer and one for another host: nothing may answer it.
    write_rules(home, [(False, "127.0.0.1", incoming, 0), (True, "192.0.2.7", incoming, 0)])
    copy = Program(program, home)
    try:
        copy.wait_for(r"Stop it with Ctrl\+C", START_TIMEOUT)
        check(copy.matching(r"headless") and copy.matching(r"auto-receive rules only"),
              "the start lines do not say how it serves:\n" + "\n".join(copy.lines))
        write(os.path.join(sources, "unwanted.bin"), random_bytes(4000, 1))
        offer = file_offer(os.path.join(sources, "unwanted.bin"), True)
        reply = send(port, authority, offer)
        check(not reply["accepted"] and reply["reason"] == REASON_REFUSED,
              "an unmatched request was not refused: %r" % reply)
        check(reply["comment"] == REFUSAL, "refused with %r" % reply["comment"])
        check(reply["nick"] == "Headless", "the reply names %r" % reply["nick"])
        check(reply["closed"], "the refused connection stayed open")
        copy.wait_for(line_pattern("Request", offer) + ": no auto-receive rule matches")
        copy.wait_for(line_pattern("Refused", offer) + ": " + re.escape(REFUSAL))
        check(not copy.matching(r"^(Accepted|Completed):"), "a refused request went on")
        check(os.listdir(incoming) == [], "something arrived: %r" % os.listdir(incoming))
    finally:
        code = copy.stop()
    check(code == 0, "the first run ended with %r" % code)

    # The rule for this peer enabled, read at the next start.
    write_rules(home, [(True, "127.0.0.1", incoming, 0)])
    copy = Program(program, home)
    try:
        copy.wait_for(r"Stop it with Ctrl\+C", START_TIMEOUT)
        write(os.path.join(sources, "raw report.bin"), random_bytes(300 * 1024 + 17, 2))
        write(os.path.join(sources, "packed.txt"), b"compressible line\n" * 20000)
        tree = os.path.join(sources, "tree")
        write(os.path.join(tree, "readme.txt"), b"the top\n" * 500)
        write(os.path.join(tree, "empty.dat"), b"")
        write(os.path.join(tree, "sub", "Gr\u00fc\u00dfe.bin"), random_bytes(70000, 3))
        write(os.path.join(tree, "sub", "deeper", "last.bin"), random_bytes(5000, 4))
        os.makedirs(os.path.join(tree, "empty folder", "inner"))

        offers = [file_offer(os.path.join(sources, "raw report.bin"), True),
                  file_offer(os.path.join(sources, "packed.txt"), False),
                  directory_offer(tree)]
        for offer in offers:
            reply = send(port, authority, offer)
            check(reply["accepted"], "%s was not accepted: %r" % (offer.name, reply))
            check(reply["closed"], "the connection of %s stayed open" % offer.name)
            copy.wait_for(line_pattern("Request", offer) + ": an auto-receive rule matches")
            target = os.path.join(incoming, offer.name)
            copy.wait_for(line_pattern("Accepted", offer) + ": saving as " + re.escape(target))
            copy.wait_for(line_pattern("Completed", offer) + ": saved as " + re.escape(target))
            source = os.path.join(sources, offer.name)
            if offer.dirs:
                check(tree_contents(target) == tree_contents(source),
                      "%s differs from what was sent" % target)
            else:
                with open(source, "rb") as a, open(target, "rb") as b:
                    check(a.read() == b.read(), "%s differs from what was sent" % target)
        check(not copy.matching(r"^(Refused|Failed):"),
              "unexpected lines:\n" + "\n".join(copy.lines))
        # What a service's journal shows: nothing about windows nobody sees, per request.
        noise = [line for line in copy.errors if "raise()" in line]
        check(not noise, "window noise on standard error:\n" + "\n".join(noise))
        check(os.listdir(os.path.join(home, "Temp")) == [], "temporary archives were left")
    finally:
        code = copy.stop()
    check(code == 0, "the second run ended with %r" % code)


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--program", required=True, help="the vantrel executable")
    arguments = parser.parse_args()
    with tempfile.TemporaryDirectory(prefix="vantrel-headless-") as work:
        try:
            run(os.path.abspath(arguments.program), work)
        except Failure as failure:
            print("FAILED:", failure, file=sys.stderr)
            return 1
    print("passed")
    return 0


if __name__ == "__main__":
    sys.exit(main())
