#!/usr/bin/env python3
"""Clients that keep a printer application's client threads busy while it
is stopped: WORKERS connections, each sending IPP requests back to back on
one kept-alive connection (Get-Printer-Attributes, Get-Jobs,
Get-Job-Attributes of job 1 in turn), IDLE connections that send one
request and then wait, and one client waiting for events (Get-Notifications
with notify-wait), as a monitoring client does.

Usage: ipp_clients.py PORT PRINTER READY_FILE [WORKERS [IDLE]]

READY_FILE is written once every client is under way (workers answered
ten times, the others once), or half a second after the first was,
whichever comes first: a client whose answer is late does not hold up the
round (nor do the busy ones fill the server's log meanwhile). The server
can then be stopped. Each client ends when its server goes away (the
connection closed or refused). The exit status is 0; the clients judge
nothing, the server's own end is what the test checks."""
import http.client
import os
import struct
import sys
import threading
import time

# IPP operations and value tags used here.
GET_JOBS = 0x000A
GET_PRINTER_ATTRIBUTES = 0x000B
GET_JOB_ATTRIBUTES = 0x0009
CREATE_PRINTER_SUBSCRIPTIONS = 0x0016
GET_NOTIFICATIONS = 0x001C
OPERATION_GROUP, SUBSCRIPTION_GROUP, END = 0x01, 0x06, 0x03
INTEGER, BOOLEAN, KEYWORD, URI, CHARSET, LANGUAGE, NAME = 0x21, 0x22, 0x44, 0x45, 0x47, 0x48, 0x42

# Requests each worker sends in turn: (operation, extra operation
# attributes).
WORKER_REQUESTS = [
    (GET_PRINTER_ATTRIBUTES, []),
    (GET_JOBS, [(KEYWORD, "which-jobs", b"all")]),
    (GET_JOB_ATTRIBUTES, [(INTEGER, "job-id", struct.pack(">i", 1))]),
]


def attribute(tag, name, value):
    return (struct.pack(">bH", tag, len(name)) + name.encode() + struct.pack(">H", len(value)) +
            value)


def request(operation, number, uri, extra, groups=b""):
    body = struct.pack(">bbHi", 2, 0, operation, number) + bytes([OPERATION_GROUP])
    body += attribute(CHARSET, "attributes-charset", b"utf-8")
    body += attribute(LANGUAGE, "attributes-natural-language", b"en")
    body += attribute(URI, "printer-uri", uri.encode())
    body += attribute(NAME, "requesting-user-name", b"monitor")
    for tag, name, value in extra:
        body += attribute(tag, name, value)
    return body + groups + bytes([END])


class Client:
    """One kept-alive connection to the printer's IPP address."""

    def __init__(self, port, printer):
        # An answer that does not come in 10 s ends the client (stderr says
        # so): the round then goes on without it.
        self.connection = http.client.HTTPConnection("127.0.0.1", port, timeout=10)
        self.path = "/ipp/print/" + printer
        self.uri = "ipp://localhost:%d%s" % (port, self.path)
        self.number = 0

    def send(self, operation, extra, groups=b""):
        """The answer's body; raises OSError or HTTPException once the
        server is gone."""
        self.number += 1
        self.connection.request("POST", self.path,
                                request(operation, self.number, self.uri, extra, groups),
                                {"Content-Type": "application/ipp"})
        return self.connection.getresponse().read()


def subscription_id(answer):
    """notify-subscription-id from a Create-Printer-Subscriptions answer."""
    name = b"notify-subscription-id"
    at = answer.find(struct.pack(">bH", INTEGER, len(name)) + name)
    if at < 0:
        return None
    at += 3 + len(name) + 2
    return struct.unpack(">i", answer[at:at + 4])[0]


class Answered:
    """Tells the main thread, once, that a client is under way (or could
    not be, which stderr says)."""

    def __init__(self, semaphore):
        self.semaphore = semaphore
        self.told = False

    def tell(self):
        if not self.told:
            self.told = True
            self.semaphore.release()


def until_gone(name, answered, action):
    try:
        action()
    except (OSError, http.client.HTTPException) as error:
        if not answered.told:
            print("ipp_clients: %s: %r before it was answered" % (name, error), file=sys.stderr)
    answered.tell()


def work(port, printer, answered):
    client = Client(port, printer)

    def loop():
        count = 0
        while True:
            operation, extra = WORKER_REQUESTS[count % len(WORKER_REQUESTS)]
            client.send(operation, extra)
            count += 1
            if count == 10:
                answered.tell()

    until_gone("worker", answered, loop)


def idle(port, printer, answered):
    client = Client(port, printer)

    def wait():
        client.send(GET_PRINTER_ATTRIBUTES, [])
        answered.tell()
        # The server ends the connection (or the test's end does).
        client.connection.sock.settimeout(None)
        client.connection.sock.recv(1)

    until_gone("idle client", answered, wait)


def wait_for_events(port, printer, answered):
    client = Client(port, printer)

    def wait():
        groups = bytes([SUBSCRIPTION_GROUP])
        groups += attribute(KEYWORD, "notify-pull-method", b"ippget")
        groups += attribute(KEYWORD, "notify-events", b"job-completed")
        number = subscription_id(client.send(CREATE_PRINTER_SUBSCRIPTIONS, [], groups))
        if number is None:
            print("ipp_clients: no subscription was made", file=sys.stderr)
            answered.tell()
            return
        answered.tell()
        # The server answers when an event comes, or after 30 s.
        client.connection.sock.settimeout(60)
        while True:
            client.send(GET_NOTIFICATIONS, [(INTEGER, "notify-subscription-ids",
                                             struct.pack(">i", number)),
                                            (BOOLEAN, "notify-wait", b"\x01")])

    until_gone("event client", answered, wait)


def main():
    port, printer, ready = int(sys.argv[1]), sys.argv[2], sys.argv[3]
    workers = int(sys.argv[4]) if len(sys.argv) > 4 else 6
    idlers = int(sys.argv[5]) if len(sys.argv) > 5 else 4
    answered = threading.Semaphore(0)
    threads = [threading.Thread(target=work, args=(port, printer, Answered(answered)))
               for _ in range(workers)]
    threads += [threading.Thread(target=idle, args=(port, printer, Answered(answered)))
                for _ in range(idlers)]
    threads.append(threading.Thread(target=wait_for_events,
                                    args=(port, printer, Answered(answered))))
    for thread in threads:
        thread.daemon = True
        thread.start()
    answered.acquire()
    deadline = time.monotonic() + 0.5
    for _ in threads[1:]:
        if not answered.acquire(timeout=max(0, deadline - time.monotonic())):
            print("ipp_clients: a client was not answered in time", file=sys.stderr)
            break
    with open(ready + ".part", "w") as marker:
        marker.write("ready\n")
    os.rename(ready + ".part", ready)
    for thread in threads:
        thread.join()


if __name__ == "__main__":
    main()
