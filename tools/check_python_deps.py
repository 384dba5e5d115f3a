#!/usr/bin/env python3
"""Exits 0 when every named Python package is importable (and, for a name
pinned as NAME~=X.Y.Z, installed in a version X.Y.* at or above X.Y.Z); with
--missing, prints the ones that are not, as given (for pip)."""
import importlib.metadata
import importlib.util
import sys

IMPORT_NAMES = {"scikit-build-core": "scikit_build_core"}


def numbers(version):
    return tuple(int(part) for part in version.split(".") if part.isdigit())


def satisfied(requirement):
    name, _, pin = requirement.partition("~=")
    if importlib.util.find_spec(IMPORT_NAMES.get(name, name).replace("-", "_")) is None:
        return False
    if not pin:
        return True
    try:
        installed = numbers(importlib.metadata.version(name))
    except importlib.metadata.PackageNotFoundError:
        return False
    wanted = numbers(pin)
    return installed >= wanted and installed[:len(wanted) - 1] == wanted[:-1]


args = sys.argv[1:]
list_missing = bool(args) and args[0] == "--missing"
packages = args[1:] if list_missing else args
missing = [p for p in packages if not satisfied(p)]
if list_missing:
    print(" ".join(missing))
sys.exit(1 if missing and not list_missing else 0)
