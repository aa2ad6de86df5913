#!/usr/bin/env python3
"""The round trip's other reader: every header the round-trip fuzzer wrote
(RK_ROUNDTRIP_EMIT) must read back through `rkvtps decode --strict --json`,
the program a user has, as exactly what the compositions reported they
carried. Usage: roundtrip_tool.py RKVTPS FOLDER"""
import json
import pathlib
import subprocess
import sys

BATCH = 400  # files a run, well inside any argument limit


def actual_lines(command):
    """One command of the tool's JSON, in the fuzzer's expectation form."""
    name = command["name"]
    if name == "JOAU":
        carried = command["owner_hex"] + command.get("address_part", "").encode().hex().upper()
        tag = command.get("tag", "\0").encode("latin-1").hex().upper()
        return f"JOAU {carried} {tag}"
    if name == "CNAM":
        return f"CNAM {command['client_name_hex']}"
    if name == "HOAD":
        return f"HOAD {command['family']} {command['address']}"
    if name == "NLPP":
        return f"NLPP {command['keyword']} {command['selector']}"
    return f"{name} (not composed by the library)"


def check_batch(rkvtps, headers):
    args = [rkvtps, "decode", "--strict", "--json"]
    for header in headers:
        args += ["--file", str(header)]
    run = subprocess.run(args, capture_output=True, timeout=120)
    problems = []
    if run.returncode != 0:
        problems.append(f"rkvtps exited {run.returncode}: {run.stderr.decode(errors='replace')[:2000]}")
    found = {str(h): [] for h in headers}
    for command in json.loads(run.stdout)["commands"]:
        if not command["ok"]:
            problems.append(f"{command['source']}: {command['error']}")
            continue
        found[command["source"]].append(actual_lines(command))
    for header in headers:
        expected = header.with_suffix(".expected").read_text().splitlines()
        if found[str(header)] != expected:
            problems.append(f"{header}: expected {expected}, rkvtps read {found[str(header)]}")
    return problems


def main():
    rkvtps, folder = sys.argv[1], pathlib.Path(sys.argv[2])
    headers = sorted(folder.glob("*.header"), key=lambda p: int(p.stem))
    if not headers:
        print(f"round trip through rkvtps: no header in {folder}", file=sys.stderr)
        return 1
    problems = []
    for start in range(0, len(headers), BATCH):
        problems += check_batch(rkvtps, headers[start:start + BATCH])
    for problem in problems[:20]:
        print(problem, file=sys.stderr)
    print(f"round trip through rkvtps decode --strict: {len(headers)} headers, "
          f"{len(problems)} problem(s)")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
