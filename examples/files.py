"""Reading and writing problem files: a small blending problem read from an
MPS file, saved in the library's lossless task format (compressed), read
back and solved again; the same text could come from any other tool."""
import os
import tempfile

import velto

BLEND = """NAME          BLEND
ROWS
 N  COST
 G  PROTEIN
 L  FAT
 E  TOTAL
COLUMNS
    CORN      COST      0.30   PROTEIN   0.09
    CORN      FAT       0.02   TOTAL     1.00
    SOY       COST      0.90   PROTEIN   0.60
    SOY       FAT       0.06   TOTAL     1.00
    OATS      COST      0.20   PROTEIN   0.05
    OATS      FAT       0.04   TOTAL     1.00
RHS
    RHS       PROTEIN   0.30   FAT       0.05
    RHS       TOTAL     1.00
ENDATA
"""

with tempfile.TemporaryDirectory() as folder:
    source = os.path.join(folder, "blend.mps")
    with open(source, "w") as fh:
        fh.write(BLEND)

    with velto.Model() as m:
        m.read(source)  # the format is told from the name
        first = m.solve()
        names = [m.variable_name(j) for j in range(m.num_variables)]
        print("read", os.path.basename(source), "->", first.status.name, f"cost {first.objective:.6f}")
        print("  mix:", ", ".join(f"{n} {v:.4f}" for n, v in zip(names, first.x)))
        saved = os.path.join(folder, "blend.task.gz")
        m.write(saved)  # every part of the task, gzip-compressed

    with velto.Model() as again:
        again.read(saved)
        second = again.solve()
        print("read", os.path.basename(saved), "->", second.status.name, f"cost {second.objective:.6f}",
              f"({os.path.getsize(saved)} bytes)")
        assert again.variable_index("SOY") == names.index("SOY")
        assert abs(first.objective - second.objective) < 1e-9
