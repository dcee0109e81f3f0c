"""A local RFC 3161 time-stamping server for the signing tests: tsa_responder.py CONFIG LIFETIME_SECONDS.

Listens on 127.0.0.1 only, on a port of the system's choosing, which it prints first. `openssl ts -reply`
answers a POST to /SECTION with that section of CONFIG (a TSA each), one to /SECTION/UNIX_TIME with the clock
frozen at that time (faketime -f): a test can stamp in the past, and knows the time a token claims to the
second. It serves at most 200 requests and stops by itself after LIFETIME_SECONDS."""
import http.server
import os
import re
import subprocess
import sys
import time

REQUEST_PATH = re.compile(r'/(\w+)(?:/(\d+))?')


class TimeStampHandler(http.server.BaseHTTPRequestHandler):
    timeout = 10  # a client that sends nothing cannot hold the server
    config = None

    def do_POST(self):
        path = REQUEST_PATH.fullmatch(self.path)
        if not path:
            return self.send_error(404)
        query = self.rfile.read(int(self.headers.get('Content-Length', 0)))
        reply = self.stamp(query, *path.groups())
        if reply is None:
            return self.send_error(500)
        self.send_response(200)
        self.send_header('Content-Type', 'application/timestamp-reply')
        self.send_header('Content-Length', str(len(reply)))
        self.end_headers()
        self.wfile.write(reply)

    def stamp(self, query, section, unix_time):
        """The DER reply of SECTION's TSA to QUERY, at UNIX_TIME (now when None)."""
        clock = ['faketime', '-f', time.strftime('%Y-%m-%d %H:%M:%S', time.gmtime(int(unix_time)))] if unix_time else []
        done = subprocess.run(clock + ['openssl', 'ts', '-reply', '-config', self.config, '-section', section,
                                       '-queryfile', '/dev/stdin'],
                              input=query, capture_output=True, env=dict(os.environ, TZ='UTC'))
        sys.stderr.write(done.stderr.decode(errors='replace'))
        return done.stdout if done.returncode == 0 else None


def main():
    TimeStampHandler.config = sys.argv[1]
    deadline = time.monotonic() + float(sys.argv[2])
    server = http.server.HTTPServer(('127.0.0.1', 0), TimeStampHandler)
    print(server.server_port, flush=True)
    for _ in range(200):
        server.timeout = deadline - time.monotonic()
        if server.timeout <= 0:
            break
        server.handle_request()


if __name__ == '__main__':
    main()
