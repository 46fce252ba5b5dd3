#!/usr/bin/env bash
# Prints the throughput ratio lumidesk-tftpd / tftpd-hpa for a 32 MiB download with curl on
# loopback (last line). Both servers are started by the benchmark on free unprivileged ports.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps
scripts/build
exec build/bench/bench_tftp_throughput "$@"
