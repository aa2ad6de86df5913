#!/usr/bin/env python3
"""check_connections.py against captures made up for the purpose: a clean
device passes; each way a device's connections can go wrong (documents
doubled, appended, cut, missing, headers interleaved, the wrong owner or
client, stray bytes, a malformed command, a connection left open) is
named.

Usage: check_connections_test.py TOOL"""
import os
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
REMOTE = "192.0.2.20"


def header(user, client, address=b"IC0000214"):
    return b"@JOAU=@%s\n@CNAM=%s\n@HOAD=%s\n@NLPP=1\n" % (user.encode(), client.encode(), address)


ANN = header("ann", "RKVTPS-APP")
BOB = header("bob", REMOTE)
DOCS = {"a": b"RKLOAD a\n\x00\x01binary", "b": b"RKLOAD b\n" + bytes(range(256))}
MANIFEST = "a ann local\nb bob %s\n" % REMOTE

# name | connections (file name, bytes) | what the problems must say ("" for none)
CASES = [
    ("clean", [("conn-1", ANN + DOCS["a"]), ("conn-2", BOB + DOCS["b"])], ""),
    ("doubled", [("conn-1", ANN + DOCS["a"]), ("conn-2", BOB + DOCS["b"]),
                 ("conn-3", ANN + DOCS["a"])], "a from ann reached the device 2 times"),
    ("appended", [("conn-1", ANN + DOCS["a"] + BOB + DOCS["b"])],
     "2 documents on one connection"),
    ("cut", [("conn-1", ANN + DOCS["a"][:-2]), ("conn-2", BOB + DOCS["b"])],
     "a is not whole"),
    ("missing", [("conn-1", ANN + DOCS["a"])], "b from bob reached the device 0 times"),
    ("interleaved", [("conn-1", ANN + BOB + DOCS["a"]), ("conn-2", BOB + DOCS["b"])],
     "a second JOAU command in one header"),
    ("wrong owner", [("conn-1", BOB + DOCS["a"]), ("conn-2", BOB + DOCS["b"])],
     "owners ['bob'], not ['ann']"),
    ("lost client", [("conn-1", ANN + DOCS["a"]),
                     ("conn-2", header("bob", "UnknownHost") + DOCS["b"])],
     "clients ['UnknownHost'], not ['192.0.2.20']"),
    ("empty", [("conn-1", ANN + DOCS["a"]), ("conn-2", BOB + DOCS["b"]), ("conn-3", b"")],
     "conn-3: 0 bytes and no document"),
    ("open", [("conn-1", ANN + DOCS["a"]), ("conn-2", BOB + DOCS["b"]), ("conn-3.part", b"")],
     "conn-3.part: still open"),
    ("stray byte", [("conn-1", ANN + b"\x01" + DOCS["a"]), ("conn-2", BOB + DOCS["b"])],
     "bytes outside the commands"),
    ("leading bytes", [("conn-1", b"%!\n" + ANN + DOCS["a"]), ("conn-2", BOB + DOCS["b"])],
     "bytes outside the commands: [b'%!\\n']"),
    ("escape in owner", [("conn-1", header("a\x1bnn", "RKVTPS-APP") + DOCS["a"]),
                         ("conn-2", BOB + DOCS["b"])], "the commands of a do not decode"),
]


def run_case(tool, connections):
    with tempfile.TemporaryDirectory() as folder:
        device, docs = os.path.join(folder, "device"), os.path.join(folder, "docs")
        os.mkdir(device)
        os.mkdir(docs)
        for name, data in DOCS.items():
            with open(os.path.join(docs, name), "wb") as out:
                out.write(data)
        for name, data in connections:
            with open(os.path.join(device, name), "wb") as out:
                out.write(data)
        manifest = os.path.join(folder, "manifest")
        with open(manifest, "w") as out:
            out.write(MANIFEST)
        run = subprocess.run([sys.executable, os.path.join(HERE, "check_connections.py"), tool,
                              device, docs, manifest], capture_output=True, text=True, check=True)
        return run.stdout


def main():
    failures = 0
    for name, connections, expected in CASES:
        problems = run_case(sys.argv[1], connections)
        if (expected and expected not in problems) or (not expected and problems):
            print("FAIL: %s: expected %r, got %r" % (name, expected or "no problem", problems))
            failures += 1
    print("%d of %d cases as expected" % (len(CASES) - failures, len(CASES)))
    sys.exit(1 if failures else 0)


if __name__ == "__main__":
    main()
