"""The QE7204 magnetic rotary encoder and its USB adapter, from Python.

See help(qe7204.Chip) and docs/python.md.
"""

from ._qe7204 import *  # noqa: F401,F403
from ._qe7204 import __doc__, __version__  # noqa: F401

# The classes of the extension read as the package's own in help() and tracebacks.
for _name, _value in list(globals().items()):
    if isinstance(_value, type) and _value.__module__ == "qe7204._qe7204":
        _value.__module__ = __name__
del _name, _value
