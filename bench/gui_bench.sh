#!/usr/bin/env bash
# The desktop program's benchmarks (bench/gui_bench.cc), offscreen, against
# vaultline-server run as a process of its own:
# - a personal folder of ROWS files listed again with Refresh in the main window,
#   from the first byte of the reply to the list's first paint, against splitting
#   the same reply text into rows and fields; and the window's memory with them;
# - a SIZE_MIB MiB download through the main window against vaultline-cli get of
#   the same file from the same server.
#
#   bench/gui_bench.sh [ROWS] [SIZE_MIB]     (defaults 100000 and 1024)
#
# Each figure is the best of RUNS (default 3) runs, taken in turns so that a busy
# moment of the machine hits both sides alike; each run is shown before the table.
# Environment: BUILD (a build tree with VAULTLINE_GUI=ON, default build/default),
# RUNS, BENCH_DIR (scratch parent; default /dev/shm when present, so the disk
# bounds neither side). Not part of ctest.
set -euo pipefail
cd "$(dirname "$0")/.."

rows=${1:-100000}
size_mib=${2:-1024}
runs=${RUNS:-3}
build=${BUILD:-build/default}
if ! built=$(cmake --build "$build" -j2 --target gui_bench vaultline-server vaultline-cli 2>&1); then
  echo "$built" >&2
  exit 1
fi

parent=${BENCH_DIR:-$([ -d /dev/shm ] && echo /dev/shm || echo "${TMPDIR:-/tmp}")}
export QT_QPA_PLATFORM=offscreen
# The runs one by one (stderr) come before each table; the offscreen platform's
# notes about window features it lacks are noise here.
quiet() { sed -u '/This plugin does not support/d; /XDG_RUNTIME_DIR not set/d'; }

"$build/bench/gui_bench" --scratch "$parent" list "$rows" "$runs" 2>&1 | quiet
echo
"$build/bench/gui_bench" --scratch "$parent" download "$size_mib" "$runs" 2>&1 | quiet
