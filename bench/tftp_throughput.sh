#!/usr/bin/env bash
# Prints the throughput ratio lumidesk-tftpd / tftpd-hpa for a 32 MiB download with curl on
# loopback. Both servers are started by the benchmark on free unprivileged ports.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps
scripts/build
build/bench/bench_tftp_throughput --benchmark_color=false "$@" | tee /dev/stderr | tail -n 1 >/dev/null
