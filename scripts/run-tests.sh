#!/bin/sh
# Builds Gantrel and runs every test, then does it again under the sanitizers and runs each fuzz
# target briefly (scripts/run-sanitized.sh).
set -eu
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh build
ctest --test-dir build --output-on-failure --parallel "$(nproc)"
scripts/run-sanitized.sh
