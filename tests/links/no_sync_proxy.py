#!/usr/bin/env python3
"""A CardDAV server without sync-collection, for the tests: an HTTP proxy in front of Radicale.

    no_sync_proxy.py UPSTREAM_PORT REFUSAL_STATUS

Listens on a free port of 127.0.0.1 and prints it on the first line of its output. Every request
goes on to the server on UPSTREAM_PORT unchanged, except a REPORT asking for sync-collection
(RFC 6578): it is answered with REFUSAL_STATUS (403 with the DAV:supported-report precondition, or
501) as a server that lacks the report does, and a line "refused" is printed for each.
"""
import http.client
import http.server
import sys

UPSTREAM_PORT = int(sys.argv[1])
REFUSAL = int(sys.argv[2])
# Hop-by-hop headers are the proxy's own business, not the server's.
HOP_HEADERS = {"connection", "keep-alive", "transfer-encoding", "proxy-connection"}


class Proxy(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"

    def forward(self):
        length = int(self.headers.get("Content-Length") or 0)
        body = self.rfile.read(length) if length else b""
        if self.command == "REPORT" and b"sync-collection" in body:
            self.refuse()
            return
        upstream = http.client.HTTPConnection("127.0.0.1", UPSTREAM_PORT, timeout=600)
        headers = {k: v for k, v in self.headers.items() if k.lower() not in HOP_HEADERS}
        upstream.request(self.command, self.path, body, headers)
        answer = upstream.getresponse()
        data = answer.read()
        self.send_response(answer.status, answer.reason)
        for name, value in answer.getheaders():
            if name.lower() not in HOP_HEADERS and name.lower() != "content-length":
                self.send_header(name, value)
        self.send_header("Content-Length", str(len(data)))
        self.end_headers()
        self.wfile.write(data)
        upstream.close()

    def refuse(self):
        print("refused", flush=True)
        data = b""
        if REFUSAL == 403:
            data = (b'<?xml version="1.0" encoding="utf-8"?>\n'
                    b'<D:error xmlns:D="DAV:"><D:supported-report/></D:error>')
        self.send_response(REFUSAL)
        self.send_header("Content-Type", "application/xml; charset=utf-8")
        self.send_header("Content-Length", str(len(data)))
        self.end_headers()
        self.wfile.write(data)

    do_GET = do_PUT = do_DELETE = do_PROPFIND = do_REPORT = do_OPTIONS = forward

    def log_message(self, format, *args):
        pass


server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Proxy)
print(server.server_address[1], flush=True)
server.serve_forever()
