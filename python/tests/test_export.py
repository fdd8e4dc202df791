"""Study.export writes the files the tool's export writes."""
import os

import pytest

import ravoprop
from conftest import DEM, cli, copy_sample


@pytest.fixture(scope="module")
def radial(tmp_path_factory):
    """The sample radial study (task 1) run once by the tool."""
    d = copy_sample(tmp_path_factory.mktemp("work"))
    rc, out = cli("run", "--task", 1, "--workdir", d, "--threads", 1, home=d)
    assert rc == 0, out
    return d


# {name written, tool's options, Study.export's options}
ROWS = [
    ("r.csv", ["--format", "csv"], dict(format="csv")),
    ("r.geojson", ["--format", "geojson", "--desc", "LR RAD"], dict(format="geojson", desc="LR RAD")),
    ("r.tif", ["--format", "geotiff", "--size", 60], dict(format="geotiff", size=60)),
    ("r.png", ["--format", "png", "--scale", "auto", "--dem", DEM], dict(format="png", scale="auto", dem=DEM)),
    ("r.kml", ["--format", "kml", "--threshold", 55, "--no-shade"], dict(format="kml", threshold=55, shade=False)),
    ("c.geojson", ["--format", "geojson", "--contour", "--levels", "50,60"],
     dict(format="geojson", contour=True, levels=[50, 60])),
    ("c.shp", ["--format", "shp", "--contour"], dict(format="shp", contour=True)),
]


@pytest.mark.parametrize("name, tool, py", ROWS, ids=[r[0] for r in ROWS])
def test_export_writes_the_tools_files(radial, tmp_path, name, tool, py):
    (tmp_path / "cli").mkdir()
    (tmp_path / "py").mkdir()
    rc, out = cli("export", "--task", 1, "--workdir", radial, *tool, "-o", tmp_path / "cli" / name, home=radial)
    assert rc == 0, out
    got = ravoprop.Study(radial, 1).export(tmp_path / "py" / name, **py)
    assert got["file"] == str(tmp_path / "py" / name)
    files = sorted(os.listdir(tmp_path / "cli"))
    assert files == sorted(os.listdir(tmp_path / "py")) and name in files
    for f in files:
        assert (tmp_path / "py" / f).read_bytes() == (tmp_path / "cli" / f).read_bytes(), f


@pytest.mark.parametrize("name, opts, message", [
    ("x.tif", dict(format="png"), "writes a .png file"),
    ("x.tif", dict(format="bmp"), "Unknown format 'bmp'"),
    ("x.tif", dict(format="csv", levels=[60]), "levels go with contour=True"),
    ("x.tif", dict(format="tif", contour=True), "Contours are written as geojson, kml or shp"),
    ("x.png", dict(format="png", scale="rainbow"), "scale takes fixed, auto or threshold"),
])
def test_refused_export_names_the_fix_and_keeps_the_file(radial, tmp_path, name, opts, message):
    old = tmp_path / name
    old.write_bytes(b"kept")
    with pytest.raises(ravoprop.EngineError, match=message):
        ravoprop.Study(radial, 1).export(old, **opts)
    assert old.read_bytes() == b"kept"


def test_a_task_without_results_is_refused(radial):
    with pytest.raises(ravoprop.EngineError):
        ravoprop.Study(radial, 2).export(radial / "none.csv", format="csv")
    assert not (radial / "none.csv").exists()
