"""The references that _vlt is measured against: the hand-written extension
bench/ref_ext.c (compiled here, once per build, with the module's own
compiler flags) and ctypes bindings of the same library."""
from __future__ import annotations

import ctypes
import hashlib
import importlib.util
import os
import re
import shlex
import subprocess
import sys
import sysconfig
from pathlib import Path

import _vlt

BENCH_DIR = Path(__file__).resolve().parent
SOURCE_DIR = BENCH_DIR.parent
PKG_DIR = Path(_vlt.__file__).resolve().parent
BUILD_DIR = PKG_DIR.parent
LIBRARY = PKG_DIR / "libvelto64.so"

FALLBACK_FLAGS = ["-O2"]


def _cmake_cache(name: str) -> str | None:
    cache = BUILD_DIR / "CMakeCache.txt"
    if not cache.exists():
        return None
    for line in cache.read_text(errors="replace").splitlines():
        if line.startswith(name + ":"):
            return line.split("=", 1)[1]
    return None


def module_flags() -> tuple[list[str], str]:
    """The optimisation and code-generation flags the module was compiled
    with, and where they were found.  Language-specific flags (-std=...)
    and include paths are left out."""
    ninja = BUILD_DIR / "build.ninja"
    if ninja.exists():
        text = ninja.read_text(errors="replace")
        match = re.search(r"^build CMakeFiles/_vlt\.dir/\S+\.o: .*\n((?:  .*\n)+)", text, re.M)
        if match:
            flags = re.search(r"^  FLAGS = (.*)$", match.group(1), re.M)
            if flags:
                kept = [f for f in shlex.split(flags.group(1))
                        if f.startswith(("-O", "-D", "-f", "-g", "-m", "-W")) and not f.startswith("-std")]
                return kept, "build.ninja (the flags of _vlt's sources)"
    build_type = _cmake_cache("CMAKE_BUILD_TYPE") or "Release"
    release = _cmake_cache(f"CMAKE_CXX_FLAGS_{build_type.upper()}")
    if release:
        return shlex.split(release) + ["-fvisibility=hidden"], f"CMakeCache.txt ({build_type})"
    return FALLBACK_FLAGS, "fallback"


def c_compiler() -> str:
    return _cmake_cache("CMAKE_C_COMPILER") or os.environ.get("CC") or "cc"


def build_reference() -> tuple[Path, list[str]]:
    """Compiles bench/ref_ext.c against the library in the package dir,
    caching the result under the build dir; returns its path and the command."""
    source = BENCH_DIR / "ref_ext.c"
    header = SOURCE_DIR / "library" / "velto.h"
    flags, _ = module_flags()
    out_dir = BUILD_DIR / "bench"
    out_dir.mkdir(parents=True, exist_ok=True)
    target = out_dir / ("ref_ext" + sysconfig.get_config_var("EXT_SUFFIX"))
    command = [c_compiler(), *flags, "-fPIC", "-shared", "-Wall", "-Wextra", "-Werror",
               f"-I{header.parent}", f"-I{sysconfig.get_paths()['include']}",
               str(source), f"-L{PKG_DIR}", "-lvelto64", f"-Wl,-rpath,{PKG_DIR}", "-o"]
    digest = hashlib.sha256()
    for part in (source.read_bytes(), header.read_bytes(), " ".join(command + [str(target)]).encode()):
        digest.update(part)
    stamp = target.with_suffix(".stamp")
    if not (target.exists() and stamp.exists() and stamp.read_text() == digest.hexdigest()):
        partial = target.with_name(f"{target.name}.{os.getpid()}.tmp")
        done = subprocess.run(command + [str(partial)], capture_output=True, text=True)
        if done.returncode != 0:
            sys.exit(f"building the reference extension failed:\n{' '.join(command)}\n{done.stderr}")
        os.replace(partial, target)  # another run may be loading the old one
        stamp.write_text(digest.hexdigest())
    return target, command + [str(target)]


def load_reference():
    path, _ = build_reference()
    found = importlib.util.spec_from_file_location("ref_ext", path)
    module = importlib.util.module_from_spec(found)
    found.loader.exec_module(module)
    return module


class CtypesTask:
    """The benchmarked methods done with ctypes on array.array buffers: the
    same size queries, count checks and library calls as the methods (ctypes
    releases the interpreter lock around each call).  array.array is used
    because its buffer address is the cheapest to obtain per call."""

    def __init__(self, handle: int):
        lib = ctypes.CDLL(str(LIBRARY))
        c_int32, c_int64, vp = ctypes.c_int32, ctypes.c_int64, ctypes.c_void_p
        h = vp(handle)
        byref = ctypes.byref

        def bind(name, *argtypes):
            fn = getattr(lib, name)
            fn.argtypes = list(argtypes)
            fn.restype = c_int32
            return fn

        vlt_getnumcon = bind("VLT_getnumcon", vp, vp)
        vlt_putarow = bind("VLT_putarow", vp, c_int32, c_int32, vp, vp)
        vlt_getarownumnz = bind("VLT_getarownumnz", vp, c_int32, vp)
        vlt_getarow = bind("VLT_getarow", vp, c_int32, vp, vp, vp)
        vlt_getacolslicenumnz64 = bind("VLT_getacolslicenumnz64", vp, c_int32, c_int32, vp)
        vlt_getacolslice64 = bind("VLT_getacolslice64", vp, c_int32, c_int32, c_int64, vp, vp, vp, vp)

        def getnumcon():
            n = c_int32()
            res = vlt_getnumcon(h, byref(n))
            return (res, None) if res else (0, n.value)

        def putarow(i, subi, vali):
            n = len(subi)
            if len(vali) != n:
                raise TypeError("Mismatching lengths of arguments subi,vali")
            return (vlt_putarow(h, i, n, subi.buffer_info()[0], vali.buffer_info()[0]), None)

        def getarow(i, subi, vali):
            n = c_int32()
            res = vlt_getarownumnz(h, i, byref(n))
            if res:
                return (res, None)
            if len(subi) != n.value:
                raise TypeError("Array is too short in argument subi")
            res = vlt_getarownumnz(h, i, byref(n))
            if res:
                return (res, None)
            if len(vali) != n.value:
                raise TypeError("Array is too short in argument vali")
            res = vlt_getarow(h, i, byref(n), subi.buffer_info()[0], vali.buffer_info()[0])
            return (res, None) if res else (0, n.value)

        def getacolslice64(first, last, ptrb, ptre, sub, val):
            nz = c_int64()
            res = vlt_getacolslicenumnz64(h, first, last, byref(nz))
            if res:
                return (res, None)
            if len(ptrb) != last - first:
                raise TypeError("Array is too short in argument ptrb")
            if len(ptre) != last - first:
                raise TypeError("Array is too short in argument ptre")
            if len(sub) != nz.value:
                raise TypeError("Array is too short in argument sub")
            if len(val) != nz.value:
                raise TypeError("Array is too short in argument val")
            return (vlt_getacolslice64(h, first, last, nz, ptrb.buffer_info()[0], ptre.buffer_info()[0],
                                       sub.buffer_info()[0], val.buffer_info()[0]), None)

        self.getnumcon = getnumcon
        self.putarow = putarow
        self.getarow = getarow
        self.getacolslice64 = getacolslice64
