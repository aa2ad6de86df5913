#!/usr/bin/env python3
"""What printers with different code pages received, connection by
connection, against the header each printer's settings give for each job's
user.

The expected header is the rkvtps tool's, run with the printer's code page
in its own environment (RKVTPS32_ACP) and the printer's settings: a process
of its own, so a code page that leaks from one printer to another in the
application shows as a header that differs. Each distinct header is also
decoded strictly, and for a user name written in the printer's code page
its owner bytes are compared with Python's own encoding of the name in
that code page: whole, or cut at the code type's limit without splitting a
double-byte character. (For other names the code pages' own tables differ
on what has a form, so the tool's bytes alone decide.)

Usage: code_pages_check.py TOOL PRINTERS USERS DEVICES DOCS MANIFEST
PRINTERS lines: NAME|CODE_PAGE|CODE_TYPE|MASK|TAG_COLUMN|TAG_ROW|SEPARATOR|COMMANDS
USERS lines: NAME CODE_PAGES, a UTF-8 user name and the code pages it is
written in ("874,932" or "*" for all). DEVICES/NAME/conn-N: printer NAME's
connections; DOCS: the documents sent. MANIFEST lines: DOCUMENT USER
ORIGIN, DOCUMENT "NAME-jN".
Prints one line per problem; the per-printer counts go to standard error."""
import functools
import json
import os
import re
import subprocess
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from check_connections import decode, read_connection, read_manifest  # noqa: E402

SEPARATORS = {"LF": b"\n", "CRLF": b"\r\n", "None": b""}
# Owner bytes each code type carries.
BYTE_LIMITS = {1: 31, 2: 24, 3: 24, 4: 15, 5: 63}
SUBSTITUTE = b"UnknownUser"


class Printer:
    def __init__(self, line):
        fields = line.rstrip("\n").split("|")
        self.name = fields[0]
        self.code_page, self.code_type, self.mask = (int(f, 0) for f in fields[1:4])
        self.tag_column, self.tag_row = fields[4:6]
        self.separator = SEPARATORS[fields[6]]
        self.commands = fields[7].split("-")


@functools.lru_cache(maxsize=None)
def tool_command(tool, code_page, arguments):
    """The command the tool makes under CODE_PAGE with the ARGUMENTS tuple,
    or None when the library gave none."""
    env = dict(os.environ, RKVTPS32_ACP=str(code_page))
    run = subprocess.run([tool, *arguments, "--json", "--size", "256"], env=env,
                         capture_output=True, check=False)
    try:
        answer = json.loads(run.stdout)
    except ValueError:
        return None
    if run.returncode != 0 or not answer.get("command_hex"):
        return None
    return bytes.fromhex(answer["command_hex"])


def owner_command(tool, printer, user, code_page):
    """The owner command the printer's settings give USER in CODE_PAGE."""
    return tool_command(tool, code_page, (
        "owner", "--wide", user, "--code-type", str(printer.code_type), "--mask",
        str(printer.mask), "--tag-column", printer.tag_column, "--tag-row", printer.tag_row))


def expected_headers(tool, printer, users):
    """The header the printer's settings give each user."""
    fixed = {
        "CNAM": tool_command(tool, printer.code_page, (
            "client-name", "--code-type", str(printer.code_type), "--mask", str(printer.mask))),
        "HOAD": tool_command(tool, printer.code_page, ("host-address",)),
        "NLPP": tool_command(tool, printer.code_page, ("nup", "0")),
    }
    headers = {}
    for user in users:
        owner = owner_command(tool, printer, user, printer.code_page)
        header = b""
        for name in printer.commands:
            command = owner if name == "JOAU" else fixed[name]
            if command is not None:
                header += command + printer.separator
        headers[user] = header
    return headers


def owner_cut(user, codec, limit):
    """The bytes of USER in CODEC a command of LIMIT bytes carries: whole
    characters, as many as fit; None when the code page lacks one."""
    carried = b""
    for character in user:
        try:
            encoded = character.encode(codec)
        except UnicodeEncodeError:
            return None
        if len(carried) + len(encoded) > limit:
            break
        carried += encoded
    return carried


def judge_owner(printer, user, native, commands):
    """How the owner went out ("whole", "cut", "double-byte cut",
    "refused", "foreign" for a name in another code page) and the problem,
    if any, with it."""
    owners = [c for c in commands if c["name"] == "JOAU"]
    if "JOAU" not in printer.commands:
        return "none", ("an owner command the settings leave out" if owners else None)
    if len(owners) != 1:
        return "none", "%d owner commands" % len(owners)
    carried = bytes.fromhex(owners[0]["owner_hex"])
    if carried == SUBSTITUTE and user.encode() != SUBSTITUTE:
        return "refused", None
    if native is not None and printer.code_page not in native:
        return "foreign", None
    limit = BYTE_LIMITS[printer.code_type]
    expected = owner_cut(user, "cp%d" % printer.code_page, limit)
    if expected is None:
        return "wrong", "%r has no form in code page %d" % (user, printer.code_page)
    if carried != expected:
        return "wrong", "owner %s, but %r in code page %d is %s" % (
            carried.hex(), user, printer.code_page, expected.hex())
    whole = len(user.encode("cp%d" % printer.code_page))
    if len(carried) == whole:
        return "whole", None
    return ("double-byte cut" if len(carried) < limit else "cut"), None


def printer_of(document):
    return document.rsplit("-", 1)[0]


def check_connection(path, printer, jobs, headers, docs, seen, distinct):
    """The problems with one connection of PRINTER; counts its document and
    keeps its header by user for the strict decoding."""
    name = "%s/%s" % (printer.name, os.path.basename(path))
    document, header, problems = read_connection(path, name, docs, jobs, seen)
    if document is None:
        return problems
    if printer_of(document) != printer.name:
        return problems + ["%s: %r, a job sent to another printer" % (name, document)]
    user = jobs[document][0]
    if header != headers[user]:
        problems.append("%s: %s from %r: header %r, expected %r" %
                        (name, document, user, header[:120], headers[user][:120]))
    distinct.setdefault(user, header)
    return problems


def users_telling(tool, printer, users, code_pages):
    """How many USERS get an owner command from PRINTER that the other
    CODE_PAGES would not give: only those show a code page that leaks in
    from another printer."""
    telling = 0
    for user in users:
        own = owner_command(tool, printer, user, printer.code_page)
        others = [owner_command(tool, printer, user, c) for c in code_pages if c != printer.code_page]
        telling += own not in others
    return telling


def check_printer(tool, printer, users, devices, docs, jobs):
    """The problems with what PRINTER received, and its summary line."""
    headers = expected_headers(tool, printer, users)
    folder = os.path.join(devices, printer.name)
    names = sorted(os.listdir(folder), key=lambda n: int(re.sub(r"\D", "", n) or 0))
    problems = ["%s/%s: still open" % (printer.name, n) for n in names if n.endswith(".part")]
    connections = [n for n in names if re.fullmatch(r"conn-\d+", n)]
    seen, distinct = {}, {}
    for name in connections:
        problems += check_connection(os.path.join(folder, name), printer, jobs, headers, docs,
                                     seen, distinct)
    mine = [d for d in jobs if printer_of(d) == printer.name]
    for document in mine:
        if seen.get(document, 0) != 1:
            problems.append("%s: %s reached the device %d times" %
                            (printer.name, document, seen.get(document, 0)))
    owners = {}
    for user, header in distinct.items():
        commands, why = decode(tool, header)
        if commands is None:
            problems.append("%s: the header for %r does not decode: %s" % (printer.name, user, why))
            continue
        how, problem = judge_owner(printer, user, users[user], commands)
        owners[how] = owners.get(how, 0) + 1
        if problem:
            problems.append("%s: %r: %s" % (printer.name, user, problem))
    once = sum(1 for d in mine if seen.get(d) == 1)
    summary = "%s (code page %d, code type %d): %d connections, %d of %d documents once; " \
              "owners of %d users: %s" % (
                  printer.name, printer.code_page, printer.code_type, len(connections), once,
                  len(mine), len(distinct), ", ".join("%s %d" % i for i in sorted(owners.items())))
    return problems, summary


def main():
    tool, printers_file, users_file, devices, docs, manifest = sys.argv[1:7]
    with open(printers_file) as lines:
        printers = [Printer(line) for line in lines if line.strip()]
    users = {}
    with open(users_file, encoding="utf-8") as lines:
        for line in lines:
            name, native = line.split()
            users[name] = None if native == "*" else {int(c) for c in native.split(",")}
    jobs = read_manifest(manifest)
    code_pages = [printer.code_page for printer in printers]
    problems = []
    for printer in printers:
        found, summary = check_printer(tool, printer, users, devices, docs, jobs)
        problems += found
        # A printer whose users all get the same owner under any code page
        # would not show one that leaks in.
        telling = users_telling(tool, printer, users, code_pages)
        sys.stderr.write("%s; %d of %d users' owners differ from every other code page's\n" %
                         (summary, telling, len(users)))
        if telling == 0:
            problems.append("%s: no user's owner tells its code page from the others" %
                            printer.name)
    for problem in problems[:30]:
        print(problem)
    if len(problems) > 30:
        print("and %d more problems" % (len(problems) - 30))


if __name__ == "__main__":
    main()
