"""Point-to-point paths and terrain profiles."""
import atexit
import json
import os
import shutil
import tempfile

import numpy as np

from . import _ravoprop

_templates = {}
_template_dir = None
_context = None


def _template_for(model):
    """A file holding the model's default template (made once per process)."""
    global _template_dir
    if model not in _templates:
        if _template_dir is None:
            _template_dir = tempfile.mkdtemp(prefix="ravoprop-templates-")
            atexit.register(shutil.rmtree, _template_dir, True)
        path = os.path.join(_template_dir, _ravoprop.model_code(model) or "model")
        with open(path, "w", encoding="latin-1") as f:
            f.write(_ravoprop.model_template(model))
        _templates[model] = path
    return _templates[model]


def _request(model, template, dem, tx, rx, distance_m, elevation_m, freq_mhz, tx_agl_m, rx_agl_m,
             erp, gain, k_value, step_m, azimuth, details):
    r = _ravoprop.P2PRequest()
    if template:
        r.template_file = os.fspath(template)
        if model:
            r.model = model
    elif model:
        r.model = model
        r.template_file = _template_for(model)
    else:
        raise ValueError("Give the model (model='LR'; ravoprop.models() lists the codes) or template=FILE")
    if rx_agl_m is None:
        raise ValueError("Give the receiver antenna height above ground: rx_agl_m=METRES (e.g. rx_agl_m=9.1)")
    if distance_m is not None or elevation_m is not None:
        if dem:
            raise ValueError("A profile (distance_m, elevation_m) and dem exclude each other")
        r.dist_m = np.asarray(distance_m, dtype=float).tolist()
        r.elev_m = np.asarray(elevation_m, dtype=np.float32).tolist()
    elif dem:
        r.dem = os.fspath(dem)
        if tx is not None:
            r.from_lat, r.from_lon = map(float, tx)
            r.have_from = True
        if rx is not None:
            r.to_lat, r.to_lon = map(float, rx)
            r.have_to = True
    else:
        raise ValueError("Give a profile (distance_m=, elevation_m=) or terrain (dem=, tx=(lat, lon), rx=(lat, lon))")
    r.freq_mhz = float(freq_mhz)
    r.tx_agl_m = float(tx_agl_m)
    r.rx_agl_m = float(rx_agl_m)
    if erp is not None:
        r.erp_value, r.erp_unit = float(erp[0]), str(erp[1])
    if gain is not None:
        r.gain, r.gain_unit = float(gain[0]), str(gain[1])
    r.k_factor = float(k_value or 0)
    r.step_m = float(step_m or 0)
    r.azimuth = float(azimuth)
    r.details = bool(details)
    return r


def _ctx():
    global _context
    if _context is None:
        _context = _ravoprop.P2PContext()
    return _context


def p2p(*, model=None, template=None, dem=None, tx=None, rx=None, distance_m=None, elevation_m=None,
        freq_mhz=0.0, tx_agl_m=0.0, rx_agl_m=None, erp=None, gain=None, k_value=None, step_m=None,
        azimuth=0.0, details=False, rx_gain_dbi=0.0, rx_line_loss_db=0.0, threshold=None):
    """One path through a model; the fields of ``ravoprop p2p --json`` as a dict.

    The path is terrain between two points (``dem`` file or directory,
    ``tx`` and ``rx`` as (lat, lon) in degrees) or a given profile
    (``distance_m`` from the transmitter and ``elevation_m`` arrays, metres).
    ``model`` is a code or name (its default template) or ``template`` a
    settings file; ``erp`` and ``gain`` are (value, unit) pairs such as
    (50, "kW") and (6, "dBd"); ``threshold`` is (value, "dBu" or "dBm") for
    the link budget's margin. Raises EngineError with the engine's message
    when the path has no result.
    """
    r = _request(model, template, dem, tx, rx, distance_m, elevation_m, freq_mhz, tx_agl_m, rx_agl_m,
                 erp, gain, k_value, step_m, azimuth, details)
    th, unit = (None, "dBu") if threshold is None else (float(threshold[0]), str(threshold[1]))
    return json.loads(_ctx().run_json(r, rx_gain_dbi, rx_line_loss_db, th, unit))


def p2p_many(*, tx, rx_lat, rx_lon, dem, model=None, template=None, freq_mhz=0.0, tx_agl_m=0.0,
             rx_agl_m=None, erp=None, gain=None, k_value=None, step_m=None, dataframe=False):
    """Paths from one transmitter ``tx`` (lat, lon) to many receivers.

    ``rx_lat`` and ``rx_lon`` are arrays of degrees. Returns a dict of numpy
    arrays, one value per receiver (NaN where the path has no result):
    ``value`` (in ``unit``: dBu for field-strength models), ``net_field_dbu``,
    ``free_space_dbu``, ``model_loss_db``, ``err_level``, ``path_length_m``,
    ``rx_ground_m``; ``errors`` maps the index of each failed path to the
    engine's message. With dataframe=True (pandas), a DataFrame of the arrays.
    """
    r = _request(model, template, dem, tx, None, None, None, freq_mhz, tx_agl_m, rx_agl_m,
                 erp, gain, k_value, step_m, 0.0, False)
    out = _ctx().run_many(r, np.asarray(rx_lat, dtype=float), np.asarray(rx_lon, dtype=float))
    if dataframe:
        import pandas as pd
        cols = {k: v for k, v in out.items() if isinstance(v, np.ndarray)}
        frame = pd.DataFrame({"rx_lat": np.asarray(rx_lat, dtype=float), "rx_lon": np.asarray(rx_lon, dtype=float), **cols})
        frame.attrs.update(quantity=out["quantity"], unit=out["unit"], errors=out["errors"])
        return frame
    return out


def profile(dem, tx, rx, step_m=0.0, datum="WGS 84"):
    """The terrain profile from ``tx`` to ``rx`` ((lat, lon) in degrees):
    a dict with ``distance_m`` and ``elevation_m`` arrays, ``azimuth_deg``
    and ``length_m``. ``step_m`` 0 samples at the terrain's own spacing."""
    return _ravoprop.profile(os.fspath(dem), float(tx[0]), float(tx[1]), float(rx[0]), float(rx[1]),
                             float(step_m), datum)
