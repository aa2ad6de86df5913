#!/usr/bin/env python3
"""Crawls the printer application's web interface: from each client address
and in each language (and with none), every page reachable from the seeds by
same-server links, GET only. Each answer must be a whole HTTP response with
a status below 500; the labels of the printer's own settings are checked on
its printing-defaults page.

Usage: web_crawl.py PORT PRINTER [LIMIT]   (LIMIT: pages a crawl, 150)
Prints one line a failure and a summary; exits 1 on any failure."""
import http.client
import re
import sys
import urllib.parse

# The languages PAPPL 1.3.1 builds in (pappl/loc.c), and no Accept-Language.
LANGUAGES = [None, "de", "en", "es", "fr", "it", "ja", "nb-NO", "pl", "tr"]
# 127.0.0.1: a local client; 192.0.2.20: a remote one (not loopback).
ADDRESSES = ["127.0.0.1", "192.0.2.20"]
SYSTEM_PAGES = ["/", "/addprinter", "/config", "/network", "/security", "/logs", "/logging",
                "/logfile.txt", "/tls-install-crt", "/tls-new-crt", "/tls-new-csr"]
PRINTER_PAGES = ["", "/", "/config", "/media", "/printing", "/supplies", "/jobs", "/delete",
                 "/cancelall"]
HREF = re.compile(r'href="([^"]*)"', re.IGNORECASE)

# language | page label (a <th>) for rkvtps-owner-code-type
LABELS = [("en", "Owner code type"), ("de", "Codetyp des Besitzers"),
          (None, "Owner code type")]


class ServerGone(Exception):
    pass


def fetch(address, port, path, language):
    """(status, body) of GET path from address; raises on an incomplete or
    missing response."""
    connection = http.client.HTTPConnection(address, port, timeout=20,
                                            source_address=(address, 0))
    headers = {"Connection": "close"}
    if language:
        headers["Accept-Language"] = language
    try:
        connection.request("GET", path, headers=headers)
        response = connection.getresponse()
        body = response.read()
        return response.status, body.decode("utf-8", "replace")
    except ConnectionRefusedError as error:
        raise ServerGone(str(error)) from error
    finally:
        connection.close()


def links(base, body, port):
    """The same-server paths the page links to."""
    found = []
    for href in HREF.findall(body):
        url = urllib.parse.urljoin(base, href.replace("&amp;", "&"))
        parts = urllib.parse.urlsplit(url)
        if parts.scheme not in ("", "http") or not parts.path.startswith("/"):
            continue
        if parts.hostname not in (None, "127.0.0.1", "192.0.2.20", "localhost") or \
                (parts.port not in (None, port)):
            continue
        found.append(parts.path + ("?" + parts.query if parts.query else ""))
    return found


def crawl(address, port, language, seeds, limit, failures, statuses):
    queue, seen, count = list(seeds), set(), 0
    while queue and count < limit:
        path = queue.pop(0)
        if path in seen:
            continue
        seen.add(path)
        count += 1
        statuses["pages"] = statuses.get("pages", 0) + 1
        where = "%s %s (Accept-Language %s)" % (address, path, language or "none")
        try:
            status, body = fetch(address, port, path, language)
        except ServerGone as error:
            failures.append("%s: the server is gone (%s)" % (where, error))
            raise
        except (http.client.HTTPException, OSError) as error:
            failures.append("%s: no complete response (%s: %s)" %
                            (where, type(error).__name__, error))
            continue
        key = "%s %d" % (address, status)  # answers by address and status
        statuses[key] = statuses.get(key, 0) + 1
        if status >= 500:
            failures.append("%s: status %d" % (where, status))
        if status == 200:
            base = "http://%s:%d%s" % (address, port, path)
            queue.extend(link for link in links(base, body, port) if link not in seen)


def check_labels(port, printer, failures):
    """The printer's settings carry their labels, not their raw names."""
    for language, label in LABELS:
        where = "/%s/printing (Accept-Language %s)" % (printer, language or "none")
        try:
            status, body = fetch("127.0.0.1", port, "/%s/printing" % printer, language)
        except (http.client.HTTPException, OSError) as error:
            failures.append("%s: no complete response (%s)" % (where, error))
            continue
        if status != 200:
            failures.append("%s: status %d" % (where, status))
            continue
        if "<th>%s:</th>" % label not in body:
            failures.append("%s: no label \"%s\"" % (where, label))
        if "<th>rkvtps-owner-code-type:</th>" in body:
            failures.append("%s: a setting is labelled by its raw name" % where)


def main():
    port, printer = int(sys.argv[1]), sys.argv[2]
    limit = int(sys.argv[3]) if len(sys.argv) > 3 else 150
    seeds = SYSTEM_PAGES + ["/%s%s" % (printer, page) for page in PRINTER_PAGES]
    failures, statuses = [], {}
    try:
        for address in ADDRESSES:
            for language in LANGUAGES:
                crawl(address, port, language, seeds, limit, failures, statuses)
        check_labels(port, printer, failures)
    except ServerGone:
        pass
    for failure in failures:
        print("FAIL: " + failure)
    pages = statuses.pop("pages", 0)
    print("answers (address, status: count): " +
          ", ".join("%s: %d" % item for item in sorted(statuses.items())))
    print("web crawl: %d pages from %d addresses in %d languages, %d failures" %
          (pages, len(ADDRESSES), len(LANGUAGES), len(failures)))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
