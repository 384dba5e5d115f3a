#!/usr/bin/env python3
"""Exits 0 when every named Python package is importable; with --missing,
prints the ones that are not (for pip)."""
import importlib.util
import sys

IMPORT_NAMES = {"scikit-build-core": "scikit_build_core"}

args = sys.argv[1:]
list_missing = bool(args) and args[0] == "--missing"
packages = args[1:] if list_missing else args
missing = [p for p in packages if importlib.util.find_spec(IMPORT_NAMES.get(p, p).replace("-", "_")) is None]
if list_missing:
    print(" ".join(missing))
sys.exit(1 if missing and not list_missing else 0)
