#!/usr/bin/env bash
# Start-up time of the browser window and the resident memory of the whole
# process tree (renderer included) with the window open, then closed, for the
# window alone inside one process: what the engine costs where it cannot be
# shut down. The program runs the window in larkvane-browser, which ends when
# the window closes; bench/run measures that.
# Usage: bench/browser_memory.sh BUILD_DIR   (configured with -DLARKVANE_BENCH=ON)
set -euo pipefail
build=${1:-$(cd "$(dirname "$0")/.." && pwd)/build}
cmake --build "$build" --target browser_harness >/dev/null
[[ $(id -u) -ne 0 ]] || export QTWEBENGINE_DISABLE_SANDBOX=1
export LANG=C.UTF-8
runs=${RUNS:-3}
for ((i = 1; i <= runs; i++)); do
  echo "run $i"
  xvfb-run -a -s "-screen 0 1280x1024x24" "$build/browser_harness" bench
done
