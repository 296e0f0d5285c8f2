#!/usr/bin/env bash
# Starts the instrument simulator with its demo memory (when built) and then
# the program. The simulator stops when the program ends.
set -euo pipefail
build=${1:-build}
cd "$(dirname "$0")/.."
sim_pid=""
cleanup() { [ -n "$sim_pid" ] && kill "$sim_pid" 2>/dev/null || true; }
trap cleanup EXIT
if [ -x "$build/tools/zksim" ]; then
  "$build/tools/zksim" --demo &
  sim_pid=$!
  sleep 0.5
fi
if [ -x "$build/src/ui/zkworks" ]; then
  cd examples
  exec_dir="../$build/src/ui/zkworks"
  "$exec_dir"
else
  "$build/src/cli/zkcli" --help
fi
