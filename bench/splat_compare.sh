#!/usr/bin/env bash
# The sample transmitter's 40 km, 3 arc-second coverage computed by SPLAT! 1.4.2
# (Debian's splat, Longley-Rice through -olditm) and by ravoprop's tile study of
# the same circle, timed in one run: interleaved runs, medians of wall time
# (and of user + system CPU time), the ratio ravoprop / SPLAT! on 1 and 2
# threads, points per second, and the scaling with study size (tiles of 50 x 50
# to 400 x 400 points over the 40 km box, radial studies of 10, 20 and 40 km).
#
#   bench/splat_compare.sh [RAVOPROP]     (default: build-bench/ravoprop)
#   RUNS=3 TILE_SIZES="50 100 200 400" RADIAL_KM="10 20 40" RADIALS=360
#   KEEP_WORK=1 keeps the temporary study, terrain and SPLAT! files
#
# It never fails the caller: when SPLAT! cannot be installed or run, it says so
# and prints ravoprop's own figures; when ravoprop fails, it says so too.
#
# SPLAT! assumes sea level where it has no terrain (east of 71 W the circle
# leaves the bundled tile); ravoprop is given a sea-level tile there as well,
# so both compute the same circle on the same ground.
set -uo pipefail

ROOT=$(cd "$(dirname "$0")/.." && pwd)
RAVO=${1:-$ROOT/build-bench/ravoprop}
RUNS=${RUNS:-3}
TILE_SIZES=${TILE_SIZES:-50 100 200 400}
RADIAL_KM=${RADIAL_KM:-10 20 40}
RADIALS=${RADIALS:-360}
HGT=$ROOT/data/terrain/N44W072.hgt
SAMPLE_INI=$ROOT/data/sample/T0000002.INI

say() { printf '%s\n' "$*"; }

if [ ! -x "$RAVO" ]; then
  say "splat_compare: no ravoprop at $RAVO; build it first (./run.sh bench does). Nothing timed."
  exit 0
fi
if ! command -v python3 >/dev/null; then
  say "splat_compare: python3 is needed to prepare the study files; nothing timed."
  exit 0
fi

WORK=$(mktemp -d "${TMPDIR:-/tmp}/splat_compare.XXXXXX") || { say "splat_compare: no temporary directory"; exit 0; }
if [ -n "${KEEP_WORK:-}" ]; then say "splat_compare: work files kept in $WORK"; else trap 'rm -rf "$WORK"' EXIT; fi

# ---------------------------------------------------------------- SPLAT!
HAVE_SPLAT=0
if ! command -v splat >/dev/null || ! command -v srtm2sdf >/dev/null; then
  SUDO=""
  [ "$(id -u)" -ne 0 ] && SUDO="sudo -n"
  say "Installing Debian's splat package ..."
  if ! DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends splat >"$WORK/apt.log" 2>&1; then
    $SUDO apt-get update -qq >>"$WORK/apt.log" 2>&1
    DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends splat >>"$WORK/apt.log" 2>&1
  fi
fi
if command -v splat >/dev/null && command -v srtm2sdf >/dev/null; then
  HAVE_SPLAT=1
  SPLAT_VERSION=$(dpkg-query -W -f='${Version}' splat 2>/dev/null || true)
else
  say "SPLAT! could not be installed (apt-get install splat: $(tail -1 "$WORK/apt.log" 2>/dev/null)); only ravoprop's figures follow."
fi

# ---------------------------------------------------------------- inputs
mkdir -p "$WORK/splat" "$WORK/dem" "$WORK/study"
cp "$HGT" "$WORK/dem/"
# Sea level east of 71 W, as SPLAT! assumes it: a 3" SRTM tile of zeros.
head -c $((1201 * 1201 * 2)) /dev/zero >"$WORK/dem/N44W071.hgt"

# The transmitter, model and receiver of the sample tile study, as SPLAT!'s
# .qth and .lrp files, plus a 360-vertex polygon of the 40 km circle.
if ! python3 - "$SAMPLE_INI" "$WORK" <<'EOF'
import math, sys, configparser
ini, work = sys.argv[1], sys.argv[2]
cp = configparser.ConfigParser(interpolation=None, strict=False)
cp.optionxform = str
cp.read(ini, encoding="latin-1")
fac, mob, mod = cp["Facility Data"], cp["Mobile Data"], cp["Propagation Model"]
lat, lon = float(fac["FAC_LAT"]), float(fac["FAC_LON"])
agl = float(fac["TX_A1AGL"]) * (0.3048 if fac.get("TX_A1AGLUN", "m").lower() == "ft" else 1.0)
erp_w = float(fac["TX_A1ERP"]) * {"kw": 1000.0, "w": 1.0, "mw": 1e6}.get(fac.get("TX_A1ERPUN", "kW").lower(), 1000.0)
rx = float(mob.get("MO_RXmAGL") or 9.1)
with open(f"{work}/splat/tx.qth", "w") as f:
    f.write(f"TX\n{lat:.6f}\n{-lon:.6f}\n{agl:.2f} meters\n")  # SPLAT! longitudes are degrees west
with open(f"{work}/splat/tx.lrp", "w") as f:
    f.write(f"{float(mod['REL_PERMIT']):.3f} ; Earth Dielectric Constant (Relative permittivity)\n")
    f.write(f"{float(mod['CONDUCTIVI']):.4f} ; Earth Conductivity (Siemens per meter)\n")
    f.write(f"{float(mod['SUR_REFRAC']):.3f} ; Atmospheric Bending Constant (N-units)\n")
    f.write(f"{float(fac['TX_FREQMHZ']):.3f} ; Frequency in MHz\n")
    f.write(f"{int(mod['CLIM_CODE'])} ; Radio Climate\n")
    f.write(f"{0 if mod.get('POLARIZ', 'H').upper().startswith('H') else 1} ; Polarization (0 = Horizontal)\n")
    f.write(f"{float(mod['LR_VARLOC']) / 100:.2f} ; Fraction of situations\n")
    f.write(f"{float(mod['LR_VARTIM']) / 100:.2f} ; Fraction of time\n")
    f.write(f"{erp_w:.1f} ; ERP in Watts\n")
# The 40 km circle (geodesic on a sphere is plenty for a boundary polygon).
R = 6371.0088
with open(f"{work}/circle.bna", "w") as f:
    f.write('"CIRCLE","40 km",361\n')
    for k in range(361):
        az, d = math.radians(k % 360), 40.0 / R
        p1, l1 = math.radians(lat), math.radians(lon)
        p2 = math.asin(math.sin(p1) * math.cos(d) + math.cos(p1) * math.sin(d) * math.cos(az))
        l2 = l1 + math.atan2(math.sin(az) * math.sin(d) * math.cos(p1), math.cos(d) - math.sin(p1) * math.sin(p2))
        f.write(f"{math.degrees(l2):.7f},{math.degrees(p2):.7f}\n")
with open(f"{work}/site", "w") as f:
    f.write(f"{lat} {lon} {agl} {rx} {erp_w}\n")
EOF
then
  say "splat_compare: the sample study ($SAMPLE_INI) could not be read; nothing timed."
  exit 0
fi
read -r TX_LAT TX_LON TX_AGL RX_AGL TX_ERP <"$WORK/site"

if [ "$HAVE_SPLAT" = 1 ]; then
  ( cd "$WORK/splat" && cp "$HGT" . && srtm2sdf "$(basename "$HGT")" >/dev/null 2>&1 && rm -f "$(basename "$HGT")" )
  ls "$WORK/splat"/*.sdf >/dev/null 2>&1 || { say "srtm2sdf made no .sdf file; SPLAT! is left out."; HAVE_SPLAT=0; }
fi

# The sample's tasks in a work directory of their own (task 1 radial, task 2 tile).
if ! "$RAVO" task --workdir "$WORK/study" sample --terrain "$HGT" >"$WORK/task.log" 2>&1; then
  say "splat_compare: ravoprop task ... sample failed: $(tail -1 "$WORK/task.log")"
  exit 0
fi
TILE_INI="$WORK/study/T0000002.INI"
RAD_INI="$WORK/study/T0000001.INI"
PATHS_INI="$WORK/study/E0000001.INI"

# set_tile N|circle: the tile task over the 40 km circle's box, either at 3"
# clipped to the circle, or N x N points over the box.
set_tile() {
  python3 - "$TILE_INI" "$WORK/circle.bna" "$TX_LAT" "$TX_LON" "$1" <<'EOF'
import math, sys
ini, bna, lat, lon, mode = sys.argv[1], sys.argv[2], float(sys.argv[3]), float(sys.argv[4]), sys.argv[5]
# Kilometres per degree as the tile study reckons them at the box's middle.
phi = math.radians(lat)
km_lat = 111.13209 - 0.56605 * math.cos(2 * phi) + 0.0012 * math.cos(4 * phi)
km_lon = 111.41513 * math.cos(phi) - 0.09455 * math.cos(3 * phi) + 0.00012 * math.cos(5 * phi)
half_lat, half_lon = 40.0 / km_lat, 40.0 / km_lon
s, n, w, e = lat - half_lat, lat + half_lat, lon - half_lon, lon + half_lon
if mode == "circle":
    ns_km, ew_km = km_lat / 1200.0, km_lon / 1200.0          # 3 arc-seconds
    boundary = f'{bna}|"CIRCLE","40 km",361'
else:
    k = int(mode) - 1                                          # N points a side
    ns_km, ew_km = (n - s) * km_lat / k * (1 - 1e-12), (e - w) * km_lon / k * (1 - 1e-12)
    boundary = ""
keys = {"Elevation Data": {"elt_nlat": n, "elt_slat": s, "elt_elon": e, "elt_wlon": w,
                           "elt_nsS": ns_km, "elt_nsSun": "km", "elt_ewS": ew_km, "elt_ewSun": "km"},
        "Quick Coverage": {"ADV N LAT": n, "ADV S LAT": s, "ADV E LON": e, "ADV W LON": w,
                           "ADV NS Step": f"{ns_km:.9f} km", "ADV EW Step": f"{ew_km:.9f} km",
                           "ADV Boundary": boundary}}
lines = open(ini, encoding="latin-1").read().splitlines()
out, section, seen = [], None, set()
def flush(sec):
    for k, v in keys.get(sec, {}).items():
        if (sec, k) not in seen:
            out.append(f"{k}={v:.9f}" if isinstance(v, float) else f"{k}={v}")
for ln in lines:
    st = ln.strip()
    if st.startswith("[") and st.endswith("]"):
        if section is not None:
            while out and not out[-1].strip():
                out.pop()
            flush(section)
            out.append("")
        section = st[1:-1]
        out.append(ln)
        continue
    key = ln.split("=", 1)[0].strip() if "=" in ln else None
    if section in keys and key in keys[section]:
        v = keys[section][key]
        out.append(f"{key}={v:.9f}" if isinstance(v, float) else f"{key}={v}")
        seen.add((section, key))
    else:
        out.append(ln)
if section is not None:
    flush(section)
open(ini, "w", encoding="latin-1", newline="\r\n").write("\n".join(out) + "\n")
EOF
}

# set_radial KM: RADIALS radials to KM km, a point every 90 m (the terrain step).
set_radial() {
  python3 - "$RAD_INI" "$PATHS_INI" "$TX_LAT" "$TX_LON" "$1" "$RADIALS" <<'EOF'
import sys
ini, paths, lat, lon, km, nrad = sys.argv[1], sys.argv[2], float(sys.argv[3]), float(sys.argv[4]), float(sys.argv[5]), int(sys.argv[6])
rows = ["[Paths]", f"Num Paths={nrad}"]
for k in range(nrad):
    rows.append(f"PATH{k}={k + 1}|{lat:.6f}|{lon:.6f}|{360.0 * k / nrad:.4f}|||{km:g}|km||")
open(paths, "w", encoding="latin-1", newline="\r\n").write("\n".join(rows) + "\n")
text = open(ini, encoding="latin-1").read().splitlines()
out = []
for ln in text:
    key = ln.split("=", 1)[0].strip() if "=" in ln else None
    if key == "ADV RAD STEP COV": ln = "ADV RAD STEP COV=0.09|km"
    elif key == "Step": ln = "Step=0.09"
    elif key == "Num Rad": ln = f"Num Rad={nrad}"
    elif key == "Distance": ln = f"Distance={km:g}"
    out.append(ln)
open(ini, "w", encoding="latin-1", newline="\r\n").write("\n".join(out) + "\n")
EOF
}

# ---------------------------------------------------------------- timing
# timed NAME CMD...: runs CMD, appends "wall cpu" (seconds; cpu = user + system
# of CMD and its children) to $WORK/t.NAME; false when CMD fails.
timed() {
  local name=$1; shift
  local TIMEFORMAT='%3R %3U %3S' rc wall u s
  { time { "$@" >"$WORK/last.log" 2>&1; echo $? >"$WORK/rc"; }; } 2>"$WORK/tm"
  read -r wall u s <"$WORK/tm" || { wall=nan; u=0; s=0; }
  rc=$(cat "$WORK/rc" 2>/dev/null || echo 1)
  awk -v w="$wall" -v u="$u" -v s="$s" 'BEGIN { printf "%s %.3f\n", w, u + s }' >>"$WORK/t.$name"
  return "$rc"
}
# median NAME COLUMN (1 wall, 2 cpu)
median() {
  [ -s "$WORK/t.$1" ] || { echo nan; return; }
  cut -d' ' -f"$2" "$WORK/t.$1" | sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
}
# points of the last ravoprop run, from "Study of task N complete: P points, C computed"
points() { sed -n 's/.*complete: \([0-9]*\) points.*/\1/p' "$WORK/last.log" | tail -1; }

run_splat() {
  ( cd "$WORK/splat" && splat -t tx.qth -L "$RX_AGL" -R 40 -metric -olditm -N -ngs -d . -o map.ppm )
}
run_ravo() {  # run_ravo TASK THREADS
  "$RAVO" run --task "$1" --workdir "$WORK/study" --dem "$WORK/dem" --threads "$2"
}
ravo_failed() {
  say "ravoprop run --task $1 --threads $2 failed: $(grep -v '^\s*$' "$WORK/last.log" | tail -2 | tr '\n' ' ')"
}

say "== 40 km, 3\" coverage of the sample transmitter ($TX_LAT, $TX_LON; ${TX_AGL} m above ground, rx ${RX_AGL} m)"
say "   $RUNS interleaved runs each; medians of wall time (CPU = user + system). Load average now: $(cut -d' ' -f1-3 /proc/loadavg 2>/dev/null)"
set_tile circle
TILE_POINTS=""
RAVO_OK=1
for ((r = 1; r <= RUNS; r++)); do
  if [ "$HAVE_SPLAT" = 1 ] && ! timed splat run_splat; then
    say "SPLAT! failed: $(tail -2 "$WORK/last.log" | tr '\n' ' '); it is left out."
    HAVE_SPLAT=0
  fi
  for th in 1 2; do
    [ "$RAVO_OK" = 1 ] || continue
    if timed "tile$th" run_ravo 2 "$th"; then
      TILE_POINTS=$(points)
    else
      ravo_failed 2 "$th"
      RAVO_OK=0
    fi
  done
done

ratio() { awk -v a="$1" -v b="$2" 'BEGIN { if (a == "nan" || b == "nan" || b <= 0) print "-"; else printf "%.2f", a / b }'; }
rate() { awk -v p="$1" -v t="$2" 'BEGIN { if (p == "" || t == "nan" || t <= 0) print "-"; else printf "%.0f", p / t }'; }

SPLAT_WALL=$(median splat 1) SPLAT_CPU=$(median splat 2)
printf '%-28s %10s %10s %14s %12s %10s\n' "" "wall s" "CPU s" "points/s" "vs SPLAT!" "(CPU)"
if [ "$HAVE_SPLAT" = 1 ]; then
  printf '%-28s %10s %10s %14s %12s %10s\n' "SPLAT! ${SPLAT_VERSION:-} -olditm" "$SPLAT_WALL" "$SPLAT_CPU" "-" "1.00" "1.00"
fi
for th in 1 2; do
  [ -s "$WORK/t.tile$th" ] || continue
  w=$(median "tile$th" 1) c=$(median "tile$th" 2)
  if [ "$HAVE_SPLAT" = 1 ]; then vs=$(ratio "$w" "$SPLAT_WALL") vc=$(ratio "$c" "$SPLAT_CPU"); else vs="-" vc="-"; fi
  printf '%-28s %10s %10s %14s %12s %10s\n' "ravoprop tile, $th thread(s)" "$w" "$c" "$(rate "$TILE_POINTS" "$w")" "$vs" "$vc"
done
[ -n "$TILE_POINTS" ] && say "   ravoprop tile study: $TILE_POINTS points inside the 40 km circle at 3\" (ratio = ravoprop / SPLAT! wall time)"
if [ -s "$WORK/t.tile1" ] && [ -s "$WORK/t.tile2" ]; then
  say "   2 threads vs 1: $(ratio "$(median tile1 1)" "$(median tile2 1)")x"
fi

say ""
say "== Tile studies over the 40 km box (N x N points), 1 and 2 threads, $RUNS runs each"
printf '%-12s %10s %10s %14s %10s %14s\n' "tile" "points" "1 th s" "points/s" "2 th s" "points/s"
for n in $TILE_SIZES; do
  [ "$RAVO_OK" = 1 ] || break
  set_tile "$n"
  rm -f "$WORK/t.size1" "$WORK/t.size2"
  pts=""
  for ((r = 1; r <= RUNS; r++)); do
    for th in 1 2; do
      if timed "size$th" run_ravo 2 "$th"; then pts=$(points); else ravo_failed 2 "$th"; break 3; fi
    done
  done
  w1=$(median size1 1) w2=$(median size2 1)
  printf '%-12s %10s %10s %14s %10s %14s\n' "${n}x${n}" "$pts" "$w1" "$(rate "$pts" "$w1")" "$w2" "$(rate "$pts" "$w2")"
done

say ""
say "== Radial studies: $RADIALS radials, a point every 90 m, 1 and 2 threads, $RUNS runs each"
printf '%-12s %10s %10s %14s %10s %14s\n' "radius" "points" "1 th s" "points/s" "2 th s" "points/s"
for km in $RADIAL_KM; do
  [ "$RAVO_OK" = 1 ] || break
  set_radial "$km"
  rm -f "$WORK/t.rad1" "$WORK/t.rad2"
  pts=""
  for ((r = 1; r <= RUNS; r++)); do
    for th in 1 2; do
      if timed "rad$th" run_ravo 1 "$th"; then pts=$(points); else ravo_failed 1 "$th"; break 3; fi
    done
  done
  w1=$(median rad1 1) w2=$(median rad2 1)
  printf '%-12s %10s %10s %14s %10s %14s\n' "${km} km" "$pts" "$w1" "$(rate "$pts" "$w1")" "$w2" "$(rate "$pts" "$w2")"
done
exit 0
