#!/usr/bin/env python3
"""Generates the library's entry points and tables from library/velto.h.

velto.h is the one source of truth for the interface: every exported VLT_
function gets a wrapper here that resolves its handle, records the call in the
call log and runs vlt::impl::<name> when the library implements it (a
definition starting with `void impl::<name>(` somewhere under optimizer/), or
answers VLT_RES_ERR_NOT_IMPLEMENTED otherwise.  The response codes get their
names from the header and their descriptions from code_descriptions.txt.

Usage: gen_api.py --header library/velto.h --sources FILE_OR_DIR... --descriptions FILE --out DIR
"""
import argparse
import os
import re
import sys

DECL = re.compile(r"^VLTEXPORT\s+VLTrescodee\s+VLTAPI\s+VLT_(\w+)\s*\((.*)\);\s*$")
IMPL = re.compile(r"^void\s+impl::(\w+)\s*\(", re.M)
ENUM_OPEN = re.compile(r"^enum\s+(VLT\w+)_enum\s*\{\s*/\*\s*(\w+)\s*\*/")
MEMBER = re.compile(r"^\s*(VLT_\w+)\s*=\s*(-?\w+)\s*,?\s*(?:/\*\s*(.*?)\s*\*/)?\s*$")
# Functions whose first argument is the address of a handle that they delete.
DELETERS = {"deleteenv": "env", "deletetask": "task"}
# How a task function enters its task's lock (api/call.hpp): functions that
# only read the task (getters, reports, writers, copies) may run nested inside
# a call of the same thread, from one of the task's callbacks; the others
# change it and are refused there.  The last error and the hooks never wait.
READS = re.compile(r"^(get|analyze|check|write|evaluate|is|strto)|summary$|report$|sensitivity$|^clonetask$")
UNLOCKED = {"getlasterror", "linkfunctotaskstream", "putcallbackfunc"}
# Entry points that are the task lock's own (api/call.hpp): no handle check,
# no messages, no call log.
HOLDS = {"holdtask": "hold_task", "releasetask": "release_task"}


def task_access(name):
    if name in UNLOCKED:
        return "unlocked"
    return "reads" if READS.search(name) else "changes"


def parse_functions(text):
    functions = []
    for line in text.splitlines():
        m = DECL.match(line.strip())
        if not m:
            if line.strip().startswith("VLTEXPORT"):
                sys.exit("gen_api: cannot parse declaration: " + line)
            continue
        name, params = m.group(1), m.group(2).strip()
        args = []
        if params and params != "void":
            for p in params.split(","):
                p = p.strip()
                pm = re.match(r"^(.*?)(\w+)$", p)
                if not pm:
                    sys.exit(f"gen_api: cannot parse parameter '{p}' of VLT_{name}")
                args.append((pm.group(1).strip(), pm.group(2)))
        functions.append((name, args))
    return functions


def parse_enums(texts):
    enums = []
    for text in texts:
        current = None
        for line in text.splitlines():
            m = ENUM_OPEN.match(line.strip())
            if m:
                current = (m.group(1), m.group(2), [])
                enums.append(current)
                continue
            if current is None:
                continue
            if line.strip().startswith("}"):
                current = None
                continue
            mm = MEMBER.match(line)
            if mm:
                current[2].append((mm.group(1), int(mm.group(2), 0), mm.group(3) or ""))
    return enums


def find_impls(sources):
    found = set()
    for path in sources:
        if os.path.isdir(path):
            for root, _, files in os.walk(path):
                found |= find_impls(os.path.join(root, f) for f in files if f.endswith(".cpp"))
        elif path.endswith(".cpp"):
            with open(path, encoding="utf-8") as fh:
                found.update(IMPL.findall(fh.read()))
    return found


def impl_params(args):
    out = []
    for i, (t, n) in enumerate(args):
        if i == 0 and t == "VLTtask_t":
            out.append(f"Task& {n}")
        elif i == 0 and t == "VLTenv_t":
            out.append(f"Env& {n}")
        else:
            out.append(f"{t} {n}")
    return ", ".join(out)


def log_body(logs):
    return f"l_{logs};" if logs else "(void)l_;"


def wrapper(name, args, implemented):
    cparams = ", ".join(f"{t} {n}" for t, n in args) or "void"
    fn = f'"VLT_{name}"'
    if name in HOLDS:
        return (f"extern \"C\" VLTEXPORT VLTrescodee VLTAPI VLT_{name}({cparams}) {{\n"
                f"    return vlt::api::{HOLDS[name]}({args[0][1]});\n}}\n")
    if args and args[0][0] in ("VLTtask_t", "VLTenv_t") and name not in DELETERS:
        kind = "task" if args[0][0] == "VLTtask_t" else "env"
        rest = args[1:]
        obj = "Task" if kind == "task" else "Env"
        call_args = ", ".join(["h_"] + [n for _, n in rest])
        body = f"vlt::impl::{name}({call_args});" if implemented else f"vlt::api::not_implemented({fn});"
        logs = "".join(f'.arg("{n}", {n})' for _, n in rest)
        access = f"vlt::api::Access::{task_access(name)}, " if kind == "task" else ""
        return (f"extern \"C\" VLTEXPORT VLTrescodee VLTAPI VLT_{name}({cparams}) {{\n"
                f"    return vlt::api::call_{kind}({fn}, {args[0][1]}, {access}[&](vlt::{obj}& h_) {{ {'(void)h_; ' if not implemented else ''}{body} }},\n"
                f"        [&](vlt::LogLine& l_) {{ {log_body(logs)} }});\n}}\n")
    call_args = ", ".join(n for _, n in args)
    body = f"vlt::impl::{name}({call_args});" if implemented else f"vlt::api::not_implemented({fn});"
    logs = "".join(f'.arg("{n}", {n})' for _, n in args)
    return (f"extern \"C\" VLTEXPORT VLTrescodee VLTAPI VLT_{name}({cparams}) {{\n"
            f"    return vlt::api::call_free({fn}, {'false' if name in DELETERS else 'true'}, [&]() {{ {body} }},\n"
            f"        [&](vlt::LogLine& l_) {{ {log_body(logs)} }});\n}}\n")


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--header", required=True)
    ap.add_argument("--params-header")
    ap.add_argument("--sources", required=True, nargs="+", help="source files or folders")
    ap.add_argument("--descriptions", required=True)
    ap.add_argument("--out", required=True)
    a = ap.parse_args()

    text = open(a.header, encoding="utf-8").read()
    texts = [text]
    if a.params_header and os.path.exists(a.params_header):
        texts.append(open(a.params_header, encoding="utf-8").read())
    functions = parse_functions(text)
    impls = find_impls(a.sources)
    names = {n for n, _ in functions}
    unknown = sorted(impls - names)
    if unknown:
        sys.exit("gen_api: implementations of undeclared functions: " + ", ".join(unknown))

    os.makedirs(a.out, exist_ok=True)

    def write(path, content):
        # Rewrite only on change so that unchanged outputs do not trigger rebuilds.
        full = os.path.join(a.out, path)
        if os.path.exists(full) and open(full, encoding="utf-8").read() == content:
            return
        with open(full, "w", encoding="utf-8") as fh:
            fh.write(content)

    decls = ["// Generated by tools/gen_api.py from velto.h. Do not edit.", "#pragma once",
             "#include \"velto.h\"", "namespace vlt {", "class Task;", "class Env;", "namespace impl {"]
    for name, args in functions:
        if name not in HOLDS:
            decls.append(f"void {name}({impl_params(args)});")
    decls += ["}  // namespace impl", "}  // namespace vlt", ""]
    write("api_impl.hpp", "\n".join(decls))

    entry = ["// Generated by tools/gen_api.py from velto.h. Do not edit.", "#include \"api/call.hpp\"",
             "#include \"api_impl.hpp\"", ""]
    for name, args in functions:
        entry.append(wrapper(name, args, name in impls))
    write("api_entry.cpp", "\n".join(entry))

    enums = parse_enums(texts)
    rescodes = next((m for e, _, m in enums if e == "VLTrescode"), [])
    descriptions = {}
    for line in open(a.descriptions, encoding="utf-8"):
        line = line.strip()
        if line and not line.startswith("#"):
            key, _, desc = line.partition(" ")
            descriptions[key] = desc.strip()
    missing = [n for n, _, _ in rescodes if n not in descriptions]
    if missing:
        sys.exit("gen_api: response codes without a description in " + a.descriptions + ": " + ", ".join(missing))
    table = ["// Generated by tools/gen_api.py. Do not edit."]
    for n, v, _ in rescodes:
        desc = descriptions[n].replace("\\", "\\\\").replace('"', '\\"')
        table.append(f'{{{n}, "{n}", "{desc}"}},')
    write("codes_table.inc", "\n".join(table) + "\n")

    values = ["// Generated by tools/gen_api.py from velto.h. Do not edit.",
              "// Every enumeration of the interface as (code, member name) rows, for",
              "// the tables that name codes in text.  Include inside a namespace that",
              "// declares `struct EnumValue { int32_t code; const char* name; };`."]
    for enum, _, members in enums:
        if members:
            rows = ", ".join(f'{{{m}, "{m}"}}' for m, _, _ in members)
            values.append(f"inline constexpr EnumValue k{enum}[] = {{{rows}}};")
    write("enum_values.inc", "\n".join(values) + "\n")

    done = impls | HOLDS.keys()
    summary = f"{len(functions)} functions, {len(done)} implemented"
    write("api_summary.txt", summary + "\n" + "\n".join(sorted(names - done)) + "\n")
    print("gen_api:", summary)


if __name__ == "__main__":
    main()
