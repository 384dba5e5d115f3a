"""Uses _vlt as a hostile user would, in child interpreters, and reports every
child that crashed, hung or aborted instead of raising a Python exception.

  PYTHONPATH=build/pkg python3 tools/hostile_sweep.py [--calls N] [--seed S]
                                                      [--files N] [--threads-seconds T]
                                                      [--attacks N] [--attack-seconds T] [--keep DIR]

Five parts:
  calls     random arguments (wrong types, negative and huge indices, NaN,
            read-only and too short buffers, callables, other tasks) to every
            method of Env and Task, on a task that holds a little of every
            kind of data; the task is rebuilt now and then;
  callables progress, information and stream callables that raise, return
            odd values, dispose their task or environment, or call methods of
            their task, while it optimizes;
  threads   several threads calling random methods on one task at once;
  files     mutated copies of the shared instances (MPS/QPS/LP) and of files
            written by the library in each of its formats, read back;
  attacks   a velto-server started on 127.0.0.1 with an access token gets
            malformed heads, huge headers, bodies without the token, gzip
            bombs, path tricks, mutated authorized jobs and bursts of slow
            clients (a bounded count, each with a read deadline); it must
            keep answering /health at once, stay under 1 GiB and not lose a
            job worker to a signal.

Wrong successes: after every optimize that returned success (all parts but
threads, where other threads change the data meanwhile), every stored
solution whose status says optimal, feasible or integer optimal is held to
its own figures (getsolutioninfonew): primal (and dual) violations within the
loosest feasibility tolerance the task holds, scaled as the certification
scales it, integrality, finite objectives, and the gap for optimal.  Each is
printed and counted; --keep DIR saves the first tasks of each child.

A child that ends by a signal or runs past its time limit is a finding: the
seed and the methods it was calling are printed, so it can be replayed with
`--replay SEED PART`.  Everything a child writes goes to a temporary folder.
"""
import argparse
import gzip
import os
import random
import re
import signal
import socket
import subprocess
import sys
import tempfile
import textwrap
import threading
import time
from array import array

HERE = os.path.dirname(os.path.abspath(__file__))
DATA = os.path.join(HERE, "..", "..", "shared", "data")

CHILD_PRELUDE = r'''
import gc, os, random, resource, sys, threading, math
from array import array
import _vlt
import velto

# Room enough for any legitimate call here; a request for billions of items
# fails as an allocation error (a response code), not by the machine's OOM killer.
resource.setrlimit(resource.RLIMIT_AS, (6 << 30, 6 << 30))
PROGRESS = open(os.environ["SWEEP_PROGRESS"], "w", buffering=1)

def note(text):
    PROGRESS.write(text + "\n")

def build(env):
    t = _vlt.Task(env)
    t.appendvars_i_2(6)
    t.appendcons_i_2(4)
    for i in range(4):
        t.putarow_iOO_4(i, memoryview(array("i", [0, 1, 2, 3, 4, 5])), memoryview(array("d", [1, 2, 1, 3, 1, i])))
    t.putvarboundsliceconst_iiidd_6(0, 6, 4, 0.0, 10.0)
    t.putconboundsliceconst_iiidd_6(0, 4, 1, 0.0, 20.0)
    t.putcslice_iiO_4(0, 6, memoryview(array("d", [-1, -2, 1, 0, -1, 2])))
    for name, args in [("appendafes_L_2", (4,)), ("appendbarvars_O_2", (memoryview(array("i", [2])),)),
                       ("putvartype_ii_3", (5, 1)), ("putnaintparam_si_3", ("VLT_IPAR_LOG", 0))]:
        try:
            getattr(t, name)(*args)
        except Exception:
            pass
    return t

INTS = [0, 1, 2, 3, 4, 5, -1, -2, 6, 7, 100, 2**31 - 1, -2**31, 2**31, 2**63, -2**63 - 1, 10**12, True, 1.5, None, "1"]
FLOATS = [0.0, 1.0, -1.0, 0.5, float("nan"), float("inf"), -float("inf"), 1e308, -0.0, 1e-320, 3, None, "x"]
STRINGS = ["", "a", "x" * 5000, "bad\0nul", "VLT_IPAR_LOG", "VLT_DPAR_OPTIMIZER_MAX_TIME", "VLT_IPAR_NUM_THREADS",
           "\u00e9\u4e2d", b"bytes", None, 5, "f.mps", "f.task", "f.ptf", "f.opf", "f.lp", "f.json", "f.mps.gz",
           "f.sol", "/nonexistent/dir/x.lp", ".", "x1", "x0", "c1"]

def buffers(rng, t, t2):
    n = rng.choice([0, 1, 2, 3, 4, 5, 6, 7, 12, 100])
    kind = rng.randrange(16)
    if kind == 0: return memoryview(array("i", [rng.choice([0, 1, 2, 3, -1, 5, 6, 10**6]) for _ in range(n)]))
    if kind == 1: return memoryview(array("d", [rng.choice([0.0, 1.0, -1.0, float("nan"), float("inf")]) for _ in range(n)]))
    if kind == 2: return memoryview(array("q", [rng.choice([0, 1, 2, 3, -1, 2**40]) for _ in range(n)]))
    if kind == 3: return memoryview(bytes(8 * n))              # read-only
    if kind == 4: return bytearray(rng.choice([0, 1, 7, 8, 64, 1024]))
    if kind == 5: return [rng.choice([0, 1, 2, -1, 0.5, None, "a"]) for _ in range(n)]
    if kind == 6: return memoryview(array("d", range(2 * n)))[::2]   # not contiguous
    if kind == 7: return memoryview(array("b", range(min(n, 100))))
    if kind == 8: return None
    if kind == 9: return [t, t2, t][:n % 4]
    if kind == 10: return rng.choice([0, -1, "abc", 1.5, object(), {}, ()])
    if kind == 11: return lambda *a: rng.choice([0, 1, None, "x", 10**30])
    if kind == 12: return memoryview(array("i", range(n)))
    if kind == 13: return memoryview(array("d", [float(i) for i in range(n)]))
    if kind == 14: return memoryview(array("B", bytes(n)))
    return memoryview(array("i", [0] * n)).cast("B")

def argument(rng, letter, t, t2):
    if rng.random() < 0.1:
        letter = rng.choice("iLdsO")
    if letter in "iL": return rng.choice(INTS[:12] if rng.random() < 0.7 else INTS)
    if letter == "d": return rng.choice(FLOATS)
    if letter == "s": return rng.choice(STRINGS)
    return buffers(rng, t, t2)

def shape(name):
    # "putarow_iOO_4" -> ("iOO", 4)
    parts = name.rsplit("_", 2)
    if len(parts) == 3 and parts[2].isdigit():
        return parts[1], int(parts[2])
    return "", 0

SKIP = {"dispose", "set_Stream", "set_Progress", "set_InfoCallback"}

def random_call(rng, obj, names, t, t2):
    name = rng.choice(names)
    letters, count = shape(name)
    arity = rng.choice([len(letters), len(letters), max(count - 1, 0), max(count - 1, 0), count,
                        rng.randrange(0, len(letters) + 2)])
    args = [argument(rng, letters[k] if k < len(letters) else "O", t, t2) for k in range(arity)]
    note(name)
    try:
        answer = getattr(obj, name)(*args)
    except Exception:
        return
    # Only a call that optimized: a failed one leaves the solutions of an
    # earlier optimize, for data changed since.
    if name in ("optimizetrm__1", "optimizermt_ss_3") and AUDIT and answer and answer[0] == 0:
        audit(obj, name)

# Wrong successes: a solution stored as optimal, feasible or integer optimal
# whose own figures (getsolutioninfonew) break what that status promises, at
# the loosest tolerance of the parameters the task holds now, scaled as the
# library's certification scales them (1 + largest magnitude of the values).
PRIMAL_STATUSES, DUAL_STATUSES = {1, 2, 4, 9}, {1, 3, 4}
def loosest(t, names):
    return max(t.getdouparam_i_2(int(getattr(velto.DParam, n)))[1] for n in names)

def largest(buffers, code="d"):
    values = [abs(v) for b in buffers for v in array(code, bytes(b))]
    return max(values, default=0.0)

def term_sizes(t, xx, y):
    """Largest |a_ij x_j| and |a_ij y_i|: rows of large terms may be off by more."""
    xx, y, rows, columns = array("d", bytes(xx)), array("d", bytes(y)), 0.0, 0.0
    for i in range(t.getnumcon__1()[1]):
        sub, val = bytearray(), bytearray()
        t.getarow_iOO_2(i, sub, val)
        for j, a in zip(array("i", bytes(sub)), array("d", bytes(val))):
            rows = max(rows, abs(a * xx[j]) if j < len(xx) else 0.0)
            columns = max(columns, abs(a * y[i]) if i < len(y) else 0.0)
    return rows, columns

def solution_faults(t, whichsol):
    res, (prosta, solsta) = t.getsolution_iOOOOOOOOOOO_2(whichsol, *[bytearray() for _ in range(11)])
    if res or solsta not in PRIMAL_STATUSES | DUAL_STATUSES:
        return []
    b = [bytearray() for _ in range(11)]
    t.getsolution_iOOOOOOOOOOO_2(whichsol, *b)
    barx = []
    for j in range(t.getnumbarvar__1()[1]):
        barx.append(bytearray()); t.getbarxj_iiO_3(whichsol, j, barx[-1])
    c = memoryview(array("d", [0.0] * t.getnumvar__1()[1])); t.getc_O_2(c)
    f = t.getsolutioninfonew_i_2(whichsol)[1]
    pobj, dobj, faults = f[0], f[8], []
    rows, columns = term_sizes(t, b[4], b[5])
    if solsta in PRIMAL_STATUSES:
        limit = loosest(t, ["MIO_TOL_FEAS", "SIM_TOL_PFEAS", "INTPNT_TOL_PFEAS", "INTPNT_QO_TOL_PFEAS",
                            "INTPNT_CO_TOL_PFEAS"]) * (1 + max(largest(b[3:5] + barx), rows))
        worst = max(f[1:7])
        if not math.isfinite(pobj) or not worst <= limit:
            faults.append("primal violation %g > %g, objective %g" % (worst, limit, pobj))
        if whichsol == 2 and not f[7] <= loosest(t, ["MIO_TOL_ABS_RELAX_INT"]):
            faults.append("integrality violation %g" % f[7])
    if solsta in DUAL_STATUSES and whichsol != 2:
        limit = loosest(t, ["SIM_TOL_DFEAS", "INTPNT_TOL_DFEAS", "INTPNT_QO_TOL_DFEAS", "INTPNT_CO_TOL_DFEAS"]) \
            * (1 + max(largest(b[5:]), largest([c]), columns))
        worst = max(f[9:14])
        if not math.isfinite(dobj) or not worst <= limit:
            faults.append("dual violation %g > %g, objective %g" % (worst, limit, dobj))
    if solsta == 1 and whichsol != 2:
        gap = loosest(t, ["INTPNT_TOL_REL_GAP", "INTPNT_QO_TOL_REL_GAP", "INTPNT_CO_TOL_REL_GAP",
                          "SIM_TOL_PFEAS", "SIM_TOL_DFEAS"]) * max(1.0, abs(pobj), abs(dobj))
        if not abs(pobj - dobj) <= gap:
            faults.append("gap |%g - %g| > %g" % (pobj, dobj, gap))
    return ["%s %s: %s" % (("BAS", "ITR", "ITG")[whichsol], velto.SolutionStatus(solsta).name, x) for x in faults]

WRONG, AUDIT = [], True
AUDITED = [0]
def audit(t, what):
    """After an optimize: records every stored solution its status does not fit."""
    AUDITED[0] += 1
    for whichsol in (0, 1, 2):
        try:
            faults = solution_faults(t, whichsol)
        except Exception:
            continue                     # disposed task, a solution removed meanwhile
        for fault in faults:
            WRONG.append(fault)
            print("wrong success after %s: %s" % (what, fault), flush=True)
            if os.environ.get("SWEEP_KEEP") and len(WRONG) <= 5:
                t.writetask_s_2(os.path.join(os.environ["SWEEP_KEEP"], "wrong-%d-%d.task" % (os.getpid(), len(WRONG))))

def task_names():
    return [m for m in dir(_vlt.Task) if not m.startswith("__") and m not in SKIP]

def env_names():
    return [m for m in dir(_vlt.Env) if not m.startswith("__") and m not in SKIP and not m.startswith("enablegar")]
'''

PART_CALLS = r'''
rng = random.Random(SEED)
env = _vlt.Env()
t, t2 = build(env), build(env)
tnames, enames = task_names(), env_names()
for k in range(CALLS):
    if k % 250 == 249:
        t.dispose(); t = build(env)
        t.putnadouparam_sd_3("VLT_DPAR_OPTIMIZER_MAX_TIME", 5.0) if hasattr(t, "putnadouparam_sd_3") else None
    if k % 25 == 24:                 # the data the calls left, optimized and audited
        note("optimize")
        try:
            if t.optimizetrm__1()[0] == 0:
                audit(t, "optimize")
        except Exception:
            pass
    if rng.random() < 0.06:
        random_call(rng, env, enames, t, t2)
    else:
        random_call(rng, t, tnames, t, t2)
print("audited %d" % AUDITED[0]); print("done")
'''

PART_CALLABLES = r'''
rng = random.Random(SEED)
env = _vlt.Env()
tnames = task_names()
STRAYS = []

def misbehaving(task, kind):
    def f(*args):
        r = rng.random()
        if kind == 0: raise ValueError("from a callable")
        if kind == 1: return rng.choice([None, "x", 10**40, 1.5, object(), -1, True])
        if kind == 2: task.dispose(); return 0
        if kind == 3: random_call(rng, task, tnames, task, task); return 0
        if kind == 4:
            # Not joined without a limit: a callable that waits for a thread
            # that waits for the callable's task waits forever, as with any lock.
            th = threading.Thread(target=random_call, args=(rng, task, tnames, task, task)); th.start()
            STRAYS.append(th); th.join(0.05); return 0
        if kind == 5: gc.collect(); return 0
        if kind == 6 and r < 0.05: raise KeyboardInterrupt
        if kind == 7: env.dispose(); return 0
        if kind == 8: raise SystemExit(3) if r < 0.02 else MemoryError()
        return 0
    return f

for k in range(CALLS // 20):
    if k % 30 == 29:
        env = _vlt.Env()
    try:
        t = build(env)
    except Exception:
        env = _vlt.Env(); t = build(env)
    for setter in ("set_Progress", "set_InfoCallback", "set_Stream"):
        if rng.random() < 0.7:
            kind = rng.randrange(9)
            note("%s kind %d" % (setter, kind))
            try:
                if setter == "set_Stream":
                    getattr(t, setter)(rng.choice([0, 1, 2, 3]), misbehaving(t, kind))
                else:
                    getattr(t, setter)(misbehaving(t, kind))
            except Exception:
                pass
    note("optimize")
    try:
        t.putnaintparam_si_3("VLT_IPAR_LOG", 10)
        STRAYS.clear()
        # A thread a callable left behind may change the data once the
        # optimize ends: the solution is then of other data, not audited.
        if t.optimizetrm__1()[0] == 0 and not STRAYS:
            audit(t, "optimize")
    except BaseException:
        pass
    if rng.random() < 0.3:
        try:
            _vlt.Env.optimizebatch_idiOOO_5(env, rng.choice([0, 1]), -1.0, 2, [t, build(env), t], [0, 0, 0])
        except BaseException:
            pass
    if rng.random() < 0.5:
        del t
        gc.collect()
print("audited %d" % AUDITED[0]); print("done")
'''

PART_THREADS = r'''
import time
AUDIT = False          # other threads change the data between an optimize and its audit
rng0 = random.Random(SEED)
env = _vlt.Env()
t, t2 = build(env), build(env)
tnames = [m for m in task_names() if not m.startswith(("read", "write", "link", "async", "putoptserver"))]
end = time.monotonic() + SECONDS
def worker(seed):
    rng = random.Random(seed)
    while time.monotonic() < end:
        if rng.random() < 0.05:
            note("optimize"); 
            try: t.optimizetrm__1()
            except Exception: pass
        elif rng.random() < 0.01:
            note("dispose")
            t.dispose() if rng.random() < 0.1 else None
        else:
            random_call(rng, t, tnames, t, t2)
threads = [threading.Thread(target=worker, args=(rng0.random(),)) for _ in range(4)]
for th in threads: th.start()
for th in threads: th.join()
print("audited %d" % AUDITED[0]); print("done")
'''

PART_FILES = r'''
rng = random.Random(SEED)
env = _vlt.Env()
sources = [line.rstrip("\n") for line in open(os.environ["SWEEP_FILES"])]
def mutate(data):
    data = bytearray(data)
    for _ in range(rng.choice([1, 1, 2, 5, 20])):
        if not data: break
        op, at = rng.randrange(7), rng.randrange(len(data))
        if op == 0: data[at] = rng.randrange(256)
        elif op == 1: del data[at:at + rng.randrange(1, 200)]
        elif op == 2: data[at:at] = rng.choice([b"-1", b"1e400", b"nan", b" ", b"\n", b"\0", b"99999999999",
                                                b"RHS", b"BOUNDS", b"COLUMNS", b"MARKER", b"x" * 300, b"\n\n", b"-"])
        elif op == 3: data = data[:at]
        elif op == 4:
            lines = data.split(b"\n"); i = rng.randrange(len(lines)); lines.insert(i, lines[rng.randrange(len(lines))])
            data = bytearray(b"\n".join(lines))
        elif op == 5:
            lines = data.split(b"\n"); rng.shuffle(lines); data = bytearray(b"\n".join(lines[:rng.randrange(1, len(lines) + 1)]))
        else: data[at:at + 1] = data[at:at + 1] * rng.randrange(2, 50)
    return bytes(data)
for k in range(FILES):
    path = rng.choice(sources)
    data = open(path, "rb").read()
    name = "m%d%s" % (k, os.path.splitext(path)[1] if not path.endswith(".gz") else "." + path.split(".")[-2])
    with open(name, "wb") as f:
        f.write(mutate(data))
    note("%s from %s" % (name, path))
    t = _vlt.Task(env)
    try:
        t.readdataautoformat_s_2(name)
        t.putnadouparam_sd_3("VLT_DPAR_OPTIMIZER_MAX_TIME", 2.0)
        if t.getnumvar__1() < 2000 and rng.random() < 0.3:
            note("optimize " + name)
            if t.optimizetrm__1()[0] == 0:
                audit(t, "optimize " + name)
    except Exception:
        pass
    t.dispose()
    os.remove(name)
print("audited %d" % AUDITED[0]); print("done")
'''

PARTS = {"calls": PART_CALLS, "callables": PART_CALLABLES, "threads": PART_THREADS, "files": PART_FILES}


# Attacks on a velto-server started here on 127.0.0.1: requests of every
# kind below, a bounded number, each on its own connection with a read
# deadline; after every few the server must still answer /health at once and
# its memory stay bounded.  Finished with a job of the shared kind.
ATTACK_TOKEN = "sweep-access-token"


def http_status(port, data, timeout=5.0, pause=0.0):
    """Sends bytes (pause > 0: one byte at a time), returns the answer's status (0: none)."""
    answer = b""
    try:
        with socket.create_connection(("127.0.0.1", port), timeout=timeout) as s:
            try:
                if pause:
                    for k in range(len(data)):
                        s.send(data[k:k + 1])
                        time.sleep(pause)
                else:
                    s.sendall(data)
            except OSError:
                pass
            while b"\r\n" not in answer:
                chunk = s.recv(4096)
                if not chunk:
                    break
                answer += chunk
    except OSError:
        pass
    parts = answer.split(b" ", 2)
    return int(parts[1]) if len(parts) > 1 and parts[1].isdigit() else 0


def attack_requests(rng, task_bytes):
    """One hostile request (bytes) of a random kind, and the kind."""
    auth = b"Authorization: Bearer " + ATTACK_TOKEN.encode() + b"\r\n"
    token = "".join(rng.choice("0123456789abcdef") for _ in range(64)).encode()
    paths = [b"/health", b"/jobs", b"/jobs/" + token, b"/jobs/" + token + b"/result", b"/../../etc/passwd",
             b"/jobs/../jobs/" + token, b"/jobs/%2e%2e/%2e%2e/etc/passwd", b"/jobs/" + token + b"/../../x",
             b"/jobs/" + token[:63] + b"/log?from=-1", b"/jobs/" + token + b"?wait=99999999999999999999",
             b"/jobs/" + token + b"%00/result", b"/" + b"a" * 70000, b"//jobs", b"/jobs/" + token.upper(),
             b"/x\x1b[31m\r\nforged", b"*", b"http://127.0.0.1/health"]
    methods = [b"GET", b"POST", b"DELETE", b"PUT", b"HEAD", b"OPTIONS", b"G\0T", b"", b"GET GET", b"x" * 5000]
    kind = rng.choice(["head", "headers", "noauth-body", "gzip-bomb", "path", "job", "bytes"])
    if kind == "head":
        line = rng.choice(methods) + b" " + rng.choice(paths) + b" " + rng.choice(
            [b"HTTP/1.1", b"HTTP/1.0", b"HTTP/9.9", b"", b"HTTP/1.1 extra", b"HTTP/"])
        head = line + rng.choice([b"\r\n", b"\n", b"\r"]) + rng.choice(
            [b"", b"Content-Length: 5\r\nContent-Length: 7\r\n", b"Content-Length: -5\r\n",
             b"Content-Length: 99999999999999999999999\r\n", b"Content-Length: 1e3\r\n", b" folded\r\n",
             b"NoColon\r\n", b":\r\n", b"Transfer-Encoding: chunked\r\n\r\nffffffffffffffff\r\n",
             b"Authorization: Bearer\r\n", b"Authorization: Bearer " + b"t" * 9000 + b"\r\n", b"\0\0\0\r\n"])
        return kind, head + b"\r\n" + bytes(rng.randrange(256) for _ in range(rng.randrange(64)))
    if kind == "headers":
        many = rng.choice([b"X-A: b\r\n" * rng.choice([100, 1000, 20000]), b"X-A: " + b"b" * rng.choice([9000, 200000]) +
                           b"\r\n", b"X: " + b"\0" * 70000 + b"\r\n"])
        return kind, b"GET /health HTTP/1.1\r\n" + many + b"\r\n"
    if kind == "noauth-body":
        body = os.urandom(rng.choice([10, 100000, 1000000]))
        return kind, b"POST /jobs HTTP/1.1\r\nContent-Length: %d\r\n\r\n" % len(body) + body
    if kind == "gzip-bomb":
        body = gzip.compress(b"\0" * rng.choice([5_000_000, 50_000_000]), compresslevel=9)
        return kind, b"POST /jobs HTTP/1.1\r\n" + auth + rng.choice([b"Content-Encoding: gzip\r\n", b""]) + \
            b"Content-Length: %d\r\n\r\n" % len(body) + body
    if kind == "path":
        return kind, rng.choice(methods[:4]) + b" " + rng.choice(paths) + b" HTTP/1.1\r\n" + \
            rng.choice([auth, b""]) + b"Content-Length: 0\r\n\r\n"
    if kind == "job":                    # an authorized job with a mutated task
        body = bytearray(task_bytes)
        for _ in range(rng.choice([0, 1, 3, 10])):       # none: a job that runs in a worker
            at = rng.randrange(len(body))
            body[at:at + rng.choice([1, 1, 8])] = bytes(rng.randrange(256) for _ in range(rng.choice([0, 1, 8])))
        if rng.random() < 0.3:
            body = bytearray(gzip.compress(bytes(body)))
        return kind, b"POST /jobs HTTP/1.1\r\n" + auth + b"Content-Length: %d\r\n\r\n" % len(body) + bytes(body)
    return kind, bytes(rng.randrange(256) for _ in range(rng.choice([1, 16, 4096])))


def resident_mib(pid):
    try:
        with open("/proc/%d/status" % pid) as f:
            return next(int(line.split()[1]) // 1024 for line in f if line.startswith("VmRSS"))
    except (OSError, StopIteration):
        return 0


def attack_server(count, seconds, seed, folder):
    """Returns (attacks sent, findings, worker crashes, peak resident MiB)."""
    import _vlt
    import velto.server
    rng = random.Random(seed)
    t = _vlt.Task(_vlt.Env())
    t.appendvars_i_2(3); t.appendcons_i_2(2)
    t.putvarboundsliceconst_iiidd_6(0, 3, 4, 0.0, 10.0)
    t.putcslice_iiO_4(0, 3, memoryview(array("d", [1.0, -2.0, 1.0])))
    t.putarow_iOO_4(0, memoryview(array("i", [0, 1, 2])), memoryview(array("d", [1.0, 1.0, 1.0])))
    t.putconboundsliceconst_iiidd_6(0, 2, 3, 1.0, 5.0)
    task_path = os.path.join(folder, "attack.task")
    t.writetask_s_2(task_path)
    task_bytes = open(task_path, "rb").read()
    with open(os.path.join(folder, "tokens"), "w") as f:
        f.write(ATTACK_TOKEN + "\n")
    work = tempfile.mkdtemp(dir=folder)
    server = subprocess.Popen([velto.server.executable(), "--port", "0", "--host", "127.0.0.1", "--workdir", work,
                               "--tokens", os.path.join(folder, "tokens"), "--threads", "1", "--max-body", "2000000",
                               "--max-connections", "64", "--retention", "7200"],
                              stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True, errors="replace")
    first = server.stdout.readline()
    match = re.search(r"listening on [\d.]+:(\d+)", first)
    port = int(match.group(1)) if match else 0
    lines = []
    reader = threading.Thread(target=lambda: [lines.append(l) for l in server.stdout if len(lines) < 100000],
                              daemon=True)
    reader.start()
    findings, sent, peak, kinds = [], 0, 0, {}
    end = time.monotonic() + seconds
    try:
        if not port:
            return 0, ["did not start: %r" % first], 0, 0, {}
        while sent < count and time.monotonic() < end and server.poll() is None:
            if sent % 100 == 50:         # slow clients, each one byte a tenth of a second, while others are served
                slow = [threading.Thread(target=http_status, args=(port, b"GET /health HTTP/1.1\r\nX: " + b"y" * 20 +
                                                                   b"\r\n\r\n", 6.0, 0.1), daemon=True)
                        for _ in range(40)]
                for th in slow:
                    th.start()
                time.sleep(0.5)
                t0 = time.monotonic()
                if http_status(port, b"GET /health HTTP/1.1\r\n\r\n") != 401 or time.monotonic() - t0 > 2:
                    findings.append("health not answered at once beside 40 slow clients")
                for th in slow:
                    th.join(10)
                kinds["slow"] = kinds.get("slow", 0) + 40
                sent += 40
            kind, data = attack_requests(rng, task_bytes)
            status = http_status(port, data, timeout=1.0)
            kinds["%s %d" % (kind, status)] = kinds.get("%s %d" % (kind, status), 0) + 1
            sent += 1
            if status >= 500 and status not in (503, 505):
                findings.append("%s answered %d: %r" % (kind, status, data[:120]))
            if sent % 20 == 0:
                peak = max(peak, resident_mib(server.pid))
                health = http_status(port, b"GET /health HTTP/1.1\r\n" + b"Authorization: Bearer " +
                                     ATTACK_TOKEN.encode() + b"\r\n\r\n")
                if health != 200:
                    findings.append("health answered %d after %d attacks (last %s)" % (health, sent, kind))
                    break
        peak = max(peak, resident_mib(server.pid))
        if server.poll() is not None:
            findings.append("server ended: %s" % server.returncode)
        if peak > 1024:
            findings.append("server grew to %d MiB" % peak)
    finally:
        if server.poll() is None:
            server.send_signal(signal.SIGTERM)
            try:
                server.wait(20)
            except subprocess.TimeoutExpired:
                server.kill(); server.wait()
        reader.join(5)
    # A job whose optimizer process died says so in its result or log.
    crashes = [l.strip() for l in lines if "killed by signal" in l]
    for name in sorted(os.listdir(work)):
        path = os.path.join(work, name)
        if os.path.isfile(path) and os.path.getsize(path) < 50_000_000:
            with open(path, "rb") as f:
                text = f.read()
            at = text.find(b"was killed by signal")
            if at >= 0:
                crashes.append("%s: %s" % (name, text[max(0, at - 40):at + 40].decode(errors="replace")))
    return sent, findings, crashes, peak, kinds


def file_sources(folder):
    """Small shared instances (uncompressed copies) and a file the library
    writes in each of its formats."""
    out = []
    for sub in ("netlib", "maros", "netlib_infeasible", "miplib", "formats"):
        d = os.path.join(DATA, sub)
        if not os.path.isdir(d):
            continue
        for name in sorted(os.listdir(d)):
            path = os.path.join(d, name)
            if os.path.getsize(path) > 60_000 or not name.lower().endswith((".mps", ".qps", ".lp", ".gz")):
                continue
            if name.endswith(".gz"):
                data = gzip.open(path).read()
                if len(data) > 200_000:
                    continue
                path = os.path.join(folder, name[:-3])
                with open(path, "wb") as f:
                    f.write(data)
            out.append(path)
    import _vlt
    env = _vlt.Env()
    t = _vlt.Task(env)
    if out:
        t.readdataautoformat_s_2(out[0])
    for ext in ("task", "ptf", "opf", "lp", "json", "mps"):
        path = os.path.join(folder, "written." + ext)
        try:
            t.writedata_s_2(path)
            out.append(path)
        except Exception as e:
            print("could not write a .%s file: %s" % (ext, e))
    return out


AUDITS = [0]


def run(part, seed, limit, folder, **values):
    script = CHILD_PRELUDE + "".join("%s = %r\n" % kv for kv in values.items()) + "SEED = %d\n" % seed + PARTS[part]
    progress = os.path.join(folder, "progress-%s-%d" % (part, seed))
    env = dict(os.environ, SWEEP_PROGRESS=progress, SWEEP_FILES=os.path.join(folder, "files"),
               PYTHONPATH=os.pathsep.join(map(os.path.abspath, sys.path[1:])))
    work = tempfile.mkdtemp(dir=folder)
    try:
        done = subprocess.run([sys.executable, "-c", script], cwd=work, env=env, capture_output=True, text=True,
                              timeout=limit)
        outcome = None if done.returncode == 0 and done.stdout.strip().endswith("done") else \
            ("signal %s" % signal.Signals(-done.returncode).name if done.returncode < 0 else
             "exit %d" % done.returncode)
        tail = done.stderr[-1500:]
        wrong = [line for line in done.stdout.splitlines() if line.startswith("wrong success")]
        AUDITS[0] += sum(int(line.split()[1]) for line in done.stdout.splitlines() if line.startswith("audited "))
    except subprocess.TimeoutExpired as e:
        outcome, tail = "hung (more than %d s)" % limit, ""
        wrong = [line for line in (e.stdout or b"").decode(errors="replace").splitlines()
                 if line.startswith("wrong success")]
    last = open(progress).read().splitlines()[-5:] if os.path.exists(progress) else []
    return outcome, last, tail, wrong


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--calls", type=int, default=80000)
    ap.add_argument("--files", type=int, default=800)
    ap.add_argument("--threads-seconds", type=float, default=20)
    ap.add_argument("--attacks", type=int, default=1000, help="requests sent to a velto-server on 127.0.0.1")
    ap.add_argument("--attack-seconds", type=float, default=300, help="at most this long for the attacks")
    ap.add_argument("--keep", help="folder that keeps the tasks of the first wrong successes of each child")
    ap.add_argument("--seed", type=int, default=1)
    ap.add_argument("--replay", nargs=2, metavar=("SEED", "PART"))
    a = ap.parse_args()
    per_child = 2000
    if a.keep:
        os.makedirs(a.keep, exist_ok=True)
        os.environ["SWEEP_KEEP"] = os.path.abspath(a.keep)
    with tempfile.TemporaryDirectory() as folder:
        with open(os.path.join(folder, "files"), "w") as f:
            f.write("\n".join(file_sources(folder)))
        plan = []
        if a.replay:
            plan = [(a.replay[1], int(a.replay[0]))]
        else:
            base = a.seed * 100000
            plan += [("calls", base + k) for k in range(max(1, a.calls // per_child))]
            plan += [("callables", base + k) for k in range(max(1, a.calls // (per_child * 10)))]
            plan += [("threads", base + k) for k in range(4)]
            plan += [("files", base + k) for k in range(max(1, a.files // 100))]
        findings, counts, wrong = [], {}, []
        for part, seed in plan:
            started = time.monotonic()
            outcome, last, tail, wrong_here = run(part, seed, 600, folder, CALLS=per_child,
                                                  SECONDS=a.threads_seconds, FILES=100)
            counts[part] = counts.get(part, 0) + 1
            wrong += wrong_here
            status = "ok" if outcome is None else outcome
            print("%-9s seed %-7d %-5s %5.0f s%s" % (part, seed, status, time.monotonic() - started,
                                                  "  wrong successes: %d" % len(wrong_here) if wrong_here else ""),
                  flush=True)
            for line in wrong_here[:5]:
                print("    " + line, flush=True)
            if outcome:
                findings.append((part, seed, outcome, last, tail))
                print(textwrap.indent("last: %s\n%s" % (last, tail), "    "), flush=True)
        attacks = 0
        if a.attacks and not a.replay:
            started = time.monotonic()
            attacks, server_findings, worker_crashes, peak, kinds = attack_server(a.attacks, a.attack_seconds,
                                                                                 a.seed, folder)
            print("attacks   %d requests %s in %.0f s; server peak %d MiB; %d job workers ended by a signal"
                  % (attacks, kinds, time.monotonic() - started, peak, len(worker_crashes)), flush=True)
            for line in server_findings + worker_crashes[:5]:
                print("    " + line, flush=True)
            findings += [("attacks", a.seed, x, [], "") for x in server_findings + worker_crashes]
        calls = per_child * counts.get("calls", 0) + per_child // 20 * counts.get("callables", 0)
        print("children: %s; calls about %d; mutated files %d; attacks %d; findings: %d; optimizes audited %d; "
              "wrong successes: %d" % (counts, calls, 100 * counts.get("files", 0), attacks, len(findings),
                                       AUDITS[0], len(wrong)))
        return 1 if findings or wrong else 0


if __name__ == "__main__":
    sys.exit(main())
