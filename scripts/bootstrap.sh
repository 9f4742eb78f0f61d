#!/usr/bin/env bash
# Installs what is missing (Debian packages), builds, then either starts the
# tool against the simulated sensor (`run`) or runs every test (`test`).
#
# `test` runs the suite three ways: the normal build; the whole suite again in
# a second build with AddressSanitizer and UndefinedBehaviorSanitizer, where any
# report fails its test; and the libFuzzer targets (clang) for a bounded time
# each on a copy of their seed corpus, where any finding fails.
# SENSORTOOL_FUZZ_SECONDS sets the time per fuzz target (default 20).
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$here"
mode="${1:-test}"
build_dir="${SENSORTOOL_BUILD_DIR:-$here/build}"
sanitize_dir="${SENSORTOOL_SANITIZE_BUILD_DIR:-$build_dir-sanitize}"
fuzz_dir="${SENSORTOOL_FUZZ_BUILD_DIR:-$build_dir-fuzz}"
fuzz_seconds="${SENSORTOOL_FUZZ_SECONDS:-20}"

packages=(
  cmake ninja-build g++ pkg-config ccache
  qt6-base-dev qt6-serialport-dev qt6-translations-l10n qt6-charts-dev libqt6opengl6-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  fonts-noto-cjk fonts-liberation fonts-wqy-zenhei poppler-utils
  libmodbus-dev mbpoll python3-pymodbus
  clang libclang-rt-14-dev
  xvfb xauth locales
)

install_missing() {
  local missing=()
  for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "Installing: ${missing[*]}"
  local sudo=""
  [ "$(id -u)" -ne 0 ] && sudo="sudo"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" </dev/null
}

build() {
  cmake -S "$here" -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
  cmake --build "$build_dir"
}

# LeakSanitizer stops the process's threads with ptrace-like means that some
# sandboxes forbid; find out whether it works here before relying on it.
leak_checks_work() {
  local dir ok=1
  dir="$(mktemp -d)"
  printf 'int main() { return 0; }\n' | g++ -x c++ -fsanitize=address -o "$dir/probe" - 2>/dev/null &&
    ASAN_OPTIONS=detect_leaks=1 "$dir/probe" >/dev/null 2>&1 || ok=0
  rm -rf "$dir"
  [ "$ok" -eq 1 ]
}

# Caches that fontconfig, FreeType and libdbus allocate for the life of the
# process and never free. None of them calls back into our code, so a stack
# through one of them is never a leak of ours; Qt and glib are deliberately not
# listed, because their event loops run our slots.
write_leak_suppressions() {
  cat >"$1" <<'SUPP'
leak:libfontconfig.so
leak:libfreetype.so
leak:libdbus-1.so
SUPP
}

sanitizer_tests() {
  cmake -S "$here" -B "$sanitize_dir" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DSENSORTOOL_SANITIZE=ON >/dev/null
  cmake --build "$sanitize_dir"
  local supp="$sanitize_dir/lsan.supp" leaks=1
  write_leak_suppressions "$supp"
  if ! leak_checks_work; then
    leaks=0
    echo "LeakSanitizer does not work on this machine: the sanitizer run checks without it."
  fi
  # LeakSanitizer's own thread-stopping tracer crashes now and then on a loaded
  # machine ("Tracer caught signal 11"); a test that fails is run once more, and
  # a real memory error reports again on the second run.
  ASAN_OPTIONS="halt_on_error=1:abort_on_error=0:detect_leaks=$leaks:strict_init_order=1:check_initialization_order=1" \
  LSAN_OPTIONS="suppressions=$supp:print_suppressions=0" \
  UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1" \
    ctest --test-dir "$sanitize_dir" --output-on-failure --timeout 900 --repeat until-pass:2
}

fuzz_runs() {
  # Only the protocol core and the fuzz targets: no Qt, no test suite.
  cmake -S "$here" -B "$fuzz_dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ \
    -DSENSORTOOL_FUZZ=ON -DSENSORTOOL_BUILD_TESTS=OFF -DCMAKE_DISABLE_FIND_PACKAGE_Qt6=ON >/dev/null
  cmake --build "$fuzz_dir"
  local leaks=1
  leak_checks_work || leaks=0
  SENSORTOOL_DETECT_LEAKS=$leaks "$here/fuzz/run-fuzzers.sh" "$fuzz_dir" "$fuzz_seconds"
}

install_missing

case "$mode" in
  test)
    build
    export QT_QPA_PLATFORM=offscreen
    ctest --test-dir "$build_dir" --output-on-failure --timeout 600
    echo "== The whole suite again with AddressSanitizer and UndefinedBehaviorSanitizer =="
    sanitizer_tests
    echo "== Fuzzing for ${fuzz_seconds} s per target =="
    fuzz_runs
    ;;
  run)
    build
    if [ ! -x "$build_dir/app/sensortool" ]; then
      echo "The main window is not built yet: not yet."
      exit 0
    fi
    exec "$here/scripts/run-with-simulator.sh" "$build_dir"
    ;;
  *)
    echo "usage: $0 run|test" >&2
    exit 2
    ;;
esac
