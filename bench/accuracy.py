"""Accuracy of the optimizer on public benchmark instances.

Solves every instance of the Netlib (feasible and infeasible), MIPLIB 3 and
Maros-Meszaros sets of the shared data folder, each in its own process with a
time limit, and compares the answer with the published optimal value:

    PYTHONPATH=build/pkg python3 bench/accuracy.py [--sets netlib,miplib]
        [--time-limit SECONDS] [--jobs 1] [--instances 'afiro,sc*'] [--json out.json]

The files are read by the library itself (readdataautoformat).  Relative
error is |obj - ref| / max(1, |ref|); the tolerances are 1e-6 for Netlib and
Maros-Meszaros, 1e-5 for MIPLIB (its catalogue values are rounded).

Verdicts: ok, wrong (objective or status disagrees), infeasible-ok (an
infeasible instance reported primal infeasible), unsupported (the library
refused the problem with a response code, e.g. a non-convex objective),
timeout (the optimizer's time limit or the process deadline was hit), error
(any other response code, or a crash).

Reference values: optimal_values.csv of the data folder, with its
corrections.csv on top (values that independent solvers show wrong, or
that leave out the objective constant).
"""
import argparse
import concurrent.futures
import csv
import fnmatch
import json
import math
import os
import pathlib
import subprocess
import sys
import time

SETS = {  # set -> (file pattern, tolerance, solution selector)
    "netlib": ("*.mps.gz", 1e-6, None),
    "netlib_infeasible": ("*.mps.gz", None, None),
    "miplib": ("*.mps.gz", 1e-5, 2),
    "maros": ("*.QPS.gz", 1e-6, None),
}
SOL_ITR, SOL_BAS, SOL_ITG = 0, 1, 2

# Response codes with which the library declines a problem it cannot solve.
UNSUPPORTED_CODES = {1601: "ERR_NO_OPTIMIZER", 1603: "ERR_NONCONVEX", 1604: "ERR_PROBLEM_TYPE"}
TRM_MAX_TIME = 10001
PRO_STA_PRIM_INFEAS = 4

SOLSTA = {0: "UNKNOWN", 1: "OPTIMAL", 2: "PRIM_FEAS", 3: "DUAL_FEAS", 4: "PRIM_AND_DUAL_FEAS",
          5: "PRIM_INFEAS_CER", 6: "DUAL_INFEAS_CER", 7: "PRIM_ILLPOSED_CER", 8: "DUAL_ILLPOSED_CER",
          9: "INTEGER_OPTIMAL"}
PROSTA = {0: "UNKNOWN", 1: "PRIM_AND_DUAL_FEAS", 2: "PRIM_FEAS", 3: "DUAL_FEAS", 4: "PRIM_INFEAS",
          5: "DUAL_INFEAS", 6: "PRIM_AND_DUAL_INFEAS", 7: "ILL_POSED", 8: "PRIM_INFEAS_OR_UNBOUNDED"}
DPAR_OPTIMIZER_MAX_TIME = 49
DPAR_MIO_TOL_REL_GAP = 48


def default_data_dir():
    env = os.environ.get("VELTO_DATA_DIR")
    if env:
        return pathlib.Path(env)
    return pathlib.Path(__file__).resolve().parent.parent.parent / "shared" / "data"


def instance_name(path):
    name = path.name
    for suffix in (".gz", ".mps", ".MPS", ".qps", ".QPS"):
        if name.endswith(suffix):
            name = name[: -len(suffix)]
    return name


def read_references(data_dir):
    """{(set, instance): (raw value, note)}: the table, then its corrections."""
    refs = {}
    with open(data_dir / "optimal_values.csv", newline="") as f:
        for row in csv.DictReader(f):
            refs[(row["set"], row["instance"])] = (row["optimal_objective"], "")
    corrections = data_dir / "corrections.csv"
    if corrections.exists():
        with open(corrections, newline="") as f:
            for row in csv.DictReader(f):
                table = refs.get((row["set"], row["instance"]), ("?", ""))[0]
                refs[(row["set"], row["instance"])] = (row["objective"], f"table {table}; {row['evidence']}")
    return refs


def reference_value(set_name, instance, refs):
    """(value, note): value is a float, 'infeasible', or None when unknown."""
    raw, note = refs.get((set_name, instance), (None, "no reference"))
    if raw is None:
        return None, note
    try:
        return float(raw), note
    except ValueError:
        return raw, note


def list_instances(data_dir, sets, patterns):
    for set_name in sets:
        pattern = SETS[set_name][0]
        for path in sorted((data_dir / set_name).glob(pattern)):
            name = instance_name(path)
            if patterns and not any(fnmatch.fnmatch(name, p) for p in patterns):
                continue
            yield set_name, name, path


# ------------------------------------------------------------------ worker

def ok(result):
    """The response code of a generated method's answer."""
    return result[0] if isinstance(result, tuple) else result


def solve_one(path, set_name, time_limit, mip_rel_gap):
    """Reads and optimizes one file in this process; returns a dict."""
    import _vlt

    out = {"rows": None, "cols": None, "res": 0, "trm": None, "status": "", "prosta": None, "solsta": None,
           "objective": None, "time": None}
    env = _vlt.Env()
    task = _vlt.Task(env)
    try:
        start = time.perf_counter()
        res = ok(task.readdataautoformat_s_2(str(path)))
        if res != 0:
            out["res"] = res
            out["time"] = time.perf_counter() - start
            return out
        out["rows"] = task.getnumcon__1()[1]
        out["cols"] = task.getnumvar__1()[1]
        if time_limit is not None:
            task.putdouparam_id_3(DPAR_OPTIMIZER_MAX_TIME, float(time_limit))
        if mip_rel_gap is not None:
            task.putdouparam_id_3(DPAR_MIO_TOL_REL_GAP, float(mip_rel_gap))
        res, trm = task.optimizetrm__1()
        out["time"] = time.perf_counter() - start
        out["res"], out["trm"] = res, trm
        if res != 0:
            return out
        which = SETS[set_name][2]
        if which is None:
            which = SOL_BAS if task.solutiondef_i_2(SOL_BAS)[1] else SOL_ITR
        if not task.solutiondef_i_2(which)[1]:
            out["status"] = "no solution"
            return out
        out["prosta"] = task.getprosta_i_2(which)[1]
        out["solsta"] = task.getsolsta_i_2(which)[1]
        out["objective"] = task.getprimalobj_i_2(which)[1]
        out["status"] = SOLSTA.get(out["solsta"], str(out["solsta"]))
        if out["prosta"] == PRO_STA_PRIM_INFEAS or out["solsta"] == 0:
            out["status"] += "/" + PROSTA.get(out["prosta"], str(out["prosta"]))
        return out
    finally:
        task.dispose()
        env.dispose()


def worker_main(args):
    out = solve_one(pathlib.Path(args.worker), args.worker_set, args.time_limit, args.mip_rel_gap)
    sys.stdout.write("RESULT " + json.dumps(out) + "\n")


# ------------------------------------------------------------------ verdicts

def judge(set_name, out, reference):
    """(verdict, relative error or None, reason)."""
    res = out.get("res", 0)
    if res in UNSUPPORTED_CODES:
        return "unsupported", None, UNSUPPORTED_CODES[res]
    if res != 0:
        return "error", None, f"response code {res}"
    if out.get("trm") == TRM_MAX_TIME:
        return "timeout", None, "optimizer time limit"
    if reference == "infeasible":
        if out.get("prosta") == PRO_STA_PRIM_INFEAS:
            return "infeasible-ok", None, ""
        return "wrong", None, "expected primal infeasible"
    if not isinstance(reference, float):
        return "error", None, f"no numeric reference ({reference})"
    objective = out.get("objective")
    if objective is None or out.get("solsta") not in (1, 9):
        trm = out.get("trm")
        if trm:  # the optimizer says it stopped without an answer
            return "error", None, f"termination code {trm}"
        return "wrong", None, "not optimal"
    rel = abs(objective - reference) / max(1.0, abs(reference))
    if rel <= SETS[set_name][1]:
        return "ok", rel, ""
    return "wrong", rel, "objective differs"


# Seconds per instance when --time-limit is not given: a few MIPLIB 3
# instances need minutes of branch and bound (pk1 about ten on this machine).
DEFAULT_TIME_LIMIT = {"miplib": 900.0}


def run_instance(set_name, name, path, reference, args):
    limit = args.time_limit if args.time_limit is not None else DEFAULT_TIME_LIMIT.get(set_name, 120.0)
    cmd = [sys.executable, os.path.abspath(__file__), "--worker", str(path), "--worker-set", set_name,
           "--time-limit", str(limit)]
    if args.mip_rel_gap is not None:
        cmd += ["--mip-rel-gap", str(args.mip_rel_gap)]
    deadline = limit * 1.5 + 30  # reading + the library's own limit + slack
    start = time.perf_counter()
    try:
        proc = subprocess.run(cmd, capture_output=True, text=True, timeout=deadline)
    except subprocess.TimeoutExpired:
        out = {"wall": time.perf_counter() - start}
        return set_name, name, out, reference, ("timeout", None, f"killed after {deadline:.0f} s")
    wall = time.perf_counter() - start
    line = next((l for l in proc.stdout.splitlines() if l.startswith("RESULT ")), None)
    if line is None:
        tail = (proc.stderr.strip().splitlines() or [""])[-1]
        out = {"wall": wall}
        return set_name, name, out, reference, ("error", None, f"exit {proc.returncode}: {tail[:60]}")
    out = json.loads(line[7:])
    out["wall"] = wall
    return set_name, name, out, reference, judge(set_name, out, reference)


def fmt_num(x, pattern):
    return "" if x is None else format(x, pattern)


def main():
    p = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    p.add_argument("--data", type=pathlib.Path, default=default_data_dir())
    p.add_argument("--sets", default=",".join(SETS), help="comma-separated: " + ", ".join(SETS))
    p.add_argument("--instances", default="", help="comma-separated name patterns (fnmatch)")
    p.add_argument("--time-limit", type=float, default=None,
                   help="seconds per instance (default 120; 900 for MIPLIB)")
    p.add_argument("--mip-rel-gap", type=float, default=None,
                   help="relative gap for branch and bound (default: the library's)")
    p.add_argument("--jobs", type=int, default=1)
    p.add_argument("--json", type=pathlib.Path, help="also write the rows to this file")
    p.add_argument("--worker", help=argparse.SUPPRESS)
    p.add_argument("--worker-set", help=argparse.SUPPRESS)
    args = p.parse_args()
    if args.worker:
        worker_main(args)
        return 0

    sets = [s for s in args.sets.split(",") if s]
    unknown = [s for s in sets if s not in SETS]
    if unknown:
        p.error("unknown set(s): " + ", ".join(unknown))
    if not (args.data / "optimal_values.csv").exists():
        p.error(f"no benchmark data in {args.data} (set --data or VELTO_DATA_DIR)")
    refs = read_references(args.data)
    patterns = [s for s in args.instances.split(",") if s]
    todo = []
    for set_name, name, path in list_instances(args.data, sets, patterns):
        reference, note = reference_value(set_name, name, refs)
        todo.append((set_name, name, path, reference, note))

    header = (f"{'set':<18} {'instance':<10} {'rows':>6} {'cols':>6} {'status':<27} {'objective':>17} "
              f"{'reference':>17} {'rel.err':>8} {'time':>7}  verdict")
    print(header)
    print("-" * len(header))
    rows = []
    notes = {(s, n): note for s, n, _, _, note in todo if note}
    with concurrent.futures.ThreadPoolExecutor(max_workers=max(1, args.jobs)) as pool:
        futures = [pool.submit(run_instance, s, n, path, ref, args) for s, n, path, ref, _ in todo]
        for fut in futures:  # in submission order, so the table stays sorted
            set_name, name, out, reference, (verdict, rel, reason) = fut.result()
            status = out.get("status") or (UNSUPPORTED_CODES.get(out.get("res"), "") if out.get("res") else "")
            if not status and out.get("res"):
                status = f"res {out['res']}"
            ref_text = reference if isinstance(reference, str) else fmt_num(reference, ".10g")
            line = (f"{set_name:<18} {name:<10} {fmt_num(out.get('rows'), 'd'):>6} {fmt_num(out.get('cols'), 'd'):>6} "
                    f"{status[:27]:<27} {fmt_num(out.get('objective'), '.10g'):>17} {str(ref_text):>17} "
                    f"{fmt_num(rel, '.1e'):>8} {fmt_num(out.get('time') or out.get('wall'), '.2f'):>7}  {verdict}")
            if reason:
                line += f" ({reason})"
            print(line, flush=True)
            rows.append({"set": set_name, "instance": name, **out, "reference": reference, "verdict": verdict,
                         "rel_error": rel, "reason": reason})

    print()
    for set_name in sets:
        mine = [r for r in rows if r["set"] == set_name]
        if not mine:
            continue
        counts = {}
        for r in mine:
            counts[r["verdict"]] = counts.get(r["verdict"], 0) + 1
        parts = ", ".join(f"{k} {v}" for k, v in sorted(counts.items()))
        total = sum(r.get("wall") or 0.0 for r in mine)
        print(f"summary {set_name:<18} {len(mine):>3} instances: {parts}; {total:.0f} s")
    for (set_name, name), note in notes.items():
        print(f"note: {set_name}/{name}: reference = {note}")
    if args.json:
        args.json.write_text(json.dumps(rows, indent=1))
    return 0 if all(r["verdict"] in ("ok", "infeasible-ok") for r in rows) else 1


if __name__ == "__main__":
    sys.exit(main())
