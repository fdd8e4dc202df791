#!/usr/bin/env bash
# Set-up, build, test, benchmark and demo of ZWRavoprop.
#   ./run.sh deps    install the Debian packages that are missing
#   ./run.sh build   configure and build (release, build/)
#   ./run.sh test    deps, then a sanitizer build (build-san/) and every test through CTest
#   ./run.sh bench   deps, release build with benchmarks, run them
#   ./run.sh demo    deps, build, sample radial + tile studies on the bundled terrain, PNG/KML (build/demo/)
#   ./run.sh fuzz [SECONDS]  clang-14 libFuzzer build (build-fuzz/), each target SECONDS (60)
#   ./run.sh lint    cppcheck and clang-tidy-14 over src/ and tools/ (configure only, build-lint/)
#   ./run.sh tsan    deps, ThreadSanitizer build (build-tsan/) and the multi-threaded tests
set -euo pipefail
cd "$(dirname "$0")"
ROOT=$(pwd)
JOBS=$(nproc 2>/dev/null || echo 2)

PACKAGES=(build-essential cmake pkg-config libgtest-dev libgmock-dev libbenchmark-dev
          libgdal-dev gdal-bin libproj-dev proj-data libshp-dev libcli11-dev
          nlohmann-json3-dev libfmt-dev libtbb-dev libcairo2-dev
          pybind11-dev python3-dev python3-numpy python3-pytest python3-distributed python3-pandas)

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

# The Python package's tests (python/tests) against a build's module and tool;
# skipped with a message when Debian's Python packages or the module are missing.
py_tests() {   # py_tests DIR
  local dir="$ROOT/$1" py=/usr/bin/python3
  if ! "$py" -c "import pytest, numpy, pandas, distributed" 2>/dev/null || ! ls "$dir"/python/ravoprop/_ravoprop*.so >/dev/null 2>&1; then
    echo "pytest: skipped (needs python3-pytest, python3-numpy, python3-pandas, python3-distributed and the module built with pybind11-dev: ./run.sh deps)"
    return 0
  fi
  # A sanitizer build's module runs in an interpreter that is not: the runtime is preloaded.
  local preload=""
  if grep -q "RAVO_SANITIZE:BOOL=ON" "$dir/CMakeCache.txt" 2>/dev/null; then
    preload="$(gcc -print-file-name=libasan.so) $(gcc -print-file-name=libstdc++.so)"
  fi
  LD_PRELOAD="$preload" ASAN_OPTIONS=detect_leaks=0 RAVO_BUILD_DIR="$dir" \
    "$py" -m pytest -q -p no:cacheprovider "$ROOT/python/tests"
}

build() {   # build DIR [cmake args...]
  local dir=$1; shift
  cmake -S "$ROOT" -B "$ROOT/$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
  cmake --build "$ROOT/$dir" -j "$JOBS"
}

# The fuzz build: clang-14 and the libFuzzer runtime (libclang_rt.fuzzer-x86_64.a
# is in libclang-rt-14-dev on Debian 12).
FUZZ_PACKAGES=(clang-14 libclang-rt-14-dev)

fuzz() {   # fuzz SECONDS
  local secs=$1 missing=() SUDO=""
  for p in "${FUZZ_PACKAGES[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
  done
  [ "$(id -u)" -ne 0 ] && SUDO="sudo"
  if [ ${#missing[@]} -gt 0 ]; then
    echo "Installing: ${missing[*]}"
    $SUDO apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
  fi
  local dir="${RAVO_FUZZ_DIR:-$ROOT/build-fuzz}"
  local start=$SECONDS
  cmake -S "$ROOT" -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DRAVO_FUZZ=ON -DRAVO_TESTS=OFF \
        -DCMAKE_C_COMPILER=clang-14 -DCMAKE_CXX_COMPILER=clang++-14 >/dev/null
  cmake --build "$dir" -j "$JOBS" --target ravo_fuzz_all
  echo "fuzz build: $((SECONDS - start)) s"
  mkdir -p "$dir/crashes" "$dir/logs"
  export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
  # The targets write each input to a file (and the profile writer syncs it): on tmpfs when there is one.
  [ -d /dev/shm ] && [ -w /dev/shm ] && export TMPDIR=/dev/shm
  local failed=() summary=()
  for src in "$ROOT"/fuzz/fuzz_*.cpp; do
    local t; t=$(basename "$src" .cpp); t=${t#fuzz_}
    mkdir -p "$dir/corpus/$t"
    echo "== fuzz_$t (${secs} s)"
    # New inputs go to build-fuzz/corpus/; the seeds in fuzz/corpus/ are only read.
    if "$dir/fuzz/fuzz_$t" -max_total_time="$secs" -rss_limit_mb=2048 -timeout=30 -print_final_stats=1 \
         -artifact_prefix="$dir/crashes/$t-" "$dir/corpus/$t" "$ROOT/fuzz/corpus/$t" >"$dir/logs/$t.log" 2>&1; then
      local runs time
      runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$dir/logs/$t.log")
      time=$(sed -n 's/^Done [0-9]* runs in \([0-9]*\) second.*/\1/p' "$dir/logs/$t.log")
      summary+=("fuzz_$t: ${runs:-?} runs, $(( ${runs:-0} / (${time:-0} > 0 ? ${time:-1} : 1) )) exec/s")
    else
      failed+=("fuzz_$t")
      summary+=("fuzz_$t: FAILED (log build-fuzz/logs/$t.log, input build-fuzz/crashes/$t-*)")
      grep -E "ERROR|SUMMARY|invariant|Test unit written" "$dir/logs/$t.log" | head -5 || true
    fi
  done
  printf '%s\n' "${summary[@]}"
  [ ${#failed[@]} -eq 0 ] || { echo "crashed: ${failed[*]}"; return 1; }
}

# Static checks: cppcheck and clang-tidy-14 (checks in .clang-tidy), any finding fails.
LINT_PACKAGES=(cppcheck clang-tidy-14)

extra_deps() {   # extra_deps PACKAGES...
  local missing=() SUDO=""
  for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  [ "$(id -u)" -ne 0 ] && SUDO="sudo"
  echo "Installing: ${missing[*]}"
  if ! DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"; then
    $SUDO apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
  fi
}

lint() {
  extra_deps "${LINT_PACKAGES[@]}"
  local dir="${RAVO_LINT_DIR:-$ROOT/build-lint}" start=$SECONDS rc=0
  # Only the compile commands (and the generated headers) are needed, no build.
  cmake -S "$ROOT" -B "$dir" -DCMAKE_BUILD_TYPE=Debug -DCMAKE_EXPORT_COMPILE_COMMANDS=ON >/dev/null
  echo "== cppcheck"
  cppcheck --project="$dir/compile_commands.json" --file-filter="$ROOT/src/*" --file-filter="$ROOT/tools/*" \
           --enable=warning,performance,portability --inline-suppr --error-exitcode=1 \
           --suppress=missingIncludeSystem --suppress=unmatchedSuppression \
           --quiet -j "$JOBS" --cppcheck-build-dir="$(mkdir -p "$dir/cppcheck" && echo "$dir/cppcheck")" || rc=1
  echo "cppcheck: $((SECONDS - start)) s"
  echo "== clang-tidy-14"
  run-clang-tidy-14 -quiet -j "$JOBS" -p "$dir" "^$ROOT/(src|tools)/.*\.cpp$" >"$dir/clang-tidy.log" 2>&1 || rc=1
  grep -E "(warning|error):" "$dir/clang-tidy.log" | sort -u || true
  echo "lint: $((SECONDS - start)) s"
  [ $rc -eq 0 ] || { echo "lint: findings above (clang-tidy log: $dir/clang-tidy.log)"; return 1; }
}

# The tests that run work on several threads (area runs, the shared terrain
# cache, the shared curve tables, independent calculators).
TSAN_TESTS='^(CoverageRun.*|TerrainSource\.ThreadsShareTheCache|modPropBC\.CurvesAreBuiltOnceAndShared|LRCore\.ObjectsAreIndependent)$'

tsan() {
  local dir="${RAVO_TSAN_DIR:-$ROOT/build-tsan}" start=$SECONDS
  cmake -S "$ROOT" -B "$dir" -DCMAKE_BUILD_TYPE=Debug -DRAVO_TSAN=ON -DRAVO_SANITIZE=OFF >/dev/null
  cmake --build "$dir" -j "$JOBS" --target test_engine test_terrain test_models_curves test_models_terrain
  echo "tsan build: $((SECONDS - start)) s"
  export TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1 suppressions=$ROOT/tsan.supp"
  ctest --test-dir "$dir" --output-on-failure --no-tests=error -j "$JOBS" -R "$TSAN_TESTS"
  echo "tsan: $((SECONDS - start)) s"
}

case "${1:-}" in
  deps)  deps ;;
  build) deps; build build ;;
  test)
    deps
    build build-san -DRAVO_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug
    export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
    ctest --test-dir "$ROOT/build-san" --output-on-failure -j "$JOBS"
    py_tests build-san
    ;;
  bench)
    deps
    build build-bench -DRAVO_BENCH=ON -DRAVO_TESTS=OFF -DCMAKE_BUILD_TYPE=Release
    if [ -x build-bench/ravo_bench ]; then build-bench/ravo_bench "${@:2}"; else echo "no benchmarks yet"; fi
    # The Python package's own cost per path: p2p_many against the same paths through the C++ call.
    /usr/bin/python3 "$ROOT/bench/python_overhead.py" "$ROOT/build-bench"
    # The area study against SPLAT! (installs Debian's splat when missing; never fails the run).
    bash "$ROOT/bench/splat_compare.sh" "$ROOT/build-bench/ravoprop" || true
    ;;
  demo)
    deps
    build build -DRAVO_TESTS=OFF
    export ZWRAVOPROP_HOME="$ROOT/build/demo-home"
    # A minimal installation directory: the coordinate data directory the engine checks for
    # (PROJ's own data is used; datum grids may be put there).
    mkdir -p "$ZWRAVOPROP_HOME/COORDSYS DATA"
    "$ROOT/build/ravoprop" demo --data "$ROOT/data" --out "$ROOT/build/demo"
    ;;
  fuzz)
    deps
    fuzz "${2:-60}"
    ;;
  lint)
    deps
    lint
    ;;
  tsan)
    deps
    tsan
    ;;
  *)
    sed -n '2,10p' "$0" | sed 's/^# \{0,1\}//'
    exit 2
    ;;
esac
