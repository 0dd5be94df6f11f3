#!/usr/bin/env python3
"""Writes the seed corpora of the fuzzing harnesses into fuzz/corpus/<harness>/.

A few valid inputs each, as the program writes them, and the edge cases a damaged file or a
hostile peer would bring. Run again after a record layout changes; files are rewritten."""
import hashlib
import io
import os
import stat
import struct
import subprocess
import sys
import tempfile
import zipfile

ROOT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "corpus")


def put(harness, name, data):
    folder = os.path.join(ROOT, harness)
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, name), "wb") as f:
        f.write(data)


def field(text, width):
    return text[:width].ljust(width, b"\0")


def request(kind=0, va=1, vb=4, nick=b"alice", name=b"report.pdf", comment=b"hi",
            dirs=0, files=1, total=1234, port=12666, raw=1):
    return (struct.pack("<iHH", kind, va, vb) + field(nick, 32) + field(name, 256)
            + field(comment, 256) + struct.pack("<IIIii", dirs, files, total, port, raw))


def reply(accepted=1, reason=0, offset=0, nick=b"bob", comment=b""):
    return struct.pack("<iiiI", 1, accepted, reason, offset) + field(nick, 32) + field(comment, 256)


def seeds_records():
    put("request", "file", request())
    put("request", "folder", request(name=b"photos", dirs=3, files=40, total=10 << 20, raw=0))
    put("request", "tunnel", request(kind=3, name=b"", comment=b""))
    put("request", "old-version", request(va=1, vb=3))
    put("request", "traversal", request(name=b"../../.ssh/authorized_keys"))
    put("request", "backslashes", request(name=b"..\\..\\x\\..", raw=0))
    put("request", "dots", request(name=b" .. "))
    put("request", "full-fields", request(nick=b"n" * 32, name=b"\xe2\x82\xac" * 86, comment=b"c" * 256))
    put("request", "invalid-utf8", request(nick=b"\xff\xfe", name=b"\xc0\xaf\xed\xa0\x80" * 51 + b"a", comment=b"\x80"))
    put("request", "hidden-chars", request(nick=b"\xe2\x80\xaeevil", name=b"gpj.\xe2\x80\xaeexe\x1b[2J"))

    put("reply", "accept", reply())
    put("reply", "resume", reply(offset=65536))
    put("reply", "refuse", reply(accepted=0, reason=2, comment=b"not now, thanks"))
    put("reply", "version-mismatch", reply(accepted=0, reason=1))
    put("reply", "short", reply()[:7])
    put("reply", "full-fields", reply(nick=b"\xf0\x9f\x98\x80" * 8, comment=b"\xff" * 256))

    put("dataheader", "raw", struct.pack("<iiI", 2, 1, 1234))
    put("dataheader", "archive", struct.pack("<iiI", 2, 0, 5000))
    put("dataheader", "extremes", struct.pack("<iiI", -1, 7, 0xFFFFFFFF))


def resume_record(rid, name, dirs=0, files=1, total=100):
    return struct.pack("<I", rid) + field(name, 256) + struct.pack("<III", dirs, files, total)


def seeds_stored():
    two = resume_record(1, b"movie.mkv", total=1 << 30) + resume_record(2, b"tree", 4, 9, 77)
    put("resumecache", "two", struct.pack("<II", 2, 2) + two)
    put("resumecache", "empty", struct.pack("<II", 0, 0))
    put("resumecache", "truncated", struct.pack("<II", 2, 2) + two[:300])
    put("resumecache", "count-too-large", struct.pack("<II", 0xFFFFFFFF, 7) + resume_record(7, b"x"))
    put("resumecache", "last-id-wraps", struct.pack("<II", 2, 0xFFFFFFFF)
        + resume_record(0, b"zero") + resume_record(1, b"one"))
    put("resumecache", "full-name", struct.pack("<II", 1, 3) + resume_record(3, b"\xe2\x82\xac" * 86, total=0))
    put("resumecache", "missing-archive", struct.pack("<II", 1, 9) + resume_record(9, b"gone"))

    def partial(name, dirs=2, files=5, total=4096, length=None):
        return (b"VNTPART1" + struct.pack("<IIII", dirs, files, total,
                                          len(name) if length is None else length) + name)
    put("partialrecord", "tree", partial(b"photos"))
    put("partialrecord", "full-name", partial(b"\xe2\x82\xac" * 85))
    put("partialrecord", "empty-name", partial(b""))
    put("partialrecord", "name-longer-than-said", partial(b"photos", length=3))
    put("partialrecord", "length-past-the-field", partial(b"x" * 300))
    put("partialrecord", "wrong-magic", b"VNTPART2" + partial(b"a")[8:])
    put("partialrecord", "cut-short", partial(b"photos")[:20])

    def rule(enabled, host, folder, limit):
        return struct.pack("<I", enabled) + field(host, 512) + field(folder, 512) + struct.pack("<i", limit)
    put("autoreceiverules", "two", struct.pack("<I", 2) + rule(1, b"192.168.1.5", b"/home/a/in", 0)
        + rule(0, b"laptop.local", b"/tmp", 200))
    put("autoreceiverules", "empty", struct.pack("<I", 0))
    put("autoreceiverules", "negative-limit", struct.pack("<I", 1) + rule(1, b"h", b"/", -5))
    put("autoreceiverules", "full-fields", struct.pack("<I", 1) + rule(1, b"h" * 512, b"\xff" * 512, 2**31 - 1))
    put("autoreceiverules", "count-too-large", struct.pack("<I", 9) + rule(2, b"", b"", 0)[:900])

    put("handoff", "path", b"/home/alice/report.pdf\0")
    put("handoff", "no-nul", b"/tmp/x y")
    put("handoff", "empty", b"")
    put("handoff", "long", b"/" + b"\xc3\xa9" * 300)
    put("handoff", "after-nul", b"/a\0/b\0")

    ini = (b"[General]\nServerPort=12666\nNickName=alice\nAutoUpdateCheck=0\n"
           b"SProgramPath=/opt/vantrel\nUpdateHost=updates.invalid\nUpdatePort=8080\n"
           b"[TunnelPolicies]\nTunPolicy=3\nAHost01=10.0.0.1\nAHost02=laptop\n"
           b"[DynDNS]\nRefreshTime=15\nHost01=me.dyn.invalid\n"
           b"[MRUHosts]\n00Entry=host:5000 (bob)\n01Entry=10.0.0.2 (carol)\n")
    desktop = b"[Desktop Entry]\nType=Application\nExec=/usr/bin/vantrel\n"
    put("settings", "typical", ini + b"\0" + desktop)
    put("settings", "odd-values", b"[General]\nServerPort=+99999\nNickName=\"a, b\"\nUpdatePort=-1\n"
        b"[TunnelPolicies]\nTunPolicy=7\nAHost01=\"x\\\"\\n\"\n[DynDNS]\nRefreshTime=-2147483648\n"
        b"\0[Other]\nExec=x\n[Desktop Entry]\nExec=  \n")
    put("settings", "empty", b"")
    put("settings", "broken", b"[Gen\n=\n\\\n[%General]\nServerPort\n@Variant(\\0\\0\\0\\x7f)\n")

    for name, text in [("plain", b"example.org"), ("port-nick", b"host.local:5000 (bob)"),
                       ("ipv6ish", b"[::1]:12666"), ("negative", b" a : -0 "),
                       ("wraps", b"h:99999999999"), ("tunnel", b"10.0.0.1 (x (y))"),
                       ("only-paren", b"("), ("utf8", b"h\xc3\xa9te:\xd9\xa3")]:
        put("hosttext", name, text)


def zip_bytes(entries, compression=zipfile.ZIP_DEFLATED):
    buf = io.BytesIO()
    with zipfile.ZipFile(buf, "w", compression) as z:
        for name, data, mode in entries:
            info = zipfile.ZipInfo(name, (2020, 1, 1, 0, 0, 0))
            info.compress_type = compression
            info.create_system = 3
            info.external_attr = mode << 16
            z.writestr(info, data)
    return buf.getvalue()


def seeds_zip():
    reg = stat.S_IFREG | 0o644
    folder = stat.S_IFDIR | 0o755
    # The first byte: 0x80 = single file, 0x40 = limit in 64 KiB steps (else 64 B), low bits = count.
    tree = zip_bytes([("a/", b"", folder), ("a/b.txt", b"hello\n" * 20, reg), ("c.txt", b"x", reg)])
    put("unzip", "tree", bytes([0x41]) + tree)
    put("unzip", "tree-over-limit", bytes([0x01]) + tree)
    put("unzip", "single", bytes([0xC1]) + zip_bytes([("only.bin", bytes(range(256)), reg)]))
    put("unzip", "single-stored", bytes([0xC1]) + zip_bytes([("s", b"stored", reg)], zipfile.ZIP_STORED))
    put("unzip", "traversal", bytes([0x41]) + zip_bytes([("../escape", b"x", reg), ("/abs", b"y", reg),
                                                         ("ok/../../up", b"z", reg)]))
    put("unzip", "symlink", bytes([0x41]) + zip_bytes([("link", b"/etc", stat.S_IFLNK | 0o777),
                                                       ("link/passwd", b"x", reg)]))
    put("unzip", "locked-folder", bytes([0x41]) + zip_bytes([("d/", b"", stat.S_IFDIR | 0o000),
                                                             ("d/f", b"data", reg)]))
    put("unzip", "not-an-archive", bytes([0x41]) + b"PK\x03\x04garbage")


def stored_single(data=b"stored bytes", name=b"f.bin", descriptor=True, host=3):
    """A single stored entry as the sending copy writes it: sizes in the local header, an
    extended timestamp, and (with flag bit 3) the CRC in a data descriptor."""
    import zlib
    crc = zlib.crc32(data)
    flags = 8 if descriptor else 0
    extra = struct.pack("<HHBI", 0x5455, 5, 1, 1600000000)
    local = struct.pack("<IHHHHHIIIHH", 0x04034b50, 10, flags, 0, 0, 0, 0 if descriptor else crc,
                        len(data), len(data), len(name), len(extra)) + name + extra
    tail = struct.pack("<IIII", 0x08074b50, crc, len(data), len(data)) if descriptor else b""
    offset = len(local) + len(data) + len(tail)
    central = struct.pack("<IHHHHHHIIIHHHHHII", 0x02014b50, (host << 8) | 10, 10, flags, 0, 0, 0,
                          crc, len(data), len(data), len(name), len(extra), 0, 0, 0,
                          (stat.S_IFREG | 0o644) << 16, 0) + name + extra
    end = struct.pack("<IHHHHIIH", 0x06054b50, 0, 0, 1, 1, len(central), offset, 0)
    return local + data + tail + central + end


def seeds_storedentry():
    # The first byte: the size of the pieces the stream comes in, less one.
    put("storedentry", "descriptor", bytes([0]) + stored_single())
    put("storedentry", "no-descriptor", bytes([7]) + stored_single(descriptor=False))
    put("storedentry", "empty-file", bytes([3]) + stored_single(data=b""))
    put("storedentry", "not-unix", bytes([255]) + stored_single(host=0))
    put("storedentry", "deflated", bytes([1]) + zip_bytes([("d", b"x" * 100, stat.S_IFREG | 0o644)]))


def component_zip(tool, files, folders=()):
    """The archive the compression component writes for a tree (its zip operation, through
    zipbridge_tool): entries and times fixed, so that the seeds stay the same."""
    with tempfile.TemporaryDirectory() as work:
        tree = os.path.join(work, "tree")
        os.makedirs(tree)
        for folder in folders:
            os.makedirs(os.path.join(tree, folder), exist_ok=True)
        for name, data in files:
            path = os.path.join(tree, name)
            os.makedirs(os.path.dirname(path), exist_ok=True)
            with open(path, "wb") as f:
                f.write(data)
        for top, dirs, names in os.walk(tree):
            for entry in dirs + names:
                os.utime(os.path.join(top, entry), (1700000000, 1700000000))
        archive = os.path.join(work, "tree.zip")
        subprocess.run([tool, "zip", tree, archive], check=True)
        with open(archive, "rb") as f:
            return f.read()


def seeds_unzipstreaming(tool):
    # The first byte: bit 7 the archive arrives in pieces (the second byte gives their size),
    # bit 6 and the low six bits the limit as for the unzip harness.
    noise = b"".join(hashlib.sha256(bytes([i])).digest() for i in range(48))  # stored
    text = b"log line with some words in it\n" * 60             # deflated
    tree = component_zip(tool, [("stored.bin", noise), ("docs/text.log", text), ("docs/empty", b"")],
                         folders=["docs/inner"])
    put("unzipstreaming", "tree-whole", bytes([0x41, 0]) + tree)
    put("unzipstreaming", "tree-pieces", bytes([0xC1, 3]) + tree)
    put("unzipstreaming", "tree-over-limit", bytes([0x81, 0]) + tree)
    put("unzipstreaming", "folders-only", bytes([0x41, 1]) + component_zip(tool, [], ["a/b", "c"]))
    put("unzipstreaming", "cut-short", bytes([0xC1, 0]) + tree[: len(tree) // 2])


if __name__ == "__main__":
    seeds_records()
    seeds_stored()
    seeds_zip()
    seeds_storedentry()
    # The streaming extraction's seeds come from the component's own writer:
    # makecorpus.py [build/zipbridge_tool].
    if len(sys.argv) > 1:
        seeds_unzipstreaming(sys.argv[1])
