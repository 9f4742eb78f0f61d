#!/usr/bin/env bash
# Installs what is missing (Debian packages), builds, then either starts the
# tool against the simulated sensor (`run`: only the tool, the simulator and
# the manual are built, and only the packages they need are installed) or runs
# every test (`test`).
#
# `test` builds with warnings as errors, then runs the suite: the normal build,
# then checks `cmake --install` and the Debian package (scripts/check-package.sh),
# cross-builds the Qt-free core for Windows and runs its protocol tests under
# Wine; then the whole suite again in
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
mingw_dir="${SENSORTOOL_MINGW_BUILD_DIR:-$build_dir-mingw}"
fuzz_seconds="${SENSORTOOL_FUZZ_SECONDS:-20}"
# Paths below the checkout enter the compiler cache relative to it, so a fresh
# clone in another folder reuses what an earlier build compiled.
export CCACHE_BASEDIR="${CCACHE_BASEDIR:-$here}"

# What building and running the tool needs, and what only the tests, the
# package checks and the Windows cross build need on top.
run_packages=(
  cmake ninja-build g++ pkg-config ccache
  qt6-base-dev qt6-serialport-dev qt6-translations-l10n
  qt6-l10n-tools libqt6sql6-sqlite
  fonts-noto-cjk xvfb xauth
)
test_packages=(
  libgtest-dev libgmock-dev libbenchmark-dev
  postgresql libqt6sql6-psql poppler-utils socat
  fonts-liberation fonts-wqy-zenhei
  libmodbus-dev mbpoll python3-pymodbus python3-serial-asyncio
  clang libclang-rt-14-dev
  locales
  help2man dpkg-dev file man-db bsdextrautils desktop-file-utils appstream lintian bash-completion
  g++-mingw-w64-x86-64-posix wine64
)
qt_packages="qt6-base-dev qt6-serialport-dev"

install_missing() {
  local missing=()
  for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "Installing: ${missing[*]}"
  local sudo=""
  [ "$(id -u)" -ne 0 ] && sudo="sudo"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" </dev/null
}

configure() {
  cmake -S "$here" -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
  # Without Qt (or one of its modules) CMake builds only the Qt-free core.
  # (The target list is read whole first: grep -q would stop reading early and,
  # under pipefail, ninja's broken pipe would fail the test at random.)
  local targets
  targets="$(ninja -C "$build_dir" -t targets all)"
  if ! grep -q '^sensortool:' <<<"$targets"; then
    echo "Qt 6 or one of its modules was not found, so the tool cannot be built." >&2
    echo "Install them with: sudo apt-get install $qt_packages" >&2
    exit 1
  fi
}

# The protocol core, the simulator core and the protocol tests built for
# Windows with MinGW-w64; the tests run under Wine.
windows_core_tests() {
  export WINEPREFIX="$mingw_dir/wineprefix" WINEDEBUG=-all
  cmake -S "$here" -B "$mingw_dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_TOOLCHAIN_FILE="$here/cmake/mingw-w64.cmake" -DSENSORTOOL_WERROR=ON \
    -DCMAKE_DISABLE_FIND_PACKAGE_Qt6=ON >/dev/null
  cmake --build "$mingw_dir" --target protocol sensor_sim_core protocol_tests
  ctest --test-dir "$mingw_dir" --output-on-failure --timeout 300
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
  # machine ("Tracer caught signal 11"). Only a test that failed that way is
  # run once more; any other failure stands.
  local report="$sanitize_dir/ctest-junit.xml" status=0
  export ASAN_OPTIONS="halt_on_error=1:abort_on_error=0:detect_leaks=$leaks:strict_init_order=1:check_initialization_order=1"
  export LSAN_OPTIONS="suppressions=$supp:print_suppressions=0"
  export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1"
  ctest --test-dir "$sanitize_dir" --output-on-failure --timeout 900 --output-junit "$report" || status=$?
  [ "$status" -eq 0 ] && return 0
  local again
  again="$(python3 "$here/scripts/lsan_tracer_crashes.py" "$report")" || return 1
  [ -n "$again" ] || return "$status"
  echo "LeakSanitizer's tracer crashed in: $(echo "$again" | tr '\n' ' ')- running those once more"
  ctest --test-dir "$sanitize_dir" --output-on-failure --timeout 900 \
    -R "^($(echo "$again" | paste -sd'|'))\$"
}

fuzz_runs() {
  # Only the protocol core and the fuzz targets: no Qt, no test suite.
  cmake -S "$here" -B "$fuzz_dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ \
    -DSENSORTOOL_FUZZ=ON -DSENSORTOOL_WERROR=ON -DSENSORTOOL_BUILD_TESTS=OFF -DCMAKE_DISABLE_FIND_PACKAGE_Qt6=ON >/dev/null
  cmake --build "$fuzz_dir"
  local leaks=1
  leak_checks_work || leaks=0
  SENSORTOOL_DETECT_LEAKS=$leaks "$here/fuzz/run-fuzzers.sh" "$fuzz_dir" "$fuzz_seconds"
}

case "$mode" in
  test)
    install_missing "${run_packages[@]}" "${test_packages[@]}"
    configure -DSENSORTOOL_WERROR=ON -DSENSORTOOL_BUILD_TESTS=ON
    cmake --build "$build_dir"
    export QT_QPA_PLATFORM=offscreen
    ctest --test-dir "$build_dir" --output-on-failure --timeout 600
    echo "== Installation and the Debian package =="
    "$here/scripts/check-package.sh" "$build_dir"
    echo "== The Windows core (MinGW-w64) and its protocol tests under Wine =="
    windows_core_tests
    echo "== The whole suite again with AddressSanitizer and UndefinedBehaviorSanitizer =="
    sanitizer_tests
    echo "== Fuzzing for ${fuzz_seconds} s per target =="
    fuzz_runs
    ;;
  run)
    install_missing "${run_packages[@]}"
    # Only what the run needs: the tool, the simulated sensor and the manual.
    configure -DSENSORTOOL_BUILD_TESTS=OFF
    cmake --build "$build_dir" --target sensortool sensor-sim help_pdf
    exec "$here/scripts/run-with-simulator.sh" "$build_dir"
    ;;
  *)
    echo "usage: $0 run|test" >&2
    exit 2
    ;;
esac
