#!/usr/bin/env bash
# The project's one entry point. Usage: ./do COMMAND [OPTIONS]
#   deps               install missing Debian packages (needs root or sudo)
#   build              configure and build (Release) in build/
#   test [--sanitize|--tsan|--valgrind]
#                      build and run every test; --sanitize: AddressSanitizer and
#                      UndefinedBehaviorSanitizer (build-sanitize/); --tsan: the
#                      thread tests under ThreadSanitizer (build-tsan/);
#                      --valgrind: every test program under memcheck (build-valgrind/)
#   fuzz [SECONDS]     build the libFuzzer targets with clang and run each for
#                      SECONDS (default 60) from the seeds in fuzz/corpus/
#   demo               build and run the demonstration on the shipped examples
#   bench              build and run the benchmarks (Release)
set -euo pipefail
cd "$(dirname "$0")"
root=$(pwd)

packages=(g++ cmake ninja-build libxml2-dev libxml2-utils libboost-dev libgtest-dev libgmock-dev libbenchmark-dev libcli11-dev nlohmann-json3-dev pybind11-dev python3-dev python3-pytest)

# deps [EXTRA PACKAGES...]
deps() {
  local missing=()
  for p in "${packages[@]}" "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "installing: ${missing[*]}"
  local sudo=""
  [ "$(id -u)" -eq 0 ] || sudo=sudo
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
}

# configure DIR [cmake args...]
configure() {
  local dir=$1; shift
  # The Python package is built for Debian's python3 (python3-dev, python3-pytest),
  # not for whichever python3 comes first on PATH.
  local python=()
  [ -x /usr/bin/python3 ] && python=(-DPython3_EXECUTABLE=/usr/bin/python3)
  cmake -S "$root" -B "$root/$dir" -G Ninja "${python[@]}" "$@" >/dev/null
}

build() {
  deps
  configure build -DCMAKE_BUILD_TYPE=Release
  cmake --build "$root/build"
}

run_tests() {
  local dir=build args=(-DCMAKE_BUILD_TYPE=Release) select=()
  case "${1:-}" in
    "") deps ;;
    --sanitize)
      deps
      dir=build-sanitize
      args=(-DCMAKE_BUILD_TYPE=RelWithDebInfo -DKVO_SANITIZE=ON -DKVO_BUILD_BENCH=OFF)
      export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 ;;
    --tsan)
      deps
      dir=build-tsan
      args=(-DCMAKE_BUILD_TYPE=RelWithDebInfo -DKVO_TSAN=ON -DKVO_BUILD_BENCH=OFF)
      select=(-L threads)
      export TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1 ;;
    --valgrind) valgrind_tests; return ;;
    *) echo "unknown test option: $1" >&2; return 2 ;;
  esac
  configure "$dir" "${args[@]}"
  cmake --build "$root/$dir"
  local log="$root/$dir/ctest.log"
  if ctest --test-dir "$root/$dir" --output-on-failure -j "$(nproc)" "${select[@]}" >"$log" 2>&1; then
    sed -n '/tests passed/,$p' "$log"
  else
    cat "$log"
    return 1
  fi
}

demo() {
  build
  local kvodev="$root/build/tools/kvodev/kvodev" data
  data=$(mktemp -d "${TMPDIR:-/tmp}/kvodev-demo.XXXXXX")
  step() { printf '\n== %s\n' "$*"; }
  # run ARGS...: shows the command and what it printed, and a status other than 0.
  run() {
    printf '$ kvodev %s\n' "$*"
    local status=0
    "$kvodev" --data-dir "$data" "$@" 2>&1 || status=$?
    [ "$status" -eq 0 ] || echo "(exit status $status)"
  }
  echo "kvodev, the command-line host, works in the fresh data directory $data"

  step "first start: the library writes the schema and a default document"
  run check
  ls "$data"

  step "adding units; a unit that is there already is refused"
  run units add 303 0
  run units add 1201 0
  run units add 303 0
  run units

  step "the example configuration examples/kvoDevice.xml: units, serial ports linked on both sides, sets, driver files"
  cp examples/kvoDevice.xml "$data/kvoDevice.xml"
  echo "\$ xmllint --noout --schema kvoDevice.xsd kvoDevice.xml"
  xmllint --noout --schema "$data/kvoDevice.xsd" "$data/kvoDevice.xml" 2>&1
  run check
  run units
  run units --skip-excluded
  run ports U303x0
  run ports U332x0
  cmp -s examples/kvoDevice.xml "$data/kvoDevice.xml" && echo "(reading left kvoDevice.xml byte-for-byte as it was)"

  step "driver files"
  run drivers
  run drivers add filterwheel.so
  run drivers add FILTERWHEEL.SO
  run drivers --json

  step "unlinking a unit from its serial port (on both sides), and removing a unit with its set memberships"
  run unlink U332x0 COM4
  run ports U332x0
  run units remove U303x1
  run units exists U303x1

  step "bad input is refused before anything is opened"
  run units remove U303x00
  run unlink U303x0 LPT1

  step "capabilities from the shipped INI files (examples/cameras.ini, examples/positions.ini)"
  run caps --ini examples/cameras.ini --ini examples/positions.ini --device 170 --device 303 --device 332 --device 1201 --device 1202
  run --feature ACQ_ENABLE_HDRI caps --device 303 --device 1201
  run ini --ini examples/cameras.ini --ini examples/positions.ini

  step "setting up a workstation: a unit with its details, its serial port, a set made active"
  run units add U1202x0
  run units set U1202x0 --driver camera1202.so --model 'Monochrome camera 1202' --name 'Dark room camera' --serial MC-1202-0007
  run link U1202x0 COM6
  run units show U1202x0
  run sets create Darkfield --comment 'The monochrome camera alone'
  run sets add Darkfield U1202x0
  run sets activate Darkfield
  run sets
  run sets add Darkfield U9x9
  run units remove U1202x0 --unlink
  run sets show Darkfield

  step "recovery from a damaged file: the document is cut short"
  head -c 300 "$data/kvoDevice.xml" >"$data/kvoDevice.xml.cut"
  mv "$data/kvoDevice.xml.cut" "$data/kvoDevice.xml"
  run check
  run units
  echo "\$ head -n 8 kvoDevice.xml"
  head -n 8 "$data/kvoDevice.xml"

  step "a damage that parses: a setup the schema refuses and a link to a port that is not there"
  run units add 303 0
  run units add 332 0
  sed -i -e 's|<Unit UnitID="U303x0"/>|<Unit UnitID="U303x0" setup="Exclude"/>|' \
    -e 's|<Unit UnitID="U332x0"/>|<Unit UnitID="U332x0"><LinkedInterface ItemID="COM9"/></Unit>|' "$data/kvoDevice.xml"
  cp "$data/kvoDevice.xml" "$data/damaged.xml"
  run check --dry-run
  cmp -s "$data/damaged.xml" "$data/kvoDevice.xml" && echo "(the dry run left kvoDevice.xml as it was)"
  rm "$data/damaged.xml"
  run check

  step "the history: every version that a save, a recovery or a restore replaced"
  run history
  # The hand edit bypassed the library, so the newest save holds the document
  # as it was before the last change (units add 332 0); the recovery's version
  # is the damaged file itself.
  local saved
  saved=$("$kvodev" --data-dir "$data" history | awk '$5 == "save" { n = $1 } END { print n }')
  echo "(the newest save is version $saved: the document before the last change, units add 332 0)"
  run diff "$saved" kvoDevice.xml.bak

  step "putting the newest save back"
  run restore "$saved"
  run units
  run diff

  step "the same from Python: examples/python/setup_workstation.py on a data directory of its own"
  if [ -d "$root/build/python/kvodevice" ]; then
    local pydata
    pydata=$(mktemp -d "${TMPDIR:-/tmp}/kvodev-python.XXXXXX")
    echo "\$ python3 examples/python/setup_workstation.py $pydata"
    PYTHONPATH="$root/build/python" /usr/bin/python3 examples/python/setup_workstation.py "$pydata" 2>&1 || echo "(exit status $?)"
    "$kvodev" --data-dir "$pydata" units
    rm -r "$pydata"
  else
    echo "(the Python package was not built: pybind11-dev or python3-dev is missing)"
  fi

  step "the files"
  ls -l "$data"
  echo
  echo "The data directory $data is kept: look around, then remove it with rm -r '$data'."
  echo "kvodev is $kvodev; 'kvodev --help' and 'kvodev COMMAND --help' explain the rest."
}

# Every test program once under memcheck: no error, no leak. No suppression
# is needed: what libxml2 keeps for the life of the process stays reachable.
valgrind_tests() {
  deps valgrind
  local dir=build-valgrind
  configure "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKVO_BUILD_BENCH=OFF
  cmake --build "$root/$dir"
  local failed=0
  for t in "$root/$dir"/tests/*_tests; do
    [ -x "$t" ] || continue
    # Killing children at random moments says nothing about memory and takes long under valgrind.
    case "$(basename "$t")" in concurrency_tests) continue ;; esac
    local log="$root/$dir/$(basename "$t").log"
    # glibc's AVX2 string routines read whole aligned blocks past a string's
    # end, which memcheck reports although it cannot fault: use the plain ones.
    # A race between threads says nothing about memory either: memcheck runs one
    # thread at a time, and the attacker's loop of renames then starves the
    # saves for many minutes.
    if GLIBC_TUNABLES=glibc.cpu.hwcaps=-AVX2_Usable,-AVX2 valgrind --quiet --leak-check=full --errors-for-leak-kinds=definite,indirect --show-leak-kinds=definite,indirect \
        --error-exitcode=99 --trace-children=no \
        "$t" --gtest_brief=1 --gtest_filter=-HostileFiles.SymlinkRaceNeverReachesRootsFiles >"$log" 2>&1; then
      echo "clean: $(basename "$t")"
    else
      echo "NOT CLEAN: $(basename "$t") (see $log)"
      tail -n 40 "$log"
      failed=1
    fi
  done
  return $failed
}

# fuzz [SECONDS]: every target for SECONDS each; a finding fails the run.
fuzz() {
  local seconds=${1:-60}
  deps clang libclang-rt-14-dev
  local dir=build-fuzz
  CC=clang CXX=clang++ configure "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKVO_FUZZ=ON \
    -DKVO_BUILD_TESTS=OFF -DKVO_BUILD_BENCH=OFF
  cmake --build "$root/$dir"
  rm -f "$root/$dir"/finding-*
  for target in ini config id; do
    local work="$root/$dir/corpus-$target"
    mkdir -p "$work"
    local log="$root/$dir/fuzz_$target.log"
    echo "== fuzz_$target for ${seconds}s"
    if ! ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 "$root/$dir/fuzz/fuzz_$target" -max_total_time="$seconds" \
        -rss_limit_mb=4096 -timeout=20 -print_final_stats=1 -artifact_prefix="$root/$dir/finding-$target-" \
        "$work" "$root/fuzz/corpus/$target" >"$log" 2>&1; then
      tail -n 40 "$log"
      echo "FINDING in fuzz_$target: $(ls "$root/$dir"/finding-$target-* 2>/dev/null)"
      return 1
    fi
    grep -E '^stat::number_of_executed_units' "$log"
  done
}

bench() {
  build
  for b in "$root"/build/bench/bench_*; do
    echo "== $(basename "$b")"
    "$b" --benchmark_counters_tabular=true
  done
}

case "${1:-}" in
  deps) deps ;;
  build) build ;;
  test) shift; run_tests "$@" ;;
  fuzz) shift; fuzz "$@" ;;
  demo) demo ;;
  bench) bench ;;
  *) sed -n '2,9p' "$0" | sed 's/^# \{0,1\}//'; exit 2 ;;
esac
