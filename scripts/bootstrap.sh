#!/usr/bin/env bash
# Installs what is missing (Debian packages), builds, then either starts the
# tool against the simulated sensor (`run`) or runs every test (`test`).
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$here"
mode="${1:-test}"
build_dir="${SENSORTOOL_BUILD_DIR:-$here/build}"

packages=(
  cmake ninja-build g++ pkg-config
  qt6-base-dev qt6-serialport-dev qt6-translations-l10n qt6-charts-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  fonts-noto-cjk fonts-liberation
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

install_missing

case "$mode" in
  test)
    build
    export QT_QPA_PLATFORM=offscreen
    ctest --test-dir "$build_dir" --output-on-failure --timeout 600
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
