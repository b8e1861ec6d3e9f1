#!/bin/sh
# Checks the formatting of the sources, builds Gantrel with warnings as errors and runs every test,
# then does it again under the sanitizers and runs each fuzz target briefly
# (scripts/run-sanitized.sh), then runs the extraction tests under ThreadSanitizer
# (scripts/run-tsan.sh).
set -eu
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/check-format.sh
scripts/build.sh build -DGANTREL_WERROR=ON
(cd build && ctest --output-on-failure --parallel "$(nproc)")
scripts/run-sanitized.sh
scripts/run-tsan.sh
