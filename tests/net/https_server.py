#!/usr/bin/env python3
"""Web servers on loopback for the download tests: https with a good, an expired and a
wrongly named certificate, and plain http, all with the same paths. Prints the ports as
one JSON line, then serves until its standard input closes.

  https_server.py CERT_FOLDER SERVE_FOLDER

  /files/NAME        the file SERVE_FOLDER/NAME with its length (404 when missing)
  /chunked/N         N bytes "c" in chunks of 1000
  /chunked-cut       one chunk, then the connection closes without the last chunk
  /short             declares 100000 bytes, sends 5000, closes
  /redirect/N?to=U   N more redirects through here, then to U
  /trickle           chunked, a byte every 50 ms; whole after 60 s (a client without a
                     time-out for the whole call would get it)
"""
import json, os, ssl, sys, threading, time, urllib.parse
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer

PATIENCE_S = 60


class Handler(BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    serve_folder = "."

    def log_message(self, *args):
        pass

    def reply(self, status, body=b"", headers=()):
        self.send_response(status)
        for name, value in headers:
            self.send_header(name, value)
        self.send_header("Content-Length", str(len(body)))
        self.send_header("Connection", "close")
        self.end_headers()
        self.wfile.write(body)

    def start_chunks(self):
        self.send_response(200)
        self.send_header("Transfer-Encoding", "chunked")
        self.send_header("Connection", "close")
        self.end_headers()

    def chunk(self, data):
        self.wfile.write(b"%x\r\n%s\r\n" % (len(data), data))
        self.wfile.flush()

    def do_GET(self):
        self.close_connection = True
        url = urllib.parse.urlsplit(self.path)
        parts = url.path.strip("/").split("/")
        if parts[0] == "files" and len(parts) == 2:
            path = os.path.join(self.serve_folder, parts[1])
            if os.path.isfile(path):
                with open(path, "rb") as f:
                    return self.reply(200, f.read())
        elif parts[0] == "chunked" and len(parts) == 2:
            self.start_chunks()
            left = int(parts[1])
            while left > 0:
                self.chunk(b"c" * min(left, 1000))
                left -= 1000
            return self.wfile.write(b"0\r\n\r\n")
        elif parts[0] == "chunked-cut":
            self.start_chunks()
            return self.chunk(b"only part")
        elif parts[0] == "short":
            self.send_response(200)
            self.send_header("Content-Length", "100000")
            self.send_header("Connection", "close")
            self.end_headers()
            return self.wfile.write(b"s" * 5000)
        elif parts[0] == "redirect" and len(parts) == 2:
            target = urllib.parse.parse_qs(url.query)["to"][0]
            more = int(parts[1])
            if more > 0:
                target = "/redirect/%d?%s" % (more - 1, urllib.parse.urlencode({"to": target}))
            return self.reply(302, b"moved", [("Location", target)])
        elif parts[0] == "trickle":
            self.start_chunks()
            end = time.monotonic() + PATIENCE_S
            try:
                while time.monotonic() < end:
                    self.chunk(b"t")
                    time.sleep(0.05)
                self.wfile.write(b"0\r\n\r\n")
            except OSError:
                pass  # the client left
            return
        self.reply(404, b"<h1>not here</h1>")


class Server(ThreadingHTTPServer):
    daemon_threads = True

    def handle_error(self, request, client_address):
        pass  # refused handshakes are what some tests want


def start(context):
    server = Server(("127.0.0.1", 0), Handler)
    if context:
        # The handshake happens in the request's thread, on its first read.
        server.socket = context.wrap_socket(server.socket, server_side=True,
                                            do_handshake_on_connect=False)
    threading.Thread(target=server.serve_forever, daemon=True).start()
    return server.server_address[1]


def main():
    certs, Handler.serve_folder = sys.argv[1], sys.argv[2]
    ports = {}
    for name in ("good", "expired", "wrong_name"):
        context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        context.load_cert_chain(os.path.join(certs, name + ".pem"), os.path.join(certs, "server.key"))
        ports[name] = start(context)
    ports["plain"] = start(None)
    print(json.dumps(ports), flush=True)
    sys.stdin.read()


if __name__ == "__main__":
    main()
