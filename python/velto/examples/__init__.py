"""The examples that ship with velto (each checks its own answer):

    python -m velto.examples              # lists them
    python -m velto.examples knapsack     # runs one
    velto.examples.path("knapsack")       # its file, to read or copy
"""
import pathlib
import runpy
from typing import List

FOLDER = pathlib.Path(__file__).parent


def names() -> List[str]:
    """The names of the examples."""
    return sorted(p.stem for p in FOLDER.glob("*.py") if not p.stem.startswith("_"))


def path(name: str) -> pathlib.Path:
    """The file of an example."""
    if name not in names():
        raise ValueError(f"no example {name!r}; the examples are " + ", ".join(names()))
    return FOLDER / f"{name}.py"


def run(name: str) -> None:
    """Runs an example as a script."""
    runpy.run_path(str(path(name)), run_name="__main__")
