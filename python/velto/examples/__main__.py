"""python -m velto.examples [NAME]: lists the examples, or runs one."""
import sys

from . import names, path, run

if len(sys.argv) < 2:
    for name in names():
        print(name, "  ", path(name))
else:
    run(sys.argv[1])
