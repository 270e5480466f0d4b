#!/usr/bin/env bash
# Transfer benchmark: download and upload of one file with vaultline-cli through
# vaultline-server on loopback, against a plain socket copy of the same file with
# the same block size (the default ChunkSize) in the same run; and the client's
# peak resident memory during downloads of two sizes.
#
#   bench/transfer_bench.sh [SIZE_MIB] [SMALL_MIB]     (defaults 1024 and 64)
#
# Each figure is the best of RUNS (default 3) runs, taken in turns so that a
# busy moment of the machine hits both sides alike.
# Environment: BUILD (build tree, default build/default), BLOCK (bytes, default
# 6144), RUNS, BENCH_DIR (scratch parent; default /dev/shm when present, so the disk
# bounds neither side). Not part of ctest.
set -euo pipefail
cd "$(dirname "$0")/.."

size_mib=${1:-1024}
small_mib=${2:-64}
block=${BLOCK:-6144}
runs=${RUNS:-3}
build=${BUILD:-build/default}
preset=$(basename "$build")
cmake --build --preset "$preset" -j2 --target vaultline-server vaultline-cli plain_copy >/dev/null

server_bin=$build/src/server/vaultline-server
cli_bin=$build/src/cli/vaultline-cli
plain_bin=$build/bench/plain_copy
parent=${BENCH_DIR:-$([ -d /dev/shm ] && echo /dev/shm || echo "${TMPDIR:-/tmp}")}
scratch=$(mktemp -d "$parent/vaultline-bench.XXXXXX")
server_pid=
cleanup() {
  if [ -n "$server_pid" ]; then
    kill "$server_pid" 2>/dev/null || true
    wait "$server_pid" 2>/dev/null || true
  fi
  rm -rf "$scratch"
}
trap cleanup EXIT

now() { date +%s.%N; }
elapsed() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.3f", b - a }'; }
mibps() { awk -v m="$1" -v s="$2" 'BEGIN { printf "%.1f", m / s }'; }
ratio() { awk -v p="$1" -v c="$2" 'BEGIN { printf "%.2f", p / c }'; }
wait_port() {  # FILE -> the port printed as "port=N"
  local p=
  for _ in $(seq 200); do
    p=$(sed -n 's/^port=//p' "$1" 2>/dev/null || true)
    [ -n "$p" ] && { echo "$p"; return; }
    sleep 0.05
  done
  echo "transfer_bench: no port in $1" >&2
  exit 1
}

# The server, with an account whose quota takes the file.
mkdir -p "$scratch/data/users/bench" "$scratch/local"
cat >"$scratch/server.ini" <<INI
[user bench]
password = bench
quota = 1099511627776
INI
: >"$scratch/server.out"
"$server_bin" --data "$scratch/data" --config "$scratch/server.ini" --port 0 --http-port 0 \
  >"$scratch/server.out" 2>"$scratch/server.log" &
server_pid=$!
port=$(wait_port "$scratch/server.out")
export VAULTLINE_PASSWORD=bench


make_file() {  # PATH MIB
  head -c $(($2 * 1048576)) /dev/urandom >"$1"
}

# Seconds of a plain copy: DIRECTION is the side that listens ("send" = server sends).
plain_copy() {  # SERVER_DIRECTION SOURCE TARGET
  local out=$scratch/plain.out
  : >"$out"
  if [ "$1" = send ]; then
    "$plain_bin" serve send "$2" "$block" >"$out" &
  else
    "$plain_bin" serve recv "$3" "$block" >"$out" &
  fi
  local pid=$! p t0 t1
  p=$(wait_port "$out")
  t0=$(now)
  if [ "$1" = send ]; then
    "$plain_bin" client recv "$p" "$3" "$block"
  else
    "$plain_bin" client send "$p" "$2" "$block"
  fi
  wait "$pid"
  t1=$(now)
  cmp -s "$2" "$3" || { echo "transfer_bench: plain copy differs" >&2; exit 1; }
  rm -f "$3"
  elapsed "$t0" "$t1"
}

# Seconds of one vaultline-cli run; its peak RSS (KiB) goes to $scratch/rss.
timed_cli() {
  local t0 t1
  t0=$(now)
  /usr/bin/time -f %M -o "$scratch/rss" "$cli_bin" --server "127.0.0.1:$port" --user bench "$@" \
    >/dev/null
  t1=$(now)
  elapsed "$t0" "$t1"
}

echo "file ${size_mib} MiB, block ${block} bytes, best of $runs runs, scratch $parent"
make_file "$scratch/data/users/bench/big.bin" "$size_mib"
ln "$scratch/data/users/bench/big.bin" "$scratch/local/up.bin"
source=$scratch/data/users/bench/big.bin

# Log-in, listing and log-out cost of one run, measured alone.
overhead=$(timed_cli usage)

minimum() { awk -v a="$1" -v b="$2" 'BEGIN { print (a == "" || b < a) ? b : a }'; }
plain_down= cli_down= plain_up= cli_up= rss_big=0
for run in $(seq "$runs"); do
  t=$(plain_copy send "$source" "$scratch/plain.bin")
  plain_down=$(minimum "$plain_down" "$t")
  t=$(timed_cli get big.bin "$scratch/local/down.bin")
  cli_down=$(minimum "$cli_down" "$t")
  rss=$(cat "$scratch/rss")
  [ "$rss" -gt "$rss_big" ] && rss_big=$rss
  cmp -s "$source" "$scratch/local/down.bin" || { echo "download differs" >&2; exit 1; }
  rm -f "$scratch/local/down.bin"

  t=$(plain_copy recv "$scratch/local/up.bin" "$scratch/plain.bin")
  plain_up=$(minimum "$plain_up" "$t")
  t=$(timed_cli put "$scratch/local/up.bin")
  cli_up=$(minimum "$cli_up" "$t")
  cmp -s "$scratch/local/up.bin" "$scratch/data/users/bench/up.bin" || {
    echo "upload differs" >&2
    exit 1
  }
  rm -f "$scratch/data/users/bench/up.bin"
done

# Peak memory at a second size.
make_file "$scratch/data/users/bench/small.bin" "$small_mib"
timed_cli get small.bin "$scratch/local/small.bin" >/dev/null
rss_small=$(cat "$scratch/rss")

printf '%-28s %10s %10s %8s\n' "" "seconds" "MiB/s" "ratio"
printf '%-28s %10.2f %10.1f %8s\n' "plain copy, server -> client" "$plain_down" \
  "$(mibps "$size_mib" "$plain_down")" "1.00"
printf '%-28s %10.2f %10.1f %8s\n' "vaultline-cli get" "$cli_down" \
  "$(mibps "$size_mib" "$cli_down")" "$(ratio "$plain_down" "$cli_down")"
printf '%-28s %10.2f %10.1f %8s\n' "plain copy, client -> server" "$plain_up" \
  "$(mibps "$size_mib" "$plain_up")" "1.00"
printf '%-28s %10.2f %10.1f %8s\n' "vaultline-cli put" "$cli_up" \
  "$(mibps "$size_mib" "$cli_up")" "$(ratio "$plain_up" "$cli_up")"
printf 'log-in + log-out of one run (usage): %.2f s (included above)\n' "$overhead"
printf 'client peak RSS during get (largest of the runs): %s KiB at %s MiB, %s KiB at %s MiB\n' \
  "$rss_small" "$small_mib" "$rss_big" "$size_mib"
