#!/usr/bin/env python3
"""A printer on loopback for the printer application's tests: a raw socket
device (port 9100 style) that stores each connection's bytes in a file of
its own (DIR/conn-1, DIR/conn-2, ...), or closes a connection after
reading LIMIT bytes, as a device that dies mid-job does, or reads slowly,
PAUSE seconds between reads, as a busy device does. With PAUSE "hold" it
stops reading after LIMIT bytes, as a jammed device does: it listens no
more and keeps the connection open until it is killed. The sender's kernel
buffers fill and the job cannot end, however long the test takes to kill
the device, and no later job can connect to the dying device.
With DIR "-" it keeps nothing: a benchmark's device, reading as fast as it
can, for jobs larger than a test's tmpfs should hold."""
import os
import signal
import socket
import sys
import time


def main():
    port, folder = int(sys.argv[1]), sys.argv[2]
    limit = int(sys.argv[3]) if len(sys.argv) > 3 else -1
    hold = len(sys.argv) > 4 and sys.argv[4] == "hold"
    pause = float(sys.argv[4]) if len(sys.argv) > 4 and not hold else 0
    server = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    server.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    if hold:
        # A fixed receive buffer (connections inherit it) keeps the kernel
        # from growing it: what a jammed device takes stays small.
        server.setsockopt(socket.SOL_SOCKET, socket.SO_RCVBUF, 65536)
    server.bind(("127.0.0.1", port))
    # A job ends once its bytes are in the kernel's buffers, so the next
    # jobs connect while this listener still stores an earlier one: with a
    # short backlog their connections are dropped and retried a second
    # later, and the device, not the application, sets the pace.
    server.listen(64)
    count = 0
    buffer = bytearray(1 << 20)
    while True:
        connection, _ = server.accept()
        if folder == "-":
            while connection.recv_into(buffer):
                pass
            connection.close()
            continue
        count += 1
        path = os.path.join(folder, "conn-%d" % count)
        with open(path + ".part", "wb") as out:
            got = 0
            while limit < 0 or got < limit:
                data = connection.recv(65536 if limit < 0 else min(65536, limit - got))
                if not data:
                    break
                out.write(data)
                got += len(data)
                time.sleep(pause)
            if hold and 0 <= limit <= got:
                # Listening stops first: killed, the process would close
                # the connection (resetting it) and the listener in an
                # order of the kernel's, and the next job could connect in
                # between, only to be reset in turn.
                server.close()
                out.flush()
                while True:
                    signal.pause()
        # Closing with unread data resets the connection: the sender's next
        # write fails, as with a printer that was switched off.
        connection.close()
        os.rename(path + ".part", path)


if __name__ == "__main__":
    main()
