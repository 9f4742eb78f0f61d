#!/usr/bin/env bash
# Runs every fuzz target for a bounded time on a copy of its seed corpus.
#
#   fuzz/run-fuzzers.sh <fuzz build dir> [seconds per target]
#
# The committed corpus is never written to: each target works on a copy in a
# temporary directory. Any finding (a broken invariant, a sanitizer report, a
# crash, a leak, a timeout) fails the run; its input is kept under
# <fuzz build dir>/fuzz-findings/ and printed as hex.
set -uo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
build_dir="${1:?usage: $0 <fuzz build dir> [seconds per target]}"
seconds="${2:-20}"
targets=(receive_path entry_parse frame_decode)

work="$(mktemp -d "${TMPDIR:-/tmp}/sensortool-fuzz.XXXXXX")"
trap 'rm -rf "$work"' EXIT
findings="$build_dir/fuzz-findings"

# The parsers and formatters must not follow the locale: run them under one
# with a decimal comma when it can be built here.
locale_env=()
mkdir -p "$work/locale"
if localedef -i de_DE -f UTF-8 "$work/locale/de_DE.UTF-8" >/dev/null 2>&1; [ -d "$work/locale/de_DE.UTF-8" ]; then
  locale_env=(LOCPATH="$work/locale" LC_ALL=de_DE.UTF-8)
  echo "fuzz: running under the de_DE.UTF-8 locale (decimal comma)"
fi

export ASAN_OPTIONS="halt_on_error=1:abort_on_error=0:detect_leaks=${SENSORTOOL_DETECT_LEAKS:-1}"
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1"

failed=()
for t in "${targets[@]}"; do
  exe="$build_dir/fuzz/fuzz_$t"
  if [ ! -x "$exe" ]; then
    echo "fuzz: $exe is missing" >&2
    failed+=("$t(missing)")
    continue
  fi
  mkdir -p "$work/corpus/$t" "$work/artifacts/$t"
  cp -R "$here/corpus/$t/." "$work/corpus/$t/"
  start=$SECONDS
  env "${locale_env[@]}" "$exe" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
    -artifact_prefix="$work/artifacts/$t/" "$work/corpus/$t" >"$work/$t.log" 2>&1
  rc=$?
  runs="$(sed -n 's/^stat::number_of_executed_units: *//p' "$work/$t.log")"
  corpus="$(ls "$work/corpus/$t" | wc -l)"
  echo "fuzz: $t: exit $rc after $((SECONDS - start)) s, ${runs:-?} inputs run, corpus $corpus"
  if [ "$rc" -ne 0 ] || [ -n "$(ls -A "$work/artifacts/$t")" ]; then
    failed+=("$t")
    tail -n 40 "$work/$t.log" >&2
    mkdir -p "$findings/$t"
    for f in "$work/artifacts/$t"/*; do
      [ -e "$f" ] || continue
      cp "$f" "$findings/$t/"
      echo "fuzz: finding kept as $findings/$t/$(basename "$f"):" >&2
      od -An -tx1 -v "$f" | head -n 20 >&2
    done
  fi
done

if [ ${#failed[@]} -ne 0 ]; then
  echo "fuzz: FAILED: ${failed[*]}" >&2
  exit 1
fi
echo "fuzz: no findings"
