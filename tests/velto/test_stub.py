"""The type stub of _vlt generated from the method tables, and what the
package ships beside it."""
import ast
import os
import re
import subprocess
import sys
import textwrap

import pytest

import _vlt
import velto

PACKAGE_ROOT = os.path.dirname(_vlt.__file__)
STUB = os.path.join(PACKAGE_ROOT, "_vlt-stubs", "__init__.pyi")


@pytest.fixture(scope="module")
def stub_classes():
    tree = ast.parse(open(STUB, encoding="utf-8").read())
    return {node.name: {f.name: f for f in node.body if isinstance(f, ast.FunctionDef)}
            for node in tree.body if isinstance(node, ast.ClassDef)}


@pytest.mark.parametrize("cls", [_vlt.Env, _vlt.Task])
def test_the_stub_lists_every_method_with_its_arguments(stub_classes, cls):
    stubbed = stub_classes[cls.__name__]
    methods = {n for n in dir(cls) if not n.startswith("__")}
    assert methods == set(stubbed) - {"__init__"}
    for name in methods:
        m = re.match(r"^(.*)_([A-Za-z]*)_(\d+)$", name)
        if not m:
            continue
        fn = stubbed[name]
        params = [a.arg for a in fn.args.args if a.arg != "self"]
        assert len(params) == len(m.group(2)), name
        # Every argument of a generated method was named from its row (a new
        # kind of argument needs its entry in tools/gen_stub.py).
        assert not any(re.fullmatch(r"arg\d+", p) for p in params), name
        assert ast.unparse(fn.returns).startswith("Tuple[int,"), name


def test_stub_types_follow_the_argument_kinds(stub_classes):
    task = stub_classes["Task"]
    args = {a.arg: ast.unparse(a.annotation) for a in task["putarow_iOO_4"].args.args[1:]}
    assert args == {"i": "int", "subi": "Optional[memoryview]", "vali": "Optional[memoryview]"}
    assert ast.unparse(task["getarow_iOO_2"].returns) == "Tuple[int, Optional[int]]"
    assert ast.unparse(task["getsolution_iOOOOOOOOOOO_2"].args.args[-1].annotation) == "bytearray"
    assert ast.unparse(task["getsolution_iOOOOOOOOOOO_2"].returns) == "Tuple[int, Optional[Tuple[int, int]]]"
    env = stub_classes["Env"]
    assert any(ast.unparse(d) == "staticmethod" for d in env["getversion__0"].decorator_list)


def test_the_package_ships_its_header_and_marker():
    include = velto.get_include()
    header = open(os.path.join(include, "velto.h"), encoding="utf-8").read()
    assert "VLT_optimizetrm" in header
    assert os.path.exists(os.path.join(os.path.dirname(velto.__file__), "py.typed"))


USER_CODE = textwrap.dedent("""
    import _vlt
    import velto

    task = _vlt.Task(None)
    reveal_type(task.getnumvar__1())
    m = velto.Model()
    reveal_type(m.add_variables(2)[0])
    reveal_type(m.solve().x)
    task.appendvars_i_2("two")
    m.add_variable(name=3)
""")


def test_a_type_checker_finds_the_stub_and_the_package(tmp_path):
    pytest.importorskip("mypy")
    (tmp_path / "user.py").write_text(USER_CODE)
    env = dict(os.environ, PYTHONPATH=PACKAGE_ROOT)
    done = subprocess.run([sys.executable, "-m", "mypy", "--no-incremental", "user.py"], cwd=tmp_path, env=env,
                          capture_output=True, text=True, timeout=300)
    lines = done.stdout.splitlines()
    assert not [line for line in lines if "import-not-found" in line or "import-untyped" in line], done.stdout
    assert "user.py:6: note: Revealed type is \"tuple[int, int | None]\"" in done.stdout
    assert 'Revealed type is "velto.variables.Variable"' in done.stdout
    assert any("user.py:10: error" in line and "appendvars_i_2" in line for line in lines), done.stdout
    assert any("user.py:11: error" in line and "add_variable" in line for line in lines), done.stdout


def test_the_package_itself_type_checks(tmp_path):
    pytest.importorskip("mypy")
    env = dict(os.environ, PYTHONPATH=PACKAGE_ROOT)
    modules = ["velto"] + [f"velto.{name[:-3]}" for name in os.listdir(os.path.dirname(velto.__file__))
                           if name.endswith(".py") and name != "__init__.py"]
    arguments = [a for module in modules for a in ("-m", module)]  # the examples are scripts, not checked here
    done = subprocess.run([sys.executable, "-m", "mypy", "--no-incremental", *arguments], cwd=tmp_path, env=env,
                          capture_output=True, text=True, timeout=600)
    assert done.returncode == 0, done.stdout
