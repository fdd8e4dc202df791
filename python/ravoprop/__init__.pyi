from os import PathLike
from typing import Any, Iterable, Mapping, Optional, Sequence, Tuple, Union

import numpy as np
import numpy.typing as npt

_Path = Union[str, PathLike]
_LatLon = Tuple[float, float]

class EngineError(RuntimeError): ...

def models() -> list[dict[str, Any]]: ...

class Template:
    text: str
    def __init__(self, text: str) -> None: ...
    @classmethod
    def new(cls, model: str) -> "Template": ...
    @classmethod
    def read(cls, path: _Path) -> "Template": ...
    def write(self, path: _Path, force: bool = ...) -> _Path: ...

def p2p(*, model: Optional[str] = ..., template: Optional[_Path] = ..., dem: Optional[_Path] = ...,
        tx: Optional[_LatLon] = ..., rx: Optional[_LatLon] = ...,
        distance_m: Optional[npt.ArrayLike] = ..., elevation_m: Optional[npt.ArrayLike] = ...,
        freq_mhz: float = ..., tx_agl_m: float = ..., rx_agl_m: Optional[float] = ...,
        erp: Optional[Tuple[float, str]] = ..., gain: Optional[Tuple[float, str]] = ...,
        k_value: Optional[float] = ..., step_m: Optional[float] = ..., azimuth: float = ...,
        details: bool = ..., rx_gain_dbi: float = ..., rx_line_loss_db: float = ...,
        threshold: Optional[Tuple[float, str]] = ...) -> dict[str, Any]: ...

def p2p_many(*, tx: _LatLon, rx_lat: npt.ArrayLike, rx_lon: npt.ArrayLike, dem: _Path,
             model: Optional[str] = ..., template: Optional[_Path] = ..., freq_mhz: float = ...,
             tx_agl_m: float = ..., rx_agl_m: Optional[float] = ..., erp: Optional[Tuple[float, str]] = ...,
             gain: Optional[Tuple[float, str]] = ..., k_value: Optional[float] = ..., step_m: Optional[float] = ...,
             dataframe: bool = ...) -> Any: ...

def profile(dem: _Path, tx: _LatLon, rx: _LatLon, step_m: float = ..., datum: str = ...) -> dict[str, Any]: ...

class Study:
    workdir: str
    task: int
    notes: list[str]
    def __init__(self, workdir: _Path, task: int) -> None: ...
    @classmethod
    def new(cls, workdir: _Path, **settings: Any) -> "Study": ...
    def set(self, **settings: Any) -> "Study": ...
    def run(self, threads: int = ..., dem: Optional[_Path] = ..., details: bool = ...) -> dict[str, Any]: ...
    @property
    def table(self) -> str: ...
    def results(self, dataframe: Optional[bool] = ...) -> Any: ...
    def grid(self) -> Tuple[np.ndarray, Tuple[float, ...]]: ...
    def export(self, output: _Path, format: str, *, size: int = ..., desc: Optional[str] = ...,
               contour: bool = ..., levels: Optional[Iterable[float]] = ..., scale: str = ...,
               threshold: Optional[float] = ..., dem: Optional[_Path] = ..., shade: bool = ...) -> dict[str, str]: ...

Task = Study
