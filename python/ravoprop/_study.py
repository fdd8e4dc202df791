"""Studies of a work directory."""
import os

import numpy as np

from . import _ravoprop


def _pairs(settings):
    """Keyword settings as (name, text) pairs: tx_agl -> tx-agl; model
    template keys (upper case, AREA_COR) keep their name; True/False as yes/no."""
    out = []
    for k, v in settings.items():
        name = k if k.isupper() else k.replace("_", "-")
        if isinstance(v, bool):
            v = "yes" if v else "no"
        elif isinstance(v, (list, tuple)):
            v = ",".join(str(x) for x in v)
        out.append((name, str(v)))
    return out


class Study:
    """One task (study) of a work directory.

    ``Study.new(workdir, name=..., lat=..., lon=..., freq=98.5, erp="50kW",
    tx_agl=100, rx_agl=9.1, threshold=60, model="LR", radials=36,
    distance=30, step=1.5)`` takes the settings of ``ravoprop task new``
    (underscores for dashes); ``set`` changes them as ``task set`` does;
    ``run`` computes the study (files replaced together at the end, the
    previous results kept on any failure); ``results`` reads its table.
    """

    def __init__(self, workdir, task):
        self.workdir = os.path.abspath(os.fspath(workdir))
        self.task = int(task)
        self.notes = []

    @classmethod
    def new(cls, workdir, **settings):
        """A new study task from settings; raises EngineError naming every problem."""
        tid, notes = _ravoprop.create_study(os.fspath(workdir), _pairs(settings))
        s = cls(workdir, tid)
        s.notes = list(notes)
        return s

    def set(self, **settings):
        """Changes settings; its results are of the study before until run again."""
        self.notes = list(_ravoprop.edit_study(self.workdir, self.task, _pairs(settings)))
        return self

    def run(self, threads=1, dem=None, details=False):
        """Runs the study on this machine's threads; a dict with the counts
        (points, computed, missing, failed), complete, the run's text and the
        paths of the table, report and summary. Raises EngineError when the
        run did not put its results in place (the previous ones stay)."""
        return _ravoprop.run_study(self.workdir, self.task, int(threads), os.fspath(dem or ""), bool(details))

    @property
    def table(self):
        """Path of the results table (R<task>.DBF)."""
        return os.path.join(self.workdir, f"R{self.task:07d}.DBF")

    def results(self, dataframe=None):
        """The study's points in table order.

        A pandas DataFrame (lat, lon, az, dis_km, value, elv_m, wrn_lvl,
        wrn_bits; attrs quantity, unit, model) when pandas is present and
        dataframe is not False; else a dict of numpy arrays with the same
        names, plus ``grid`` (rows from the north, NaN where no value) and its
        GDAL ``geotransform`` when the study rasterises.
        """
        d = _ravoprop.load_results(self.table)
        if dataframe is False:
            return d
        try:
            import pandas as pd
        except ImportError:
            if dataframe:
                raise
            return d
        cols = ["lat", "lon", "az", "dis_km", "value", "elv_m", "wrn_lvl", "wrn_bits"]
        frame = pd.DataFrame({c: d[c] for c in cols})
        frame.attrs.update(quantity=d["quantity"], unit=d["unit"], model=d["model"], code=d["code"])
        return frame

    def grid(self):
        """(grid, geotransform): values as a 2-D numpy array (NaN: no value)
        and the GDAL geotransform (west, dlon, 0, north, 0, -dlat) in degrees."""
        d = _ravoprop.load_results(self.table)
        if "grid" not in d:
            raise _ravoprop.EngineError(f"Task {self.task}'s study has one point per radial: it has no grid")
        return np.asarray(d["grid"]), tuple(d["geotransform"])

    def export(self, output, format, *, size=400, desc=None, contour=False, levels=None, scale="fixed",
               threshold=None, dem=None, shade=True):
        """Writes the results as ``ravoprop export`` does, the same files.

        ``format``: geotiff, geojson or csv (the points), png, svg or pdf (a
        map; the output's extension names it), kml (a Google Earth overlay,
        with <name>_overlay.png and <name>_legend.png beside it); with
        ``contour=True`` the contours at ``levels`` (the study's unit; default
        its receive level) as geojson, kml or shp. ``size``: longer side of a
        radial study's raster in cells; ``desc``: the study's description code
        (default the largest in the table). Maps: ``scale`` fixed, auto or
        threshold, ``threshold`` in the study's unit, ``dem`` for the shading
        (default the data directory's terrain), ``shade=False`` for none.
        Returns a dict: ``file`` (the output path) and ``note`` (what the file
        lacks, "" when nothing). Raises EngineError with the reason when
        nothing was written; a file already there is then left as it was.
        """
        out = os.fspath(output)
        note = _ravoprop.export_study(self.table, out, str(format), int(size), str(desc or ""), bool(contour),
                                      [float(v) for v in (levels or [])], str(scale),
                                      None if threshold is None else float(threshold), os.fspath(dem or ""),
                                      bool(shade))
        return {"file": out, "note": note}


Task = Study
