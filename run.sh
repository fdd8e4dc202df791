#!/usr/bin/env bash
# Set-up, build, test, benchmark and demo of ZWRavoprop.
#   ./run.sh deps    install the Debian packages that are missing
#   ./run.sh build   configure and build (release, build/)
#   ./run.sh test    deps, then a sanitizer build (build-san/) and every test through CTest
#   ./run.sh bench   deps, release build with benchmarks, run them
#   ./run.sh demo    deps, build, then run a coverage study on the bundled sample terrain
set -euo pipefail
cd "$(dirname "$0")"
ROOT=$(pwd)
JOBS=$(nproc 2>/dev/null || echo 2)

PACKAGES=(build-essential cmake pkg-config libgtest-dev libgmock-dev libbenchmark-dev
          libgdal-dev gdal-bin libproj-dev proj-data libshp-dev libcli11-dev
          nlohmann-json3-dev libfmt-dev libtbb-dev)

deps() {
  local missing=()
  for p in "${PACKAGES[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "Installing: ${missing[*]}"
  local SUDO=""
  [ "$(id -u)" -ne 0 ] && SUDO="sudo"
  if ! DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"; then
    $SUDO apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
  fi
}

build() {   # build DIR [cmake args...]
  local dir=$1; shift
  cmake -S "$ROOT" -B "$ROOT/$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
  cmake --build "$ROOT/$dir" -j "$JOBS"
}

case "${1:-}" in
  deps)  deps ;;
  build) deps; build build ;;
  test)
    deps
    build build-san -DRAVO_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug
    export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
    ctest --test-dir "$ROOT/build-san" --output-on-failure -j "$JOBS"
    ;;
  bench)
    deps
    build build-bench -DRAVO_BENCH=ON -DRAVO_TESTS=OFF -DCMAKE_BUILD_TYPE=Release
    if [ -x build-bench/ravo_bench ]; then build-bench/ravo_bench "${@:2}"; else echo "no benchmarks yet"; fi
    ;;
  demo)
    deps
    build build -DRAVO_TESTS=OFF
    export ZWRAVOPROP_HOME="$ROOT/build/demo-home"
    "$ROOT/build/ravoprop" demo --data "$ROOT/data" --out "$ROOT/build/demo"
    ;;
  *)
    sed -n '2,7p' "$0" | sed 's/^# \{0,1\}//'
    exit 2
    ;;
esac
