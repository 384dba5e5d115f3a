#!/usr/bin/env python3
"""Writes _vlt.pyi, the type stub of the module, from the method tables.

Usage: gen_stub.py OUT.pyi SOURCE.cpp...

Each row of a method table, `Method<"name_fmt_n", VLT_fn, Handle, Kind...>::def()`
(directly or through a `using` alias of the family source), gives one method:
its Python arguments are the kinds that stand for one (scalars, views,
bytearrays, name pairs, task lists), named as in the row, and its result is
(response code, value) with the value built from the scalar outputs.  Rows of
hand-written methods (`{"name", function, flags, "name(args)"}`) give their
arguments from their doc string.  A row whose arguments cannot be told falls
back to one argument per letter of the format in its name, so the stub always
lists every method.
"""
import re
import sys

HEADER = '''"""Type stub of _vlt, the low-level module of the velto optimizer
(generated from the method tables; do not edit).

Every generated method returns (response code, value): the value is None when
the method has no outputs or the library call failed.  Arrays are passed as
memoryviews (exact counts; None where the argument may be absent) or as
bytearrays that the method resizes.
"""
from typing import Any, Callable, List, Optional, Tuple, Union

'''

PLAIN = {
    ("Env", "set_Stream"): "(self, whichstream: int, func: Callable[[str], Any]) -> None",
    ("Env", "remove_Stream"): "(self, whichstream: int) -> None",
    ("Env", "enablegarcolenv"): "(self) -> Tuple[int, None]",
    ("Env", "dispose"): "(self) -> None",
    ("Task", "set_Stream"): "(self, whichstream: int, func: Callable[[str], Any]) -> None",
    ("Task", "remove_Stream"): "(self, whichstream: int) -> None",
    ("Task", "set_Progress"): "(self, func: Optional[Callable[[int], Any]]) -> None",
    ("Task", "remove_Progress"): "(self) -> None",
    ("Task", "set_InfoCallback"):
        "(self, func: Optional[Callable[[int, List[float], List[int], List[int]], Any]]) -> None",
    ("Task", "remove_InfoCallback"): "(self) -> None",
    ("Task", "writedatastream"): "(self, dformat: int, compress: int, stream: Any) -> int",
    ("Task", "getlasterror"): "(self) -> Tuple[int, str]",
    ("Task", "dispose"): "(self) -> None",
}

CONSTRUCTORS = {
    "Env": "    def __init__(self, dbgfile: Optional[str] = None, globalenv: Optional[int] = None) -> None: ...",
    "Task": ("    def __init__(self, env: Optional[Env] = None, numcon: int = 0, numvar: int = 0,\n"
             "                 other: Optional[Task] = None) -> None: ..."),
}

SCALARS = {"I32": "int", "I64": "int", "F64": "float", "Str": "str"}
VIEWS = {"In", "InOut", "CountedIn", "Out", "KeyIn", "KeyOut", "KeyList", "InAtLeast", "KeyListAtLeast", "Covers",
         "CoversColumns", "View"}
KEY_VIEWS = {"KeyIn", "KeyOut"}
BYTEARRAYS = {"OutBytes", "KeyOutBytes", "TextBytes", "FixedText", "Bytes", "LibArray"}
RESULTS = {"int32_t": "int", "int64_t": "int", "double": "float"}
LETTERS = {"i": "int", "L": "int", "d": "float", "s": "str", "O": "Any"}

TOKEN = re.compile(r'"(?:[^"\\]|\\.)*"|[A-Za-z_]\w*(?:::\w+)*|::|-?\d+|[<>,()]|\S')


class Node:
    """A template expression: a head with arguments, or a literal."""

    def __init__(self, head, args=None):
        self.head, self.args = head, args or []

    def text(self):
        return self.head[1:-1] if self.head.startswith('"') else self.head


def strip_comments(source):
    source = re.sub(r"/\*.*?\*/", " ", source, flags=re.S)
    return re.sub(r"//[^\n]*", " ", source)


def parse_expression(tokens, k):
    """Parses the template expression at tokens[k]; returns (node, next k)."""
    node = Node(tokens[k])
    k += 1
    if k < len(tokens) and tokens[k] == "<" and not node.head.startswith('"'):
        k += 1
        while tokens[k] != ">":
            arg, k = parse_expression(tokens, k)
            node.args.append(arg)
            if tokens[k] == ",":
                k += 1
        k += 1
    return node, k


def tokenize(text):
    return [t for t in TOKEN.findall(text.replace(">>", "> >"))]


def parse_aliases(source):
    """{name: (parameter names, Node)} of the `using` aliases of a source."""
    aliases = {}
    pattern = re.compile(r"(template\s*<([^;{}]*?)>\s*)?using\s+(\w+)\s*=\s*([^;]+);")
    for m in pattern.finditer(source):
        params = [p.split()[-1] for p in m.group(2).split(",")] if m.group(2) else []
        tokens = tokenize(m.group(4))
        try:
            node, _ = parse_expression(tokens, 0)
        except IndexError:
            continue
        aliases[m.group(3)] = (params, node)
    return aliases


def expand(node, aliases, bindings=None, depth=0):
    """The node with aliases and template parameters replaced."""
    bindings = bindings or {}
    if depth > 20:
        return node
    if node.head in bindings and not node.args:
        return bindings[node.head]
    args = [expand(a, aliases, bindings, depth + 1) for a in node.args]
    if node.head in aliases:
        params, body = aliases[node.head]
        if len(params) == len(args):
            return expand(body, aliases, dict(zip(params, args)), depth + 1)
    return Node(node.head, args)


def method_rows(source):
    """The template expressions of the rows `X<"...">::def()` of a source."""
    tokens = tokenize(source)
    rows = []
    for k in range(len(tokens) - 2):
        if tokens[k + 1] == "<" and tokens[k + 2].startswith('"') and re.match(r"[A-Za-z_]\w*$", tokens[k]):
            try:
                node, end = parse_expression(tokens, k)
            except IndexError:
                continue
            if tokens[end:end + 2] == ["::", "def"]:
                rows.append(node)
    return rows


def method_format(name):
    m = re.match(r"^(.*)_([A-Za-z]*)_(\d+)$", name)
    return m.group(2) if m else None


def signature(row):
    """(name, parameters, result) of a Method row."""
    name = row.args[0].text()
    fmt = method_format(name) or ""
    params, outputs = [], []
    for kind in row.args[2:]:
        head = kind.head.split("::")[-1]
        label = kind.args[-1].text() if head in SCALARS and kind.args else None
        if head in SCALARS:
            params.append((label or f"arg{len(params)}", SCALARS[head]))
        elif head in VIEWS:
            text = next((a.text() for a in kind.args if a.head.startswith('"')), f"arg{len(params)}")
            params.append((text, "memoryview" if head in KEY_VIEWS else "Optional[memoryview]"))
        elif head in BYTEARRAYS:
            text = next((a.text() for a in kind.args if a.head.startswith('"')), f"arg{len(params)}")
            params.append((text, "bytearray"))
        elif head == "NamePair":
            text = kind.args[0].text() if kind.args else "names"
            params += [(f"{text}_offsets", "Optional[memoryview]"), (f"{text}_text", "Optional[memoryview]")]
        elif head == "TaskList":
            params.append((kind.args[0].text() if kind.args else "task", "Optional[List[Task]]"))
        elif head == "Ret":
            outputs.append(RESULTS.get(kind.args[0].head if kind.args else "", "int"))
        elif head == "RetTask":
            outputs.append("Task")
    if len(params) != len(fmt):
        params = [(f"arg{k}", LETTERS.get(c, "Any")) for k, c in enumerate(fmt)]
    names = [p for p, _ in params]
    params = [(f"{p}_{k}" if names.count(p) > 1 or p in ("self", "lambda") else p, t)
              for k, (p, t) in enumerate(params)]
    if not outputs:
        result = "Tuple[int, None]"
    elif len(outputs) == 1:
        result = f"Tuple[int, Optional[{outputs[0]}]]"
    else:
        result = f"Tuple[int, Optional[Tuple[{', '.join(outputs)}]]]"
    return name, params, result


def plain_rows(source):
    """Names of the hand-written methods in a source's method tables."""
    return re.findall(r'\{\s*"(\w+)"\s*,\s*\w+\s*,\s*METH_\w+', source)


def owner_of(path):
    return "Env" if "/env/" in path.replace("\\", "/") or path.startswith("env/") else "Task"


def generate(paths):
    methods = {"Env": {}, "Task": {}}
    for path in paths:
        with open(path, encoding="utf-8") as fh:
            source = strip_comments(fh.read())
        owner = owner_of(path)
        aliases = parse_aliases(source)
        for row in method_rows(source):
            row = expand(row, aliases)
            if row.head != "Method" or len(row.args) < 2:
                continue
            name, params, result = signature(row)
            text = ", ".join(["self"] + [f"{p}: {t}" for p, t in params])
            static = not any(a.head in ("TaskHandle", "EnvHandle", "T", "E") for a in row.args[2:])
            methods[owner][name] = (static, f"({text}) -> {result}")
        for name in plain_rows(source):
            if (owner, name) in PLAIN:
                methods[owner][name] = (False, PLAIN[(owner, name)])
    lines = [HEADER]
    for owner in ("Env", "Task"):
        lines.append(f"class {owner}:")
        lines.append(CONSTRUCTORS[owner])
        for name in sorted(methods[owner]):
            static, sig = methods[owner][name]
            if static:
                lines.append("    @staticmethod")
                sig = sig.replace("(self, ", "(").replace("(self)", "()")
            lines.append(f"    def {name}{sig}: ...")
        lines.append("")
    return "\n".join(lines) + "\n"


def main():
    out, *paths = sys.argv[1:]
    text = generate(paths)
    with open(out, "w", encoding="utf-8") as fh:
        fh.write(text)


if __name__ == "__main__":
    main()
