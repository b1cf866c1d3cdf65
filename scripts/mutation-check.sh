#!/usr/bin/env bash
# Proves that the test suite catches deliberate faults: applies each mutant of
# tests/mutants/ in turn to a copy of the working tree, rebuilds it and runs
# the suite, which must fail. The checkout itself is never modified.
set -euo pipefail

usage() {
  cat <<'EOF'
Usage: scripts/mutation-check.sh [--help] [MUTANT...]

Copies the working tree (tracked and untracked, not ignored files) into
build-mutation/tree, builds it in build-mutation/build and runs the test suite
once unmutated, then once per mutant tests/mutants/NAME.patch (all of them, or
only the NAMEs given, with or without ".patch"). A mutant is "caught" when the
suite fails and "MISSED" when it passes; one that does not apply or does not
build is a problem. Logs go to build-mutation/logs/NAME.log.

Exit status: 0 when every mutant was caught, 1 otherwise.
EOF
}

for arg in "$@"; do
  case $arg in
    -h | --help) usage; exit 0 ;;
    -*) echo "mutation-check: unknown option $arg" >&2; usage >&2; exit 1 ;;
  esac
done
for tool in git rsync patch cmake ctest ninja; do
  command -v "$tool" >/dev/null || { echo "mutation-check: needs $tool (apt-get install $tool)" >&2; exit 1; }
done

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
work=$root/build-mutation
tree=$work/tree
build=$work/build
logs=$work/logs
mutants=$root/tests/mutants
mkdir -p "$tree" "$logs"

# Refresh the copy. Only files whose content changed are rewritten (and get a
# new time stamp), so the build stays incremental; files gone from the working
# tree are removed from the copy.
(cd "$root" && git ls-files -z --cached --others --exclude-standard) |
  sort -z >"$work/files"
rsync -rlp --checksum --delete-missing-args --from0 --files-from="$work/files" "$root/" "$tree/"
(cd "$tree" && find . -type f -printf '%P\0' | sort -z) |
  comm -z -13 "$work/files" - | (cd "$tree" && xargs -0 -r rm -f --)
# The tests find shared test data beside the source tree.
[[ -d $root/../shared && ! -e $work/shared ]] && ln -s "$root/../shared" "$work/shared"

applied=""
revert() {
  [[ -n $applied ]] || return 0
  patch -d "$tree" -p1 -R --silent --no-backup-if-mismatch <"$applied" || true
  applied=""
}
trap revert EXIT
trap 'echo "mutation-check: interrupted" >&2; exit 130' INT TERM

# Builds and runs the suite; logs to $1. Returns 2 when the build fails and 1
# when a test fails.
build_and_test() {
  cmake --build "$build" -j2 >"$1" 2>&1 || return 2
  ctest --test-dir "$build" --stop-on-failure -j2 --output-on-failure >>"$1" 2>&1 || return 1
}

first_failure() {
  sed -n '/The following tests FAILED/{n;s/^[^-]*- //;s/ (.*//;p;q}' "$1"
}

if [[ ! -f $build/build.ninja ]]; then
  cmake -S "$tree" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DZORVEL_SANITIZE=OFF -DZORVEL_BENCH=OFF >"$logs/_configure.log" 2>&1 ||
    { echo "mutation-check: configuring failed, see $logs/_configure.log" >&2; exit 1; }
fi
echo "Building and testing the unmutated tree..."
status=0
build_and_test "$logs/_unmutated.log" || status=$?
if ((status != 0)); then
  echo "mutation-check: the unmutated tree $( ((status == 2)) && echo 'does not build' || echo 'fails its tests' )," \
    "see $logs/_unmutated.log" >&2
  exit 1
fi

selected=()
if (($# > 0)); then
  for name in "$@"; do selected+=("$mutants/${name%.patch}.patch"); done
else
  shopt -s nullglob
  selected=("$mutants"/*.patch)
fi

caught=0 missed=() problems=()
for file in "${selected[@]}"; do
  name=$(basename "$file" .patch)
  log=$logs/$name.log
  if [[ ! -f $file ]]; then
    echo "PROBLEM  $name  (no such mutant)"; problems+=("$name"); continue
  fi
  if ! patch -d "$tree" -p1 --dry-run --silent <"$file" >"$log" 2>&1; then
    echo "PROBLEM  $name  (did not apply)"; problems+=("$name"); continue
  fi
  applied=$file
  patch -d "$tree" -p1 --silent --no-backup-if-mismatch <"$file"
  status=0
  build_and_test "$log" || status=$?
  revert
  case $status in
    0) echo "MISSED   $name"; missed+=("$name") ;;
    1) echo "caught   $name  (first failing test: $(first_failure "$log"))"; caught=$((caught + 1)) ;;
    *) echo "PROBLEM  $name  (did not build)"; problems+=("$name") ;;
  esac
done

if ((${#missed[@]})); then
  echo
  echo "Missed mutants:"
  for name in "${missed[@]}"; do
    echo "  $name:"
    awk '/^(--- |diff )/ { exit } { print "    " $0 }' "$mutants/$name.patch"
  done
fi
echo
((${#problems[@]} == 0)) || echo "${#problems[@]} problems: ${problems[*]}"
echo "$caught caught, ${#missed[@]} missed"
((${#missed[@]} == 0 && ${#problems[@]} == 0))
