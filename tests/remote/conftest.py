"""A velto-server on loopback for the remote tests: started from the build
(or the installed package) on a free port, stopped at the end."""
import os
import re
import select
import signal
import subprocess
import threading

import pytest

import velto


def server_binary():
    build = os.environ.get("VLT_BUILD_DIR")
    if build:
        path = os.path.join(build, "pkg", "velto", "bin", "velto-server")
        if os.path.isfile(path):
            return path
    import velto.server
    return velto.server.executable()


class Server:
    """One running velto-server; `address` is "127.0.0.1:PORT"."""

    def __init__(self, workdir, *args):
        self.workdir = str(workdir)
        self.proc = subprocess.Popen([server_binary(), "--port", "0", "--workdir", self.workdir, *map(str, args)],
                                     stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
        ready, _, _ = select.select([self.proc.stdout], [], [], 20)
        line = self.proc.stdout.readline() if ready else ""
        match = re.search(r"listening on ([\d.]+:\d+)", line)
        if not match:
            self.proc.kill()
            raise RuntimeError(f"velto-server did not start: {line!r} {self.proc.stderr.read()!r}")
        self.address = match.group(1)
        self.url = "http://" + self.address
        # Drained all along, so that the server never waits on a full pipe.
        self.lines = []
        self.reader = threading.Thread(target=lambda: self.lines.extend(self.proc.stdout), daemon=True)
        self.reader.start()

    def stop(self, sig=signal.SIGTERM):
        if self.proc.poll() is None:
            self.proc.send_signal(sig)
            try:
                self.proc.wait(20)
            except subprocess.TimeoutExpired:
                self.proc.kill()
                self.proc.wait()
        self.reader.join(10)
        self.proc.stdout.close()
        self.proc.stderr.close()

    def request_log(self):
        """The lines the server wrote after its first (it must have stopped)."""
        return [line.rstrip("\n") for line in self.lines]


@pytest.fixture
def start_server(tmp_path):
    """start_server(*args, workdir=None) -> a Server, stopped after the test."""
    started = []

    def start(*args, workdir=None):
        server = Server(workdir or tmp_path / f"work{len(started)}", *args)
        started.append(server)
        return server

    yield start
    for server in started:
        if not server.proc.stdout.closed:
            server.stop()


@pytest.fixture(scope="module")
def server(tmp_path_factory):
    s = Server(tmp_path_factory.mktemp("server"), "--threads", 2)
    yield s
    s.stop()
