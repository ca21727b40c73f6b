"""The facts the package takes from the library (the value prefixes of the kind rows, the names
of a file's parts, the grid types' CF mappings) are written in the library only: no module of
the package spells one of them in its code, and the copies that must stay (the global
attributes the writer needs by name) are the library's names."""

import ast
import pathlib

import pytest

import kavro
from kavro import _compare, _file, _kavro, _writer

PACKAGE = pathlib.Path(kavro.__file__).parent

# The projected types and latitude-longitude: CF's name for each, from the library's rows.
GRID_TYPES = range(1, 11)


def grid_mapping_names():
    names = set()
    for gdtyp in GRID_TYPES:
        d = {"file_type": 1, "lines": [], "variables": [],
             "grid": {"name": "G", "ncols": 2, "nrows": 2, "nthik": 0, "xorig": 0.0,
                      "yorig": 0.0, "xcell": 1000.0, "ycell": 1000.0},
             "projection": {"type": gdtyp, "alpha": 30.0, "beta": 60.0, "gamma": -90.0,
                            "xcent": -90.0, "ycent": 40.0},
             "time": {"start": (2024001, 0), "step": 0},
             "vertical": {"layers": 1, "type": 2, "top": 0.0, "levels": [1.0, 0.0]}}
        m, _ = _kavro.grid_mapping(d)
        if m is not None:
            names |= {m["grid_mapping_name"]} | {k for k in m if k != "grid_mapping_name"}
    return names


# (fact, the library's values)
FACTS = {
    "value prefixes": lambda: set(_kavro.value_prefixes.values()),
    # (TSTEP is a global attribute as well as a dimension: the engine keeps the attributes by
    # their names.)
    "file part names": lambda: {v for k, v in _kavro.file_names.items()
                                if isinstance(v, str) and k.endswith(("_dim", "_var", "_units",
                                                                      "_desc"))}
    - set(_kavro.file_names["global_attributes"]),
    "grid mappings": grid_mapping_names,
}


def code_strings(path: pathlib.Path) -> set:
    """The string constants of a module's code, without its docstrings."""
    tree = ast.parse(path.read_text(encoding="utf-8"))
    docstrings = set()
    for node in ast.walk(tree):
        if isinstance(node, (ast.Module, ast.ClassDef, ast.FunctionDef, ast.AsyncFunctionDef)):
            if node.body and isinstance(node.body[0], ast.Expr):
                docstrings.add(id(node.body[0].value))
    return {n.value for n in ast.walk(tree)
            if isinstance(n, ast.Constant) and isinstance(n.value, str) and id(n) not in docstrings}


@pytest.mark.parametrize("fact", FACTS)
def test_the_package_spells_no_fact_of_the_library(fact):
    values = FACTS[fact]()
    assert values
    spelled = {p.name: sorted(code_strings(p) & values) for p in sorted(PACKAGE.glob("*.py"))}
    assert {name: found for name, found in spelled.items() if found} == {}


def test_the_package_takes_the_prefixes_of_the_kind_rows():
    codes = _file.CODES
    assert {_file.BINARY_PREFIX: codes["BINFIL3"], _file.LIST_PREFIX: codes["LISTFIL3"],
            _file.MEMORY_VALUE: codes["MEMFIL3"]} == {
                v: k for k, v in _kavro.value_prefixes.items() if k != codes["VIRTFIL3"]}
    assert _compare.absolute(_file.BINARY_PREFIX + "a.bin", "/d") == \
        _file.BINARY_PREFIX + "/d/a.bin"


def test_the_writer_names_only_global_attributes_of_the_library():
    names = set(_kavro.file_names["global_attributes"])
    assert len(names) == len(_kavro.file_names["global_attributes"])
    assert set(_writer.GRID) <= names
    assert _writer.LINE == 80 and _writer.NAME_LENGTH == 16
