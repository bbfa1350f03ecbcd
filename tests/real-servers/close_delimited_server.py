#!/usr/bin/env python3
"""Serves the files of one folder over HTTP/1.0 as an old server would: no
Content-Length, the body ends when the server closes the connection. Ranges
are ignored. Listens on 127.0.0.1 and, when asked, on [::1], on one port.
    close_delimited_server.py FOLDER PORT [--ipv6]
"""
import http.server
import os
import socket
import sys
import threading


class CloseDelimited(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.0"
    folder = "."

    def send_file(self, with_body):
        name = os.path.normpath(self.path.split("?", 1)[0]).lstrip("/")
        path = os.path.join(self.folder, name)
        if name.startswith("..") or not os.path.isfile(path):
            self.send_error(404)
            return
        self.send_response(200)
        self.send_header("Content-Type", "application/octet-stream")
        self.send_header("Last-Modified", self.date_time_string(int(os.path.getmtime(path))))
        self.send_header("Connection", "close")
        self.end_headers()
        if with_body:
            with open(path, "rb") as f:
                while chunk := f.read(65536):
                    self.wfile.write(chunk)
        self.close_connection = True

    def do_GET(self):
        self.send_file(True)

    def do_HEAD(self):
        self.send_file(False)

    def log_message(self, format, *args):
        sys.stderr.write("%s %s\n" % (self.address_string(), format % args))


class Server6(http.server.ThreadingHTTPServer):
    address_family = socket.AF_INET6


def main():
    folder, port = sys.argv[1], int(sys.argv[2])
    CloseDelimited.folder = folder
    servers = [http.server.ThreadingHTTPServer(("127.0.0.1", port), CloseDelimited)]
    if "--ipv6" in sys.argv[3:]:
        servers.append(Server6(("::1", port), CloseDelimited))
    for server in servers[1:]:
        threading.Thread(target=server.serve_forever, daemon=True).start()
    servers[0].serve_forever()


if __name__ == "__main__":
    main()
