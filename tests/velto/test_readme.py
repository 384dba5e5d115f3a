"""Every Python block of the README runs as written, in a fresh namespace and
an empty folder; a block that is a fragment (it uses names it does not
define, or needs a server) is marked with a `<!-- not run: ... -->` line
right before it."""
import pathlib
import re

import pytest

README = pathlib.Path(__file__).parents[2] / "README.md"
BLOCK = re.compile(r"(<!-- not run[^>]*-->\n)?```python\n(.*?)```", re.S)
BLOCKS = [(m.group(2), README.read_text()[:m.start()].count("\n") + 1)
          for m in BLOCK.finditer(README.read_text()) if m.group(1) is None]


def test_most_blocks_run():
    assert len(BLOCKS) >= 4


@pytest.mark.parametrize("code, line", BLOCKS, ids=[f"line{line}" for _, line in BLOCKS])
def test_the_readme_block_runs(code, line, tmp_path, monkeypatch, capsys):
    monkeypatch.chdir(tmp_path)
    exec(compile(code, f"README.md:{line}", "exec"), {"__name__": "__readme__"})
    assert capsys.readouterr().out.strip()  # each block shows something
