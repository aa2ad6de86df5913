#!/usr/bin/env python3
"""What a device received, connection by connection, against the jobs sent:
each connection carries the commands of one job, then that job's document
whole and nothing after it; the commands name the job's own user and
client; every document arrives exactly once.

Usage: check_connections.py TOOL DEVICE_DIR DOCS_DIR MANIFEST
MANIFEST lines: DOCUMENT USER ORIGIN ("local" or the client's address).
Prints one line per problem; a summary goes to standard error."""
import json
import os
import re
import subprocess
import sys
import tempfile

MARK = b"RKLOAD "
LOCAL_CLIENT = "RKVTPS-APP"


def read_manifest(path):
    jobs = {}
    with open(path) as manifest:
        for line in manifest:
            document, user, origin = line.split()
            jobs[document] = (user, origin)
    return jobs


def stray_bytes(header, commands):
    """What HEADER holds besides its commands, each ended by a line end:
    the decoder reads commands and skips whatever lies between them."""
    stray, at, ends = [], 0, (b"",)
    for command in sorted(commands, key=lambda c: c["offset"]):
        if header[at:command["offset"]] not in ends:
            stray.append(header[at:command["offset"]])
        at = command["offset"] + len(bytes.fromhex(command["command_hex"]))
        ends = (b"\n", b"\r\n")
    if header[at:] not in ends:
        stray.append(header[at:])
    return stray


def decode(tool, header):
    """The commands in HEADER as `rkvtps decode --strict --json` reads
    them, or None with the reason when they do not decode strictly or
    something else lies between them."""
    with tempfile.NamedTemporaryFile(suffix=".header") as out:
        out.write(header)
        out.flush()
        run = subprocess.run([tool, "decode", "--strict", "--json", "--file", out.name],
                             capture_output=True, check=False)
    try:
        report = json.loads(run.stdout)
    except ValueError:
        return None, run.stderr.decode(errors="backslashreplace").strip()[:200]
    errors = ["%s: %s" % (c["name"], c["error"]) for c in report["commands"] if not c["ok"]]
    if run.returncode != 0 or report["ignored"] or errors:
        return None, "%d ignored; %s" % (report["ignored"], "; ".join(errors)[:300])
    stray = stray_bytes(header, report["commands"])
    if stray:
        return None, "bytes outside the commands: %r" % stray[:3]
    return report["commands"], None


def values(commands, name, key):
    return [command.get(key) for command in commands if command["name"] == name]


def check_commands(commands, user, origin):
    """The problems with one job's commands, against its user and origin."""
    problems = []
    owners = values(commands, "JOAU", "owner")
    if owners != [user]:
        problems.append("owners %s, not [%r]" % (owners, user))
    client = LOCAL_CLIENT if origin == "local" else origin
    clients = values(commands, "CNAM", "client_name")
    if clients != [client]:
        problems.append("clients %s, not [%r]" % (clients, client))
    if origin != "local" and values(commands, "HOAD", "address") != [origin]:
        problems.append("host addresses %s, not [%r]" % (values(commands, "HOAD", "address"), origin))
    if len(values(commands, "NLPP", "keyword")) != 1:
        problems.append("%d n-up commands" % len(values(commands, "NLPP", "keyword")))
    return problems


def documents_in(data):
    """The names of the documents in DATA, from the line that opens each."""
    names = []
    start = data.find(MARK)
    while start >= 0:
        end = data.find(b"\n", start)
        names.append(data[start + len(MARK):end].decode(errors="backslashreplace"))
        start = data.find(MARK, end)
    return names


def read_connection(path, name, docs, jobs, seen):
    """One connection's bytes, NAME in what it says: its document, the
    header in front of it and the problems with the document; the document
    is None when the connection holds not exactly one job sent. Counts its
    documents."""
    with open(path, "rb") as capture:
        data = capture.read()
    documents = documents_in(data)
    for document in documents:
        seen[document] = seen.get(document, 0) + 1
    if not documents:
        return None, None, ["%s: %d bytes and no document" % (name, len(data))]
    if len(documents) > 1:
        return None, None, ["%s: %d documents on one connection (%s)" % (
            name, len(documents), ", ".join(documents[:5] + ["..."][:len(documents) - 5]))]
    document = documents[0]
    if document not in jobs:
        return None, None, ["%s: a document nobody sent (%r)" % (name, document)]
    start = data.find(MARK)
    problems = []
    with open(os.path.join(docs, document), "rb") as sent:
        if data[start:] != sent.read():
            problems.append("%s: %s is not whole after its commands" % (name, document))
    return document, data[:start], problems


def check_connection(tool, path, docs, jobs, seen):
    """The problems with one connection's bytes; counts its documents."""
    name = os.path.basename(path)
    document, header, problems = read_connection(path, name, docs, jobs, seen)
    if document is None:
        return problems
    commands, why = decode(tool, header)
    if commands is None:
        return problems + ["%s: the commands of %s do not decode: %s" % (name, document, why)]
    user, origin = jobs[document]
    return problems + ["%s: %s from %s: %s" % (name, document, user, problem)
                       for problem in check_commands(commands, user, origin)]


def connection_number(name):
    return int(re.sub(r"\D", "", name) or 0)


def main():
    tool, device, docs, manifest = sys.argv[1:5]
    jobs = read_manifest(manifest)
    seen = {}
    names = sorted(os.listdir(device), key=connection_number)
    problems = ["%s: still open" % name for name in names if name.endswith(".part")]
    connections = [name for name in names if re.fullmatch(r"conn-\d+", name)]
    clean = 0
    for name in connections:
        found = check_connection(tool, os.path.join(device, name), docs, jobs, seen)
        clean += not found
        problems += found
    for document in sorted(jobs):
        count = seen.get(document, 0)
        if count != 1:
            problems.append("%s from %s reached the device %d times" %
                            (document, jobs[document][0], count))
    # The first ones tell what went wrong; a run where everything did would
    # bury them.
    for problem in problems[:30]:
        print(problem)
    if len(problems) > 30:
        print("and %d more problems" % (len(problems) - 30))
    once = sum(1 for document in jobs if seen.get(document) == 1)
    sys.stderr.write("%d connections, %d of them one whole job after its own commands; "
                     "%d of %d documents arrived once\n" % (len(connections), clean, once, len(jobs)))


if __name__ == "__main__":
    main()
