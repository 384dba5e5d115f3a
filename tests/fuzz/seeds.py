"""Seeds for the fuzz targets: the shared instances and random tasks with
every kind of data, written in each format by the library itself.

    PYTHONPATH=build/pkg python3 tests/fuzz/seeds.py CORPUS_DIR
"""
import pathlib
import shutil
import sys

HERE = pathlib.Path(__file__).resolve().parent
sys.path[:0] = [str(HERE.parent), str(HERE.parent / "files")]

import velto  # noqa: E402
from taskdata import DATA, random_task  # noqa: E402

FORMATS = {"mps": ".mps", "lp": ".lp", "opf": ".opf", "ptf": ".ptf", "json": ".jtask", "task": ".task"}
SHARED = ["formats/*.mps", "formats/*.lp", "netlib/afiro.mps.gz", "netlib/blend.mps.gz", "maros/HS21.QPS.gz",
          "maros/QAFIRO.QPS.gz", "miplib/p0033.mps.gz"]


def tasks():
    for seed in range(4):
        yield f"random{seed}", random_task(seed, m=3 + seed, n=7 + seed)
    if DATA.is_dir():
        for pattern in SHARED:
            for path in sorted(DATA.glob(pattern)):
                t = velto.Task(None)
                if t.readdataautoformat_s_2(str(path))[0] == 0:
                    yield path.name.split(".")[0], t


def main(corpus):
    corpus = pathlib.Path(corpus)
    shutil.rmtree(corpus, ignore_errors=True)
    for name in list(FORMATS) + ["solution", "parameters"]:
        (corpus / name).mkdir(parents=True)
    for label, t in tasks():
        for p in (velto.IParam.OPF_WRITE_SOLUTIONS, velto.IParam.PTF_WRITE_SOLUTIONS, velto.IParam.PTF_WRITE_PARAMETERS,
                  velto.IParam.OPF_WRITE_PARAMETERS, velto.IParam.WRITE_IGNORE_INCOMPATIBLE_ITEMS):
            t.putintparam_ii_3(p, 1)
        for name, ext in FORMATS.items():
            t.writedata_s_2(str(corpus / name / (label + ext)))
        t.writesolutionfile_s_2(str(corpus / "solution" / (label + ".sol")))
        t.writeparamfile_s_2(str(corpus / "parameters" / (label + ".par")))
    for path in corpus.rglob("*"):      # drop what a writer refused
        if path.is_file() and path.stat().st_size == 0:
            path.unlink()
    if DATA.is_dir():
        for path in sorted(DATA.glob("formats/*.lp")):
            shutil.copy(path, corpus / "lp" / path.name)
        for path in sorted(DATA.glob("formats/*.mps")):
            shutil.copy(path, corpus / "mps" / path.name)


if __name__ == "__main__":
    main(sys.argv[1])
