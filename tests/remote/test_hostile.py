"""velto-server and the remote client under hostile peers, over loopback
only: a job that kills its worker, trickling and oversized requests, forged
log lines, a work folder with traps or in use, and servers that trickle,
never finish or announce endless answers.  Every loop is bounded in count
and time."""
import http.server
import os
import signal
import socket
import subprocess
import threading
import time
import urllib.request

import pytest

import velto
from velto import ResponseCode

from conftest import server_binary
from remote_helpers import market_split, start_job, wait_until_done
from test_remote import lp


def raw_request(address, data, read_timeout=10.0):
    """Sends bytes, returns the status code of the answer (0: none)."""
    host, port = address.split(":")
    with socket.create_connection((host, int(port)), timeout=read_timeout) as s:
        try:
            s.sendall(data)
        except OSError:
            pass
        answer = b""
        try:
            while b"\r\n" not in answer:
                chunk = s.recv(4096)
                if not chunk:
                    break
                answer += chunk
        except OSError:
            pass
    parts = answer.split(b" ", 2)
    return int(parts[1]) if len(parts) > 1 and parts[1].isdigit() else 0


def worker_pids(server):
    pid = server.proc.pid
    children = []
    for tid in os.listdir(f"/proc/{pid}/task"):
        try:  # a connection's thread may end between the listing and the read
            with open(f"/proc/{pid}/task/{tid}/children") as f:
                children += [int(c) for c in f.read().split()]
        except FileNotFoundError:
            pass
    return children


def test_a_killed_worker_fails_its_job_only(start_server):
    s = start_server("--threads", 1)
    long_job = market_split()
    outcome = {}
    solver = threading.Thread(target=lambda: outcome.setdefault("r", long_job.task.optimizermt_ss_3(s.address, "")))
    solver.start()
    deadline = time.monotonic() + 10
    while not worker_pids(s) and time.monotonic() < deadline:
        time.sleep(0.05)
    queued = lp()
    token = start_job(queued.task, s.address)              # waits behind the long job
    [worker] = worker_pids(s)
    os.kill(worker, signal.SIGKILL)
    solver.join(20)
    assert not solver.is_alive()
    assert outcome["r"] == (ResponseCode.ERR_INTERNAL, None)
    message = long_job.task.getlasterror()[1]
    assert "killed by signal 9" in message and "job" in message
    assert wait_until_done(queued.task, s.address, token) == (0, 0)
    assert lp().task.optimizermt_ss_3(s.address, "") == (0, 0)
    assert s.proc.poll() is None


@pytest.mark.parametrize("request_bytes, status", [
    (b"GET /health HTTP/1.1\r\n" + b"X-A: b\r\n" * 200 + b"\r\n", 431),          # too many lines
    (b"GET /health HTTP/1.1\r\nX-A: " + b"b" * 40000 + b"\r\n\r\n", 431),        # too long a head
    (b"POST /jobs HTTP/1.1\r\nContent-Length: 100000000000\r\n\r\n", 401),       # no token: refused unread
    (b"POST /jobs HTTP/1.1\r\nAuthorization: Bearer secret\r\nContent-Length: 100000000000\r\n\r\n", 413),
    (b"POST /jobs HTTP/1.1\r\nAuthorization: Bearer secret\r\nContent-Encoding: gzip\r\n"
     b"Content-Length: 10\r\n\r\n0123456789", 415),
    (b"POST /jobs HTTP/1.1\r\nAuthorization: Bearer secret\r\nTransfer-Encoding: chunked\r\n\r\n", 411),
    (b"GET /health HTTP/1.1\r\nAuthorization: Bearer secret\r\nContent-Length: -1\r\n\r\n", 400),
    (b"GET /health HTTP/2.0\r\n\r\n", 505),
], ids=["lines", "length", "no-token", "too-large", "encoding", "chunked", "bad-length", "version"])
def test_requests_refused_before_their_body(start_server, tmp_path, request_bytes, status):
    tokens = tmp_path / "tokens"
    tokens.write_text("secret\n")
    s = start_server("--tokens", tokens, "--max-body", 1_000_000)
    t0 = time.monotonic()
    assert raw_request(s.address, request_bytes) == status
    assert time.monotonic() - t0 < 5          # answered at once, not after waiting for a body


def test_slow_clients_do_not_block_service(start_server):
    s = start_server()
    host, port = s.address.split(":")
    head = b"GET /health HTTP/1.1\r\nHost: x\r\n"
    slow = [socket.create_connection((host, int(port)), timeout=5) for _ in range(40)]
    try:
        served = []
        for k in range(3):              # three seconds of one byte a second on each
            for sock in slow:
                try:
                    sock.send(head[k:k + 1])
                except OSError:
                    pass
            t0 = time.monotonic()
            with urllib.request.urlopen(s.url + "/health", timeout=5) as answer:
                served.append((answer.status, time.monotonic() - t0))
            time.sleep(1.0)
        assert all(status == 200 and seconds < 2 for status, seconds in served), served
        assert lp().task.optimizermt_ss_3(s.address, "") == (0, 0)
    finally:
        for sock in slow:
            sock.close()


def test_the_request_log_escapes_what_it_shows(start_server):
    s = start_server()
    forged = "/x%0a2026-01-01T00:00:00Z%20127.0.0.1%20GET%20/jobs%20201%20%1b[31m"
    assert raw_request(s.address, f"GET {forged} HTTP/1.1\r\n\r\n".encode()) == 404
    s.stop()
    log = s.request_log()
    [line] = [line for line in log if " 404 " in line]     # one line for the one request
    assert "\\x0a2026" in line and "\\x1b" in line and "\x1b" not in line
    assert not any(line.startswith("2026-01-01") for line in log)


def test_work_folder_traps_and_a_second_server(start_server, tmp_path):
    work = tmp_path / "work"
    work.mkdir()
    for ext in ("status", "result", "log"):
        os.mkfifo(work / ("a" * 64 + "." + ext))       # would block a reader forever
    first = start_server(workdir=work)                  # starts at once
    assert lp().task.optimizermt_ss_3(first.address, "") == (0, 0)
    second = subprocess.run([server_binary(), "--port", "0", "--workdir", str(work)],
                            capture_output=True, text=True, timeout=20)
    assert second.returncode == 3
    assert "another velto-server is using the work folder" in second.stderr
    assert all(os.path.exists(work / ("a" * 64 + "." + ext)) for ext in ("status", "result", "log"))


class FakeServer:
    """A loopback HTTP server whose answers a test chooses: answer(handler)
    is called for each request."""

    def __init__(self, answer):
        class Handler(http.server.BaseHTTPRequestHandler):
            def log_message(self, *args):
                pass

            def do_ANY(self):
                length = int(self.headers.get("Content-Length") or 0)
                self.rfile.read(length)
                answer(self)
            do_GET = do_POST = do_DELETE = do_ANY

        self.httpd = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Handler)
        self.httpd.daemon_threads = True
        self.address = f"127.0.0.1:{self.httpd.server_address[1]}"
        threading.Thread(target=self.httpd.serve_forever, daemon=True).start()

    def close(self):
        self.httpd.shutdown()
        self.httpd.server_close()


def send(handler, status, body=b"", length=None):
    handler.send_response(status)
    handler.send_header("Content-Length", str(len(body) if length is None else length))
    handler.end_headers()
    handler.wfile.write(body)


def trickle(handler):
    """One byte every half second, at most 40."""
    for byte in b"HTTP/1.1 201 Created\r\nContent-Length: 64\r\n\r\n":
        try:
            handler.wfile.write(bytes([byte]))
            handler.wfile.flush()
        except OSError:
            return
        time.sleep(0.5)


def never_done(handler):
    if handler.command == "POST" and handler.path == "/jobs":
        send(handler, 201, b"ab" * 32)
    elif handler.path.endswith("/stop") or handler.command == "DELETE":
        send(handler, 200, b"ok\n")
    else:
        send(handler, 200, b"0 0 0 0\n")


def endless_result(handler):
    if handler.command == "POST":
        send(handler, 201, b"ab" * 32)
    elif handler.path.endswith("/result"):
        send(handler, 200, b"\0" * 65536, length=10**12)
    elif handler.path.endswith("/log"):
        send(handler, 200)
    else:
        send(handler, 200, b"1 0 0 0\n")


@pytest.mark.parametrize("answer, stop_after, expected, words", [
    (trickle, None, (ResponseCode.ERR_SERVER_CONNECT, None), "within 1.5 s"),
    (never_done, 0.3, (0, ResponseCode.TRM_USER_CALLBACK), None),
    (endless_result, None, (ResponseCode.ERR_SERVER_PROTOCOL, None), "larger than"),
], ids=["trickle", "never-done", "endless-result"])
def test_client_against_hostile_servers(answer, stop_after, expected, words):
    fake = FakeServer(answer)
    try:
        model = lp()
        model.set_parameter(velto.DParam.REMOTE_TIMEOUT, 1.5)
        t0 = time.monotonic()
        if stop_after is not None:
            model.task.set_Progress(lambda code: time.monotonic() - t0 > stop_after)
        assert model.task.optimizermt_ss_3(fake.address, "") == expected
        assert time.monotonic() - t0 < 4.5             # the timeout (or the stop's grace), and slack
        if words:
            assert words in model.task.getlasterror()[1]
        else:
            assert model.task.solutiondef_i_2(velto.SolutionType.ITR) == (0, 0)
    finally:
        fake.close()


def test_connections_past_the_limit_are_answered_busy(start_server):
    s = start_server("--max-connections", 3)
    host, port = s.address.split(":")
    idle = [socket.create_connection((host, int(port)), timeout=5) for _ in range(3)]
    time.sleep(0.3)
    assert raw_request(s.address, b"GET /health HTTP/1.1\r\n\r\n") == 503
    for sock in idle:
        sock.close()
    statuses = []
    for _ in range(20):                 # the closed connections end within moments
        statuses.append(raw_request(s.address, b"GET /health HTTP/1.1\r\nConnection: close\r\n\r\n"))
        if statuses[-1] == 200:
            break
        time.sleep(0.1)
    assert statuses[-1] == 200, statuses
