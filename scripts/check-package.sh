#!/usr/bin/env bash
# Checks the installation and the Debian package of a finished build:
#   scripts/check-package.sh [build-dir]
# cmake --install into a temporary prefix must bring every file; the .deb must
# unpack to a tree whose three programs answer --version with the project
# version, whose desktop entry and AppStream metadata validate, whose man pages
# open, and on which lintian reports no error.
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build_dir="$(cd "${1:-$here/build}" && pwd)"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

version="$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build_dir/CMakeCache.txt")"
[ -n "$version" ] || { echo "no project version in $build_dir/CMakeCache.txt" >&2; exit 1; }
app_id=org.sensortool.sensortool

# Every file an installation must have, relative to the prefix.
expected=(
  bin/sensortool bin/sensortool-cli bin/sensor-sim
  share/doc/sensortool/help.pdf share/doc/sensortool/help_en.pdf share/doc/sensortool/LICENSE share/doc/sensortool/copyright
  share/doc/sensortool/changelog.gz
  share/sensortool/translations
  "share/applications/$app_id.desktop" "share/metainfo/$app_id.metainfo.xml"
  share/man/man1/sensortool.1.gz share/man/man1/sensortool-cli.1.gz share/man/man1/sensor-sim.1.gz
  share/bash-completion/completions/sensortool-cli share/bash-completion/completions/sensor-sim
  "share/icons/hicolor/scalable/apps/$app_id.svg"
)
for size in 16 22 24 32 48 64 128 256; do
  expected+=("share/icons/hicolor/${size}x${size}/apps/$app_id.png")
done

# Checks an installed tree under $1 (the prefix, e.g. .../usr).
check_tree() {
  local prefix="$1" what="$2" f
  for f in "${expected[@]}"; do
    [ -e "$prefix/$f" ] || fail "$what: $f missing"
  done
  for size in 16 256; do
    file "$prefix/share/icons/hicolor/${size}x${size}/apps/$app_id.png" | grep -q "$size x $size" ||
      fail "$what: the ${size}x${size} icon has another size"
  done
  local prog out
  for prog in sensortool sensortool-cli sensor-sim; do
    if ! out="$(QT_QPA_PLATFORM=offscreen "$prefix/bin/$prog" --version 2>&1)"; then
      fail "$what: $prog --version failed: $out"
    elif ! grep -q "$version" <<<"$out"; then
      fail "$what: $prog --version says '$out', not $version"
    fi
  done
  desktop-file-validate "$prefix/share/applications/$app_id.desktop" || fail "$what: desktop entry"
  appstreamcli validate --no-net --pedantic "$prefix/share/metainfo/$app_id.metainfo.xml" ||
    fail "$what: AppStream metadata"
  for prog in sensortool sensortool-cli sensor-sim; do
    out="$(MANWIDTH=80 man -l "$prefix/share/man/man1/$prog.1.gz" 2>&1 | col -b)" || fail "$what: man -l $prog"
    grep -q -- "--help" <<<"$out" || fail "$what: the man page of $prog lacks the options"
  done
}

echo "== cmake --install into a temporary prefix =="
cmake --install "$build_dir" --prefix "$work/prefix" >/dev/null
check_tree "$work/prefix" "install"

echo "== Debian package =="
(cd "$build_dir" && cpack -G DEB >/dev/null)
deb="$(ls -t "$build_dir"/sensortool_"$version"_*.deb | head -n1)"
echo "$deb"
dpkg-deb -x "$deb" "$work/deb"
check_tree "$work/deb/usr" "package"
dpkg-deb -f "$deb" Depends | grep -q "fonts-noto-cjk" || fail "package: no dependency on fonts-noto-cjk"
dpkg-deb -f "$deb" Depends | grep -q "libqt6widgets6" || fail "package: dpkg-shlibdeps found no Qt dependency"
dpkg-deb -f "$deb" Depends | grep -q "libqt6sql6-sqlite" || fail "package: no dependency on the Qt SQLite plugin"
# lintian exits non-zero on errors; warnings are listed but do not fail.
lintian --fail-on error --tag-display-limit 0 "$deb" || fail "lintian reports errors"

[ "$failures" -eq 0 ] || { echo "$failures package check(s) failed" >&2; exit 1; }
echo "package checks passed ($deb)"
