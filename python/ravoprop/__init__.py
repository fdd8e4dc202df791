"""ZWRavoprop radio-propagation engine from Python.

Point-to-point paths (one, or many receivers at once as numpy arrays),
terrain profiles, the model table, and area studies in a work directory
(made, changed, run, their results as numpy arrays or a pandas DataFrame).
Failures of the engine raise :class:`EngineError` with the engine's message.
Every value's name carries its unit (``_m``, ``_dbu``, ``_mhz`` ...).

Scale-out over a Dask cluster: :mod:`ravoprop.distributed`.
"""
from ._paths import p2p, p2p_many, profile
from ._study import Study, Task
from ._models import models, Template
from ._ravoprop import EngineError

__all__ = ["p2p", "p2p_many", "profile", "models", "Template", "Study", "Task", "EngineError"]
