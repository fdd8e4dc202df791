"""Paths through the package equal the tool's p2p --json on the same inputs."""
import json

import numpy as np
import pytest

import ravoprop
from conftest import DEM, cli

TX, RX = (44.4365, -71.4131), (44.30, -71.20)


# Every model of the table, each at a frequency inside its curves' or fit's range.
@pytest.mark.parametrize("model, freq", [("LR", 98.5), ("BU", 98.5), ("RO", 98.5), ("OK", 450), ("EG", 150),
                                         ("HD", 450), ("SH", 98.5), ("SF", 98.5), ("BC", 98.5), ("SM", 851),
                                         ("CA", 880), ("CG", 880), ("CX", 880)])
def test_p2p_equals_the_cli(tmp_path, model, freq):
    rc, out = cli("p2p", "--json", "--model", model, "--dem", DEM, "--from", "%g,%g" % TX, "--to", "%g,%g" % RX,
                  "--freq", freq, "--tx-agl", 100, "--rx-agl", 9.1, home=tmp_path)
    assert rc == 0, out
    got = ravoprop.p2p(model=model, dem=DEM, tx=TX, rx=RX, freq_mhz=freq, tx_agl_m=100, rx_agl_m=9.1)
    assert got == json.loads(out)


def test_many_receivers_equal_single_paths_and_failures_are_named():
    lat = np.array([44.30, 44.35, TX[0]])
    lon = np.array([-71.20, -71.30, TX[1]])
    many = ravoprop.p2p_many(model="LR", dem=DEM, tx=TX, rx_lat=lat, rx_lon=lon, freq_mhz=98.5, tx_agl_m=100,
                             rx_agl_m=9.1)
    for i in range(2):
        one = ravoprop.p2p(model="LR", dem=DEM, tx=TX, rx=(lat[i], lon[i]), freq_mhz=98.5, tx_agl_m=100, rx_agl_m=9.1)
        assert many["net_field_dbu"][i] == one["net_field_dbu"]
    # A receiver at the transmitter has no path: NaN and the engine's reason.
    assert np.isnan(many["value"][2]) and many["errors"][2]


def test_given_profile_and_engine_errors():
    d = ravoprop.profile(DEM, TX, RX)
    got = ravoprop.p2p(model="LR", distance_m=d["distance_m"], elevation_m=d["elevation_m"], freq_mhz=98.5,
                       tx_agl_m=100, rx_agl_m=9.1)
    assert got["points"] == len(d["distance_m"]) and got["unit"] == "dBu"
    with pytest.raises(ravoprop.EngineError, match="Unknown model 'XX'"):
        ravoprop.p2p(model="XX", dem=DEM, tx=TX, rx=RX, rx_agl_m=9.1)
