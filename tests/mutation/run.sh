#!/usr/bin/env bash
# Mutation run: how many hand-made faults of src/ the test suite finds.
#
#   tests/mutation/run.sh [--src ROOT] [--build DIR] [--out FILE] [--list FILE]
#                         [--only ID...] [--compile-only] [--skip-verify]
#
# ROOT is the source tree to mutate (default: this repository), DIR its
# release build (default ROOT/build-mutation), FILE the per-mutant results
# (default DIR/mutation.txt), the list tests/mutation/mutants.txt beside this
# script. The build is configured once; the unmutated suite must pass; then
# each mutant is applied to a copy-kept source file, the tree rebuilt and the
# suite run until its first failure. A mutant is
#   killed          some test failed (or timed out),
#   survived        every test passed,
#   not-applicable  its snippet is in no file under src/, or in more than one place,
#   build-failed    the mutated tree did not build.
# --compile-only applies each mutant and only compiles the file it lands in;
# --skip-verify leaves out the run of the unmutated suite (for reruns of a few).
# The source file is always put back, also on an interrupt; a run killed
# outright leaves DIR/mutation-state, and the next run restores from it first.
# It edits ROOT/src while it runs: give it a tree (git worktree) nobody edits.
set -uo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
root="$(cd "$here/../.." && pwd)"
build=""
out=""
list="$here/mutants.txt"
only=()
compile_only=0
skip_verify=0

usage() { awk 'NR > 1 && /^#/ { sub(/^# ?/, ""); print; next } NR > 1 { exit }' "${BASH_SOURCE[0]}"; }
value() {  # the value of option $1, or a message
  [[ $# -ge 2 && -n "$2" && "$2" != --* ]] && return 0
  echo "run.sh: $1 needs a value (see --help)" >&2
  exit 2
}

while [[ $# -gt 0 ]]; do
  case "$1" in
    --src) value "$@"; root="$(cd "$2" && pwd)" || exit 2; shift 2 ;;
    --build) value "$@"; build="$2"; shift 2 ;;
    --out) value "$@"; out="$2"; shift 2 ;;
    --list) value "$@"; list="$2"; shift 2 ;;
    --only) value "$@"; shift; while [[ $# -gt 0 && "$1" != --* ]]; do only+=("$1"); shift; done ;;
    --compile-only) compile_only=1; shift ;;
    --skip-verify) skip_verify=1; shift ;;
    -h|--help) usage; exit 0 ;;
    *) echo "run.sh: unknown argument '$1' (see --help)" >&2; exit 2 ;;
  esac
done

[[ -d "$root/src" ]] || { echo "run.sh: $root holds no src/ folder: give --src ROOT of a ZWRavoprop tree" >&2; exit 2; }
[[ -f "$list" ]] || { echo "run.sh: mutant list $list not found" >&2; exit 2; }
build="${build:-$root/build-mutation}"
mkdir -p "$build" || exit 2
build="$(cd "$build" && pwd)"
out="${out:-$build/mutation.txt}"
logs="$build/mutation-logs"
pristine="$build/mutation-pristine"
state="$build/mutation-state"
mkdir -p "$logs" "$pristine"

# The two process-kill tests take about 200 s between them; they are left out
# of every run so that runs before and after compare like with like.
exclude='^RunTransactionTest\.(InterruptedReRunsLeaveTheOldFilesOrCompleteNewOnes|KilledTaskCommandsLeaveWholeTasks)$'

# ---------------------------------------------------------------- restore

restore() {
  [[ -f "$state" ]] || return 0
  local rel
  rel="$(cat "$state")"
  if [[ -f "$pristine/$rel" ]]; then
    # A fresh modification time, so that the next build compiles the file again.
    cat "$pristine/$rel" > "$root/$rel" && rm -f "$pristine/$rel" "$state"
  fi
}
on_exit() { restore; }
on_signal() { restore; echo "run.sh: interrupted; $root/src is as it was" >&2; exit 130; }
trap on_exit EXIT
trap on_signal INT TERM HUP

if [[ -f "$state" ]]; then
  echo "run.sh: restoring $(cat "$state") left mutated by an earlier run" >&2
  restore
  [[ -f "$state" ]] && { echo "run.sh: cannot restore $(cat "$state") from $pristine" >&2; exit 1; }
fi

# ---------------------------------------------------------------- mutants

# mutate.py ACTION ROOT FILE SNIPPET REPLACEMENT
#   locate: prints the file (relative to ROOT) holding SNIPPET exactly once,
#           FILE first, else the one file under src/ that does; or exits 3
#           with the reason.
#   apply:  replaces the snippet in that file (already located).
mutate() {
  python3 - "$@" <<'PY'
import os, sys
action, root, rel, snippet, repl = sys.argv[1:6]
def text(p):
    with open(p, encoding="utf-8", errors="surrogateescape") as f:
        return f.read()
if action == "locate":
    p = os.path.join(root, rel)
    if os.path.isfile(p) and text(p).count(snippet) == 1:
        print(rel); sys.exit(0)
    hits = []
    for d, _, files in os.walk(os.path.join(root, "src")):
        for n in sorted(files):
            if n.endswith((".cpp", ".h", ".hpp", ".cc")):
                q = os.path.join(d, n)
                c = text(q).count(snippet)
                if c:
                    hits.append((os.path.relpath(q, root), c))
    total = sum(c for _, c in hits)
    if total == 1:
        print(hits[0][0]); sys.exit(0)
    if total == 0:
        print("snippet found in no file under src/")
    else:
        print("snippet found %d times: %s" % (total, ", ".join("%s (%d)" % h for h in hits)))
    sys.exit(3)
elif action == "apply":
    p = os.path.join(root, rel)
    t = text(p)
    assert t.count(snippet) == 1
    with open(p, "w", encoding="utf-8", errors="surrogateescape") as f:
        f.write(t.replace(snippet, repl, 1))
PY
}

# Rows of the list: ID, file, snippet, replacement (tab-separated on stdout).
read_list() {
  python3 - "$list" <<'PY'
import sys
for no, line in enumerate(open(sys.argv[1], encoding="utf-8"), 1):
    line = line.rstrip("\n")
    if not line.strip() or line.lstrip().startswith("#"):
        continue
    if line.endswith(" @@"):
        line += " "
    parts = line.split(" @@ ", 3)
    if len(parts) != 4 or not parts[0].strip() or not parts[2]:
        sys.exit("%s:%d: not 'ID @@ FILE @@ SNIPPET @@ REPLACEMENT'" % (sys.argv[1], no))
    if "\t" in line:
        sys.exit("%s:%d: tabs are not allowed" % (sys.argv[1], no))
    print("\t".join([parts[0].strip(), parts[1].strip(), parts[2], parts[3]]))
PY
}

rows="$(read_list)" || exit 2
if [[ ${#only[@]} -gt 0 ]]; then
  for id in "${only[@]}"; do
    grep -q "^$id	" <<<"$rows" || { echo "run.sh: no mutant $id in $list" >&2; exit 2; }
  done
fi
wanted() {
  [[ ${#only[@]} -eq 0 ]] && return 0
  local id
  for id in "${only[@]}"; do [[ "$id" == "$1" ]] && return 0; done
  return 1
}

# ---------------------------------------------------------------- build and test

configure() {
  cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DRAVO_SANITIZE=OFF -DRAVO_PYTHON=OFF \
    -DRAVO_TESTS=ON -DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache \
    >"$logs/configure.log" 2>&1
}
build_all() { cmake --build "$build" -j2 >"$1" 2>&1 </dev/null; }
run_tests() {
  ctest --test-dir "$build" -j2 --timeout 120 --stop-on-failure -E "$exclude" --output-on-failure >"$1" 2>&1 </dev/null
}
# The first failed test named in a ctest log.
first_failure() {
  grep -m1 -E '\*\*\*(Failed|Timeout|Exception)' "$1" | sed -E 's/^.*Test +#[0-9]+: ([^ ]+).*$/\1/'
}

# Compiles one source file as the build does, writing no object.
compile_one() {
  local rel="$1" log="$2"
  python3 - "$build/compile_commands.json" "$root/$rel" >"$log.cmd" <<'PY' || return 2
import json, os, shlex, sys
db = json.load(open(sys.argv[1]))
want = os.path.realpath(sys.argv[2])
for e in db:
    if os.path.realpath(os.path.join(e["directory"], e["file"])) == want:
        args = e.get("arguments") or shlex.split(e["command"])
        out = []
        skip = False
        for a in args:
            if skip: skip = False; continue
            if a == "-o": skip = True; continue
            out.append(a)
        print(e["directory"]); print(shlex.join(out + ["-fsyntax-only"])); sys.exit(0)
sys.exit(1)
PY
  local dir cmd
  dir="$(sed -n 1p "$log.cmd")"
  cmd="$(sed -n 2p "$log.cmd")"
  (cd "$dir" && eval "$cmd") >"$log" 2>&1 </dev/null
}

echo "run.sh: configuring $build for $root"
configure || { echo "run.sh: configure failed, see $logs/configure.log" >&2; exit 1; }
if [[ $compile_only -eq 0 ]]; then
  echo "run.sh: building the unmutated tree"
  build_all "$logs/base.build.log" || { echo "run.sh: the unmutated tree does not build, see $logs/base.build.log" >&2; exit 1; }
  if [[ $skip_verify -eq 0 ]]; then
    echo "run.sh: running the unmutated suite"
    t0=$SECONDS
    if ! run_tests "$logs/base.test.log"; then
      echo "run.sh: the unmutated suite fails ($(first_failure "$logs/base.test.log")); see $logs/base.test.log" >&2
      exit 1
    fi
    echo "run.sh: the unmutated suite passes ($((SECONDS - t0)) s)"
  fi
fi

rev="$(git -C "$root" rev-parse --short HEAD 2>/dev/null || echo unknown)"
dirty=""
[[ -n "$(git -C "$root" status --porcelain -- src 2>/dev/null)" ]] && dirty=" (src/ with uncommitted changes)"
{
  echo "# Mutation run of $root at commit $rev$dirty"
  echo "# date: $(date -u '+%Y-%m-%d %H:%M UTC'); build: $build (Release); list: $list"
  echo "# ctest -j2 --timeout 120 --stop-on-failure, excluding $exclude"
  echo "# ID  result  seconds  file  detail"
} >"$out"

n=0 killed=0 survived=0 na=0 bfail=0 ok=0
survivors=()
start=$SECONDS
while IFS=$'\t' read -r id file snippet repl <&3; do
  wanted "$id" || continue
  n=$((n + 1))
  t0=$SECONDS
  detail=""
  if ! rel="$(mutate locate "$root" "$file" "$snippet" "")"; then
    result="not-applicable"
    detail="$rel"
    rel="$file"
  else
    [[ "$rel" != "$file" ]] && detail="moved from $file"
    mkdir -p "$pristine/$(dirname "$rel")"
    cp -p "$root/$rel" "$pristine/$rel" && echo "$rel" >"$state" || { echo "run.sh: cannot keep a copy of $rel" >&2; exit 1; }
    mutate apply "$root" "$rel" "$snippet" "$repl" || { restore; echo "run.sh: cannot mutate $rel" >&2; exit 1; }
    if [[ $compile_only -eq 1 ]]; then
      if [[ "$rel" == *.h || "$rel" == *.hpp ]]; then compile() { build_all "$1"; }; else compile() { compile_one "$rel" "$1"; }; fi
      if compile "$logs/$id.build.log"; then result="compiles"; else result="build-failed"; fi
    elif ! build_all "$logs/$id.build.log"; then
      result="build-failed"
    elif run_tests "$logs/$id.test.log"; then
      result="survived"
    else
      result="killed"
      detail="${detail:+$detail; }$(first_failure "$logs/$id.test.log")"
    fi
    restore
  fi
  case "$result" in
    killed) killed=$((killed + 1)) ;;
    survived) survived=$((survived + 1)); survivors+=("$id") ;;
    not-applicable) na=$((na + 1)) ;;
    build-failed) bfail=$((bfail + 1)) ;;
    compiles) ok=$((ok + 1)) ;;
  esac
  printf '%-6s %-15s %5d  %s  %s\n' "$id" "$result" $((SECONDS - t0)) "$rel" "$detail" | tee -a "$out"
done 3<<<"$rows"

# Rebuild the unmutated tree so that the build directory matches the sources.
[[ $compile_only -eq 0 && $n -gt 0 ]] && build_all "$logs/final.build.log"

summary="mutants: $n, killed: $killed, survived: $survived, not applicable: $na"
{
  echo "#"
  echo "# $summary"
  echo "# build failed: $bfail$([[ $compile_only -eq 1 ]] && echo "; compiled: $ok"); total time: $((SECONDS - start)) s"
  echo "# survivors: ${survivors[*]:-none}"
} >>"$out"
echo "$summary"
echo "build failed: $bfail; total time: $((SECONDS - start)) s"
[[ $compile_only -eq 1 ]] && echo "compiled: $ok"
echo "survivors: ${survivors[*]:-none}"
echo "results: $out"
