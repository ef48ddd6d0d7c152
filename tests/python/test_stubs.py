"""The type stubs name what the module has: every class, function and member, no more."""

import ast
import pathlib

import qe7204

STUBS = pathlib.Path(qe7204.__file__).with_name("__init__.pyi")


def stub_names():
    tree = ast.parse(STUBS.read_text())
    names = {}
    for node in tree.body:
        if isinstance(node, ast.ClassDef):
            members = set()
            for item in node.body:
                if isinstance(item, ast.FunctionDef):
                    members.add(item.name)
                elif isinstance(item, ast.AnnAssign):
                    members.add(item.target.id)
            names[node.name] = members
        elif isinstance(node, ast.FunctionDef):
            names[node.name] = None
    return names


def public(names):
    return {name for name in names if not name.startswith("_")}


def test_stubs_cover_the_module():
    stubs = stub_names()
    module = {name: value for name, value in vars(qe7204).items()
              if not name.startswith("_") and (callable(value) or isinstance(value, type))}
    assert public(stubs) == set(module)
    for name, value in module.items():
        if not isinstance(value, type) or issubclass(value, qe7204.Error):
            continue
        assert public(stubs[name]) == public(vars(value)), name
