#!/usr/bin/env bash
# Memory of the tray process before and after ten page reads that hit the
# 32 MB cap: 200 MB bodies of undeclared length, then chunked bodies without
# end, RUNS times each (default 3). Figures in MiB.
# Usage: bench/fetch_memory.sh BUILD_DIR   (configured with -DLARKVANE_BENCH=ON)
set -euo pipefail
build=${1:-$(cd "$(dirname "$0")/.." && pwd)/build}
build=$(cd "$build" && pwd)
cmake --build "$build" --target larkvane bench_fetch_memory >/dev/null
runs=${RUNS:-3}
echo "| reads | before: RSS / PSS | peak RSS | after: RSS / PSS | growth | MB sent |"
echo "|---|---|---|---|---|---|"
for mode in "" --chunked; do
  for ((i = 1; i <= runs; i++)); do
    nice -n 10 xvfb-run -a -s "-screen 0 1280x1024x24" \
      "$build/bench_fetch_memory" --program "$build/larkvane" $mode
  done
done
