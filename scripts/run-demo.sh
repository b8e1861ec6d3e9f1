#!/bin/sh
# Builds Gantrel and starts it in a fresh copy of the demo folder, build/demo-run.
set -eu
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh build
rm -rf build/demo-run
cp -a build/demo build/demo-run
cd build/demo-run
exec ../gantrel
