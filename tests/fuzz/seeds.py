"""Seeds for the fuzz targets: the shared instances and random tasks with
every kind of data, written in each format by the library itself; requests
as clients send them to velto-server; and job results as a velto-server on
loopback answers them for the random tasks.

    PYTHONPATH=build/pkg python3 tests/fuzz/seeds.py CORPUS_DIR
"""
import pathlib
import re
import select
import shutil
import subprocess
import sys
import tempfile
import time
import urllib.request

HERE = pathlib.Path(__file__).resolve().parent
sys.path[:0] = [str(HERE.parent), str(HERE.parent / "files")]

import velto  # noqa: E402
from taskdata import DATA, random_task  # noqa: E402

FORMATS = {"mps": ".mps", "lp": ".lp", "opf": ".opf", "ptf": ".ptf", "json": ".jtask", "task": ".task"}
SHARED = ["formats/*.mps", "formats/*.lp", "netlib/afiro.mps.gz", "netlib/blend.mps.gz", "maros/HS21.QPS.gz",
          "maros/QAFIRO.QPS.gz", "miplib/p0033.mps.gz"]


def tasks():
    for seed in range(4):
        yield f"random{seed}", random_task(seed, m=3 + seed, n=7 + seed)
    if DATA.is_dir():
        for pattern in SHARED:
            for path in sorted(DATA.glob(pattern)):
                t = velto.Task(None)
                if t.readdataautoformat_s_2(str(path))[0] == 0:
                    yield path.name.split(".")[0], t


REQUESTS = [
    b"GET /health HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n",
    b"POST /jobs HTTP/1.1\r\nAuthorization: Bearer secret\r\nContent-Type: application/x-velto-task\r\n"
    b"Content-Length: 4\r\nExpect: 100-continue\r\n\r\ntask",
    b"GET /jobs/" + b"0123456789abcdef" * 4 + b"?wait=0.25 HTTP/1.1\r\nConnection: keep-alive\r\n\r\n",
    b"GET /jobs/" + b"0123456789abcdef" * 4 + b"/log?from=12&x=%41+b HTTP/1.0\n\n",
    b"DELETE /jobs/" + b"0123456789abcdef" * 4 + b" HTTP/1.1\r\nConnection: close\r\n\r\n",
    b"POST /jobs/" + b"0123456789abcdef" * 4 + b"/stop HTTP/1.1\r\nContent-Length: 0\r\n\r\n",
]


def server_results(tasks_to_send, folder):
    """The result bytes a velto-server on loopback answers for each task."""
    binary = pathlib.Path(velto.__file__).parent / "bin" / "velto-server"
    work = tempfile.mkdtemp()
    proc = subprocess.Popen([str(binary), "--port", "0", "--workdir", work, "--threads", "1"],
                            stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
    try:
        ready, _, _ = select.select([proc.stdout], [], [], 20)
        match = re.search(r"listening on ([\d.]+:\d+)", proc.stdout.readline() if ready else "")
        if not match:
            return
        address = match.group(1)
        for label, t in tasks_to_send:
            buf = bytearray()
            if t.asyncoptimize_ssO_3(address, "", buf)[0] != 0:
                continue
            job = buf.split(b"\0")[0].decode()
            deadline = time.monotonic() + 20
            while time.monotonic() < deadline and t.asyncpoll_sss_4(address, "", job)[1][0] != 1:
                time.sleep(0.05)
            with urllib.request.urlopen(f"http://{address}/jobs/{job}/result", timeout=20) as answer:
                (folder / (label + ".result")).write_bytes(answer.read())
    finally:
        proc.terminate()
        proc.wait(20)
        shutil.rmtree(work, ignore_errors=True)


def main(corpus):
    corpus = pathlib.Path(corpus)
    shutil.rmtree(corpus, ignore_errors=True)
    for name in list(FORMATS) + ["solution", "parameters", "request", "answer"]:
        (corpus / name).mkdir(parents=True)
    for k, request in enumerate(REQUESTS):
        (corpus / "request" / f"request{k}").write_bytes(request)
    (corpus / "answer" / "status").write_bytes(b"1 0 10006 1234\n")
    server_results([(f"random{seed}", random_task(seed, m=3 + seed, n=7 + seed)) for seed in range(4)],
                   corpus / "answer")
    for label, t in tasks():
        for p in (velto.IParam.OPF_WRITE_SOLUTIONS, velto.IParam.PTF_WRITE_SOLUTIONS, velto.IParam.PTF_WRITE_PARAMETERS,
                  velto.IParam.OPF_WRITE_PARAMETERS, velto.IParam.WRITE_IGNORE_INCOMPATIBLE_ITEMS):
            t.putintparam_ii_3(p, 1)
        for name, ext in FORMATS.items():
            t.writedata_s_2(str(corpus / name / (label + ext)))
        t.writesolutionfile_s_2(str(corpus / "solution" / (label + ".sol")))
        t.writeparamfile_s_2(str(corpus / "parameters" / (label + ".par")))
    for path in corpus.rglob("*"):      # drop what a writer refused
        if path.is_file() and path.stat().st_size == 0:
            path.unlink()
    if DATA.is_dir():
        for path in sorted(DATA.glob("formats/*.lp")):
            shutil.copy(path, corpus / "lp" / path.name)
        for path in sorted(DATA.glob("formats/*.mps")):
            shutil.copy(path, corpus / "mps" / path.name)


if __name__ == "__main__":
    main(sys.argv[1])
