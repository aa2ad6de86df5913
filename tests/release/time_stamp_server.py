#!/usr/bin/python3
"""A minimal RFC 3161 time-stamping server for the signing test: it answers
each POSTed TimeStampReq with `openssl ts -reply`, signed by the throwaway
time-stamping certificate. Loopback only; it writes the port it got to
PORT_FILE once it listens, and serves until it is stopped.

Usage: time_stamp_server.py OPENSSL_TS_CONFIG PORT_FILE"""
import http.server
import subprocess
import sys
import tempfile

MAX_REQUEST = 64 * 1024  # a request is a digest and a few fields


class Handler(http.server.BaseHTTPRequestHandler):
    def do_POST(self):
        length = int(self.headers.get("Content-Length", "0"))
        if not 0 < length <= MAX_REQUEST:
            self.send_error(400, "a time-stamp request of 1 to 65536 bytes is expected")
            return
        with tempfile.NamedTemporaryFile() as query:
            query.write(self.rfile.read(length))
            query.flush()
            reply = subprocess.run(
                ["openssl", "ts", "-reply", "-config", sys.argv[1], "-queryfile", query.name,
                 "-out", "/dev/stdout"], capture_output=True, timeout=30)
        if reply.returncode != 0:
            self.send_error(500, reply.stderr.decode(errors="replace")[:200])
            return
        self.send_response(200)
        self.send_header("Content-Type", "application/timestamp-reply")
        self.send_header("Content-Length", str(len(reply.stdout)))
        self.end_headers()
        self.wfile.write(reply.stdout)

    def log_message(self, *args):
        pass


def main():
    server = http.server.HTTPServer(("127.0.0.1", 0), Handler)
    with open(sys.argv[2], "w") as port_file:
        port_file.write(str(server.server_address[1]))
    server.serve_forever()


if __name__ == "__main__":
    main()
