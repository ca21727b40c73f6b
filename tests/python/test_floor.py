"""The Python floor pyproject.toml states (requires-python) is the interpreter these tests run
on: Debian's python3, the one the README installs for. A floor below it would be a promise
nothing checks; the code may then use what that version has (tomllib, X | None)."""

import pathlib
import sys
import tomllib

PYPROJECT = pathlib.Path(__file__).resolve().parents[2] / "pyproject.toml"


def test_stated_floor_is_the_tested_interpreter():
    with open(PYPROJECT, "rb") as f:
        requires = tomllib.load(f)["project"]["requires-python"]
    assert requires == ">=%d.%d" % sys.version_info[:2]
