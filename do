#!/usr/bin/env bash
# The project's one entry point. Usage: ./do COMMAND [OPTIONS]
#   deps               install missing Debian packages (needs root or sudo)
#   build              configure and build (Release) in build/
#   test [--sanitize]  build and run every test; --sanitize uses AddressSanitizer
#                      and UndefinedBehaviorSanitizer in build-sanitize/
#   demo               build and run the demonstration on the shipped examples
#   bench              build and run the benchmarks (Release)
set -euo pipefail
cd "$(dirname "$0")"
root=$(pwd)

packages=(g++ cmake ninja-build libxml2-dev libxml2-utils libboost-dev libgtest-dev libgmock-dev libbenchmark-dev)

deps() {
  local missing=()
  for p in "${packages[@]}"; do
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
  cmake -S "$root" -B "$root/$dir" -G Ninja "$@" >/dev/null
}

build() {
  deps
  configure build -DCMAKE_BUILD_TYPE=Release
  cmake --build "$root/build"
}

run_tests() {
  deps
  local dir=build args=(-DCMAKE_BUILD_TYPE=Release)
  if [ "${1:-}" = "--sanitize" ]; then
    dir=build-sanitize
    args=(-DCMAKE_BUILD_TYPE=RelWithDebInfo -DKVO_SANITIZE=ON -DKVO_BUILD_BENCH=OFF)
    export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
  fi
  configure "$dir" "${args[@]}"
  cmake --build "$root/$dir"
  local log="$root/$dir/ctest.log"
  if ctest --test-dir "$root/$dir" --output-on-failure -j "$(nproc)" >"$log" 2>&1; then
    sed -n '/tests passed/,$p' "$log"
  else
    cat "$log"
    return 1
  fi
}

demo() {
  build
  local data
  data=$(mktemp -d)
  echo "== capability answers for the shipped example INI files"
  KVO_DATA_DIR="$data" "$root/build/tools/capdemo/capdemo" "$root"/examples/*.ini -- 100 170 303 332 1201 1202 1203 65535
  echo
  echo "== the same with ACQ_ENABLE_HDRI switched on"
  KVO_DATA_DIR="$data" KVO_FEATURES="ACQ_ENABLE_HDRI" "$root/build/tools/capdemo/capdemo" "$root"/examples/*.ini -- 303 1201 \
    | sed -n '/^Capabilities/,$p'
  rm -rf "$data"
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
  demo) demo ;;
  bench) bench ;;
  *) sed -n '2,9p' "$0" | sed 's/^# \{0,1\}//'; exit 2 ;;
esac
