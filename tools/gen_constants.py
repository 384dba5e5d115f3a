#!/usr/bin/env python3
"""Writes velto/_constants.py: the library's enumerations as Python IntEnums.

Usage: gen_constants.py velto.h [velto_params.h] OUT.py
Each `enum VLT<name>_enum { /* ClassName */` becomes `class ClassName(IntEnum)`;
member names lose the prefix that all members of the enumeration share
(VLT_BK_LO -> BoundKey.LO).
"""
import os
import re
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from gen_api import parse_enums  # noqa: E402

DEFINE = re.compile(r"^#define\s+(VLT_\w+)\s+(-?\d+)\s*$")


def common_prefix(names):
    prefix = os.path.commonprefix(names)
    prefix = prefix[: prefix.rfind("_") + 1] if "_" in prefix else ""
    return prefix


def python_name(member, prefix):
    name = member[len(prefix):]
    if not name or not (name[0].isalpha() or name[0] == "_"):
        name = "_" + name
    return name


def main():
    *headers, out = sys.argv[1:]
    texts = [open(h, encoding="utf-8").read() for h in headers if os.path.exists(h)]
    enums = parse_enums(texts)
    lines = ['"""The velto library\'s constants (generated from velto.h; do not edit)."""',
             "from enum import IntEnum", ""]
    exported = []
    for text in texts:
        for line in text.splitlines():
            m = DEFINE.match(line.strip())
            if m:
                lines.append(f"{m.group(1)[4:]} = {m.group(2)}")
                exported.append(m.group(1)[4:])
    lines.append("")
    for _, cls, members in enums:
        if not members:
            continue
        prefix = common_prefix([m for m, _, _ in members]) if len(members) > 1 else "VLT_"
        lines.append(f"\nclass {cls}(IntEnum):")
        for m, v, comment in members:
            doc = f"  # {comment}" if comment else ""
            lines.append(f"    {python_name(m, prefix)} = {v}{doc}")
        exported.append(cls)
    lines.append("")
    lines.append("__all__ = " + repr(exported))
    with open(out, "w", encoding="utf-8") as fh:
        fh.write("\n".join(lines) + "\n")


if __name__ == "__main__":
    main()
