#!/usr/bin/env bash
# Starts the instrument simulator with its demo memory and then the program,
# in examples/ so that its uncertainty settings are loaded. The simulator
# stops when the program ends.
set -euo pipefail
cd "$(dirname "$0")/.."
build=$(realpath "${1:-build}")
sim_pid=""
cleanup() { if [ -n "$sim_pid" ]; then kill "$sim_pid" 2>/dev/null || true; fi; }
trap cleanup EXIT
if [ -x "$build/tools/zksim" ]; then
  "$build/tools/zksim" --demo > /dev/null &
  sim_pid=$!
  sleep 0.5
  echo "Instrument simulator running; pick its port (/tmp/zksim-$sim_pid) in the port box."
fi
cd examples
"$build/src/ui/zkworks"
