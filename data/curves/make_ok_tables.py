#!/usr/bin/env python3
"""Writes the derived Okumura tables as CSV files next to this script.

Run from anywhere: python3 data/curves/make_ok_tables.py
The model (src/models/curves/modPropOK) reads them at run time, with the
digitised files okumura_fig41*_urban_*.csv (median field; the four empty
1500 MHz / 30 m cells at 85-100 km are continued at load time) and
okumura_isolated_ridge_ntia_ehata.csv (resampled at load time).
Sources (provenance in README.md, section "Okumura"):
  - height gain, area, rolling-hill and undulation-factor tables: the published
    fits (Hata 1980; NTIA/ITS extended Hata), with the end values the model's
    documentation gives;
  - land-sea: the NTIA/ITS readings in okumura_land_sea_mixed_path_ntia_ehata.csv,
    linear in the sea fraction;
  - location variability: the published fit in okumura_location_sigma_fit.csv
    (MIT Lincoln Laboratory, provenance in okumura_location_sigma_fit.md), with
    the documented end values at 100 and 3000 MHz.
Each file's first header cell names its axes and its source (the reader
ignores that cell); cells are rounded to 0.01 dB.
"""
import csv
import math
import pathlib

HERE = pathlib.Path(__file__).resolve().parent
L = math.log10


def rows(name):
    with open(HERE / name, newline="") as f:
        return [[c.strip() for c in r] for r in csv.reader(f) if r]


def num(v):
    if v is None:
        return ""
    s = f"{v:.7f}".rstrip("0")
    return s + "0" if s.endswith(".") else s


def write(name, corner, cols, row_axis, cells):
    """cells[i][j]: row row_axis[i], column cols[j]; None writes an empty cell."""
    assert "," not in corner
    lines = [",".join([corner] + [num(c) for c in cols])]
    for key, r in zip(row_axis, cells):
        lines.append(",".join([num(key)] + [num(v) for v in r]))
    (HERE / name).write_text("\n".join(lines) + "\n")
    print("wrote", HERE / name)


def linear(xs, ys, x):
    for k in range(len(xs) - 1):
        if xs[k] <= x <= xs[k + 1]:
            return ys[k] + (ys[k + 1] - ys[k]) * (x - xs[k]) / (xs[k + 1] - xs[k])
    raise ValueError(x)


GEN = "written by make_ok_tables.py"

# Receiving-antenna height gain above 3 m (Hata 1980 a(hm), relative to 3 m).
HM = [3, 4, 5, 6, 7, 8, 9, 10]
FL = [100, 200, 400, 700, 1000, 2000]


def a_large(f, h):
    return 8.29 * L(1.54 * h) ** 2 - 1.1 if f <= 200 else 3.2 * L(11.75 * h) ** 2 - 4.97


write("okumura_mobile_gain_large_hata.csv",
      f"hm_m\\f_MHz (large city: Hata 1980 a(hm) less a(3 m); {GEN})", FL, HM,
      [[round(a_large(f, h) - a_large(f, 3), 2) for f in FL] for h in HM])
FM = [-1000, -200, -100]
write("okumura_mobile_gain_medium_hata.csv",
      f"hm_m\\minus_f_MHz (medium city: Hata 1980 (1.1 log f - 0.7)(hm - 3); {GEN})", FM, HM,
      [[round((1.1 * L(-f) - 0.7) * (h - 3), 2) for f in FM] for h in HM])

# Area corrections: Hata's (1980) fits; end points as documented for the model.
FS = [100, 150, 200, 300, 400, 500, 600, 700, 800, 900, 1000, 1500, 2000, 3000]
sub = [round(2 * L(f / 28) ** 2 + 5.4, 2) for f in FS]
sub[0], sub[-1] = 6.0, 14.0
sub[FS.index(1500)], sub[FS.index(2000)] = 11.5, 12.4  # NTIA readings of the curve
FQ = FS[:-1]


def open_fit(f):
    return 4.78 * L(f) ** 2 - 18.33 * L(f) + 40.94


opn = [round(open_fit(f), 2) for f in FQ]
opn[0], opn[-1] = 23.33, 32.5
off0, off1 = 23.33 - 18.44, 32.5 - 27.56  # quasi-open lies this far below open
qo = [round(open_fit(f) - (off0 + (off1 - off0) * L(f / 100) / L(20)), 2) for f in FQ]
qo[0], qo[-1] = 18.44, 27.56
write("okumura_area_corrections_hata.csv",
      f"f_MHz\\area 1_suburban 2_quasi-open 3_open (Hata 1980 fits; quasi-open and open end at 2000 MHz; {GEN})",
      [1, 2, 3], FS, [[sub[k], qo[k] if k < len(FQ) else None, opn[k] if k < len(FQ) else None]
                      for k in range(len(FS))])

# Rolling hills: NTIA's quadratic fit of the median correction (frequency-independent);
# the first two rows as documented for the model.
DH = [10, 15, 20, 30, 40, 50, 70, 100, 150, 200, 300, 400, 500]


def kh(dh):
    x = L(max(dh, 15))
    return -1.5072013 + 8.458676 * x - 6.102538 * x * x


write("okumura_rolling_hill_ntia.csv",
      f"dh_m\\f_MHz (rolling-hill median correction: NTIA/ITS quadratic fit in log dh; {GEN})",
      [453, 922, 1430], DH, [[1.3, 1.3, 1.3], [0.0, 0.5, 0.0]] + [[round(kh(d), 2)] * 3 for d in DH[2:]])
DU = [10, 20, 30, 40, 50, 70, 100, 150, 200, 300, 400, 500]


def khf(dh):
    x = L(max(dh, 10))
    return -11.728795 + 15.544272 * x - 1.8154766 * x * x


und = [round(khf(d), 2) for d in DU]
und[0], und[-1] = 2.0, 16.7
write("okumura_undulation_factor_ntia.csv",
      f"dh_m\\site -1_bottom 1_top (fine correction -K and +K: NTIA/ITS quadratic fit in log dh; {GEN})",
      [-1, 1], DU, [[-k if k else 0.0, k] for k in und])

# Land-sea: NTIA's readings, linear in beta, at beta = 0, 0.1 ... 1; the beta = 1
# values as documented. Columns: a30 (sea at the mobile end), a60, b60 (sea at the
# base-station end), b30.
r = rows("okumura_land_sea_mixed_path_ntia_ehata.csv")[1:]
BETA = [k / 10 for k in range(11)]
curves = []
for cls, loc, end in (("d<=30km", "sea_at_mobile_end", 10.9), ("d>=60km", "sea_at_mobile_end", 14.8),
                      ("d>=60km", "sea_at_base_station_end", 14.8), ("d<=30km", "sea_at_base_station_end", 10.9)):
    pts = [(float(x[2]), float(x[3])) for x in r if x[0] == cls and x[1] == loc]
    c = [round(linear([p[0] for p in pts], [p[1] for p in pts], b), 2) for b in BETA]
    c[-1] = end
    curves.append(c)
write("okumura_land_sea_grid.csv",
      f"beta\\curve 1_a30 2_a60 3_b60 4_b30 (okumura_land_sea_mixed_path_ntia_ehata.csv linear in beta; {GEN})",
      [1, 2, 3, 4], BETA, [[c[k] for c in curves] for k in range(len(BETA))])

# Location variability: the published fit (okumura_location_sigma_fit.csv) at
# 100, 200 ... 3000 MHz, with the documented end values (urban 5.2 / 8.1 dB,
# suburban 6.7 / 10.1 dB) at 100 and 3000 MHz.
FV = [100, 200, 300, 400, 500, 600, 700, 800, 900, 1000, 1500, 2000, 3000]
FIT = {float(r[0]): (float(r[1]), float(r[2])) for r in rows("okumura_location_sigma_fit.csv")[1:]}
assert sorted(FIT) == [float(f) for f in FV], "okumura_location_sigma_fit.csv: frequencies 100 ... 3000 MHz"
ENDS = {100: (5.2, 6.7), 3000: (8.1, 10.1)}
write("okumura_location_sigma.csv",
      f"f_MHz\\area 1_urban 2_suburban (location standard deviation dB: okumura_location_sigma_fit.csv with the "
      f"documented end values; {GEN})",
      [1, 2], FV, [list(ENDS.get(f, FIT[float(f)])) for f in FV])
