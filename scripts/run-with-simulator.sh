#!/usr/bin/env bash
# Starts the simulated sensor bound as COM1, then the tool in the folder that
# holds help.pdf. Stopping the tool stops the simulator.
set -euo pipefail
build_dir="${1:?usage: run-with-simulator.sh BUILD_DIR}"
sim="$build_dir/tools/sensor-sim"

out="$(mktemp)"
"$sim" --com 1 >"$out" 2>&1 &
sim_pid=$!
trap 'kill "$sim_pid" 2>/dev/null || true; wait "$sim_pid" 2>/dev/null || true; rm -f "$out"' EXIT

for _ in $(seq 1 100); do
  grep -q READY "$out" && break
  kill -0 "$sim_pid" 2>/dev/null || { cat "$out" >&2; echo "sensor-sim did not start" >&2; exit 1; }
  sleep 0.1
done
echo "Simulated sensor ready: $(grep READY "$out" | head -n1 | cut -d' ' -f2-) as COM1."
echo "In the tool: choose COM1, press 打开, then 自动连接."

cd "$build_dir/app"
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "No display found; running the tool on a virtual X display (xvfb-run)." >&2
  xvfb-run -a -s "-screen 0 1600x1000x24" ./sensortool
else
  ./sensortool
fi
