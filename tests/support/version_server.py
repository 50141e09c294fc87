#!/usr/bin/env python3
"""A loopback HTTP server for the update checks.

    version_server.py <routes.json> <request log>

routes.json maps a path to how it is answered:
    {"/archive/vorniq/Vorniq_Mac.txt": {"body": "9.0.0.40"}}
Fields: "body" (text), "body_hex" (bytes as hex), "status" (default 200),
"delay" (seconds before the answer), "repeat" (send the body this many times:
a huge answer), "trickle" (seconds between single bytes of the body).
Unknown paths get 404. Every request path is appended to the request log.
The port is printed on the first line of standard output. The server stops by
itself after 10 minutes.
"""
import http.server
import json
import socketserver
import sys
import threading
import time

routes_file, log_file = sys.argv[1], sys.argv[2]


class Handler(http.server.BaseHTTPRequestHandler):
    def log_message(self, *args):
        pass

    def do_GET(self):
        with open(log_file, "a") as log:
            log.write(self.path + "\n")
        with open(routes_file) as f:
            routes = json.load(f)
        route = routes.get(self.path)
        if route is None:
            self.send_response(404)
            self.send_header("Content-Length", "9")
            self.end_headers()
            self.wfile.write(b"not found")
            return
        time.sleep(route.get("delay", 0))
        body = bytes.fromhex(route["body_hex"]) if "body_hex" in route else route.get("body", "").encode()
        repeat = route.get("repeat", 1)
        try:
            self.send_response(route.get("status", 200))
            self.send_header("Content-Length", str(len(body) * repeat))
            self.end_headers()
            trickle = route.get("trickle")
            for _ in range(repeat):
                if trickle:
                    for i in range(len(body)):
                        self.wfile.write(body[i:i + 1])
                        self.wfile.flush()
                        time.sleep(trickle)
                else:
                    self.wfile.write(body)
        except (BrokenPipeError, ConnectionResetError):
            pass


class Server(socketserver.ThreadingMixIn, http.server.HTTPServer):
    daemon_threads = True
    allow_reuse_address = True


server = Server(("127.0.0.1", 0), Handler)
print(server.server_address[1], flush=True)
threading.Timer(600, server.shutdown).start()
server.serve_forever()
