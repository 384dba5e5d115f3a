"""Uses _vlt as a hostile user would, in child interpreters, and reports every
child that crashed, hung or aborted instead of raising a Python exception.

  PYTHONPATH=build/pkg python3 tools/hostile_sweep.py [--calls N] [--seed S]
                                                      [--files N] [--threads-seconds T]

Four parts:
  calls     random arguments (wrong types, negative and huge indices, NaN,
            read-only and too short buffers, callables, other tasks) to every
            method of Env and Task, on a task that holds a little of every
            kind of data; the task is rebuilt now and then;
  callables progress, information and stream callables that raise, return
            odd values, dispose their task or environment, or call methods of
            their task, while it optimizes;
  threads   several threads calling random methods on one task at once;
  files     mutated copies of the shared instances (MPS/QPS/LP) and of files
            written by the library in each of its formats, read back.

A child that ends by a signal or runs past its time limit is a finding: the
seed and the methods it was calling are printed, so it can be replayed with
`--replay SEED PART`.  Everything a child writes goes to a temporary folder.
"""
import argparse
import gzip
import os
import random
import signal
import subprocess
import sys
import tempfile
import textwrap
import time

HERE = os.path.dirname(os.path.abspath(__file__))
DATA = os.path.join(HERE, "..", "..", "shared", "data")

CHILD_PRELUDE = r'''
import gc, os, random, resource, sys, threading, math
from array import array
import _vlt

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
        getattr(obj, name)(*args)
    except Exception:
        pass

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
    if rng.random() < 0.06:
        random_call(rng, env, enames, t, t2)
    else:
        random_call(rng, t, tnames, t, t2)
print("done")
'''

PART_CALLABLES = r'''
rng = random.Random(SEED)
env = _vlt.Env()
tnames = task_names()

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
            th.join(0.05); return 0
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
        t.optimizetrm__1()
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
print("done")
'''

PART_THREADS = r'''
import time
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
print("done")
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
            t.optimizetrm__1()
    except Exception:
        pass
    t.dispose()
    os.remove(name)
print("done")
'''

PARTS = {"calls": PART_CALLS, "callables": PART_CALLABLES, "threads": PART_THREADS, "files": PART_FILES}


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
    except subprocess.TimeoutExpired:
        outcome, tail = "hung (more than %d s)" % limit, ""
    last = open(progress).read().splitlines()[-5:] if os.path.exists(progress) else []
    return outcome, last, tail


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--calls", type=int, default=80000)
    ap.add_argument("--files", type=int, default=800)
    ap.add_argument("--threads-seconds", type=float, default=20)
    ap.add_argument("--seed", type=int, default=1)
    ap.add_argument("--replay", nargs=2, metavar=("SEED", "PART"))
    a = ap.parse_args()
    per_child = 2000
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
        findings, counts = [], {}
        for part, seed in plan:
            started = time.monotonic()
            outcome, last, tail = run(part, seed, 600, folder, CALLS=per_child, SECONDS=a.threads_seconds,
                                      FILES=100)
            counts[part] = counts.get(part, 0) + 1
            status = "ok" if outcome is None else outcome
            print("%-9s seed %-7d %-5s %5.0f s" % (part, seed, status, time.monotonic() - started), flush=True)
            if outcome:
                findings.append((part, seed, outcome, last, tail))
                print(textwrap.indent("last: %s\n%s" % (last, tail), "    "), flush=True)
        print("children: %s; findings: %d" % (counts, len(findings)))
        return 1 if findings else 0


if __name__ == "__main__":
    sys.exit(main())
