#!/bin/sh
# Configures and builds everything in build/ (or the folder given as the first argument); further
# arguments go to the configuring cmake.
set -eu
cd "$(dirname "$0")/.."
build="${1:-build}"
[ $# -gt 0 ] && shift
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@"
cmake --build "$build" --parallel "$(nproc)"
